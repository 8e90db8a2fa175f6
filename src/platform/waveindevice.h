#pragma once
// An open wave input device: the buffer queue, start/stop/reset and the
// device thread that fills the queued buffers. Backends supply the frames
// through ReadFrames; every backend call happens on the device thread, so a
// backend needs no locking of its own.
//
// Format: interleaved signed 16-bit frames of Channels() values.

#include "wavein.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <condition_variable>
#include <thread>
#include <vector>

class WaveInDevice {
public:
    virtual ~WaveInDevice();
    WaveInDevice(const WaveInDevice&) = delete;
    WaveInDevice& operator=(const WaveInDevice&) = delete;

    // Any thread. The header must be prepared and not queued.
    MMRESULT AddBuffer(WAVEHDR* header);
    MMRESULT Start();
    MMRESULT Stop();
    MMRESULT Reset();
    // Ends the device thread and releases the backend. Owner's thread; the
    // object is deleted by waveInClose right after.
    void Shutdown();

protected:
    WaveInDevice(WaveEvent* event, int channels);
    // Starts the device thread; call at the end of the backend's open.
    void Launch();

    // Device thread only. Called when capture starts and when it stops.
    virtual bool Begin() = 0;
    virtual void Halt() = 0;
    // Device thread only. Reads up to maxFrames frames into dest, waiting a
    // little (at most some tens of milliseconds) for them; returns the number
    // read, 0 when none was ready.
    virtual int ReadFrames(int16_t* dest, int maxFrames) = 0;
    // Device thread only. Running with no buffer queued: by default the
    // frames are read and lost, as on an overrun.
    virtual void Overrun(int16_t* scratch, int maxFrames) { ReadFrames(scratch, maxFrames); }
    // Device thread only; after the thread ended, from Shutdown.
    virtual void Release() {}

private:
    void Run();
    void CompleteFront();

    WaveEvent* m_event;
    int m_channels;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<WAVEHDR*> m_queue;
    bool m_running = false;
    bool m_quit = false;
    std::vector<int16_t> m_scratch;
    std::thread m_thread;
};
