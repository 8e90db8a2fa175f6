#include "halvekplusmodule.h"

#include "acquisition/recorderapi.h"

CHalvekPlusModule::CHalvekPlusModule(CRecordFile& recording)
    : CRecorderModule(recording, kChannelCount, "Halvek+", "HalvekP:%d", kStandardRanges)
{
}

bool CHalvekPlusModule::IsPulseChannel(int channel) const
{
    return channel >= kFirstPulseChannel && channel <= kLastPulseChannel;
}

void CHalvekPlusModule::ReadChannelSettings(int channel, HwChanSetup& setup)
{
    if (channel < kFrontEndChannels) {
        ReadFrontEnd(ModuleFrontEnd(channel), setup);
    } else {
        setup.Cpl = Vel().VelGetIEPE(0, channel) != 0 ? 1 : 0;
    }
}

void CHalvekPlusModule::ApplyChannelSettings(int channel, const HwChanSetup& setup)
{
    if (channel < kFrontEndChannels) {
        // Channels 4 and 5 take their filter choice like channels 0-3.
        ApplyFrontEnd(channel, FrontEndFor(setup.Filter, setup.Cpl), true);
    } else {
        RecorderApi& api = Vel();
        SetIfDifferent(api.VelGetIEPE, api.VelSetIEPE, channel, setup.Cpl == 1 ? 1 : 0);
    }
}
