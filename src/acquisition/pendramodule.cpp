#include "pendramodule.h"

#include "acquisition/recorderapi.h"

CPendraModule::CPendraModule(CRecordFile& recording)
    : CRecorderModule(recording, kChannelCount, "Pendra", "Pendra:%d", kRanges)
{
}

void CPendraModule::ReadChannelSettings(int channel, HwChanSetup& setup)
{
    RecorderApi& api = Vel();
    setup.Filter = api.VelGetHPFilter(0, channel) == kHighPass22Hz ? kHighPass22HzChoice : kNoFilter;
    if (api.VelGetPreampPower)
        setup.MicPwr = api.VelGetPreampPower(0, channel);
    if (api.VelGetPolPower)
        setup.MicPolVolt = api.VelGetPolPower(0, channel);
    setup.Cpl = api.VelGetIEPE(0, channel) != 0 ? 1 : 0;
}

void CPendraModule::ApplyChannelSettings(int channel, const HwChanSetup& setup)
{
    RecorderApi& api = Vel();
    const int filter = channel < kHighPassChannels && setup.Filter == kHighPass22HzChoice ? kHighPass22HzChoice
                                                                                          : kNoFilter;
    // The Pendra's couplings are 0 AC and 1 ICP.
    const int coupling = setup.Cpl == 1 ? kCouplingICP : kCouplingAC;
    ApplyFrontEnd(channel, FrontEndFor(filter, coupling), false);
    SetIfDifferent(api.VelGetPreampPower, api.VelSetPreampPower, channel, setup.MicPwr);
    SetIfDifferent(api.VelGetPolPower, api.VelSetPolPower, channel, setup.MicPolVolt);
}
