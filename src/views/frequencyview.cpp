#include "views/frequencyview.h"

#include "platform/appmessage.h"
#include "views/plotlayout.h"
#include "views/frequencypanel.h"
#include "views/rescaledivisions.h"

#include <algorithm>
#include <cmath>

CFrequencyView::CFrequencyView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
{
    Data().SetXUnit(QStringLiteral("Hz"));
}

CFrequencyPanel* CFrequencyView::FrequencyPanel() const { return static_cast<CFrequencyPanel*>(m_panel); }

void CFrequencyView::StorePanel(TextArchive& archive) { FrequencyPanel()->SerializePanel(archive); }

void CFrequencyView::LoadPanel(TextArchive& archive) { FrequencyPanel()->SerializePanel(archive); }

void CFrequencyView::OnPanelNotify(int code)
{
    CFrequencyPanel* panel = FrequencyPanel();
    switch (code) {
    case PanelYDiv1: panel->RegridOffset(0); break;
    case PanelYDiv2: panel->RegridOffset(1); break;
    case PanelXOffset: panel->RegridXOffset(panel->FrequencyPerDivision()); break;
    case PanelCursorMode: FollowMaxima(); break;
    default: break;
    }
}

bool CFrequencyView::BeginAnalysis(const AnalysisInput& input, ViewData& out, SegmentLayout& layout)
{
    if (!input.Analysable()) {
        out.slotActive = {input.Samples(0) != nullptr, input.Samples(1) != nullptr};
        out.Unavailable(input.Shortfall());
        return false;
    }
    layout = input.Segments();
    return true;
}

void CFrequencyView::SizeForRows(ViewData& out, const SegmentLayout& layout, int rows, bool second, AverageMode mode)
{
    out.rows = std::max(1, rows);
    out.Size(layout.Bins() * out.rows, second);
    out.cascade = mode == AverageMode::Cascade;
    out.colourMap = mode == AverageMode::Spectrogram;
}

void CFrequencyView::PlaceLegends()
{
    // The waterfall's legends go above its last row, where no trace runs;
    // the colour map places its own when it draws.
    const QRect plot = PlotRect();
    const auto strips
        = PlotLayout::LegendStrips(Data().Cascade() ? PlotLayout::CascadeSegment(plot, m_rows - 1, m_rows) : plot);
    SetLegendStrips({strips[0], strips[1]});
}

void CFrequencyView::resizeEvent(QResizeEvent* event)
{
    CGraphWnd::resizeEvent(event);
    PlaceLegends();
}

bool CFrequencyView::BothSlotSamples(const AnalysisInput& input, ViewData& out, const float*& x, const float*& y)
{
    x = input.Samples(0);
    y = input.Samples(1);
    if (x && y)
        return true;
    out.outcome = ViewData::Outcome::HideTraces;
    return false;
}

bool CFrequencyView::BeginTwoChannelAnalysis(const AnalysisInput& input, ViewData& out, SegmentLayout& layout,
                                             const float*& x, const float*& y)
{
    if (!BeginAnalysis(input, out, layout) || !BothSlotSamples(input, out, x, y))
        return false;
    SizeForRows(out, layout, 1, false, AverageMode::Linear);
    return true;
}

void CFrequencyView::FinishAnalysis(ViewData& out, const SegmentLayout& layout)
{
    const int bins = layout.Bins();
    out.pointCount = bins;
    out.xStep = float(0.5 / layout.dt / bins);
    out.xStart = 0.0;
    out.outcome = ViewData::Outcome::Made;
}

void CFrequencyView::AdoptAnalysis(ViewData& data)
{
    CGraphWnd::AdoptAnalysis(data);
    m_rows = std::max(1, data.rows);
    PlaceLegends();
    if (FollowsMaxima())
        FollowMaxima();
    RescaleFirstOrRepaint();
}

void CFrequencyView::RescaleTrace(int slot, const float* values, int count)
{
    if (count <= 0)
        return;
    CFrequencyPanel* panel = FrequencyPanel();
    double division = panel->Division(slot);
    double offset = panel->Offset(slot);
    if (Data().LevelsInDb())
        RescaleDecibels(values, count, division, offset);
    else
        RescaleDivisions(values, count, division, offset);
    panel->SetTraceScale(slot, division, offset);
}

double CFrequencyView::SymmetricDivision(std::initializer_list<const float*> arrays, int count,
                                        double division) const
{
    float largest = 0.0f;
    for (const float* values : arrays)
        for (int k = 0; k < count; ++k)
            largest = std::max(largest, std::fabs(values[k]));
    // Values of both signs make the rule centre zero.
    const float span[2] = {-largest, largest};
    double offset = 0.0;
    RescaleDivisions(span, 2, division, offset);
    return division;
}

void CFrequencyView::RescaleFrequency()
{
    if (Data().PointCount() > 0)
        FrequencyPanel()->SetFrequencyScale(double(Data().XStep()) * Data().PointCount() * 0.1);
}

void CFrequencyView::DrawSpectrum(QPainter& painter)
{
    const CFrequencyPanel* panel = FrequencyPanel();
    if (!panel)
        return;
    const double divisions[2] = {panel->Division(0), panel->Division(1)};
    const double offsets[2] = {panel->Offset(0), panel->Offset(1)};
    DrawDivisionPlot(painter, divisions, offsets, panel->XOffset(), panel->FrequencyPerDivision());
}
