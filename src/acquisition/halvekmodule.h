#pragma once
// The recorder's Halvek module: 24 channels, default names "Halvek:%d".

#include "acquisition/hwmodule.h"

class CHalvekModule : public CHwModule {
public:
    static constexpr int kChannelCount = 24;

    explicit CHalvekModule(CRecordFile& recording);
};
