#pragma once
// The recorder's Halvek+ module: 24 channels, default names "HalvekP:%d".
// Channels 0-5 have the DC/AC/ICP coupling and the filter choices, turned
// into high-pass, low-pass and IEPE settings; channels 6-23 AC/ICP only
// (the IEPE state). Channels 4 and 5 are the pulse (rpm) inputs: the ones
// the channel setup offers the pulse input on.

#include "acquisition/recordermodule.h"

class CHalvekPlusModule : public CRecorderModule {
public:
    static constexpr int kChannelCount = 24;
    static constexpr int kFrontEndChannels = 6; // channels with DC/AC/ICP and filters
    static constexpr int kFirstPulseChannel = 4;
    static constexpr int kLastPulseChannel = 5;

    explicit CHalvekPlusModule(CRecordFile& recording);

protected:
    bool IsPulseChannel(int channel) const override;
    void ReadChannelSettings(int channel, HwChanSetup& setup) override;
    void ApplyChannelSettings(int channel, const HwChanSetup& setup) override;
};
