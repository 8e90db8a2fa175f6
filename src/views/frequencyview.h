#pragma once
// The common part of the five spectrum views (FFT, PSD, FRF, COH, CRS): the
// steps every Analyse shares (the view is shown, the record holds its
// segments, display arrays sized, bin spacing as x step, traces shown or
// hidden, units, the first rescale), the panel codes they handle alike, the
// 1-2-5 rescale of a trace and of the frequency axis, and the division plot
// with the panel's scales. The derived views supply the measurement and
// their differences.
//
// The analysis is a job of the record and a copy of the panel's settings
// that fills a ViewData on a worker; the view adopts it and draws it. The
// measurement work memory is the view's, handed to its jobs (one runs at a
// time) and re-made only when the transform length or the window changes,
// so analysing a record of settled size allocates nothing. The view itself:
// UI thread only.

#include "analysis/analysisworkspace.h"
#include "analysis/segmentlayout.h"
#include "views/graphwnd.h"

#include <array>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

class CFrequencyPanel;

class CFrequencyView : public CGraphWnd {
    Q_OBJECT
public:
    CFrequencyView(MainFrame* frame, QWidget* parent = nullptr);

    void StorePanel(TextArchive& archive) override;
    void LoadPanel(TextArchive& archive) override;

    CFrequencyPanel* FrequencyPanel() const;

    // What the last analysis left for drawing (also read by tests).
    bool TraceShown(int slot) const { return Data().SlotShown(slot); }
    float BinSpacing() const { return Data().XStep(); }
    // Unit text of a display array (0, 1 first quantity of each trace; 2, 3
    // second quantity).
    const QString& UnitText(int array) const { return Data().CustomUnit(array); }
    bool CascadeLayout() const { return Data().Cascade(); }
    bool ColourMapDrawing() const { return Data().ColourMap(); }
    bool LevelsInDb() const { return Data().LevelsInDb(); }
    int SplitLayout() const { return Data().Split(); }
    // Rows of the display arrays after the last analysis (segments in the
    // row averaging modes, else 1).
    int Rows() const { return m_rows; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    // A panel notification; the view repaints afterwards. The base handles
    // the division and x offset re-gridding (15, 16, 19) and "Curs" (28).
    void OnPanelNotify(int code) override;
    // Rows, legends, automatic cursors (where FollowsMaxima) and the first
    // rescale.
    void AdoptAnalysis(ViewData& data) override;
    // Cursors follow the maxima after an analysis.
    virtual bool FollowsMaxima() const { return true; }

    // ---- Steps of the jobs (any thread) ----
    // False when there is no record or it is too short for its segments:
    // the result is then unavailable, with the reason. Fills layout.
    static bool BeginAnalysis(const AnalysisInput& input, ViewData& out, SegmentLayout& layout);
    // Display arrays for `rows` rows of N/2 bins, the cascade and
    // colour-map flags for the averaging mode.
    static void SizeForRows(ViewData& out, const SegmentLayout& layout, int rows, bool second, AverageMode mode);
    // Both slots' samples for the two-channel measurements; when either
    // slot lacks them both traces are hidden and false returned.
    static bool BothSlotSamples(const AnalysisInput& input, ViewData& out, const float*& x, const float*& y);
    // The steps the two-channel measurements (FRF, coherence, cross
    // spectrum) share: the layout, both slots' samples, one row of arrays.
    static bool BeginTwoChannelAnalysis(const AnalysisInput& input, ViewData& out, SegmentLayout& layout,
                                        const float*& x, const float*& y);
    // x step and the made outcome.
    static void FinishAnalysis(ViewData& out, const SegmentLayout& layout);

    // Division and offset of a trace over count values, written to the
    // panel: levels in dB by the decibel rule (whole tens from the top),
    // others by the 1-2-5 rule.
    void RescaleTrace(int slot, const float* values, int count);
    // The 1-2-5 division for ten divisions around zero (offset 0) that hold
    // the largest magnitude of the values of the given arrays; division
    // unchanged when all are 0.
    double SymmetricDivision(std::initializer_list<const float*> arrays, int count, double division) const;
    // "XDv" nearest a tenth of half the sample rate, "XPos" 0.
    void RescaleFrequency();

    // The division plot with the panel's divisions, offsets and frequency
    // axis.
    void DrawSpectrum(QPainter& painter);

    // The measurements' tables and work memory, lent to one job at a time.
    std::shared_ptr<AnalysisWorkspace> m_work = std::make_shared<AnalysisWorkspace>();
    int m_rows = 1;

private:
    void PlaceLegends();
};
