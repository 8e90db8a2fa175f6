#pragma once
// Sound card capture: stereo 16-bit frames at 44100 Hz from wave input
// device deviceIndex, collected by a capture thread of its own into a
// hand-over buffer that the hardware manager drains on its tick.
//
// Threads: the UI thread calls everything except Append, which the capture
// thread calls for each completed device buffer. The hand-over is filled and
// taken under one lock, so a drain never sees a half-appended buffer. Stop
// waits until the capture thread acknowledges that it has handed over every
// buffer the device returned, so nothing captured before a stop is lost.

#include "platform/wavein.h"

#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

class WaveEvent;

class CSoundInput {
public:
    enum State {
        Closed = 0,       // no device
        Opening = 1,      // the capture thread waits; the device is being opened
        Capturing = 2,
        Stopping = 3,     // the thread hands over what the stop returned
        DeviceClosed = 4,
        ThreadEnding = 5,
    };

    static constexpr int kDeviceBufferBytes = 32768;
    static constexpr int kHandoverValues = 100000;

    CSoundInput();
    virtual ~CSoundInput();
    CSoundInput(const CSoundInput&) = delete;
    CSoundInput& operator=(const CSoundInput&) = delete;

    // Appends the product name of each device whose capabilities can be
    // read; returns the number of devices.
    int EnumerateDevices(QStringList& names);
    void SelectDevice(int index) { m_deviceIndex = index; }
    // 0 on success (and when there is no device at all, after "No Sound
    // Device"), else the wave input error, already reported to the user.
    int Start();
    // Stops capture, waits for the capture thread to hand over what the
    // device returned, and ends the thread; nothing without an open device.
    void Stop();

    // Capture thread only: queues count interleaved values behind the waiting
    // ones; what does not fit in the 100000 values is dropped.
    virtual void Append(const int16_t* samples, int count);

    // UI thread only: the values appended since the previous call,
    // interleaved left/right; valid until the next call. The hand-over is
    // empty again afterwards.
    std::span<const int16_t> TakeHandover();
    // Values waiting now. Any thread.
    int HandoverCount() const;

    int State() const { return m_state.load(std::memory_order_acquire); }
    int DeviceIndex() const { return m_deviceIndex; }
    int SampleRate() const { return m_sampleRate; }
    int BufferValues() const { return m_bufferValues; }
    // Product name of the device of the last start.
    QString ProductName() const { return QString::fromLocal8Bit(m_caps.szPname); }

private:
    void StartThread();
    void EndThread();
    void CaptureThread();
    bool IsDone(int index) const;
    void HandOver(int index);
    void Recycle(int index);
    // Capture thread: hands over the buffers a stop returned, oldest first.
    void DrainReturned(int& current);
    void AcknowledgeDrain();
    // UI thread: waits for AcknowledgeDrain; false after the time limit.
    bool WaitForDrain();
    bool PrepareBuffer(int index);
    // Shows the box on the UI thread; from the capture thread it is queued there.
    static void Report(const QString& text);

    alignas(16) char m_deviceBuffers[2][kDeviceBufferBytes] = {};
    HWAVEIN m_device = nullptr;
    WAVEHDR m_headers[2];
    WAVEINCAPSA m_caps;
    WAVEFORMATEX m_format;
    std::unique_ptr<WaveEvent> m_wakeEvent;
    std::thread m_thread;
    int m_sampleRate = 44100;
    int m_bufferValues = 8192;
    std::atomic<int> m_state{Closed};
    int m_deviceIndex = -1;

    // Two hand-over areas: Append fills m_handover[m_filling], TakeHandover
    // switches areas, so the manager reads one while the thread fills the other.
    mutable std::mutex m_handoverMutex;
    std::unique_ptr<int16_t[]> m_handover[2];
    int m_handoverCount[2] = {0, 0};
    int m_filling = 0;

    // Held by the capture thread while it works on a buffer with the device,
    // and by Stop while it stops, resets and closes the device; the thread
    // reads the state under it, so it never recycles a buffer into a device
    // that is being stopped.
    std::mutex m_deviceMutex;

    // The capture thread's acknowledgement of a stop: set when it has
    // handed over every buffer the stop returned. Stop clears it (under
    // m_deviceMutex, with the state) and waits for it.
    std::mutex m_drainMutex;
    std::condition_variable m_drainCv;
    bool m_drained = false;
};
