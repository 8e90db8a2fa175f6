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
        const int before = m_lastScale;
        const int chosen = PsdPanel()->ScaleKey();
        Analyse();
        const bool analysed = m_lastScale == chosen;
        if (analysed && (before == kLinearRms || chosen == kLinearRms))
            Rescale(-1);
        break;
    }
    default: CFrequencyView::OnPanelNotify(code); break;
    }
}

void CPsdView::Analyse()
{
    SegmentLayout layout;
    if (!BeginAnalysis(layout))
        return;
    const CPsdPanel* panel = PsdPanel();
    PsdSettings settings;
    settings.window = WindowType(panel->Window());
    settings.average = AverageMode(panel->AverageKey());
    settings.scale = LevelScale(panel->ScaleKey());
    settings.density = panel->Density();
    const int rows = KeepsRows(settings.average) ? layout.count : 1;
    SizeForRows(layout, rows, false, settings.average);

    const size_t values = size_t(layout.Bins()) * size_t(rows);
    for (int slot = 0; slot < 2; ++slot) {
        const float* samples = SlotSamples(slot);
        m_slotActive[size_t(slot)] = false;
        if (!samples)
            continue;
        const MeasurementResult result = PowerSpectralDensity(m_work, samples, layout, settings, ChannelUnit(slot),
                                                              std::span<float>(Display(slot), values));
        m_slotActive[size_t(slot)] = result.computed;
        SetUnit(slot, result.firstUnit);
    }
    m_levelsInDb = IsDecibelScale(settings.scale);
    m_lastScale = int(settings.scale);
    FinishAnalysis(layout, true);
}

void CPsdView::Rescale(int slot)
{
    for (int s = 0; s < 2; ++s)
        if ((slot == -1 || slot == s) && m_slotActive[size_t(s)])
            RescaleTrace(s, Display(s), m_pointCount * m_rows);
    if (slot == -1)
        RescaleFrequency();
    CGraphWnd::Rescale(slot);
}

void CPsdView::DrawContent(QPainter& painter) { DrawSpectrum(painter); }
