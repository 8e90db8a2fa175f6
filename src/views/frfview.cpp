#include "views/frfview.h"

#include "analysis/measurements.h"
#include "views/frfpanel.h"

#include <QPainter>
#include <algorithm>

namespace {
// The phase trace of "Mag+Phase" is rescaled to 40° per division around 0.
constexpr double kPhaseDivision = 40.0;
} // namespace

CFrfView::CFrfView(MainFrame* frame, QWidget* parent) : CFrequencyView(frame, parent)
{
    setObjectName(QStringLiteral("FRF"));
    m_combinedLegend = true;
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

void CFrfView::Analyse()
{
    SegmentLayout layout;
    if (!BeginAnalysis(layout))
        return;
    const float *x, *y;
    if (!BothSlotSamples(x, y))
        return;
    const CFrfPanel* panel = FrfPanel();
    FrfSettings settings;
    settings.window = WindowType(panel->Window());
    settings.display = FrfDisplay(panel->DisplayKey());
    settings.estimator = FrfEstimator(panel->EstimatorKey());
    settings.level = FrfLevel(panel->LevelKey());
    SizeForRows(layout, 1, false, AverageMode::Linear);

    const size_t bins = size_t(layout.Bins());
    const MeasurementResult result =
        FrequencyResponse(m_work, x, y, layout, settings, ChannelUnit(0), std::span<float>(Display(0), bins),
                          std::span<float>(Display(1), bins));
    m_slotActive = {result.computed, result.computed};
    SetUnit(0, result.firstUnit);
    SetUnit(1, result.secondUnit);
    m_levelsInDb = result.levelsInDb;
    m_analysedDisplay = int(settings.display);
    FinishAnalysis(layout, false);
}

void CFrfView::Rescale(int slot)
{
    if (m_slotActive[0] && m_slotActive[1] && m_pointCount > 0) {
        CFrequencyPanel* panel = FrequencyPanel();
        if (m_analysedDisplay == CFrfPanel::DisplayReIm) {
            // Real and imaginary part on one scale, zero in the middle.
            const double division = SymmetricDivision({Display(0), Display(1)}, m_pointCount, panel->Division(0));
            panel->SetTraceScale(0, division, 0.0);
            panel->SetTraceScale(1, division, 0.0);
        } else {
            RescaleTrace(0, Display(0), m_pointCount);
            panel->SetTraceScale(1, kPhaseDivision, 0.0);
        }
    }
    if (slot == -1)
        RescaleFrequency();
    CGraphWnd::Rescale(slot);
}

void CFrfView::DrawContent(QPainter& painter) { DrawSpectrum(painter); }
