#pragma once
// The recorder simulator's test controls, looked up in the loaded library.

#include "acquisition/recorderapi.h"

#include <cstdint>
#include <dlfcn.h>

struct SimControl {
    void (*SetManualClock)(int) = nullptr;
    void (*Advance)(int64_t) = nullptr;
    int32_t (*Sample)(int, int64_t) = nullptr;

    // Valid once the recorder API was loaded.
    SimControl()
    {
        void* handle = Vel().handle;
        if (!handle)
            return;
        SetManualClock = reinterpret_cast<void (*)(int)>(dlsym(handle, "VelSimSetManualClock"));
        Advance = reinterpret_cast<void (*)(int64_t)>(dlsym(handle, "VelSimAdvance"));
        Sample = reinterpret_cast<int32_t (*)(int, int64_t)>(dlsym(handle, "VelSimSample"));
    }
    bool Valid() const { return SetManualClock && Advance && Sample; }
};
