#include "morsilmodule.h"

CMorsilModule::CMorsilModule(CRecordFile& recording)
    : CRecorderModule(recording, kChannelCount, "Morsil", "Morsil:%d", kStandardRanges)
{
}

void CMorsilModule::ReadChannelSettings(int channel, HwChanSetup& setup)
{
    ReadFrontEnd(ModuleFrontEnd(channel), setup);
}

void CMorsilModule::ApplyChannelSettings(int channel, const HwChanSetup& setup)
{
    ApplyFrontEnd(channel, FrontEndFor(setup.Filter, setup.Cpl), true);
}
