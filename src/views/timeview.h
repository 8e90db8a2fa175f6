#pragma once
// The oscilloscope of a view page: the two traces chosen on the main bar
// against time, with trigger, pre-trigger and cursors. The first page's
// time view is also the capture engine of the program: on every tick it
// reads the channel buffer service as client 2 into one ring per channel,
// looks for the trigger, and when a record is complete copies every
// channel's record into the main window's AnalysisRecord, may save it as a
// trigger recording, and asks the main window to let the views analyse it.
//
// Capture (Tick) only fills rings and the record; Analyse copies the two
// shown channels into the display arrays; DrawContent only draws those.
// UI thread only.

#include "acquisition/recordfile.h"
#include "views/graphwnd.h"

#include <array>
#include <vector>

class CTimePanel;

class CTimeView : public CGraphWnd {
    Q_OBJECT
public:
    static constexpr int kClient = 2;
    static constexpr int kMaxRead = 100000; // samples per channel and tick

    CTimeView(MainFrame* frame, QWidget* parent = nullptr);
    ~CTimeView() override;

    int CursorMode() override;
    void UpdateCursorReadouts() override;
    void Rescale(int slot) override;
    void Analyse() override;
    void Reinit() override;
    // The capture step, see the header comment.
    void Tick() override;
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;
    void StorePanel(TextArchive& archive) override;
    void LoadPanel(TextArchive& archive) override;

    // The channel set changed: rings for every channel, emptied; the panel
    // lists the channels as trigger sources.
    void RefreshChannelList();

    CTimePanel* TimePanel() const;
    int RecordLength() const { return m_recordLength; }
    int PreTrigger() const { return m_preTrigger; }
    int PostTrigger() const { return m_postTrigger; }
    int Countdown() const { return m_countdown; }
    int SlopeState() const { return m_slopeState; }
    float LowerLevel() const { return m_lowerLevel; }
    float UpperLevel() const { return m_upperLevel; }
    bool LevelLines() const { return m_levelLines; }
    int ShownCount() const { return m_shownCount; }
    const Trace& Ring(int channel) const { return m_traces[size_t(channel)]; }
    const CRecordFile& TriggerFile() const { return m_triggerFile; }

    // Seconds per division of the time base text ("0.1s").
    double TimePerDivision() const;
    // Share of the record before the trigger, 0 … 100.
    int TriggerPercent() const;

    // One sample g through the slope machine (slope 0 "-", 1 "+", 2 "<>")
    // with the band lo … hi; true when it completes (state is then left
    // for the caller to clear).
    static bool SlopeStep(int slope, float g, float lo, float hi, int& state);
    // Samples a ring holds: its capacity once wrapped, else its write position.
    static int Valid(const Trace& ring) { return ring.filled ? ring.capacity : ring.length; }
    // Appends k samples (only the last capacity of them stay).
    static void RingAppend(Trace& ring, const float* values, int k);
    // The last k samples, oldest first (k <= Valid).
    static void RingReadLast(const Trace& ring, float* out, int k);
    // Root mean square of values[first] … values[last - 1]; 0 when empty.
    static double RmsBetween(const float* values, int first, int last);
    // The rms readout of a slot between cursors 0 and 1.
    double CursorRms(int slot) const { return m_cursorRms[size_t(slot & 1)]; }
    static void RingEmpty(Trace& ring)
    {
        ring.length = 0;
        ring.filled = false;
    }

protected:

private:
    void OnPanelNotify(int code) override;
    int TriggerMode() const;
    int TriggerSource() const;
    int TriggerSlope() const;
    double Division(int slot) const;
    double Offset(int slot) const;
    // The slot whose trace shows the trigger channel, -1 for none.
    int TriggerSlot() const;
    void RecomputeTriggerSteps();
    void ClampTriggerLevel();

    const float* ReadChannel(int channel, int n);
    // Reads n samples of a channel straight behind its ring's write position
    // (the caller has checked they fit without wrapping).
    void ReadChannelInto(int channel, int n);
    void CaptureFreeRunning(int n);
    void CaptureArmed(int n);
    void CaptureCollect(int n);
    void EnsureCapture(int length, int channels);
    void CopyToCapture(int channel);
    void FinishRecord(double dt);
    void SaveTriggerRecord();

    void DrawTriggerLine(QPainter& painter, const QRect& plot);
    void DrawSegmentBars(QPainter& painter, const QRect& plot);
    void DrawSampleMarks(QPainter& painter, const QRect& plot);
    void DrawLevelLines(QPainter& painter, const QRect& plot);

    int m_recordLength = 0;
    int m_preTrigger = 0;
    int m_postTrigger = 0;
    int m_countdown = -1;
    int m_slopeState = 0;
    float m_lowerLevel = 0.0f;
    float m_upperLevel = 0.0f;
    double m_lastDt = 0.0;
    bool m_levelLines = false;
    int m_shownCount = 0;
    std::array<std::vector<float>, kMaxTraces> m_capture;
    CRecordFile m_triggerFile;
    bool m_openFailureTold = false;
    std::array<double, 2> m_cursorRms{};
};
