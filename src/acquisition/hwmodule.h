#pragma once
// A module of the networked recorder as an input source: the base of the
// five model classes. It keeps the per-channel setup, maps the active
// channels onto consecutive positions of the channel buffer service and the
// recording, and on every poll moves the samples that arrived since the
// previous poll (at most kMaxSamplesPerPoll per channel).
//
// All operations: UI thread only (the recorder API is not thread-safe).

#include "acquisition/hwchansetup.h"

#include <QString>
#include <cstdint>
#include <memory>

class CRecordFile;
class QDialog;
class QWidget;
class TextArchive;

class CHwModule {
public:
    static constexpr int kMaxChannels = 24;
    static constexpr int kMaxSamplesPerPoll = 8192;
    // A pulse channel's word holds this many samples of its logic line.
    static constexpr int kLineSamplesPerWord = 32;
    // The period a pulse decoder starts with, before any period is complete.
    static constexpr int kNoPulsePeriod = 65535;

    // recording: where every value also goes (kept only while it records).
    CHwModule(CRecordFile& recording, int channelCount, const char* typeName,
              const char* defaultNameFormat);
    virtual ~CHwModule();
    CHwModule(const CHwModule&) = delete;
    CHwModule& operator=(const CHwModule&) = delete;

    // Restarts the sample count at 0 and starts sampling.
    virtual void Start();
    // Moves the samples that arrived since the previous call into the
    // service, frame by frame and position by position, and into the
    // recording in runs of frames (the same file as value by value).
    virtual void Poll();
    // Reads (optionally) and applies the channel setup; the models do it.
    // The base does nothing and returns false.
    virtual bool Configure(bool readFromHardware);
    // After a false Configure: true when the user was shown why (the
    // channel buffer service refused the channels), false after a cancel.
    bool FailureReported() const { return m_failureReported; }

    void SetParent(QWidget* parent) { m_parent = parent; }
    QWidget* Parent() const { return m_parent; }

    const QString& TypeName() const { return m_typeName; }
    // "Halvek:%d" and the like, filled with the 0-based channel.
    QString DefaultName(int channel) const;

    bool IsRunning() const { return m_running; }
    int64_t SamplesTaken() const { return m_samplesTaken; }
    int ChannelCount() const { return m_channelCount; }
    int SampleRate() const { return m_sampleRate; }
    void SetSampleRate(int rate);
    double SamplePeriod() const { return m_samplePeriod; }

    HwChanSetup& Channel(int channel) { return m_channels[channel]; }
    const HwChanSetup& Channel(int channel) const { return m_channels[channel]; }

    // The position table the poll works through: position k takes module
    // channel moduleChannel, value = raw × scale + offset (a pulse channel:
    // scale / period). Set by the configuration.
    void ClearActive() { m_activeCount = 0; }
    void AddActive(int moduleChannel, double scale, double offset);
    int ActiveCount() const { return m_activeCount; }
    int ChannelAt(int position) const { return m_channelMap[position]; }
    double ScaleAt(int position) const { return m_scale[position]; }
    void SetScaleAt(int position, double scale) { m_scale[position] = scale; }

    // Every decoder back to no period seen (period 65535, count 0, low
    // level, CntAcr edges to go).
    void ResetPulseDecoders();
    int PulsePeriod(int channel) const { return m_pulsePeriod[channel]; }
    // Decodes one word of 32 line samples (most significant first) into
    // the channel's pulse state.
    void DecodePulseWord(int channel, uint32_t word);

    // The lines of the module's hardware setup block: "SFreq:" and one
    // "ch {" block per channel. LoadSetup reads up to and including the
    // module block's closing "}".
    void StoreSetup(TextArchive& archive) const;
    void LoadSetup(TextArchive& archive);

protected:
    // Shows the model's channel setup dialog (modally, through
    // RunModalDialog) on rate and the model's records, which it edits in
    // place; rate becomes the chosen one (-1: none chosen). True when the
    // user accepted, or when the model has no dialog.
    bool EditSetup(int& rate);
    // Shows text in a box over the parent and marks the configuration as
    // failed with a reason given; returns false for the caller to return.
    bool ReportFailure(const QString& text);
    void ClearFailure() { m_failureReported = false; }
    CRecordFile& Recording() { return m_recording; }
    void SetRunning(bool running) { m_running = running; }
    bool NeedsCalibration(int channel) const { return m_needsCalibration[channel]; }
    void SetNeedsCalibration(int channel, bool needed) { m_needsCalibration[channel] = needed; }

private:
    float PulseValue(int position, int32_t raw);
    // Frames first .. first + count - 1 of the raw words: each value to the
    // service frame by frame in position order, and to s_values.
    void ConvertRun(int first, int count, const bool* pulse);

    CRecordFile& m_recording;
    QString m_typeName;
    const char* m_defaultNameFormat;

    QWidget* m_parent = nullptr;
    bool m_running = false;
    bool m_failureReported = false;
    int64_t m_samplesTaken = 0;
    int m_channelMap[kMaxChannels] = {};
    int m_activeCount = 0;
    double m_scale[kMaxChannels] = {};
    double m_offset[kMaxChannels] = {};
    bool m_needsCalibration[kMaxChannels] = {};
    double m_samplePeriod = 1e-4;
    int m_sampleRate = 10000;
    int m_channelCount = 0;
    HwChanSetup m_channels[kMaxChannels];
    int m_pulseCount[kMaxChannels] = {};
    int m_pulseLevel[kMaxChannels] = {};
    int m_pulseEdgesLeft[kMaxChannels] = {};
    int m_pulsePeriod[kMaxChannels] = {};
    std::unique_ptr<QDialog> m_dialog; // the channel setup dialog while it exists

    // Raw words of the last poll, one area per position; shared by all
    // modules (only one is active at a time).
    static int32_t s_raw[kMaxChannels][kMaxSamplesPerPoll];
    // The values of up to kValueRunFrames frames, one row per position,
    // handed to the recording a run at a time; a run stays in the cache
    // between the conversion and the copy into the recording's blocks. The
    // rows are one cache line longer than the run, so that the positions of
    // one frame, stored one after the other, fall into different cache sets.
    static constexpr int kValueRunFrames = 1024;
    static constexpr int kValueRowFloats = kValueRunFrames + 16;
    static float s_values[kMaxChannels][kValueRowFloats];
};
