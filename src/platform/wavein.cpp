#include "wavein.h"

#include "debugout.h"
#include "waveinalsa.h"
#include "waveindevice.h"
#include "waveinsimulated.h"

#include <cstdlib>
#include <string>

namespace {
enum class Backend { Alsa, None, Simulated };

struct Choice {
    Backend backend;
    std::string setting;
};

Choice Chosen()
{
    const char* value = std::getenv("KRV_WAVEIN");
    std::string setting = value ? value : "";
    if (setting.empty() || setting == "alsa")
        return {Backend::Alsa, setting};
    if (setting == "none")
        return {Backend::None, setting};
    if (WaveInSimulated::Understands(setting))
        return {Backend::Simulated, setting};
    DebugOut("KRV_WAVEIN='" + setting + "' names no wave input; no device");
    return {Backend::None, setting};
}

// What the last waveInOpen of this thread found wrong beyond its result code.
thread_local std::string t_openFailureReason;
} // namespace

std::string waveInOpenFailureReason() { return t_openFailureReason; }

unsigned waveInGetNumDevs()
{
    Choice choice = Chosen();
    switch (choice.backend) {
    case Backend::Alsa: return WaveInAlsa::NumDevs();
    case Backend::Simulated: return WaveInSimulated::NumDevs(choice.setting);
    default: return 0;
    }
}

MMRESULT waveInGetDevCapsA(unsigned deviceId, WAVEINCAPSA* caps, unsigned capsSize)
{
    if (!caps || capsSize < sizeof(WAVEINCAPSA))
        return MMSYSERR_INVALPARAM;
    Choice choice = Chosen();
    switch (choice.backend) {
    case Backend::Alsa: return WaveInAlsa::GetDevCaps(deviceId, caps);
    case Backend::Simulated: return WaveInSimulated::GetDevCaps(choice.setting, deviceId, caps);
    default: return MMSYSERR_BADDEVICEID;
    }
}

MMRESULT waveInOpen(HWAVEIN* device, unsigned deviceId, const WAVEFORMATEX* format, WaveEvent* event,
                    uintptr_t, uint32_t flags)
{
    t_openFailureReason.clear();
    if (!device || !format || !event || (flags & CALLBACK_EVENT) != CALLBACK_EVENT)
        return MMSYSERR_INVALPARAM;
    *device = nullptr;
    if (format->nBlockAlign != format->nChannels * format->wBitsPerSample / 8 ||
        format->nAvgBytesPerSec != format->nSamplesPerSec * format->nBlockAlign)
        return WAVERR_BADFORMAT;
    Choice choice = Chosen();
    switch (choice.backend) {
    case Backend::Alsa: return WaveInAlsa::Open(deviceId, *format, event, device);
    case Backend::Simulated:
        return WaveInSimulated::Open(choice.setting, deviceId, *format, event, device, &t_openFailureReason);
    default: return MMSYSERR_BADDEVICEID;
    }
}

namespace {
// Sets or clears the prepared mark of a header that is not queued.
MMRESULT MarkPrepared(HWAVEIN device, WAVEHDR* header, unsigned headerSize, bool prepared)
{
    if (!device)
        return MMSYSERR_INVALHANDLE;
    if (!header || headerSize < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    uint32_t flags = header->dwFlags.load(std::memory_order_acquire);
    if (flags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    flags = prepared ? flags | WHDR_PREPARED : flags & ~WHDR_PREPARED;
    header->dwFlags.store(flags, std::memory_order_release);
    return MMSYSERR_NOERROR;
}
} // namespace

MMRESULT waveInPrepareHeader(HWAVEIN device, WAVEHDR* header, unsigned headerSize)
{
    return MarkPrepared(device, header, headerSize, true);
}

MMRESULT waveInUnprepareHeader(HWAVEIN device, WAVEHDR* header, unsigned headerSize)
{
    return MarkPrepared(device, header, headerSize, false);
}

MMRESULT waveInAddBuffer(HWAVEIN device, WAVEHDR* header, unsigned headerSize)
{
    if (!device)
        return MMSYSERR_INVALHANDLE;
    if (!header || headerSize < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return device->AddBuffer(header);
}

MMRESULT waveInStart(HWAVEIN device) { return device ? device->Start() : MMSYSERR_INVALHANDLE; }

MMRESULT waveInStop(HWAVEIN device) { return device ? device->Stop() : MMSYSERR_INVALHANDLE; }

MMRESULT waveInReset(HWAVEIN device) { return device ? device->Reset() : MMSYSERR_INVALHANDLE; }

MMRESULT waveInClose(HWAVEIN device)
{
    if (!device)
        return MMSYSERR_INVALHANDLE;
    device->Shutdown();
    delete device;
    return MMSYSERR_NOERROR;
}
