#include "views/frfview.h"

#include "analysis/measurements.h"
#include "views/frfpanel.h"

#include <QPainter>
#include <algorithm>
#include <cstddef>
#include <limits>

namespace {
// The phase trace of "Mag+Phase" is rescaled to 40° per division around 0.
constexpr double kPhaseDivision = 40.0;
// Input power below this fraction of the input's strongest bin counts as no
// energy: float rounding leaves about 1e-18 of a tone's power in the other
// bins, while anything a source really puts in lies far above 1e-14.
constexpr double kNoInputEnergy = 1e-14;
} // namespace

CFrfView::CFrfView(MainFrame* frame, QWidget* parent) : CFrequencyView(frame, parent)
{
    setObjectName(QStringLiteral("FRF"));
    SetCombinedLegend(true);
}

CFrfPanel* CFrfView::FrfPanel() const { return static_cast<CFrfPanel*>(m_panel); }

void CFrfView::CreatePanel() { m_panel = new CFrfPanel(this); }

void CFrfView::OnPanelNotify(int code)
{
    switch (code) {
    case PanelWindow:
    case PanelFrfEstimator:
    case PanelLevelScale: Analyse(); break;
    case PanelFrfDisplay:
        Analyse();
        FrfPanel()->UpdateScaleEnable();
        break;
    default: CFrequencyView::OnPanelNotify(code); break;
    }
}

CGraphWnd::AnalysisJob CFrfView::MakeAnalysis()
{
    const CFrfPanel* panel = FrfPanel();
    FrfSettings settings;
    settings.window = WindowType(panel->Window());
    settings.display = FrfDisplay(panel->DisplayKey());
    settings.estimator = FrfEstimator(panel->EstimatorKey());
    settings.level = FrfLevel(panel->LevelKey());
    return [input = Input(), settings, work = m_work](ViewData& out) { Compute(input, settings, *work, out); };
}

void CFrfView::Compute(const AnalysisInput& input, const FrfSettings& settings, AnalysisWorkspace& work, ViewData& out)
{
    SegmentLayout layout;
    const float *x, *y;
    if (!BeginTwoChannelAnalysis(input, out, layout, x, y))
        return;
    const size_t bins = size_t(layout.Bins());
    const MeasurementResult result = FrequencyResponse(work, x, y, layout, settings, input.Unit(0),
                                                       std::span<float>(out.display[0].data(), bins),
                                                       std::span<float>(out.display[1].data(), bins));
    if (result.computed)
        MarkBinsWithoutInput(work, x, layout, std::span<float>(out.display[0].data(), bins),
                             std::span<float>(out.display[1].data(), bins));
    out.slotActive = {result.computed, result.computed};
    out.SetUnit(0, result.firstUnit);
    out.SetUnit(1, result.secondUnit);
    out.levelsInDb = result.levelsInDb;
    out.variant = int(settings.display);
    FinishAnalysis(out, layout);
}

void CFrfView::MarkBinsWithoutInput(AnalysisWorkspace& work, const float* x, const SegmentLayout& layout,
                                    std::span<float> first, std::span<float> second)
{
    const int bins = layout.Bins();
    // The response's own sums are spent by now: sum 2 holds the input power.
    double* power = work.Sum(2);
    std::fill_n(power, bins, 0.0);
    for (int j = 0; j < layout.count; ++j) {
        work.TransformSegment(0, x + layout.start + std::ptrdiff_t(j) * layout.hop, true);
        const float* re = work.Re(0);
        const float* im = work.Im(0);
        for (int k = 0; k < bins; ++k)
            power[k] += double(re[k]) * re[k] + double(im[k]) * im[k];
    }
    const double floor = *std::max_element(power, power + bins) * kNoInputEnergy;
    const float undefined = std::numeric_limits<float>::quiet_NaN();
    for (int k = 0; k < bins; ++k)
        if (!(power[k] > floor))
            first[k] = second[k] = undefined;
}

void CFrfView::AdoptAnalysis(ViewData& data)
{
    m_analysedDisplay = data.variant;
    CFrequencyView::AdoptAnalysis(data);
}

void CFrfView::Rescale(int slot)
{
    if (Data().SlotShown(0) && Data().SlotShown(1) && Data().PointCount() > 0) {
        CFrequencyPanel* panel = FrequencyPanel();
        if (m_analysedDisplay == CFrfPanel::DisplayReIm) {
            // Real and imaginary part on one scale, zero in the middle.
            const double division
                = SymmetricDivision({Display(0), Display(1)}, Data().PointCount(), panel->Division(0));
            panel->SetTraceScale(0, division, 0.0);
            panel->SetTraceScale(1, division, 0.0);
        } else {
            RescaleTrace(0, Display(0), Data().PointCount());
            panel->SetTraceScale(1, kPhaseDivision, 0.0);
        }
    }
    if (slot == -1)
        RescaleFrequency();
    CGraphWnd::Rescale(slot);
}

void CFrfView::DrawContent(QPainter& painter) { DrawSpectrum(painter); }
