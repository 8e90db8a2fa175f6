// A simulated recorder behind the recorder API: module 0 of the model named
// by VELMOR_SIM_MODULE (Halvek, HalvekDC, Halvek+, Morsil, Pendra, or a
// numeric type code; unset or unknown: no module, VelInit returns 0).
//
// Settings read back what was set. The sample count grows with real time at
// the sample rate from VelStartSampling on. Analog channels deliver signed
// 32-bit counts of a sine whose frequency and amplitude depend on the
// channel, every fourth channel (3, 7, ...) with white noise of 5 % of full
// scale added (repeatable: a hash of channel and sample number); a channel in pulse (rpm) mode delivers a tacho line, 32 line
// samples a word, most significant bit first. Calibration stays active for
// VELMOR_SIM_CALIBRATION_MS (default 50 ms).
//
// Power-on state: every channel on, 10 V range, analog input, no filter,
// IEPE off (the Pendra AC coupled), 10000 samples per second.
//
// For tests, VelSimSetManualClock/VelSimAdvance replace the real-time clock,
// VelSimSample gives the word any channel delivers for a sample number, and
// VelSimSettingCalls/VelSimCalibrations count the setting calls (every
// VelSet... but the data width) and the calibrations since VelInit or
// VelSimResetCounts.
// The library keeps no thread of its own; calls come from one thread.

#include "acquisition/recorderapi.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#ifndef VELMOR_SIM_VERSION
#define VELMOR_SIM_VERSION "1.14.2.0"
#endif

namespace {
using Clock = std::chrono::steady_clock;

constexpr int kMaxChannels = 24;
constexpr int kMaxStore = 1 << 20;
constexpr double kPi = 3.14159265358979323846;

struct Channel {
    int active = 1;
    double range = 10.0;
    int iepe = 0;
    int hp = 0;
    int lp = 0;
    int polPower = 0;
    int preampPower = 0;
    int rpmMode = 0;
    int rpmPercent = 50;
    int rpmUsec = 100;
    Clock::time_point calibratedUntil{};
};

struct Module {
    int type = 0;     // 0: none
    int options = 0;  // bits 29 and 30 tell variants apart
    int channelCount = 0;
    int sampleRate = 10000;
    int dataWidth = 16;
    bool sampling = false;
    Clock::time_point start{};
    bool manualClock = false;
    int64_t manualCount = 0;
    int64_t storedStart = 0;
    int storedCount = 0;
    Channel channels[kMaxChannels];
    int settingCalls = 0;
    int calibrations[kMaxChannels] = {};
};

Module g_module;

int CalibrationMs()
{
    const char* text = std::getenv("VELMOR_SIM_CALIBRATION_MS");
    return text ? std::atoi(text) : 50;
}

void SetUpModel(const std::string& model)
{
    g_module = Module{};
    if (model == "Halvek") {
        g_module.type = 4;
    } else if (model == "HalvekDC") {
        g_module.type = 4;
        g_module.options = 1 << 29;
    } else if (model == "Halvek+") {
        g_module.type = 12;
    } else if (model == "Morsil") {
        g_module.type = 1;
    } else if (model == "Pendra") {
        g_module.type = 17;
    } else if (!model.empty() && std::isdigit(static_cast<unsigned char>(model[0]))) {
        g_module.type = std::atoi(model.c_str());
    }
    const bool sixChannels = g_module.type == 1 || g_module.type == 17;
    g_module.channelCount = g_module.type == 0 ? 0 : (sixChannels ? 6 : kMaxChannels);
    // The Pendra's inputs are AC or ICP coupled, never DC.
    if (g_module.type == 17) {
        for (Channel& channel : g_module.channels)
            channel.hp = 1;
    }
}

bool ValidChannel(int module, int channel)
{
    return module == 0 && channel >= 0 && channel < g_module.channelCount;
}

// Tacho speed of a pulse channel: one pulse per revolution.
double PulseRpm(int channel) { return 600.0 + 60.0 * channel; }

// Frequencies 50 Hz, 75 Hz, ...; amplitudes from 0.9 down to 0.21 of full
// scale, so every channel stays within its range. Whole numbers of hertz
// repeat every second, so one second of each channel is tabulated (like a
// real library copying out of its sample buffer, delivery is a copy).
struct SineTable {
    int rate = 0;
    std::vector<int32_t> values;
};
SineTable g_sines[kMaxChannels];

int32_t AnalogSample(int channel, int64_t n, int rate)
{
    SineTable& table = g_sines[channel];
    if (table.rate != rate) {
        const double frequency = 50.0 + 25.0 * channel;
        const double amplitude = (0.9 - 0.03 * channel) * 2147483647.0;
        table.rate = rate;
        table.values.resize(static_cast<size_t>(rate));
        for (int i = 0; i < rate; ++i)
            table.values[i] = static_cast<int32_t>(
                std::lround(amplitude * std::sin(2.0 * kPi * frequency * i / rate)));
    }
    return table.values[static_cast<size_t>(n % rate)];
}

// 32 line samples of sample n: high during the first quarter of each period.
int32_t PulseWord(int channel, int64_t n, int rate)
{
    const int64_t period = std::max<int64_t>(
        1, std::llround(32.0 * rate * 60.0 / PulseRpm(channel)));
    const int64_t high = std::max<int64_t>(1, period / 4);
    uint32_t word = 0;
    for (int bit = 0; bit < 32; ++bit) {
        const int64_t line = n * 32 + bit;
        word = (word << 1) | (line % period < high ? 1u : 0u);
    }
    return static_cast<int32_t>(word);
}

bool HasNoise(int channel) { return channel % 4 == 3; }

// White noise in [-5 %, +5 %) of full scale, the same for the same sample.
int32_t Noise(int channel, int64_t n)
{
    uint64_t z = static_cast<uint64_t>(n) * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(channel + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<int32_t>(static_cast<int64_t>(z >> 32) / 20 - 107374182);
}

int32_t SampleWord(int channel, int64_t n)
{
    const int rate = std::max(1, g_module.sampleRate);
    if (g_module.channels[channel].rpmMode)
        return PulseWord(channel, n, rate);
    const int32_t sine = AnalogSample(channel, n, rate);
    return HasNoise(channel) ? sine + Noise(channel, n) : sine;
}

int64_t AcquiredCount()
{
    if (!g_module.sampling)
        return 0;
    if (g_module.manualClock)
        return g_module.manualCount;
    const double seconds = std::chrono::duration<double>(Clock::now() - g_module.start).count();
    return static_cast<int64_t>(seconds * g_module.sampleRate);
}
} // namespace

extern "C" {

// Typed entry points; the asserts keep them in step with the binding's types.
#define VEL_CHECK(name) \
    static_assert(std::is_same_v<decltype(&name), Vel_##name##_fn>, #name " has the wrong type");

int VelSetChannelUpdateBusyMode(int, int) { return 0; }

int VelInit()
{
    const char* model = std::getenv("VELMOR_SIM_MODULE");
    SetUpModel(model ? model : "");
    return g_module.type != 0 ? 1 : 0;
}

int VelGetModuleType(int module) { return module == 0 ? g_module.type : 0; }

int VelGetDLLVersion(char* text, int* length)
{
    if (!text || !length || *length <= 0)
        return -1;
    std::strncpy(text, VELMOR_SIM_VERSION, static_cast<size_t>(*length) - 1);
    text[*length - 1] = '\0';
    *length = static_cast<int>(std::strlen(text));
    return 0;
}

int VelGetChannelOptions(int module, int) { return module == 0 ? g_module.options : 0; }

int VelStartSampling()
{
    g_module.sampling = true;
    g_module.start = Clock::now();
    g_module.manualCount = 0;
    return 0;
}

int VelStopSampling()
{
    g_module.sampling = false;
    return 0;
}

int VelGetBufferState64(int64_t* count)
{
    if (count)
        *count = AcquiredCount();
    return 0;
}

int VelStoreSamples64(uint32_t startLow, uint32_t startHigh, int count)
{
    g_module.storedStart = static_cast<int64_t>((static_cast<uint64_t>(startHigh) << 32) | startLow);
    g_module.storedCount = std::clamp(count, 0, kMaxStore);
    return 0;
}

#ifndef VELMOR_SIM_NO_GETCHANNEL
int VelGetChannel(int module, int channel, int32_t* destination)
{
    if (!ValidChannel(module, channel) || !destination)
        return -1;
    const int count = g_module.storedCount;
    const int64_t first = g_module.storedStart;
    if (g_module.channels[channel].rpmMode) {
        for (int i = 0; i < count; ++i)
            destination[i] = SampleWord(channel, first + i);
        return count;
    }
    const int rate = std::max(1, g_module.sampleRate);
    AnalogSample(channel, 0, rate); // tabulates the channel at this rate
    const int32_t* table = g_sines[channel].values.data();
    int64_t at = first % rate;
    const bool noise = HasNoise(channel);
    for (int i = 0; i < count; ++i) {
        destination[i] = noise ? table[at] + Noise(channel, first + i) : table[at];
        if (++at == rate)
            at = 0;
    }
    return count;
}
VEL_CHECK(VelGetChannel)
#endif

int VelGetDataWidth(int module) { return module == 0 ? g_module.dataWidth : 0; }
int VelSetDataWidth(int module, int bits)
{
    if (module == 0)
        g_module.dataWidth = bits;
    return 0;
}

#define VEL_INT_SETTING(getter, setter, field)                 \
    int getter(int module, int channel)                        \
    {                                                          \
        return ValidChannel(module, channel) ? g_module.channels[channel].field : 0; \
    }                                                          \
    int setter(int module, int channel, int value)             \
    {                                                          \
        if (!ValidChannel(module, channel))                    \
            return -1;                                         \
        ++g_module.settingCalls;                               \
        g_module.channels[channel].field = value;              \
        return 0;                                              \
    }                                                          \
    VEL_CHECK(getter) VEL_CHECK(setter)

VEL_INT_SETTING(VelGetChannelActive, VelSetChannelActive, active)
VEL_INT_SETTING(VelGetIEPE, VelSetIEPE, iepe)
VEL_INT_SETTING(VelGetHPFilter, VelSetHPFilter, hp)
VEL_INT_SETTING(VelGetLPFilter, VelSetLPFilter, lp)
VEL_INT_SETTING(VelGetPolPower, VelSetPolPower, polPower)
VEL_INT_SETTING(VelGetPreampPower, VelSetPreampPower, preampPower)

double VelGetInpRange(int module, int channel)
{
    return ValidChannel(module, channel) ? g_module.channels[channel].range : 0.0;
}

int VelSetInpRange(int module, int channel, double volts)
{
    if (!ValidChannel(module, channel))
        return -1;
    ++g_module.settingCalls;
    g_module.channels[channel].range = volts;
    return 0;
}

int VelGetRPM(int module, int channel, int* mode, int* percent, int* usec)
{
    if (!ValidChannel(module, channel))
        return -1;
    const Channel& c = g_module.channels[channel];
    if (mode)
        *mode = c.rpmMode;
    if (percent)
        *percent = c.rpmPercent;
    if (usec)
        *usec = c.rpmUsec;
    return 0;
}

int VelSetRPM(int module, int channel, int on, int percent, int usec)
{
    if (!ValidChannel(module, channel))
        return -1;
    ++g_module.settingCalls;
    Channel& c = g_module.channels[channel];
    c.rpmMode = on ? 1 : 0;
    c.rpmPercent = percent;
    c.rpmUsec = usec;
    return 0;
}

int VelGetSampleRate() { return g_module.sampleRate; }
int VelSetSampleRate(int samplesPerSecond)
{
    ++g_module.settingCalls;
    if (samplesPerSecond > 0)
        g_module.sampleRate = samplesPerSecond;
    return 0;
}

int VelCalibrate(int module, int channel, int)
{
    if (!ValidChannel(module, channel))
        return -1;
    ++g_module.calibrations[channel];
    g_module.channels[channel].calibratedUntil = Clock::now() + std::chrono::milliseconds(CalibrationMs());
    return 0;
}

int VelCalibrationActive(int module, int channel, int)
{
    if (!ValidChannel(module, channel))
        return 0;
    return Clock::now() < g_module.channels[channel].calibratedUntil ? 1 : 0;
}

VEL_CHECK(VelSetChannelUpdateBusyMode)
VEL_CHECK(VelInit)
VEL_CHECK(VelGetModuleType)
VEL_CHECK(VelGetDLLVersion)
VEL_CHECK(VelGetChannelOptions)
VEL_CHECK(VelStartSampling)
VEL_CHECK(VelStopSampling)
VEL_CHECK(VelGetBufferState64)
VEL_CHECK(VelStoreSamples64)
VEL_CHECK(VelGetDataWidth)
VEL_CHECK(VelSetDataWidth)
VEL_CHECK(VelGetInpRange)
VEL_CHECK(VelSetInpRange)
VEL_CHECK(VelGetRPM)
VEL_CHECK(VelSetRPM)
VEL_CHECK(VelGetSampleRate)
VEL_CHECK(VelSetSampleRate)
VEL_CHECK(VelCalibrate)
VEL_CHECK(VelCalibrationActive)

// Entry points the system only binds: present, inert.
#define VEL_SKIP(name)
#define VEL_INERT(name) \
    int name() { return 0; }
VEL_FIRST_LIST(VEL_SKIP, VEL_INERT)
VEL_SECOND_LIST(VEL_SKIP, VEL_INERT)
VEL_GROUP_A(VEL_SKIP, VEL_INERT)
VEL_GROUP_B(VEL_SKIP, VEL_INERT)
VEL_GROUP_C(VEL_SKIP, VEL_INERT)
VEL_GROUP_1_2(VEL_SKIP, VEL_INERT)
VEL_GROUP_1_3(VEL_SKIP, VEL_INERT)
#if !defined(VELMOR_SIM_UP_TO_1_5)
VEL_GROUP_1_6(VEL_SKIP, VEL_INERT)
VEL_GROUP_1_9(VEL_SKIP, VEL_INERT)
#if !defined(VELMOR_SIM_UP_TO_1_9)
VEL_GROUP_1_13(VEL_SKIP, VEL_INERT)
VEL_GROUP_1_14(VEL_SKIP, VEL_INERT)
#endif
#endif

// Test controls, not part of the recorder API.
void VelSimSetManualClock(int on)
{
    g_module.manualClock = on != 0;
    g_module.manualCount = 0;
}

void VelSimAdvance(int64_t samples) { g_module.manualCount += samples; }

int32_t VelSimSample(int channel, int64_t n)
{
    if (channel < 0 || channel >= g_module.channelCount)
        return 0;
    return SampleWord(channel, n);
}

int VelSimSettingCalls() { return g_module.settingCalls; }

int VelSimCalibrations(int channel)
{
    return channel >= 0 && channel < kMaxChannels ? g_module.calibrations[channel] : 0;
}

void VelSimResetCounts()
{
    g_module.settingCalls = 0;
    std::fill(std::begin(g_module.calibrations), std::end(g_module.calibrations), 0);
}

} // extern "C"
