#pragma once
// Run-time binding of the recorder API library. The library is loaded by
// name and every entry point it must have is looked up into a table of
// function pointers, so that the program runs with the sound card on
// machines without the library. Loading and all calls: UI thread only.
//
// Conventions of the library: module 0 is the only module used, channel
// numbers are 0-based, settings are small ints, ranges are volts (double).

#include "acquisition/recorderapinames.h"

#include <cstdint>
#include <string>

extern "C" {
typedef void (*VelOpaqueFn)();

typedef int (*Vel_VelSetChannelUpdateBusyMode_fn)(int mode, int timeoutMs);
typedef int (*Vel_VelInit_fn)();
typedef int (*Vel_VelGetModuleType_fn)(int module);
typedef int (*Vel_VelGetDLLVersion_fn)(char* text, int* length);
typedef int (*Vel_VelGetChannelOptions_fn)(int module, int channel);
typedef int (*Vel_VelStartSampling_fn)();
typedef int (*Vel_VelStopSampling_fn)();
// Samples per channel acquired since sampling started.
typedef int (*Vel_VelGetBufferState64_fn)(int64_t* count);
// Makes count samples per channel from sample number (high:low) readable.
typedef int (*Vel_VelStoreSamples64_fn)(uint32_t startLow, uint32_t startHigh, int count);
// Copies the samples of the last VelStoreSamples64 as 32-bit words.
typedef int (*Vel_VelGetChannel_fn)(int module, int channel, int32_t* destination);
typedef int (*Vel_VelGetDataWidth_fn)(int module);
typedef int (*Vel_VelSetDataWidth_fn)(int module, int bits);
typedef int (*Vel_VelGetChannelActive_fn)(int module, int channel);
typedef int (*Vel_VelSetChannelActive_fn)(int module, int channel, int on);
typedef double (*Vel_VelGetInpRange_fn)(int module, int channel);
typedef int (*Vel_VelSetInpRange_fn)(int module, int channel, double volts);
typedef int (*Vel_VelGetIEPE_fn)(int module, int channel);
typedef int (*Vel_VelSetIEPE_fn)(int module, int channel, int on);
typedef int (*Vel_VelGetHPFilter_fn)(int module, int channel);
typedef int (*Vel_VelSetHPFilter_fn)(int module, int channel, int setting);
typedef int (*Vel_VelGetLPFilter_fn)(int module, int channel);
typedef int (*Vel_VelSetLPFilter_fn)(int module, int channel, int setting);
typedef int (*Vel_VelGetPolPower_fn)(int module, int channel);
typedef int (*Vel_VelSetPolPower_fn)(int module, int channel, int setting);
typedef int (*Vel_VelGetPreampPower_fn)(int module, int channel);
typedef int (*Vel_VelSetPreampPower_fn)(int module, int channel, int setting);
typedef int (*Vel_VelGetRPM_fn)(int module, int channel, int* mode, int* percent, int* usec);
typedef int (*Vel_VelSetRPM_fn)(int module, int channel, int on, int percent, int usec);
typedef int (*Vel_VelGetSampleRate_fn)();
typedef int (*Vel_VelSetSampleRate_fn)(int samplesPerSecond);
typedef int (*Vel_VelCalibrate_fn)(int module, int channel, int reserved);
typedef int (*Vel_VelCalibrationActive_fn)(int module, int channel, int reserved);
}

// One pointer per entry point, named after it; null until bound.
struct RecorderApi {
#define VEL_TYPED_MEMBER(name) Vel_##name##_fn name = nullptr;
#define VEL_OPAQUE_MEMBER(name) VelOpaqueFn name = nullptr;
    VEL_FIRST_LIST(VEL_TYPED_MEMBER, VEL_OPAQUE_MEMBER)
    VEL_SECOND_LIST(VEL_TYPED_MEMBER, VEL_OPAQUE_MEMBER)
    VEL_GROUP_A(VEL_TYPED_MEMBER, VEL_OPAQUE_MEMBER)
    VEL_GROUP_B(VEL_TYPED_MEMBER, VEL_OPAQUE_MEMBER)
    VEL_GROUP_C(VEL_TYPED_MEMBER, VEL_OPAQUE_MEMBER)
    VEL_GROUP_1_2(VEL_TYPED_MEMBER, VEL_OPAQUE_MEMBER)
    VEL_GROUP_1_3(VEL_TYPED_MEMBER, VEL_OPAQUE_MEMBER)
    VEL_GROUP_1_6(VEL_TYPED_MEMBER, VEL_OPAQUE_MEMBER)
    VEL_GROUP_1_9(VEL_TYPED_MEMBER, VEL_OPAQUE_MEMBER)
    VEL_GROUP_1_13(VEL_TYPED_MEMBER, VEL_OPAQUE_MEMBER)
    VEL_GROUP_1_14(VEL_TYPED_MEMBER, VEL_OPAQUE_MEMBER)
#undef VEL_TYPED_MEMBER
#undef VEL_OPAQUE_MEMBER

    void* handle = nullptr;  // never released once loaded
    uint32_t version = 0;    // a.b.c.d as bytes a (top) .. d
};

// The table the process uses.
RecorderApi& Vel();

// Loads the library and binds it into the process table: 0 when every
// required entry point is bound, -1 when the library could not be loaded,
// -2 when a required entry point is missing (binding stops there; what was
// bound stays bound). "Velmor4API.dll" means libVelmor4API.so, looked up by
// the normal library search, then in the program directory, last in the
// private library folder of an installed KRV; the environment variable
// KRV_RECORDER_LIB names another file.
int LoadRecorderApi(const std::string& fileName);
// The same into a table of the caller's.
int LoadRecorderApi(const std::string& fileName, RecorderApi& api);

// Where an installed KRV keeps the recorder simulator, given the program
// directory (with its trailing '/'): a folder of its own below the library
// folder, so that the simulator never shadows a recorder library on the
// normal search path. Ends in '/'.
std::string RecorderPrivateFolder(const std::string& programDirectory);

// The version number of a text "a.b.c.d": each part's value truncated to
// 8 bits, shifted in from the right.
uint32_t RecorderVersionNumber(const char* text);
constexpr uint32_t RecorderVersion(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return (a & 0xFF) << 24 | (b & 0xFF) << 16 | (c & 0xFF) << 8 | (d & 0xFF);
}
