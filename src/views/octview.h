#pragma once
// The octave view: fractional-octave band levels of the two trace channels
// as lines or bars over the band centres, with an optional overall-level
// (OASPL) column. Unlike the record-based views it reads the channel buffer
// service itself as client 3 on every tick and feeds every new sample of a
// trace's channel to that trace's analyser, so the levels follow the signal
// continuously. Levels are dB re 20 µPa (samples taken as pascals).
// The analysers run on the view's own OctaveWorker thread: the tick only
// reads and hands over the samples, and drawing takes the levels the worker
// last published. UI thread only.

#include "views/graphwnd.h"

#include "analysis/octaveworker.h"

#include <QPointF>

#include <array>
#include <memory>
#include <vector>

class COctPanel;

class COctView : public CGraphWnd {
    Q_OBJECT
public:
    // The reader client of the octave views.
    static constexpr int kClient = 3;
    // Pixels below the plot for the band labels.
    static constexpr int kLabelRoom = 60;
    // Pixels right of the plot for the OASPL texts.
    static constexpr int kOasplRoom = 72;
    // Pen width of the "Line" and "Bar" drawings, pixels.
    static constexpr double kLineWidth = 2.0;

    explicit COctView(MainFrame* frame, QWidget* parent = nullptr);
    ~COctView() override;

    void UpdateCursorReadouts() override {}
    void PlaceCursors() override {}
    // Designs both analysers from the panel and the first channel's sample
    // interval; nothing without channels.
    void Reinit() override;
    void Tick() override;
    void Show(bool show) override;
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;
    QRect PlotRect() const override;
    void StorePanel(TextArchive& archive) override;
    void LoadPanel(TextArchive& archive) override;
    // Per band its centre and, per shown trace, the level and the weighted
    // level; then the overall levels as an "OASPL" row.
    ViewTable ExportTable() const override;
    bool AnalysesRecords() const override { return false; }

    // Frequency labels under the band columns, one per octave.
    virtual void DrawBandLabels(QPainter& painter, const QRect& plot);

    COctPanel* OctPanel() const { return m_octPanel; }
    // The analyser of a trace once every sample handed over so far is
    // filtered (waits for the worker).
    const OctaveAnalyser& Analyser(int trace) const;
    // Waits until every sample handed over is filtered, so that the next
    // paint shows all of them (pictures and tests; the tick never waits).
    void FinishLevels() const { m_worker->Finish(); }
    bool Designed() const { return m_designed; }

private:
    void OnPanelNotify(int code) override;
    void ApplyTimeWeighting();
    void UpdateSlots();
    // Band column geometry over a plot.
    double OverallWidth(const QRect& plot) const;
    double BandWidth(const QRect& plot) const;
    void DrawTraceLevels(QPainter& painter, const QRect& plot, int trace);
    // Runs `change` on both analysers with the worker idle, then publishes.
    template <class Change> void ChangeAnalysers(Change change);
    void KeepBandLayout();

    COctPanel* m_octPanel = nullptr;
    std::unique_ptr<OctaveWorker> m_worker;
    bool m_designed = false;
    // The design as the UI thread draws it, kept at each Reinit so that
    // painting never waits for the worker.
    double m_designDt = 0.0;
    int m_bandCount = 0;
    int m_firstIndex = 0;
    int m_bandsPerOctave = 1;
    std::vector<double> m_centres;
    // The levels of the current paint, copied from the worker.
    OctaveWorker::Levels m_shown[2];
    // The corners of a "Line" trace: two per band and its start.
    std::array<QPointF, 2 * OctaveAnalyser::kMaxBands + 1> m_linePoints;
};
