#pragma once
// The recorder's Morsil module: 6 channels, default names "Morsil:%d".

#include "acquisition/hwmodule.h"

class CMorsilModule : public CHwModule {
public:
    static constexpr int kChannelCount = 6;

    explicit CMorsilModule(CRecordFile& recording);
};
