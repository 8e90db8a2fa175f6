#include "views/cohview.h"

#include "analysis/measurements.h"
#include "views/cohpanel.h"

#include <QPainter>

namespace {
// Ten divisions of 0.2 around 0: the axis runs from −1 to 1.
constexpr double kCoherenceDivision = 0.2;
} // namespace

CCohView::CCohView(MainFrame* frame, QWidget* parent) : CFrequencyView(frame, parent)
{
    setObjectName(QStringLiteral("COH"));
    m_channelUnits = false;
}

CCohPanel* CCohView::CohPanel() const { return static_cast<CCohPanel*>(m_panel); }

void CCohView::CreatePanel() { m_panel = new CCohPanel(this); }

void CCohView::OnPanelNotify(int code)
{
    if (code == PanelWindow)
        Analyse();
    else
        CFrequencyView::OnPanelNotify(code);
}

CGraphWnd::AnalysisJob CCohView::MakeAnalysis()
{
    const WindowType window = WindowType(CohPanel()->Window());
    return [input = Input(), window, work = m_work](ViewData& out) { Compute(input, window, *work, out); };
}

void CCohView::Compute(const AnalysisInput& input, WindowType window, AnalysisWorkspace& work, ViewData& out)
{
    SegmentLayout layout;
    const float *x, *y;
    if (!BeginTwoChannelAnalysis(input, out, layout, x, y))
        return;
    const MeasurementResult result =
        Coherence(work, x, y, layout, window, std::span<float>(out.display[0].data(), size_t(layout.Bins())));
    out.slotActive = {result.computed, false};
    out.levelsInDb = false;
    FinishAnalysis(out, layout);
    // One segment's coherence is 1 at every bin, whatever the signals.
    if (layout.count == 1)
        out.notice = "one average gives coherence 1 \u2014 raise Avg";
}

void CCohView::Rescale(int slot)
{
    RescaleFrequency();
    CGraphWnd::Rescale(slot);
}

void CCohView::DrawContent(QPainter& painter)
{
    const CCohPanel* panel = CohPanel();
    const double divisions[2] = {kCoherenceDivision, kCoherenceDivision};
    const double offsets[2] = {0.0, 0.0};
    DrawDivisionPlot(painter, divisions, offsets, panel->XOffset(), panel->FrequencyPerDivision());
}
