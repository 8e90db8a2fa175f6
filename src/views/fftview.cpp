#include "views/fftview.h"

#include "analysis/measurements.h"
#include "views/fftpanel.h"

#include <QPainter>
#include <algorithm>

namespace {
// The phase plot of "Mag+Phase": 40° per division around 0.
constexpr double kPhaseDivision = 40.0;
} // namespace

CFftView::CFftView(MainFrame* frame, QWidget* parent) : CFrequencyView(frame, parent)
{
    setObjectName(QStringLiteral("FFT"));
}

CFftPanel* CFftView::FftPanel() const { return static_cast<CFftPanel*>(m_panel); }

void CFftView::CreatePanel() { m_panel = new CFftPanel(this); }

int CFftView::CursorMode() { return FftPanel() ? FftPanel()->CursorKey() : 0; }

void CFftView::OnPanelNotify(int code)
{
    switch (code) {
    case PanelWindow:
    case PanelAverageMode:
    case PanelDisplayMode:
    case PanelAmplitude:
    case PanelIntegration: Analyse(); break;
    default: CFrequencyView::OnPanelNotify(code); break;
    }
}

CGraphWnd::AnalysisJob CFftView::MakeAnalysis()
{
    const CFftPanel* panel = FftPanel();
    AmplitudeSettings settings;
    settings.window = WindowType(panel->Window());
    settings.display = FftDisplay(panel->DisplayKey());
    settings.amplitude = AmplitudeKind(panel->AmplitudeKey());
    settings.integration = Integration(panel->IntegrationKey());
    // Magnitude and phase or real and imaginary part come from the first
    // segment alone: nothing to average, nothing to draw in rows.
    settings.average = settings.display == FftDisplay::Magnitude ? AverageMode(panel->AverageKey())
                                                                 : AverageMode::Linear;
    return [input = Input(), settings, work = m_work](ViewData& out) { Compute(input, settings, *work, out); };
}

void CFftView::Compute(const AnalysisInput& input, const AmplitudeSettings& settings, AnalysisWorkspace& work, ViewData& out)
{
    SegmentLayout layout;
    if (!BeginAnalysis(input, out, layout))
        return;
    const int rows = KeepsRows(settings.average) ? layout.count : 1;
    SizeForRows(out, layout, rows, true, settings.average);
    const size_t bins = size_t(layout.Bins());
    for (int slot = 0; slot < 2; ++slot) {
        const float* samples = input.Samples(slot);
        if (!samples)
            continue;
        TraceArrays arrays{std::span<float>(out.display[size_t(slot)].data(), bins * size_t(rows)),
                           std::span<float>(out.display[size_t(slot + 2)].data(), bins)};
        const MeasurementResult result =
            AmplitudeSpectrum(work, samples, layout, settings, input.Unit(slot), arrays);
        out.slotActive[size_t(slot)] = result.computed;
        out.SetUnit(slot, result.firstUnit);
        out.SetUnit(slot + 2, result.secondUnit);
    }
    out.levelsInDb = false;
    out.variant = int(settings.display);
    out.split = out.variant == 0 ? SplitFull : SplitUpper;
    FinishAnalysis(out, layout);
}

void CFftView::AdoptAnalysis(ViewData& data)
{
    m_analysedDisplay = data.variant;
    CFrequencyView::AdoptAnalysis(data);
}

void CFftView::Rescale(int slot)
{
    const size_t count = size_t(Data().PointCount()) * size_t(m_rows);
    for (int s = 0; s < 2; ++s) {
        if ((slot != -1 && slot != s) || !Data().SlotShown(s))
            continue;
        if (m_analysedDisplay != int(FftDisplay::RealImaginary)) {
            RescaleTrace(s, Display(s), int(count));
            continue;
        }
        // Real and imaginary part share the trace's scale, zero in the
        // middle.
        CFrequencyPanel* panel = FrequencyPanel();
        panel->SetTraceScale(
            s, SymmetricDivision({Display(s), Display(s + 2)}, Data().PointCount(), panel->Division(s)), 0.0);
    }
    if (slot == -1)
        RescaleFrequency();
    CGraphWnd::Rescale(slot);
}

void CFftView::DrawContent(QPainter& painter)
{
    if (m_analysedDisplay == int(FftDisplay::Magnitude)) {
        Data().SetSplit(SplitFull);
        DrawSpectrum(painter);
        return;
    }
    const CFftPanel* panel = FftPanel();
    const bool polar = m_analysedDisplay == int(FftDisplay::MagnitudePhase);
    double divisions[2] = {panel->Division(0), panel->Division(1)};
    double offsets[2] = {panel->Offset(0), panel->Offset(1)};
    // The lower half first, so that cursors and zoom keep the upper half's
    // scales.
    Data().SetSplit(SplitLower);
    if (polar) {
        const double phaseDivisions[2] = {kPhaseDivision, kPhaseDivision};
        const double phaseOffsets[2] = {0.0, 0.0};
        DrawDivisionPlot(painter, phaseDivisions, phaseOffsets, panel->XOffset(), panel->FrequencyPerDivision());
    } else {
        DrawDivisionPlot(painter, divisions, offsets, panel->XOffset(), panel->FrequencyPerDivision());
    }
    Data().SetSplit(SplitUpper);
    DrawDivisionPlot(painter, divisions, offsets, panel->XOffset(), panel->FrequencyPerDivision());
}
