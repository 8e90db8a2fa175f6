#include "soundinput.h"

#include "platform/debugout.h"
#include "platform/messagebox.h"
#include "platform/waveevent.h"
#include "context/appcontext.h"
#include "crash/crashreport.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <cstring>

namespace {
// Encloses the stop sequence of every instance.
std::mutex g_stopSection;

const char* OpenErrorText(MMRESULT result)
{
    switch (result) {
    case MMSYSERR_BADDEVICEID: return " Specified device identifier is out of range. ";
    case MMSYSERR_ALLOCATED: return " Specified resource is already allocated.";
    case MMSYSERR_NODRIVER: return " No device driver is present. ";
    case MMSYSERR_NOMEM: return " Unable to allocate or lock memory. ";
    case WAVERR_BADFORMAT: return " Attempted to open with an unsupported waveform-audio format. ";
    default: return nullptr;
    }
}
} // namespace

CSoundInput::CSoundInput()
{
    for (auto& area : m_handover)
        area = std::make_unique<int16_t[]>(kHandoverValues);
}

CSoundInput::~CSoundInput()
{
    Stop();
    // A start that failed after the thread began leaves it waiting.
    EndThread();
}

void CSoundInput::Report(const QString& text)
{
    auto show = [text] { ShowMessageBox(Ctx().mainWindow, text); };
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread())
        QMetaObject::invokeMethod(app, show, Qt::QueuedConnection);
    else if (app || MessageBoxRecorder::Installed())
        show();
    else
        DebugOut(text.toStdString());
}

int CSoundInput::EnumerateDevices(QStringList& names)
{
    const unsigned count = waveInGetNumDevs();
    for (unsigned id = 0; id < count; ++id) {
        WAVEINCAPSA caps;
        if (waveInGetDevCapsA(id, &caps, sizeof caps) == MMSYSERR_NOERROR)
            names << QString::fromLocal8Bit(caps.szPname);
    }
    return int(count);
}

int CSoundInput::Start()
{
    // A device left open by a start that failed half-way is closed first.
    if (m_device)
        Stop();
    {
        std::lock_guard lock(m_handoverMutex);
        m_handoverCount[0] = m_handoverCount[1] = 0;
    }
    if (waveInGetNumDevs() == 0) {
        Report("No Sound Device");
        return 0;
    }
    m_caps = WAVEINCAPSA{};
    if (waveInGetDevCapsA(unsigned(m_deviceIndex), &m_caps, sizeof m_caps) != MMSYSERR_NOERROR)
        Report("Cannot determine sound card capabilities !");

    if (!m_thread.joinable())
        StartThread();

    m_format = WAVEFORMATEX{};
    m_format.wFormatTag = WAVE_FORMAT_PCM;
    m_format.nChannels = 2;
    m_format.nSamplesPerSec = uint32_t(m_sampleRate);
    m_format.wBitsPerSample = 16;
    m_format.nBlockAlign = m_format.nChannels * m_format.wBitsPerSample / 8;
    m_format.nAvgBytesPerSec = m_format.nSamplesPerSec * m_format.nBlockAlign;
    m_format.cbSize = 0;
    m_state.store(Opening, std::memory_order_release);

    HWAVEIN device = nullptr;
    MMRESULT result = waveInOpen(&device, unsigned(m_deviceIndex), &m_format, m_wakeEvent.get(), 0, CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
        if (const char* text = OpenErrorText(result))
            Report(text);
        // The backend's own words (what is wrong with a wave file) follow
        // the fixed text, so that the user learns what to fix.
        const std::string reason = waveInOpenFailureReason();
        Report(reason.empty() ? QStringLiteral("Cannot Open Sound Input Device!")
                              : QStringLiteral("Cannot Open Sound Input Device!\n") + QString::fromLocal8Bit(reason));
        return int(result);
    }
    {
        std::lock_guard lock(m_deviceMutex);
        m_device = device;
    }
    for (int i = 0; i < 2; ++i) {
        m_headers[i].lpData = m_deviceBuffers[i];
        m_headers[i].dwBufferLength = uint32_t(2 * m_bufferValues);
        m_headers[i].dwBytesRecorded = 0;
        m_headers[i].dwFlags.store(0, std::memory_order_relaxed);
        if (!PrepareBuffer(i)) {
            Report("Cannot Prepare Header !");
            return int(MMSYSERR_ERROR);
        }
    }
    for (int i = 0; i < 2; ++i) {
        result = waveInAddBuffer(m_device, &m_headers[i], sizeof(WAVEHDR));
        if (result != MMSYSERR_NOERROR) {
            Report("Cannot Add Buffer !");
            return int(result);
        }
    }
    m_state.store(Capturing, std::memory_order_release);
    result = waveInStart(m_device);
    if (result != MMSYSERR_NOERROR) {
        Report("Cannot Start Wave In !");
        return int(result);
    }
    return 0;
}

bool CSoundInput::PrepareBuffer(int index)
{
    MMRESULT result = waveInPrepareHeader(m_device, &m_headers[index], sizeof(WAVEHDR));
    return result == MMSYSERR_NOERROR && m_headers[index].dwFlags.load(std::memory_order_acquire) == WHDR_PREPARED;
}

// The stop and reset return every queued buffer as done; the capture
// thread, woken by them (and by the extra signal for a device that held
// none), hands them over and acknowledges.
void CSoundInput::Stop()
{
    if (!m_device)
        return;
    {
        std::lock_guard section(g_stopSection);
        std::lock_guard lock(m_deviceMutex);
        {
            std::lock_guard drain(m_drainMutex);
            m_drained = false;
        }
        m_state.store(Stopping, std::memory_order_release);
        waveInStop(m_device);
        waveInReset(m_device);
    }
    if (m_thread.joinable()) {
        m_wakeEvent->Set();
        if (!WaitForDrain())
            DebugOut("The sound capture thread did not hand over the last buffers");
    }
    m_state.store(DeviceClosed, std::memory_order_release);
    {
        std::lock_guard lock(m_deviceMutex);
        waveInClose(m_device);
        m_device = nullptr;
    }
    EndThread();
    m_state.store(Closed, std::memory_order_release);
}

bool CSoundInput::WaitForDrain()
{
    // Handing over two buffers takes microseconds; the limit only keeps a
    // wedged thread from hanging the user interface.
    constexpr auto kLimit = std::chrono::seconds(10);
    std::unique_lock lock(m_drainMutex);
    return m_drainCv.wait_for(lock, kLimit, [this] { return m_drained; });
}

void CSoundInput::AcknowledgeDrain()
{
    {
        std::lock_guard lock(m_drainMutex);
        m_drained = true;
    }
    m_drainCv.notify_all();
}

void CSoundInput::StartThread()
{
    m_wakeEvent = std::make_unique<WaveEvent>();
    m_wakeEvent->Reset();
    m_thread = std::thread([this] { CaptureThread(); });
}

void CSoundInput::EndThread()
{
    if (!m_thread.joinable())
        return;
    m_state.store(ThreadEnding, std::memory_order_release);
    m_wakeEvent->Set();
    m_thread.join();
    m_wakeEvent.reset();
}

// Capture thread. Alternates between the two buffers from buffer 0. A
// handed-over buffer loses its done flag, so that no wake-up can hand it
// over twice; one wake-up may stand for two completions (the event is
// auto-reset), so a buffer that is already done is taken without waiting.
void CSoundInput::CaptureThread()
{
    CCrashReport::PrepareThread();
    int current = 0;
    for (;;) {
        if (!IsDone(current))
            m_wakeEvent->Wait();
        if (m_state.load(std::memory_order_acquire) == ThreadEnding)
            return;
        std::unique_lock lock(m_deviceMutex);
        const int state = m_state.load(std::memory_order_acquire);
        if (state == Capturing) {
            if (IsDone(current)) {
                HandOver(current);
                Recycle(current);
                current ^= 1;
            }
        } else if (state == Stopping) {
            DrainReturned(current);
            lock.unlock();
            AcknowledgeDrain();
        }
    }
}

bool CSoundInput::IsDone(int index) const
{
    return m_headers[index].dwFlags.load(std::memory_order_acquire) & WHDR_DONE;
}

// Capture thread, under m_deviceMutex, for a done buffer.
void CSoundInput::HandOver(int index)
{
    WAVEHDR& header = m_headers[index];
    Append(reinterpret_cast<const int16_t*>(header.lpData), int(header.dwBytesRecorded / 2));
    header.dwFlags.fetch_and(~WHDR_DONE, std::memory_order_acq_rel);
}

// Capture thread, under m_deviceMutex, in the stopping state: the device
// returned every queued buffer, the older one (current) first. A buffer
// that a failed recycle left out of the queue is not done and is skipped.
void CSoundInput::DrainReturned(int& current)
{
    for (int i = 0; i < 2; ++i) {
        if (IsDone(current)) {
            HandOver(current);
            waveInUnprepareHeader(m_device, &m_headers[current], sizeof(WAVEHDR));
        }
        current ^= 1;
    }
}

// Capture thread, under m_deviceMutex: gives a handed-over buffer back to the device.
void CSoundInput::Recycle(int index)
{
    WAVEHDR& header = m_headers[index];
    if (waveInUnprepareHeader(m_device, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
        return;
    header.dwBufferLength = uint32_t(2 * m_bufferValues);
    header.dwFlags.store(0, std::memory_order_release);
    if (!PrepareBuffer(index)) {
        Report("Cannot Prepare Header !");
        return;
    }
    if (waveInAddBuffer(m_device, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
        Report("Cannot Add Buffer !");
}

void CSoundInput::Append(const int16_t* samples, int count)
{
    std::lock_guard lock(m_handoverMutex);
    int& waiting = m_handoverCount[m_filling];
    const int room = kHandoverValues - waiting;
    if (count > room)
        count = room;
    if (count <= 0)
        return;
    std::memcpy(m_handover[m_filling].get() + waiting, samples, size_t(count) * sizeof(int16_t));
    waiting += count;
}

std::span<const int16_t> CSoundInput::TakeHandover()
{
    std::lock_guard lock(m_handoverMutex);
    const int taken = m_filling;
    m_filling ^= 1;
    m_handoverCount[m_filling] = 0;
    return {m_handover[taken].get(), size_t(m_handoverCount[taken])};
}

int CSoundInput::HandoverCount() const
{
    std::lock_guard lock(m_handoverMutex);
    return m_handoverCount[m_filling];
}
