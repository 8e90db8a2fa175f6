#pragma once
// Wave input: the capture operations of the classic multimedia interface
// that the sound input uses, with their names, result codes and header flags.
//
// The backend is chosen by the environment variable KRV_WAVEIN, read at each
// enumeration and open:
//   unset, "" or "alsa"  ALSA capture PCMs (device 0 = "default")
//   "none"               no capture device at all
//   "busy"               one simulated device that is always in use
//   "sine[:HZ[:LEVEL]]"  simulated: left a sine of HZ (1000), right the same
//                        at half the level; LEVEL is a fraction of full scale (0.5)
//   "noise[:LEVEL]"      simulated: white noise on both channels
//   "ramp"               simulated: left = frame index, right = its negation (16-bit wrap)
//   "wav:PATH"           simulated: a 16-bit PCM WAV file (mono or stereo, a
//                        regular file), streamed and looped
//   "manual"             simulated ramp whose frames are produced only by
//                        WaveInSimulated::Advance (tests)
// Simulated devices run in real time at 44100 frames per second.

#include <atomic>
#include <cstdint>
#include <string>

class WaveEvent;
class WaveInDevice;

using MMRESULT = unsigned int;
using HWAVEIN = WaveInDevice*;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr uint32_t CALLBACK_EVENT = 0x00050000;

inline constexpr uint32_t WHDR_DONE = 0x01;
inline constexpr uint32_t WHDR_PREPARED = 0x02;
inline constexpr uint32_t WHDR_INQUEUE = 0x10;

inline constexpr int MAXPNAMELEN = 32;

struct WAVEFORMATEX {
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};

// One capture buffer. The device fills lpData, sets dwBytesRecorded and then
// WHDR_DONE (release); the owner reads the flags with acquire before it
// touches the data.
struct WAVEHDR {
    char* lpData = nullptr;
    uint32_t dwBufferLength = 0;
    uint32_t dwBytesRecorded = 0;
    uintptr_t dwUser = 0;
    std::atomic<uint32_t> dwFlags{0};
};

struct WAVEINCAPSA {
    uint16_t wMid = 0;
    uint16_t wPid = 0;
    uint32_t vDriverVersion = 0;
    char szPname[MAXPNAMELEN] = {};
    uint32_t dwFormats = 0;
    uint16_t wChannels = 0;
};

// All operations may be called from any thread; one device handle is used by
// its owner's threads with the usual rules (no call after waveInClose).
unsigned waveInGetNumDevs();
MMRESULT waveInGetDevCapsA(unsigned deviceId, WAVEINCAPSA* caps, unsigned capsSize);
// Only CALLBACK_EVENT is supported: event is set after each completed buffer.
MMRESULT waveInOpen(HWAVEIN* device, unsigned deviceId, const WAVEFORMATEX* format,
                    WaveEvent* event, uintptr_t instance, uint32_t flags);
// Why the last waveInOpen on the calling thread failed, in words, where the
// backend knows more than the result code says (a wave file that is no
// regular file, or whose header is damaged); empty otherwise.
std::string waveInOpenFailureReason();
MMRESULT waveInPrepareHeader(HWAVEIN device, WAVEHDR* header, unsigned headerSize);
MMRESULT waveInUnprepareHeader(HWAVEIN device, WAVEHDR* header, unsigned headerSize);
MMRESULT waveInAddBuffer(HWAVEIN device, WAVEHDR* header, unsigned headerSize);
MMRESULT waveInStart(HWAVEIN device);
// Stops capture; the buffer being filled is returned as done.
MMRESULT waveInStop(HWAVEIN device);
// Stops capture and returns every queued buffer as done.
MMRESULT waveInReset(HWAVEIN device);
MMRESULT waveInClose(HWAVEIN device);
