#include "waveinsimulated.h"

#include "debugout.h"
#include "wavfile.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
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

} // namespace

// The header is checked here, on the opening thread, so that a file that
// cannot be played is refused with its reason before any device exists.
MMRESULT WaveInSimulated::OpenWav(WavFile& wav, const std::string& path, std::string* reason)
{
    std::string error;
    const WavFile::OpenResult opened = wav.Open(path, &error);
    if (opened != WavFile::OpenResult::Opened) {
        DebugOut("simulated wave input: " + error);
        if (reason)
            *reason = error;
        // A damaged header is a format the device cannot play; a file that
        // cannot be opened is a device that is missing.
        return opened == WavFile::OpenResult::BadHeader ? WAVERR_BADFORMAT : MMSYSERR_NODRIVER;
    }
    if (wav.Format().rate != uint32_t(kRate))
        DebugOut(path + ": sample rate " + std::to_string(wav.Format().rate) + " is played at 44100");
    return MMSYSERR_NOERROR;
}

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
                               WaveEvent* event, WaveInDevice** device, std::string* reason)
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
    std::unique_ptr<WavFile> wav;
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
        wav = std::make_unique<WavFile>();
        if (MMRESULT result = OpenWav(*wav, parsed.rest, reason); result != MMSYSERR_NOERROR)
            return result;
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
                                 std::unique_ptr<WavFile> wav)
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
    if (m_signal == Signal::Wav) {
        m_wav->ReadStereo(dest, frames);
        return;
    }
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
        case Signal::Wav:
            break;
        }
        dest[2 * i] = left;
        dest[2 * i + 1] = right;
    }
}
