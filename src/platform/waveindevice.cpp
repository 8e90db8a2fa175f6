#include "waveindevice.h"

#include "waveevent.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kChunkFrames = 512; // about 12 ms at 44100 Hz
}

WaveInDevice::WaveInDevice(WaveEvent* event, int channels)
    : m_event(event), m_channels(channels), m_scratch(size_t(kChunkFrames) * channels)
{
}

WaveInDevice::~WaveInDevice() { Shutdown(); }

void WaveInDevice::Launch() { m_thread = std::thread([this] { Run(); }); }

void WaveInDevice::Shutdown()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_cv.notify_all();
    m_thread.join();
    Release();
}

MMRESULT WaveInDevice::AddBuffer(WAVEHDR* header)
{
    uint32_t flags = header->dwFlags.load(std::memory_order_acquire);
    if (!(flags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (flags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    if (!header->lpData || header->dwBufferLength < uint32_t(2 * m_channels))
        return MMSYSERR_INVALPARAM;
    {
        std::lock_guard lock(m_mutex);
        header->dwBytesRecorded = 0;
        header->dwFlags.store((flags & ~WHDR_DONE) | WHDR_INQUEUE, std::memory_order_release);
        m_queue.push_back(header);
    }
    m_cv.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::Start()
{
    {
        std::lock_guard lock(m_mutex);
        m_running = true;
    }
    m_cv.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::Stop()
{
    std::lock_guard lock(m_mutex);
    if (m_running && !m_queue.empty())
        CompleteFront();
    m_running = false;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::Reset()
{
    std::lock_guard lock(m_mutex);
    m_running = false;
    while (!m_queue.empty())
        CompleteFront();
    return MMSYSERR_NOERROR;
}

// Under m_mutex.
void WaveInDevice::CompleteFront()
{
    WAVEHDR* header = m_queue.front();
    m_queue.pop_front();
    uint32_t flags = header->dwFlags.load(std::memory_order_relaxed);
    header->dwFlags.store((flags & ~WHDR_INQUEUE) | WHDR_DONE, std::memory_order_release);
    m_event->Set();
}

// Device thread: while running, reads chunks into the front buffer; a full
// buffer is completed. Start and stop of the backend follow m_running.
void WaveInDevice::Run()
{
    bool active = false;
    const size_t frameBytes = size_t(2 * m_channels);
    for (;;) {
        WAVEHDR* header = nullptr;
        size_t room = 0;
        bool wantActive = false;
        {
            std::unique_lock lock(m_mutex);
            m_cv.wait_for(lock, std::chrono::milliseconds(active ? 0 : 50),
                          [this, active] { return m_quit || m_running != active; });
            if (m_quit)
                break;
            wantActive = m_running;
            if (m_running && !m_queue.empty()) {
                header = m_queue.front();
                room = (header->dwBufferLength - header->dwBytesRecorded) / frameBytes;
            }
        }
        if (wantActive != active) {
            if (wantActive)
                active = Begin();
            else {
                Halt();
                active = false;
            }
            if (wantActive && !active) {
                // The backend failed to start; wait for the next start.
                std::unique_lock lock(m_mutex);
                m_cv.wait(lock, [this] { return m_quit || !m_running; });
            }
            continue;
        }
        if (!active)
            continue;
        if (!header) {
            Overrun(m_scratch.data(), kChunkFrames);
            continue;
        }
        int frames = ReadFrames(m_scratch.data(), int(std::min<size_t>(room, kChunkFrames)));
        if (frames <= 0)
            continue;
        std::lock_guard lock(m_mutex);
        // Stop or reset may have returned the buffer meanwhile.
        if (m_queue.empty() || m_queue.front() != header || !m_running)
            continue;
        std::memcpy(header->lpData + header->dwBytesRecorded, m_scratch.data(), size_t(frames) * frameBytes);
        header->dwBytesRecorded += uint32_t(size_t(frames) * frameBytes);
        if (header->dwBufferLength - header->dwBytesRecorded < frameBytes)
            CompleteFront();
    }
    if (active)
        Halt();
}
