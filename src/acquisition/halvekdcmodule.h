#pragma once
// The recorder's HalvekDC module: 24 DC-coupled channels, default names
// "Halvek:%d"; only on/off and the range are set, no pulse inputs.

#include "acquisition/recordermodule.h"

class CHalvekDcModule : public CRecorderModule {
public:
    static constexpr int kChannelCount = 24;

    explicit CHalvekDcModule(CRecordFile& recording);

protected:
    bool IsPulseChannel(int) const override { return false; }
    void ReadChannelSettings(int, HwChanSetup&) override {}
    void ApplyChannelSettings(int, const HwChanSetup&) override {}
};
