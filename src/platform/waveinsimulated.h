#pragma once
// A simulated capture device (KRV_WAVEIN other than "alsa"/"none"): sine,
// noise, ramp, a WAV file, or frames produced on demand ("manual"). It runs
// in real time at the opened rate; "busy" is a device that is always in use.

#include "waveindevice.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class WavFile;

class WaveInSimulated : public WaveInDevice {
public:
    // setting: the value of KRV_WAVEIN. Any thread.
    static bool Understands(const std::string& setting);
    static unsigned NumDevs(const std::string& setting);
    static MMRESULT GetDevCaps(const std::string& setting, unsigned deviceId, WAVEINCAPSA* caps);
    // On failure reason may say more than the result (what is wrong with a
    // wave file).
    static MMRESULT Open(const std::string& setting, unsigned deviceId, const WAVEFORMATEX& format,
                         WaveEvent* event, WaveInDevice** device, std::string* reason = nullptr);

    // Lets the open "manual" devices produce that many frames more. Any thread.
    static void Advance(int frames);
    // Frames allowed by Advance and not yet in a device buffer. Any thread.
    static int64_t PendingFrames();

    ~WaveInSimulated() override;

protected:
    bool Begin() override;
    void Halt() override;
    int ReadFrames(int16_t* dest, int maxFrames) override;
    // A "manual" device keeps its frames until a buffer is queued.
    void Overrun(int16_t* scratch, int maxFrames) override;

private:
    enum class Signal { Sine, Noise, Ramp, Wav, Manual };
    WaveInSimulated(WaveEvent* event, Signal signal, double frequency, double level,
                    std::unique_ptr<WavFile> wav);
    static MMRESULT OpenWav(WavFile& wav, const std::string& path, std::string* reason);
    int FramesDue(int maxFrames);
    void SettleInFlight();
    void Generate(int16_t* dest, int frames);

    Signal m_signal;
    double m_frequency;
    double m_level;
    std::unique_ptr<WavFile> m_wav; // streamed by the device thread
    int64_t m_frameIndex = 0;   // frames produced since open
    int64_t m_producedSinceBegin = 0;
    std::chrono::steady_clock::time_point m_begin;
    uint64_t m_noiseState = 0x9E3779B97F4A7C15ull;
    int64_t m_inFlight = 0; // this device's part of the frames in flight
};
