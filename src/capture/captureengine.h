#pragma once
// The capture of the program: on every tick it reads the samples that
// arrived for one reader client into one ring per channel, looks for the
// trigger, and when a record is complete copies every channel's record into
// a CaptureRecord, may save it as a trigger recording, and publishes it as
// an immutable snapshot that the views and their workers share.
//
// Trigger "None": records follow each other without a gap. "Auto" and
// "Level": the engine is armed until the slope machine fires on the source
// channel (not within the pre-trigger's first samples), then collects the
// post-trigger samples.
//
// Published records come from a small pool: a record goes back to it when
// the last holder lets go of it, so once sizes are settled a record costs
// copies, not allocations. UI thread only (the records it publishes may be
// read on any thread).

#include "acquisition/recordfile.h"
#include "capture/capturesettings.h"
#include "context/capturerecord.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ChannelSource;

class CCaptureEngine {
public:
    static constexpr int kMaxChannels = 32;
    static constexpr int kMaxRead = 100000; // samples per channel and tick

    // A per-channel ring of the latest samples.
    struct Ring {
        std::vector<float> data;
        int length = 0;   // write position
        int capacity = 0;
        bool filled = false;
    };

    using RecordHandler = std::function<void(const std::shared_ptr<const CaptureRecord>&)>;

    CCaptureEngine(ChannelSource& source, int client);
    ~CCaptureEngine();
    CCaptureEngine(const CCaptureEngine&) = delete;
    CCaptureEngine& operator=(const CCaptureEngine&) = delete;

    // One tick: reads the client's frozen block and publishes every record
    // it completes. singleShot: stops after the first record, leaving the
    // rest of the block unread. Returns the number of records published.
    int Tick(const CaptureSettings& settings, bool singleShot);
    // Called with each record as it is published (several in one tick when
    // records are shorter than a tick's block).
    void OnRecord(RecordHandler handler) { m_onRecord = std::move(handler); }
    // Trigger recordings: while on, every triggered record is also saved
    // as a recording file of its own.
    void SetRecording(bool on) { m_recording = on; }
    // Empties the rings and disarms the trigger; the record length is made
    // again from the settings at the next tick (new channel set).
    void Restart();

    // The latest published record; null before the first.
    const std::shared_ptr<const CaptureRecord>& Latest() const { return m_latest; }
    // The path of a trigger recording that could not be opened, once; told
    // again only after a later save worked.
    std::optional<QString> TakeOpenFailure();

    int RecordLength() const { return m_recordLength; }
    int PreTrigger() const { return m_preTrigger; }
    int PostTrigger() const { return m_postTrigger; }
    int Countdown() const { return m_countdown; }
    int SlopeState() const { return m_slopeState; }
    float LowerLevel() const { return m_lowerLevel; }
    float UpperLevel() const { return m_upperLevel; }
    int ChannelCount() const { return m_channels; }
    const Ring& RingOf(int channel) const { return m_rings[size_t(channel)]; }
    const CRecordFile& TriggerFile() const { return m_triggerFile; }
    // True when the next record is already sized for the current channels
    // and length, so that completing it costs only the copy.
    bool SpareReady() const;
    // The next record's samples of a channel, while it is the spare.
    const float* SpareData(int channel) const { return m_spare ? m_spare->samples[size_t(channel)].data() : nullptr; }

    // Samples in a record of ten divisions of timePerDivision seconds.
    static int RecordLengthFor(double timePerDivision, double dt);
    // One sample g through the slope machine (slope 0 "-", 1 "+", 2 "<>")
    // with the band lo … hi; true when it completes (state is then left
    // for the caller to clear).
    static bool SlopeStep(int slope, float g, float lo, float hi, int& state);
    // Samples a ring holds: its capacity once wrapped, else its write position.
    static int Valid(const Ring& ring) { return ring.filled ? ring.capacity : ring.length; }
    // Appends k samples (only the last capacity of them stay).
    static void RingAppend(Ring& ring, const float* values, int k);
    // The last k samples, oldest first (k <= Valid).
    static void RingReadLast(const Ring& ring, float* out, int k);
    static void RingEmpty(Ring& ring)
    {
        ring.length = 0;
        ring.filled = false;
    }

private:
    class RecordPool;

    void Reinit(const CaptureSettings& settings, int channels, double dt);
    void ApplySettings(const CaptureSettings& settings);
    const float* ReadChannel(int channel, int n);
    void ReadChannelInto(int channel, int n);
    int CaptureAvailable(bool singleShot);
    void PrepareSpare();
    int CaptureFreeRunning(int n, bool singleShot);
    int CaptureArmed(int n);
    int CaptureCollect(int n);
    void BeginRecord(int length);
    void CopyToRecord(int channel);
    void Publish();
    void SaveTriggerRecord(const CaptureRecord& record);

    ChannelSource& m_source;
    const int m_client;
    std::shared_ptr<RecordPool> m_pool;
    CaptureSettings m_settings;
    bool m_settingsKnown = false;
    int m_channels = 0;
    int m_recordLength = 0;
    int m_preTrigger = 0;
    int m_postTrigger = 0;
    int m_countdown = -1;
    int m_slopeState = 0;
    float m_lowerLevel = 0.0f;
    float m_upperLevel = 0.0f;
    double m_dt = 0.0;
    std::uint64_t m_sequence = 0;
    long long m_lostAtPublish = 0; // the client's lost count when the last record was published
    bool m_recording = false;
    std::array<Ring, kMaxChannels> m_rings;
    std::vector<float> m_readBuffer;
    std::shared_ptr<CaptureRecord> m_filling; // the record being completed
    std::shared_ptr<CaptureRecord> m_spare;   // the next one, sized ahead
    std::shared_ptr<const CaptureRecord> m_latest;
    RecordHandler m_onRecord;
    CRecordFile m_triggerFile;
    bool m_openFailureTold = false;
    std::optional<QString> m_openFailure;
};
