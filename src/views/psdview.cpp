#include "views/psdview.h"

#include "analysis/measurements.h"
#include "views/psdpanel.h"

#include <QPainter>

namespace {
constexpr int kLinearRms = int(LevelScale::LinearRms);
} // namespace

CPsdView::CPsdView(MainFrame* frame, QWidget* parent) : CFrequencyView(frame, parent)
{
    setObjectName(QStringLiteral("PSD"));
}

CPsdPanel* CPsdView::PsdPanel() const { return static_cast<CPsdPanel*>(m_panel); }

void CPsdView::CreatePanel() { m_panel = new CPsdPanel(this); }

int CPsdView::CursorMode() { return PsdPanel() ? PsdPanel()->CursorKey() : 0; }

void CPsdView::OnPanelNotify(int code)
{
    switch (code) {
    case PanelXScale:
    case PanelWindow:
    case PanelAverageMode:
    case PanelPowerDisplay:
    case PanelDisplayMode: Analyse(); break;
    case PanelLevelScale: {
        // A linear scale and a decibel scale need different divisions.
        const int chosen = PsdPanel()->ScaleKey();
        if (m_lastScale == kLinearRms || chosen == kLinearRms)
            AnalyseAndRescale();
        else
            Analyse();
        break;
    }
    default: CFrequencyView::OnPanelNotify(code); break;
    }
}

CGraphWnd::AnalysisJob CPsdView::MakeAnalysis()
{
    const CPsdPanel* panel = PsdPanel();
    PsdSettings settings;
    settings.window = WindowType(panel->Window());
    settings.average = AverageMode(panel->AverageKey());
    settings.scale = LevelScale(panel->ScaleKey());
    settings.density = panel->Density();
    return [input = Input(), settings, work = m_work](ViewData& out) { Compute(input, settings, *work, out); };
}

void CPsdView::Compute(const AnalysisInput& input, const PsdSettings& settings, AnalysisWorkspace& work, ViewData& out)
{
    SegmentLayout layout;
    if (!BeginAnalysis(input, out, layout))
        return;
    const int rows = KeepsRows(settings.average) ? layout.count : 1;
    SizeForRows(out, layout, rows, false, settings.average);
    const size_t values = size_t(layout.Bins()) * size_t(rows);
    for (int slot = 0; slot < 2; ++slot) {
        const float* samples = input.Samples(slot);
        if (!samples)
            continue;
        const MeasurementResult result =
            PowerSpectralDensity(work, samples, layout, settings, input.Unit(slot),
                                 std::span<float>(out.display[size_t(slot)].data(), values));
        out.slotActive[size_t(slot)] = result.computed;
        out.SetUnit(slot, result.firstUnit);
    }
    out.levelsInDb = IsDecibelScale(settings.scale);
    out.variant = int(settings.scale);
    FinishAnalysis(out, layout);
}

void CPsdView::AdoptAnalysis(ViewData& data)
{
    m_lastScale = data.variant;
    CFrequencyView::AdoptAnalysis(data);
}

void CPsdView::Rescale(int slot)
{
    for (int s = 0; s < 2; ++s)
        if ((slot == -1 || slot == s) && Data().SlotShown(s))
            RescaleTrace(s, Display(s), Data().PointCount() * m_rows);
    if (slot == -1)
        RescaleFrequency();
    CGraphWnd::Rescale(slot);
}

void CPsdView::DrawContent(QPainter& painter) { DrawSpectrum(painter); }
