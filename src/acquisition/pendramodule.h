#pragma once
// The recorder's Pendra module: 6 channels, default names "Pendra:%d".

#include "acquisition/hwmodule.h"

class CPendraModule : public CHwModule {
public:
    static constexpr int kChannelCount = 6;

    explicit CPendraModule(CRecordFile& recording);
};
