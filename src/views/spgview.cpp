#include "views/spgview.h"

#include "analysis/correlation.h"
#include "platform/appmessage.h"
#include "views/spgpanel.h"
#include "widgets/selectorbutton.h"

#include <cmath>
#include <span>
#include <string>

namespace {
constexpr int kDivisionIds[2] = {CSpgPanel::IdYDiv1, CSpgPanel::IdYDiv2};
constexpr int kOffsetIds[2] = {CSpgPanel::IdOff1, CSpgPanel::IdOff2};

// v toward zero to a whole multiple of 10.
double TruncateToTens(double v) { return 10.0 * std::trunc(std::trunc(v) / 10.0); }
} // namespace

CSpgView::CSpgView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
{
    Data().SetXUnit(QStringLiteral("Hz"));
    Data().SetColourMap(true);
    Data().SetLevelsInDb(true);
}

void CSpgView::CreatePanel()
{
    m_spgPanel = new CSpgPanel(this);
    m_panel = m_spgPanel;
}

void CSpgView::StorePanel(TextArchive& archive) { m_spgPanel->SerializePanel(archive); }

void CSpgView::LoadPanel(TextArchive& archive) { m_spgPanel->SerializePanel(archive); }

const float* CSpgView::Row(int slot, int row) const
{
    return Display(slot & 1) + size_t(row) * size_t(Data().PointCount());
}

CGraphWnd::AnalysisJob CSpgView::MakeAnalysis()
{
    const WindowType window = m_spgPanel->AnalysisWindow();
    const LevelScale scale = m_spgPanel->Scale();
    return [input = Input(), window, scale, work = m_work](ViewData& out) { Compute(input, window, scale, *work, out); };
}

void CSpgView::Compute(const AnalysisInput& input, WindowType window, LevelScale scale, AnalysisWorkspace& work, ViewData& out)
{
    out.slotActive = {input.Samples(0) != nullptr, input.Samples(1) != nullptr};
    if (!input.Analysable()) {
        out.Unavailable(input.Shortfall());
        return;
    }
    const SegmentLayout layout = input.Segments();
    if (layout.count < 2) {
        out.Unavailable("record gives " + std::to_string(layout.count) + " segment of " + std::to_string(layout.points)
                        + " points; a spectrogram needs 2 \u2014 raise XDv or lower Pts");
        return;
    }
    const int bins = layout.Bins();
    const size_t values = size_t(layout.count) * size_t(bins);
    // Only the two arrays of rows: no second quantity, no N-sized rows.
    out.rows = layout.count;
    out.Size(int(values), false);
    for (int slot = 0; slot < 2; ++slot) {
        const float* samples = input.Samples(slot);
        out.slotActive[size_t(slot)] =
            samples && SpectrogramRows(work, samples, layout, window, scale,
                                       std::span<float>(out.display[size_t(slot)].data(), values));
    }
    out.pointCount = bins;
    out.xStep = float(0.5 / layout.dt / bins);
    out.xStart = 0.0;
    out.SetUnit(0, SpectrogramUnit(scale));
    out.SetUnit(1, SpectrogramUnit(scale));
    out.colourMap = true;
    out.levelsInDb = true;
    out.variant = int(scale);
    out.outcome = ViewData::Outcome::Made;
}

void CSpgView::AdoptAnalysis(ViewData& data)
{
    CGraphWnd::AdoptAnalysis(data);
    m_lastScale = LevelScale(data.variant);
    FollowMaxima();
    RescaleFirstOrRepaint();
}

CSpgView::LevelFit CSpgView::FitLevels(double max, double min)
{
    LevelFit fit;
    if (max > 0.0)
        max += 9.99;
    if (min < 0.0)
        min -= 9.99;
    fit.top = TruncateToTens(max);
    fit.bottom = TruncateToTens(min);
    fit.division = fit.top - fit.bottom >= 100.0 ? 10.0 : 5.0;
    fit.offset = 5.0 * fit.division - fit.top;
    return fit;
}

void CSpgView::RescaleLevels(int slot)
{
    const float* values = Display(slot);
    const size_t count = size_t(Data().Rows()) * size_t(Data().PointCount());
    double max = -1e35, min = 1e35;
    for (size_t i = 0; i < count; ++i) {
        const double v = values[i];
        if (!std::isfinite(v))
            continue;
        max = std::max(max, v);
        min = std::min(min, v);
    }
    if (max < min)
        return; // nothing finite to fit
    const LevelFit fit = FitLevels(max, min);
    CSelectorButton* division = m_spgPanel->Selector(kDivisionIds[slot]);
    division->SelectNearest(fit.division);
    division->update();
    CSelectorButton* offset = m_spgPanel->Selector(kOffsetIds[slot]);
    offset->SetNumeric(fit.division, fit.offset);
    offset->update();
}

void CSpgView::RescaleFrequency()
{
    CSelectorButton* division = m_spgPanel->Selector(CSpgPanel::IdXDiv);
    division->SelectNearest(double(Data().XStep()) * Data().PointCount() * 0.1);
    division->update();
    CSelectorButton* offset = m_spgPanel->Selector(CSpgPanel::IdXPos);
    offset->SetNumeric(ParseWithPrefix(division->CurrentText()) * 0.1, 0.0);
    offset->update();
}

void CSpgView::Rescale(int slot)
{
    if (Data().Rows() > 0 && Data().PointCount() > 0) {
        for (int s = 0; s < 2; ++s)
            if ((slot == s || slot == -1) && Data().SlotShown(s))
                RescaleLevels(s);
        if (slot == -1)
            RescaleFrequency();
    }
    CGraphWnd::Rescale(slot);
}

void CSpgView::DrawContent(QPainter& painter)
{
    const double divisions[2] = {m_spgPanel->Division(0), m_spgPanel->Division(1)};
    const double offsets[2] = {m_spgPanel->Offset(0), m_spgPanel->Offset(1)};
    DrawSpectrogram(painter, divisions, offsets, m_spgPanel->XOffset(), m_spgPanel->FrequencyPerDivision());
}

void CSpgView::OnPanelNotify(int code)
{
    switch (code) {
    case PanelXScale:
    case PanelWindow:
    case PanelDisplayMode: Analyse(); break;
    case PanelLevelScale:
        if (m_lastScale == LevelScale::LinearRms || m_spgPanel->Scale() == LevelScale::LinearRms)
            AnalyseAndRescale();
        else
            Analyse();
        break;
    case PanelYDiv1: m_spgPanel->RegridOffset(CSpgPanel::IdOff1, CSpgPanel::IdYDiv1); break;
    case PanelYDiv2: m_spgPanel->RegridOffset(CSpgPanel::IdOff2, CSpgPanel::IdYDiv2); break;
    case PanelXOffset: m_spgPanel->RegridOffset(CSpgPanel::IdXPos, CSpgPanel::IdXDiv); break;
    default: break;
    }
    update();
}
