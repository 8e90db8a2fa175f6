#include "waveinalsa.h"

#include "debugout.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace {
std::string FirstLine(const char* text)
{
    if (!text)
        return {};
    std::string line(text);
    size_t newline = line.find('\n');
    return newline == std::string::npos ? line : line.substr(0, newline);
}
} // namespace

std::vector<WaveInAlsa::DeviceName> WaveInAlsa::Devices()
{
    std::vector<DeviceName> others;
    std::string defaultDescription;
    bool any = false;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) == 0 && hints) {
        for (void** hint = hints; *hint; ++hint) {
            char* name = snd_device_name_get_hint(*hint, "NAME");
            char* ioid = snd_device_name_get_hint(*hint, "IOID");
            char* desc = snd_device_name_get_hint(*hint, "DESC");
            bool capture = !ioid || std::strcmp(ioid, "Input") == 0;
            if (name && capture && std::strcmp(name, "null") != 0) {
                any = true;
                if (std::strcmp(name, "default") == 0)
                    defaultDescription = FirstLine(desc);
                else
                    others.push_back({name, FirstLine(desc)});
            }
            std::free(name);
            std::free(ioid);
            std::free(desc);
        }
        snd_device_name_free_hint(hints);
    }
    std::vector<DeviceName> devices;
    if (!any)
        return devices;
    devices.push_back({"default", defaultDescription.empty() ? "default" : defaultDescription});
    devices.insert(devices.end(), others.begin(), others.end());
    return devices;
}

unsigned WaveInAlsa::NumDevs() { return unsigned(Devices().size()); }

MMRESULT WaveInAlsa::GetDevCaps(unsigned deviceId, WAVEINCAPSA* caps)
{
    std::vector<DeviceName> devices = Devices();
    if (deviceId >= devices.size())
        return MMSYSERR_BADDEVICEID;
    *caps = WAVEINCAPSA{};
    std::snprintf(caps->szPname, sizeof caps->szPname, "%s", devices[deviceId].description.c_str());
    caps->wChannels = 2;
    caps->dwFormats = 0x00000400;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInAlsa::MapError(int alsaError)
{
    switch (-alsaError) {
    case 0: return MMSYSERR_NOERROR;
    case EBUSY:
    case EAGAIN: return MMSYSERR_ALLOCATED;
    case ENOENT:
    case ENODEV:
    case ENXIO: return MMSYSERR_NODRIVER;
    case ENOMEM: return MMSYSERR_NOMEM;
    case EINVAL: return WAVERR_BADFORMAT;
    default: return MMSYSERR_ERROR;
    }
}

MMRESULT WaveInAlsa::Open(unsigned deviceId, const WAVEFORMATEX& format, WaveEvent* event, WaveInDevice** device)
{
    std::vector<DeviceName> devices = Devices();
    if (deviceId >= devices.size())
        return MMSYSERR_BADDEVICEID;
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.wBitsPerSample != 16 || format.nChannels < 1 ||
        format.nChannels > 2 || format.nSamplesPerSec == 0)
        return WAVERR_BADFORMAT;
    snd_pcm_t* pcm = nullptr;
    const std::string& name = devices[deviceId].pcm;
    int error = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (error < 0) {
        DebugOut("ALSA: cannot open '" + name + "': " + snd_strerror(error));
        return MapError(error);
    }
    // 100 ms of device buffer, no resampling (the rate must be the one asked for).
    error = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                               format.nSamplesPerSec, 0, 100000);
    if (error < 0) {
        DebugOut("ALSA: '" + name + "' refuses the format: " + snd_strerror(error));
        snd_pcm_close(pcm);
        return error == -EINVAL ? WAVERR_BADFORMAT : MapError(error);
    }
    auto* alsa = new WaveInAlsa(event, pcm, format.nChannels, format.nSamplesPerSec);
    alsa->Launch();
    *device = alsa;
    return MMSYSERR_NOERROR;
}

WaveInAlsa::WaveInAlsa(WaveEvent* event, snd_pcm_t* pcm, int channels, unsigned rate)
    : WaveInDevice(event, channels), m_pcm(pcm), m_channels(channels), m_rate(rate)
{
    snd_pcm_type_t type = snd_pcm_type(pcm);
    m_paced = type == SND_PCM_TYPE_NULL || type == SND_PCM_TYPE_FILE;
    m_silent = type == SND_PCM_TYPE_NULL;
}

WaveInAlsa::~WaveInAlsa() { Shutdown(); }

bool WaveInAlsa::Begin()
{
    int error = snd_pcm_prepare(m_pcm);
    if (error >= 0)
        error = snd_pcm_start(m_pcm);
    if (error < 0) {
        DebugOut(std::string("ALSA: cannot start capture: ") + snd_strerror(error));
        return false;
    }
    m_begin = std::chrono::steady_clock::now();
    m_framesSinceBegin = 0;
    return true;
}

void WaveInAlsa::Halt() { snd_pcm_drop(m_pcm); }

void WaveInAlsa::Release()
{
    if (m_pcm)
        snd_pcm_close(m_pcm);
    m_pcm = nullptr;
}

int WaveInAlsa::Recover(int error)
{
    if (error == -EAGAIN)
        return 0;
    if (snd_pcm_recover(m_pcm, error, 1) < 0 || snd_pcm_start(m_pcm) < 0) {
        // Not recoverable now; try again on the next read.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        snd_pcm_prepare(m_pcm);
        snd_pcm_start(m_pcm);
    }
    return 0;
}

int WaveInAlsa::ReadFrames(int16_t* dest, int maxFrames)
{
    if (m_paced) {
        auto elapsed = std::chrono::steady_clock::now() - m_begin;
        int64_t due = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * m_rate / 1000000 -
                      m_framesSinceBegin;
        if (due <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return 0;
        }
        maxFrames = int(std::min<int64_t>(due, maxFrames));
    }
    int ready = snd_pcm_wait(m_pcm, 20);
    if (ready == 0)
        return 0;
    if (ready < 0)
        return Recover(ready);
    if (m_silent)
        std::memset(dest, 0, size_t(maxFrames) * m_channels * sizeof(int16_t));
    snd_pcm_sframes_t frames = snd_pcm_readi(m_pcm, dest, snd_pcm_uframes_t(maxFrames));
    if (frames < 0)
        return Recover(int(frames));
    m_framesSinceBegin += frames;
    return int(frames);
}
