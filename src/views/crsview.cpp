#include "views/crsview.h"

#include "analysis/measurements.h"
#include "views/crspanel.h"
#include "widgets/selectorbutton.h"

#include <QPainter>

namespace {
// The phase trace: 40° per division around 0, its offset stepping by 5°.
constexpr double kPhaseDivision = 40.0;
constexpr double kPhaseOffsetStep = 5.0;
} // namespace

CCrsView::CCrsView(MainFrame* frame, QWidget* parent) : CFrequencyView(frame, parent)
{
    setObjectName(QStringLiteral("CRS"));
}

CCrsPanel* CCrsView::CrsPanel() const { return static_cast<CCrsPanel*>(m_panel); }

void CCrsView::CreatePanel() { m_panel = new CCrsPanel(this); }

void CCrsView::OnPanelNotify(int code)
{
    switch (code) {
    case PanelWindow:
    case PanelFrfDisplay:
    case PanelLevelScale:
    case PanelPowerDisplay: Analyse(); break;
    default: CFrequencyView::OnPanelNotify(code); break;
    }
}

CGraphWnd::AnalysisJob CCrsView::MakeAnalysis()
{
    const CCrsPanel* panel = CrsPanel();
    const WindowType window = WindowType(panel->Window());
    const bool density = panel->Density();
    return [input = Input(), window, density, work = m_work](ViewData& out) { Compute(input, window, density, *work, out); };
}

void CCrsView::Compute(const AnalysisInput& input, WindowType window, bool density, AnalysisWorkspace& work, ViewData& out)
{
    SegmentLayout layout;
    const float *x, *y;
    if (!BeginTwoChannelAnalysis(input, out, layout, x, y))
        return;
    const size_t bins = size_t(layout.Bins());
    const MeasurementResult result =
        CrossSpectrum(work, x, y, layout, window, density, input.Unit(0),
                      std::span<float>(out.display[0].data(), bins), std::span<float>(out.display[1].data(), bins));
    out.slotActive = {result.computed, result.computed};
    out.SetUnit(0, result.firstUnit);
    out.SetUnit(1, result.secondUnit);
    out.levelsInDb = false;
    FinishAnalysis(out, layout);
}

void CCrsView::Rescale(int slot)
{
    if (Data().SlotShown(0) && (slot == -1 || slot == 0))
        RescaleTrace(0, Display(0), Data().PointCount());
    if (Data().SlotShown(1) && (slot == -1 || slot == 1)) {
        CFrequencyPanel* panel = FrequencyPanel();
        panel->SetTraceScale(1, kPhaseDivision, 0.0);
        CSelectorButton* offset = panel->Selector(CFrequencyPanel::IdOff2);
        offset->SetNumeric(kPhaseOffsetStep, 0.0);
        offset->update();
    }
    // The frequency axis follows on every rescale.
    RescaleFrequency();
    CGraphWnd::Rescale(slot);
}

void CCrsView::DrawContent(QPainter& painter) { DrawSpectrum(painter); }
