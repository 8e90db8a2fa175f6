#include "halvekmodule.h"

#include "acquisition/recorderapi.h"

CHalvekModule::CHalvekModule(CRecordFile& recording)
    : CRecorderModule(recording, kChannelCount, "Halvek", "Halvek:%d", kStandardRanges)
{
}

bool CHalvekModule::IsPulseChannel(int channel) const { return channel == kPulseChannel; }

void CHalvekModule::ReadChannelSettings(int channel, HwChanSetup& setup)
{
    setup.Cpl = Vel().VelGetIEPE(0, channel) != 0 ? 1 : 0;
}

void CHalvekModule::ApplyChannelSettings(int channel, const HwChanSetup& setup)
{
    RecorderApi& api = Vel();
    SetIfDifferent(api.VelGetIEPE, api.VelSetIEPE, channel, setup.Cpl != 0 ? 1 : 0);
}
