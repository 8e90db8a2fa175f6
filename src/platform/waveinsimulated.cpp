#include "waveinsimulated.h"

#include "debugout.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <numbers>
#include <thread>

namespace {
constexpr int kRate = 44100;

std::mutex g_manualMutex;
std::condition_variable g_manualCv;
int64_t g_manualBudget = 0;
// Frames the device threads took from the budget and have not put into a
// buffer yet: a read hands its frames to the device thread, which copies
// them after the read returns. Under g_manualMutex.
int64_t g_manualInFlight = 0;

struct Parsed {
    std::string kind;
    std::string rest; // after the first ':'
};

Parsed Split(const std::string& setting)
{
    size_t colon = setting.find(':');
    if (colon == std::string::npos)
        return {setting, {}};
    return {setting.substr(0, colon), setting.substr(colon + 1)};
}

double NumberAt(const std::string& text, int index, double fallback)
{
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = text.find(':', start);
        if (start == std::string::npos)
            return fallback;
        ++start;
    }
    if (start >= text.size())
        return fallback;
    char* end = nullptr;
    double value = std::strtod(text.c_str() + start, &end);
    return end == text.c_str() + start ? fallback : value;
}

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

// A 16-bit PCM WAV file (mono or stereo) as interleaved stereo; empty on failure.
std::vector<int16_t> LoadWav(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return {};
    }
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) || std::memcmp(bytes.data() + 8, "WAVE", 4)) {
        error = path + " is no RIFF/WAVE file";
        return {};
    }
    int channels = 0, bits = 0, tag = 0;
    uint32_t rate = 0;
    size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        uint32_t size = Le32(&bytes[pos + 4]);
        const unsigned char* body = &bytes[pos + 8];
        size_t available = std::min<size_t>(size, bytes.size() - pos - 8);
        if (!std::memcmp(&bytes[pos], "fmt ", 4) && available >= 16) {
            tag = Le16(body);
            channels = Le16(body + 2);
            rate = Le32(body + 4);
            bits = Le16(body + 14);
        } else if (!std::memcmp(&bytes[pos], "data", 4)) {
            if (tag != WAVE_FORMAT_PCM || bits != 16 || (channels != 1 && channels != 2)) {
                error = path + ": only 16-bit PCM mono or stereo is supported";
                return {};
            }
            if (rate != kRate)
                DebugOut(path + ": sample rate " + std::to_string(rate) + " is played at 44100");
            size_t frames = available / (2 * size_t(channels));
            std::vector<int16_t> samples(frames * 2);
            for (size_t f = 0; f < frames; ++f)
                for (int c = 0; c < 2; ++c) {
                    int source = channels == 2 ? c : 0;
                    samples[2 * f + c] = int16_t(Le16(body + 2 * (f * channels + source)));
                }
            if (samples.empty())
                error = path + " holds no samples";
            return samples;
        }
        pos += 8 + size + (size & 1);
    }
    error = path + " has no data chunk";
    return {};
}
} // namespace

bool WaveInSimulated::Understands(const std::string& setting)
{
    const std::string kind = Split(setting).kind;
    return kind == "busy" || kind == "sine" || kind == "noise" || kind == "ramp" || kind == "wav" ||
           kind == "manual";
}

unsigned WaveInSimulated::NumDevs(const std::string& setting) { return Understands(setting) ? 1 : 0; }

MMRESULT WaveInSimulated::GetDevCaps(const std::string& setting, unsigned deviceId, WAVEINCAPSA* caps)
{
    if (deviceId >= NumDevs(setting))
        return MMSYSERR_BADDEVICEID;
    *caps = WAVEINCAPSA{};
    std::string name = "Simulated " + Split(setting).kind;
    std::snprintf(caps->szPname, sizeof caps->szPname, "%s", name.c_str());
    caps->wChannels = 2;
    caps->dwFormats = 0x00000400; // 44.1 kHz stereo 16-bit
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInSimulated::Open(const std::string& setting, unsigned deviceId, const WAVEFORMATEX& format,
                               WaveEvent* event, WaveInDevice** device)
{
    if (deviceId >= NumDevs(setting))
        return MMSYSERR_BADDEVICEID;
    const Parsed parsed = Split(setting);
    if (parsed.kind == "busy")
        return MMSYSERR_ALLOCATED;
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.nChannels != 2 || format.nSamplesPerSec != kRate ||
        format.wBitsPerSample != 16)
        return WAVERR_BADFORMAT;
    Signal signal = Signal::Sine;
    double frequency = 0, level = 0;
    std::vector<int16_t> wav;
    if (parsed.kind == "sine") {
        frequency = NumberAt(parsed.rest, 0, 1000.0);
        level = NumberAt(parsed.rest, 1, 0.5);
    } else if (parsed.kind == "noise") {
        signal = Signal::Noise;
        level = NumberAt(parsed.rest, 0, 0.5);
    } else if (parsed.kind == "ramp") {
        signal = Signal::Ramp;
    } else if (parsed.kind == "manual") {
        signal = Signal::Manual;
        std::lock_guard lock(g_manualMutex);
        g_manualBudget = 0;
    } else {
        signal = Signal::Wav;
        std::string error;
        wav = LoadWav(parsed.rest, error);
        if (wav.empty()) {
            DebugOut("simulated wave input: " + error);
            return MMSYSERR_NODRIVER;
        }
    }
    level = std::clamp(level, 0.0, 1.0);
    auto* simulated = new WaveInSimulated(event, signal, frequency, level, std::move(wav));
    simulated->Launch();
    *device = simulated;
    return MMSYSERR_NOERROR;
}

void WaveInSimulated::Advance(int frames)
{
    {
        std::lock_guard lock(g_manualMutex);
        g_manualBudget += frames;
    }
    g_manualCv.notify_all();
}

int64_t WaveInSimulated::PendingFrames()
{
    std::lock_guard lock(g_manualMutex);
    return g_manualBudget + g_manualInFlight;
}

void WaveInSimulated::Overrun(int16_t* scratch, int maxFrames)
{
    if (m_signal == Signal::Manual) {
        SettleInFlight();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } else {
        ReadFrames(scratch, maxFrames);
    }
}

void WaveInSimulated::Halt()
{
    if (m_signal == Signal::Manual)
        SettleInFlight();
}

// The device thread calls into the backend again only after it has copied
// (or, when stopped meanwhile, dropped) the frames of the previous read.
void WaveInSimulated::SettleInFlight()
{
    std::lock_guard lock(g_manualMutex);
    g_manualInFlight -= m_inFlight;
    m_inFlight = 0;
}

WaveInSimulated::WaveInSimulated(WaveEvent* event, Signal signal, double frequency, double level,
                                 std::vector<int16_t> wav)
    : WaveInDevice(event, 2), m_signal(signal), m_frequency(frequency), m_level(level), m_wav(std::move(wav))
{
}

WaveInSimulated::~WaveInSimulated()
{
    Shutdown();
    if (m_signal == Signal::Manual)
        SettleInFlight();
}

bool WaveInSimulated::Begin()
{
    m_begin = std::chrono::steady_clock::now();
    m_producedSinceBegin = 0;
    return true;
}

int WaveInSimulated::FramesDue(int maxFrames)
{
    if (m_signal == Signal::Manual) {
        SettleInFlight();
        std::unique_lock lock(g_manualMutex);
        g_manualCv.wait_for(lock, std::chrono::milliseconds(20), [] { return g_manualBudget > 0; });
        int frames = int(std::min<int64_t>(g_manualBudget, maxFrames));
        g_manualBudget -= frames;
        g_manualInFlight += frames;
        m_inFlight = frames;
        return frames;
    }
    auto elapsed = std::chrono::steady_clock::now() - m_begin;
    int64_t due = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * kRate / 1000000 -
                  m_producedSinceBegin;
    if (due <= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return 0;
    }
    return int(std::min<int64_t>(due, maxFrames));
}

int WaveInSimulated::ReadFrames(int16_t* dest, int maxFrames)
{
    int frames = FramesDue(maxFrames);
    if (frames > 0) {
        Generate(dest, frames);
        m_producedSinceBegin += frames;
        m_frameIndex += frames;
    }
    return frames;
}

void WaveInSimulated::Generate(int16_t* dest, int frames)
{
    const double amplitude = m_level * 32767.0;
    for (int i = 0; i < frames; ++i) {
        int64_t n = m_frameIndex + i;
        int16_t left = 0, right = 0;
        switch (m_signal) {
        case Signal::Sine: {
            // The phase from n mod rate keeps it exact over hours for integer frequencies.
            double t = double(n % kRate) / kRate + double(n / kRate);
            double v = amplitude * std::sin(2.0 * std::numbers::pi * std::fmod(m_frequency * t, 1.0));
            left = int16_t(std::lround(v));
            right = int16_t(std::lround(v / 2));
            break;
        }
        case Signal::Noise: {
            auto next = [this] {
                m_noiseState ^= m_noiseState << 13;
                m_noiseState ^= m_noiseState >> 7;
                m_noiseState ^= m_noiseState << 17;
                return double(m_noiseState >> 11) / double(1ull << 53) * 2.0 - 1.0;
            };
            left = int16_t(std::lround(amplitude * next()));
            right = int16_t(std::lround(amplitude * next()));
            break;
        }
        case Signal::Ramp:
        case Signal::Manual:
            left = int16_t(uint16_t(n));
            right = int16_t(uint16_t(-n));
            break;
        case Signal::Wav: {
            size_t frame = size_t(n % int64_t(m_wav.size() / 2));
            left = m_wav[2 * frame];
            right = m_wav[2 * frame + 1];
            break;
        }
        }
        dest[2 * i] = left;
        dest[2 * i + 1] = right;
    }
}
