#pragma once
// The oscilloscope of a view page: the two traces chosen on the main bar
// against time, with trigger, pre-trigger and cursors. The capture itself
// is the capture engine's; the first page's time panel gives it its
// settings (CaptureSettingsNow), and the view draws the published records
// like every other view: its analysis copies the two shown channels of the
// record into the display arrays. UI thread only.

#include "capture/capturesettings.h"
#include "views/graphwnd.h"

#include <array>
#include <vector>

class CTimePanel;

class CTimeView : public CGraphWnd {
    Q_OBJECT
public:
    CTimeView(MainFrame* frame, QWidget* parent = nullptr);

    int CursorMode() override;
    void UpdateCursorReadouts() override;
    void Rescale(int slot) override;
    AnalysisJob MakeAnalysis() override;
    void AdoptAnalysis(ViewData& data) override;
    // Two channels of a record copied: at once, every record.
    bool AnalysesAtOnce() const override { return true; }
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;
    void StorePanel(TextArchive& archive) override;
    void LoadPanel(TextArchive& archive) override;

    // The channel set changed: the panel lists the channels as trigger sources.
    void RefreshChannelList();
    // What the capture takes from this panel on every tick.
    CaptureSettings CaptureSettingsNow() const;

    CTimePanel* TimePanel() const;
    bool LevelLines() const { return m_levelLines; }

    // Seconds per division of the time base text ("0.1s").
    double TimePerDivision() const;
    // Share of the record before the trigger, 0 … 100.
    int TriggerPercent() const;

    // Root mean square of values[first] … values[last - 1]; 0 when empty.
    static double RmsBetween(const float* values, int first, int last);
    // The rms readout of a slot between cursors 0 and 1.
    double CursorRms(int slot) const { return m_cursorRms[size_t(slot & 1)]; }

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

    void DrawTriggerLine(QPainter& painter, const QRect& plot);
    void DrawSegmentBars(QPainter& painter, const QRect& plot);
    void DrawSampleMarks(QPainter& painter, const QRect& plot);
    void DrawLevelLines(QPainter& painter, const QRect& plot);

    bool m_levelLines = false;
    std::array<double, 2> m_cursorRms{};
};
