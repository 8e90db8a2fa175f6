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
    std::string spec;
};

Choice Chosen()
{
    const char* value = std::getenv("KRV_WAVEIN");
    std::string spec = value ? value : "";
    if (spec.empty() || spec == "alsa")
        return {Backend::Alsa, spec};
    if (spec == "none")
        return {Backend::None, spec};
    if (WaveInSimulated::Understands(spec))
        return {Backend::Simulated, spec};
    DebugOut("KRV_WAVEIN='" + spec + "' names no wave input; no device");
    return {Backend::None, spec};
}
} // namespace

unsigned waveInGetNumDevs()
{
    Choice choice = Chosen();
    switch (choice.backend) {
    case Backend::Alsa: return WaveInAlsa::NumDevs();
    case Backend::Simulated: return WaveInSimulated::NumDevs(choice.spec);
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
    case Backend::Simulated: return WaveInSimulated::GetDevCaps(choice.spec, deviceId, caps);
    default: return MMSYSERR_BADDEVICEID;
    }
}

MMRESULT waveInOpen(HWAVEIN* device, unsigned deviceId, const WAVEFORMATEX* format, WaveEvent* event,
                    uintptr_t, uint32_t flags)
{
    if (!device || !format || !event || (flags & CALLBACK_EVENT) != CALLBACK_EVENT)
        return MMSYSERR_INVALPARAM;
    *device = nullptr;
    if (format->nBlockAlign != format->nChannels * format->wBitsPerSample / 8 ||
        format->nAvgBytesPerSec != format->nSamplesPerSec * format->nBlockAlign)
        return WAVERR_BADFORMAT;
    Choice choice = Chosen();
    switch (choice.backend) {
    case Backend::Alsa: return WaveInAlsa::Open(deviceId, *format, event, device);
    case Backend::Simulated: return WaveInSimulated::Open(choice.spec, deviceId, *format, event, device);
    default: return MMSYSERR_BADDEVICEID;
    }
}

MMRESULT waveInPrepareHeader(HWAVEIN device, WAVEHDR* header, unsigned headerSize)
{
    if (!device)
        return MMSYSERR_INVALHANDLE;
    if (!header || headerSize < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    uint32_t flags = header->dwFlags.load(std::memory_order_acquire);
    if (flags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags.store(flags | WHDR_PREPARED, std::memory_order_release);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInUnprepareHeader(HWAVEIN device, WAVEHDR* header, unsigned headerSize)
{
    if (!device)
        return MMSYSERR_INVALHANDLE;
    if (!header || headerSize < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    uint32_t flags = header->dwFlags.load(std::memory_order_acquire);
    if (flags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags.store(flags & ~WHDR_PREPARED, std::memory_order_release);
    return MMSYSERR_NOERROR;
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
