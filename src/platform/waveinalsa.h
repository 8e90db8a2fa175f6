#pragma once
// ALSA capture. Devices are the capture PCMs of ALSA's name hints without
// "null"; device 0 is always "default". Opened non-blocking as interleaved
// S16_LE; every ALSA call runs on the device thread.

#include "waveindevice.h"

#include <chrono>
#include <string>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;

class WaveInAlsa : public WaveInDevice {
public:
    struct DeviceName {
        std::string pcm;         // the name to open
        std::string description; // first line of the hint's description
    };
    // Any thread.
    static std::vector<DeviceName> Devices();
    static unsigned NumDevs();
    static MMRESULT GetDevCaps(unsigned deviceId, WAVEINCAPSA* caps);
    static MMRESULT Open(unsigned deviceId, const WAVEFORMATEX& format, WaveEvent* event, WaveInDevice** device);
    // An ALSA error (negative errno) as a wave input result.
    static MMRESULT MapError(int alsaError);

    ~WaveInAlsa() override;

protected:
    bool Begin() override;
    void Halt() override;
    int ReadFrames(int16_t* dest, int maxFrames) override;
    void Release() override;

private:
    WaveInAlsa(WaveEvent* event, snd_pcm_t* pcm, int channels, unsigned rate);
    int Recover(int error);

    snd_pcm_t* m_pcm;
    int m_channels;
    unsigned m_rate;
    // Plugins without a clock of their own (null, file) deliver as fast as
    // they are read; those are paced to the nominal rate.
    bool m_paced;
    bool m_silent; // the null plugin leaves the buffer as it was: give zeros
    std::chrono::steady_clock::time_point m_begin;
    int64_t m_framesSinceBegin = 0;
};
