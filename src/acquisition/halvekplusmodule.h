#pragma once
// The recorder's Halvek+ module: 24 channels, default names "HalvekP:%d".

#include "acquisition/hwmodule.h"

class CHalvekPlusModule : public CHwModule {
public:
    static constexpr int kChannelCount = 24;

    explicit CHalvekPlusModule(CRecordFile& recording);
};
