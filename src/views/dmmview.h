#pragma once
// The multimeter view: one number per trace channel in large digits with
// the channel's unit. It reads the channel buffer service itself as client 1
// on every tick, collects a window of samples per channel and, once channel
// 0's window is full, computes the panel's statistic for every channel and
// starts new windows (the display changes once per window length).
// UI thread only.

#include "analysis/samplering.h"
#include "views/graphwnd.h"

#include <vector>

class CDmmPanel;

class CDmmView : public CGraphWnd {
    Q_OBJECT
public:
    // The reader client of the multimeter views.
    static constexpr int kClient = 1;

    explicit CDmmView(MainFrame* frame, QWidget* parent = nullptr);
    ~CDmmView() override;

    void UpdateCursorReadouts() override {}
    // Window length from the panel and the first channel's sample interval;
    // empties every channel's window.
    void Reinit() override;
    void Tick() override;
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;
    QRect PlotRect() const override { return rect(); }
    void StorePanel(TextArchive& archive) override;
    void LoadPanel(TextArchive& archive) override;
    // Per shown trace: channel, statistic, value, unit.
    ViewTable ExportTable() const override;
    bool AnalysesRecords() const override { return false; }

    CDmmPanel* DmmPanel() const { return m_dmmPanel; }
    // Samples per window; 0 before the first Reinit with channels.
    int Window() const { return m_window; }
    // The last statistic of a channel; 0 before its first full window.
    double Value(int channel) const;
    // Windows evaluated since the last Reinit.
    int Evaluations() const { return m_evaluations; }

protected:
    void OnPanelNotify(int code) override;

private:
    void Evaluate();

    CDmmPanel* m_dmmPanel = nullptr;
    int m_window = 0;
    double m_lastDt = 0.0;
    int m_evaluations = 0;
    std::vector<SampleRing> m_rings;
    std::vector<double> m_values;
};
