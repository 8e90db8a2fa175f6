#pragma once
// The recorder's Pendra module: 6 channels, default names "Pendra:%d",
// ranges up to 14 V. Every channel can be a pulse (rpm) input; coupling
// AC/ICP (the ICP supply is IEPE); channels 0-3 also offer the 22 Hz
// high-pass; microphone preamplifier power (MicPwr) and polarisation
// voltage (MicPolVolt) per channel. No low-pass filters.

#include "acquisition/recordermodule.h"

class CPendraModule : public CRecorderModule {
public:
    static constexpr int kChannelCount = 6;
    static constexpr int kHighPassChannels = 4; // channels offering the 22 Hz high-pass
    static constexpr double kRanges[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 14};

    explicit CPendraModule(CRecordFile& recording);

protected:
    bool IsPulseChannel(int) const override { return true; }
    void ReadChannelSettings(int channel, HwChanSetup& setup) override;
    void ApplyChannelSettings(int channel, const HwChanSetup& setup) override;
};
