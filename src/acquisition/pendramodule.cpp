#include "pendramodule.h"

#include "acquisition/recorderapi.h"

CPendraModule::CPendraModule(CRecordFile& recording)
    : CRecorderModule(recording, kChannelCount, "Pendra", "Pendra:%d", kRanges)
{
}

void CPendraModule::ReadChannelSettings(int channel, HwChanSetup& setup)
{
    RecorderApi& api = Vel();
    setup.Filter = api.VelGetHPFilter(0, channel) == 2 ? 1 : 0;
    if (api.VelGetPreampPower)
        setup.MicPwr = api.VelGetPreampPower(0, channel);
    if (api.VelGetPolPower)
        setup.MicPolVolt = api.VelGetPolPower(0, channel);
    setup.Cpl = api.VelGetIEPE(0, channel) != 0 ? 1 : 0;
}

void CPendraModule::ApplyChannelSettings(int channel, const HwChanSetup& setup)
{
    RecorderApi& api = Vel();
    const int filter = channel < kHighPassChannels && setup.Filter == 1 ? 1 : 0;
    // Coupling 0 AC, 1 ICP: the shared front end counts 1 AC, 2 ICP.
    ApplyFrontEnd(channel, FrontEndFor(filter, setup.Cpl == 1 ? 2 : 1), false);
    SetIfDifferent(api.VelGetPreampPower, api.VelSetPreampPower, channel, setup.MicPwr);
    SetIfDifferent(api.VelGetPolPower, api.VelSetPolPower, channel, setup.MicPolVolt);
}
