#include "capture/captureengine.h"

#include "context/channelsource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

// Records whose last holder let go of them, kept for the next records. The
// deleter of a published record may run on any thread (a worker dropping
// the last reference), hence the lock; it is also what orders that
// worker's reads before the engine's next writes into the record.
class CCaptureEngine::RecordPool {
public:
    static constexpr size_t kKept = 4;

    std::shared_ptr<CaptureRecord> Take(const std::shared_ptr<RecordPool>& self)
    {
        CaptureRecord* record = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (!m_free.empty()) {
                record = m_free.back().release();
                m_free.pop_back();
            }
        }
        if (!record)
            record = new CaptureRecord;
        return std::shared_ptr<CaptureRecord>(record, [self](CaptureRecord* r) { self->Give(r); });
    }

private:
    void Give(CaptureRecord* record)
    {
        std::unique_ptr<CaptureRecord> owned(record);
        std::lock_guard lock(m_mutex);
        if (m_free.size() < kKept)
            m_free.push_back(std::move(owned));
    }

    std::mutex m_mutex;
    std::vector<std::unique_ptr<CaptureRecord>> m_free;
};

CCaptureEngine::CCaptureEngine(ChannelSource& source, int client)
    : m_source(source), m_client(client), m_pool(std::make_shared<RecordPool>()),
      m_readBuffer(size_t(kMaxRead))
{
}

CCaptureEngine::~CCaptureEngine() = default;

std::optional<QString> CCaptureEngine::TakeOpenFailure()
{
    std::optional<QString> failure;
    failure.swap(m_openFailure);
    return failure;
}

// ---------------------------------------------------------------------------
// Rings and the slope machine

bool CCaptureEngine::SlopeStep(int slope, float g, float lo, float hi, int& state)
{
    switch (slope) {
    case CaptureSettings::SlopeRising:
        if (state == 0) {
            if (g < lo)
                state = 1;
        } else if (state == 1) {
            if (g > lo)
                state = 2;
        } else if (g < lo) {
            state = 1;
        } else if (g > hi) {
            return true;
        }
        return false;
    case CaptureSettings::SlopeFalling:
        if (state == 0) {
            if (g > hi)
                state = 1;
        } else if (state == 1) {
            if (g < hi)
                state = 2;
        } else if (g > hi) {
            state = 1;
        } else if (g < lo) {
            return true;
        }
        return false;
    default: // leaving the window
        if (state == 0) {
            if (lo < g && g < hi)
                state = 1;
            return false;
        }
        return g <= lo || g >= hi;
    }
}

void CCaptureEngine::RingAppend(Ring& ring, const float* values, int k)
{
    const int m = ring.capacity;
    if (k <= 0 || m <= 0)
        return;
    float* data = ring.data.data();
    if (k > m) {
        std::memcpy(data, values + (k - m), size_t(m) * sizeof(float));
        ring.length = 0;
        ring.filled = true;
        return;
    }
    const int first = std::min(k, m - ring.length);
    std::memcpy(data + ring.length, values, size_t(first) * sizeof(float));
    if (first < k) {
        std::memcpy(data, values + first, size_t(k - first) * sizeof(float));
        ring.length = k - first;
        ring.filled = true;
        return;
    }
    ring.length += first;
    if (ring.length == m) {
        ring.length = 0;
        ring.filled = true;
    }
}

void CCaptureEngine::RingReadLast(const Ring& ring, float* out, int k)
{
    const int p = ring.length;
    const float* data = ring.data.data();
    const int older = k - p; // from the end of the array
    if (older > 0) {
        std::memcpy(out, data + (ring.capacity - older), size_t(older) * sizeof(float));
        std::memcpy(out + older, data, size_t(p) * sizeof(float));
    } else {
        std::memcpy(out, data + (p - k), size_t(k) * sizeof(float));
    }
}

// ---------------------------------------------------------------------------
// Settings

void CCaptureEngine::Restart()
{
    m_settingsKnown = false;
    m_recordLength = 0;
}

int CCaptureEngine::RecordLengthFor(double timePerDivision, double dt)
{
    // Truncated, but a quotient a rounding error short of a whole number
    // (0.01 s / 2e-5 s) counts as that number.
    const double samples = dt > 0.0 ? 10.0 * timePerDivision / dt : 0.0;
    return int(samples * (1.0 + 1e-9));
}

void CCaptureEngine::Reinit(const CaptureSettings& settings, int channels, double dt)
{
    m_recordLength = RecordLengthFor(settings.timePerDivision, dt);
    m_preTrigger = int(std::clamp(settings.triggerPercent, 0, 100) * m_recordLength * 0.01);
    m_postTrigger = m_recordLength - m_preTrigger;
    m_channels = channels;
    m_dt = dt;
    for (int c = 0; c < channels; ++c) {
        Ring& ring = m_rings[size_t(c)];
        if (ring.capacity != m_recordLength) {
            std::vector<float>().swap(ring.data);
            ring.data.assign(size_t(m_recordLength), 0.0f);
            ring.capacity = m_recordLength;
        }
        RingEmpty(ring);
    }
    m_countdown = -1;
    m_settings = settings;
    m_settingsKnown = true;
}

// A change of the record's length or position starts the capture over; a
// new source, slope or level window restarts the slope machine.
void CCaptureEngine::ApplySettings(const CaptureSettings& settings)
{
    const bool newRecord = !m_settingsKnown || settings.timePerDivision != m_settings.timePerDivision
                           || settings.triggerPercent != m_settings.triggerPercent;
    const int channels = std::min(m_source.ChannelCount(), kMaxChannels);
    const double dt = channels > 0 ? m_source.SampleInterval(0) : 0.0;
    if (newRecord || dt != m_dt || channels != m_channels || m_recordLength == 0) {
        Reinit(settings, channels, dt);
        m_slopeState = 0;
        return;
    }
    if (settings.source != m_settings.source || settings.slope != m_settings.slope
        || settings.halfWindow != m_settings.halfWindow)
        m_slopeState = 0;
    m_settings = settings;
}

// ---------------------------------------------------------------------------
// Capture

const float* CCaptureEngine::ReadChannel(int channel, int n)
{
    float* buffer = m_readBuffer.data();
    m_source.Read(m_client, channel, buffer, n);
    return buffer;
}

void CCaptureEngine::ReadChannelInto(int channel, int n)
{
    Ring& ring = m_rings[size_t(channel)];
    m_source.Read(m_client, channel, ring.data.data() + ring.length, n);
    ring.length += n;
    if (ring.length == ring.capacity) {
        ring.length = 0;
        ring.filled = true;
    }
}

int CCaptureEngine::Tick(const CaptureSettings& settings, bool singleShot)
{
    if (m_source.ChannelCount() <= 0)
        return 0;
    ApplySettings(settings);
    if (m_recordLength <= 0 || m_channels <= 0)
        return 0;
    const int published = CaptureAvailable(singleShot);
    PrepareSpare();
    return published;
}

int CCaptureEngine::CaptureAvailable(bool singleShot)
{
    int n = m_source.Available(m_client, 0);
    if (n <= 0)
        return 0;
    n = std::min(n, kMaxRead);

    if (m_settings.trigger == CaptureSettings::TriggerNone)
        return CaptureFreeRunning(n, singleShot);
    if (m_countdown < 0)
        return CaptureArmed(n);
    return CaptureCollect(n);
}

// Sizing a record's channels faults in its memory: 24 MB for 24 channels of
// a quarter of a million samples, tens of milliseconds in one tick. The
// next record is therefore taken ahead and sized one channel per tick while
// the rings fill, so that completing a record only copies.
void CCaptureEngine::PrepareSpare()
{
    if (!m_spare)
        m_spare = m_pool->Take(m_pool);
    std::vector<std::vector<float>>& samples = m_spare->samples;
    if (samples.size() < size_t(m_channels))
        samples.resize(size_t(m_channels));
    for (int c = 0; c < m_channels; ++c) {
        std::vector<float>& channel = samples[size_t(c)];
        if (channel.size() != size_t(m_recordLength)) {
            channel.resize(size_t(m_recordLength));
            return;
        }
    }
}

bool CCaptureEngine::SpareReady() const
{
    if (!m_spare || m_spare->samples.size() < size_t(m_channels))
        return false;
    for (int c = 0; c < m_channels; ++c)
        if (m_spare->samples[size_t(c)].size() != size_t(m_recordLength))
            return false;
    return true;
}

// Records follow each other without a gap: the samples of a block behind a
// finished record start the next one.
int CCaptureEngine::CaptureFreeRunning(int n, bool singleShot)
{
    int published = 0;
    int start = 0;
    while (start < n) {
        const int take = std::min(n - start, m_recordLength - Valid(m_rings[0]));
        const bool completes = Valid(m_rings[0]) + take >= m_recordLength;
        if (completes)
            BeginRecord(m_recordLength);
        for (int c = 0; c < m_channels; ++c) {
            Ring& ring = m_rings[size_t(c)];
            if (start == 0 && take == n && !ring.filled && ring.length + n <= ring.capacity)
                ReadChannelInto(c, n); // the whole block fits: no staging copy
            else
                RingAppend(ring, ReadChannel(c, n) + start, take);
            if (completes) {
                CopyToRecord(c);
                RingEmpty(ring);
            }
        }
        start += take;
        if (!completes)
            break;
        Publish();
        ++published;
        // A single shot stops after its record; the rest of the block stays unread.
        if (singleShot)
            break;
    }
    return published;
}

int CCaptureEngine::CaptureArmed(int n)
{
    const int source = std::clamp(m_settings.source, 0, m_channels - 1);
    Ring& ring = m_rings[size_t(source)];
    const float* block = ReadChannel(source, n);
    const int valid = Valid(ring);
    int trigger = -1;
    for (int i = 0; i < n; ++i) {
        if (m_preTrigger >= i + valid)
            continue;
        if (SlopeStep(m_settings.slope, block[i], m_lowerLevel, m_upperLevel, m_slopeState)) {
            trigger = i;
            m_slopeState = 0;
            break;
        }
    }

    if (m_settings.trigger == CaptureSettings::TriggerAuto) {
        if (valid > m_recordLength / 2) {
            const float* data = ring.data.data();
            const auto [lo, hi] = std::minmax_element(data, data + valid);
            if (m_lowerLevel < *lo || m_lowerLevel > *hi)
                m_lowerLevel = (*lo + *hi) / 2.0f;
            // A band of no width at the middle: "+" and "-" trigger where
            // the signal crosses it, whatever "Level" mode left behind.
            m_upperLevel = m_lowerLevel;
        }
    } else {
        m_lowerLevel = float(m_settings.level - m_settings.halfWindow);
        m_upperLevel = float(m_settings.level + m_settings.halfWindow);
    }

    int taken = n;
    if (trigger >= 0) {
        m_countdown = trigger + m_postTrigger - n;
        if (m_countdown < 0) {
            m_countdown = 0;
            taken = trigger + m_postTrigger;
        }
    }
    // The source's block is in the read buffer: append it before the other
    // channels' reads reuse the buffer.
    RingAppend(ring, block, taken);
    for (int c = 0; c < m_channels; ++c)
        if (c != source)
            RingAppend(m_rings[size_t(c)], ReadChannel(c, n), taken);
    return 0;
}

int CCaptureEngine::CaptureCollect(int n)
{
    if (n < m_countdown) {
        for (int c = 0; c < m_channels; ++c)
            RingAppend(m_rings[size_t(c)], ReadChannel(c, n), n);
        m_countdown -= n;
        return 0;
    }
    BeginRecord(m_preTrigger + m_postTrigger);
    for (int c = 0; c < m_channels; ++c) {
        RingAppend(m_rings[size_t(c)], ReadChannel(c, n), m_countdown);
        CopyToRecord(c);
        RingEmpty(m_rings[size_t(c)]);
    }
    m_countdown = -1;
    if (m_recording)
        SaveTriggerRecord(*m_filling);
    Publish();
    return 1;
}

void CCaptureEngine::BeginRecord(int length)
{
    m_filling = m_spare ? std::move(m_spare) : m_pool->Take(m_pool);
    CaptureRecord& record = *m_filling;
    record.samples.resize(size_t(m_channels));
    record.names.resize(size_t(m_channels));
    record.units.resize(size_t(m_channels));
    for (int c = 0; c < m_channels; ++c) {
        record.samples[size_t(c)].resize(size_t(length));
        record.names[size_t(c)].assign(m_source.Name(c));
        record.units[size_t(c)].assign(m_source.Unit(c));
    }
    record.length = length;
    record.sampleInterval = m_dt;
    record.startOffset = m_preTrigger;
}

void CCaptureEngine::CopyToRecord(int channel)
{
    const Ring& ring = m_rings[size_t(channel)];
    const int length = m_filling->length;
    const int valid = std::min(length, Valid(ring));
    float* area = m_filling->samples[size_t(channel)].data();
    // A ring short of a full record (never after a complete capture) leaves
    // zeros in front.
    std::fill(area, area + (length - valid), 0.0f);
    RingReadLast(ring, area + (length - valid), valid);
}

void CCaptureEngine::Publish()
{
    m_filling->sequence = ++m_sequence;
    // Every channel is read in the same blocks: the first one's count stands for all.
    const long long lost = m_source.Lost(m_client, 0);
    m_filling->lost = std::max(0LL, lost - m_lostAtPublish);
    m_lostAtPublish = lost;
    m_latest = std::move(m_filling);
    if (m_onRecord)
        m_onRecord(m_latest);
}

void CCaptureEngine::SaveTriggerRecord(const CaptureRecord& record)
{
    const int channels = record.Channels();
    if (!m_triggerFile.Prepare(channels, record.length))
        return;
    for (int c = 0; c < channels; ++c)
        m_triggerFile.DefineChannel(c, m_source.ChannelNumber(c), QString::fromStdString(record.names[size_t(c)]),
                                    QString::fromStdString(record.units[size_t(c)]), record.sampleInterval);
    const QString path = m_triggerFile.MakeFileName(true);
    if (!m_triggerFile.Open(path)) {
        // The record still goes to the analysis; the user hears of the
        // failure once, and again only after a later save has worked.
        if (!m_openFailureTold) {
            m_openFailureTold = true;
            m_openFailure = path;
        }
        return;
    }
    m_openFailureTold = false;
    for (int c = 0; c < channels; ++c)
        m_triggerFile.WriteChannelBlock(record.samples[size_t(c)].data(), record.length);
    m_triggerFile.Close();
}
