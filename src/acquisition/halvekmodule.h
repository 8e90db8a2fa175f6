#pragma once
// The recorder's Halvek module: 24 channels, default names "Halvek:%d".
// Channel 23 can be a pulse (rpm) input; the coupling choice is the IEPE
// state itself (0 AC, 1 ICP); no filters.

#include "acquisition/recordermodule.h"

class CHalvekModule : public CRecorderModule {
public:
    static constexpr int kChannelCount = 24;
    static constexpr int kPulseChannel = 23;

    explicit CHalvekModule(CRecordFile& recording);

protected:
    bool IsPulseChannel(int channel) const override;
    void ReadChannelSettings(int channel, HwChanSetup& setup) override;
    void ApplyChannelSettings(int channel, const HwChanSetup& setup) override;
};
