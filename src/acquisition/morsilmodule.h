#pragma once
// The recorder's Morsil module: 6 channels, default names "Morsil:%d".
// Every channel can be a pulse (rpm) input and has the DC/AC/ICP coupling
// and the filter choices, turned into high-pass, low-pass and IEPE settings.

#include "acquisition/recordermodule.h"

class CMorsilModule : public CRecorderModule {
public:
    static constexpr int kChannelCount = 6;

    explicit CMorsilModule(CRecordFile& recording);

protected:
    bool IsPulseChannel(int) const override { return true; }
    void ReadChannelSettings(int channel, HwChanSetup& setup) override;
    void ApplyChannelSettings(int channel, const HwChanSetup& setup) override;
};
