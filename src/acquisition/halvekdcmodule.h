#pragma once
// The recorder's HalvekDC module: 24 channels, default names "Halvek:%d".

#include "acquisition/hwmodule.h"

class CHalvekDcModule : public CHwModule {
public:
    static constexpr int kChannelCount = 24;

    explicit CHalvekDcModule(CRecordFile& recording);
};
