#include "views/frequencyview.h"

#include "context/analysisrecord.h"
#include "platform/appmessage.h"
#include "views/plotlayout.h"
#include "views/frequencypanel.h"
#include "zq.h"

#include <algorithm>
#include <cmath>

CFrequencyView::CFrequencyView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
{
    m_xUnit = QStringLiteral("Hz");
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

bool CFrequencyView::BeginAnalysis(SegmentLayout& layout)
{
    if (!m_active || !m_record || !m_panel || m_record->captureLength <= 0 || m_record->captureTime <= 0.0)
        return false;
    const AnalysisRecord& r = *m_record;
    layout = MakeSegmentLayout(r.captureLength, r.captureWord, r.points, r.hop, r.averages, r.captureTime);
    return layout.points >= 2 && RecordHoldsSegments(layout);
}

void CFrequencyView::SizeForRows(const SegmentLayout& layout, int rows, bool second, AverageMode mode)
{
    m_rows = std::max(1, rows);
    SizeWorkArrays(layout.Bins(), second, m_rows);
    const bool cascade = mode == AverageMode::Cascade;
    const bool colourMap = mode == AverageMode::Spectrogram;
    m_cascade = cascade;
    m_colourMapDrawing = colourMap;
    PlaceLegends();
}

void CFrequencyView::PlaceLegends()
{
    // The waterfall's legends go above its last row, where no trace runs;
    // the colour map places its own when it draws.
    const QRect plot = PlotRect();
    m_legendStrip = PlotLayout::LegendStrips(m_cascade ? PlotLayout::CascadeSegment(plot, m_rows - 1, m_rows) : plot);
}

void CFrequencyView::resizeEvent(QResizeEvent* event)
{
    CGraphWnd::resizeEvent(event);
    PlaceLegends();
}

const float* CFrequencyView::SlotSamples(int slot) const
{
    const int channel = SlotChannel(slot);
    if (!m_record || channel < 0 || channel >= m_record->captureChannels
        || channel >= AnalysisRecord::kMaxCaptureChannels)
        return nullptr;
    return m_record->captureArea[channel];
}

bool CFrequencyView::BothSlotSamples(const float*& x, const float*& y)
{
    x = SlotSamples(0);
    y = SlotSamples(1);
    if (x && y)
        return true;
    m_slotActive = {false, false};
    update();
    return false;
}

std::string_view CFrequencyView::ChannelUnit(int slot) const
{
    const int channel = SlotChannel(slot);
    if (channel < 0 || channel >= ZQ_GetNrOfChan())
        return {};
    const char* unit = ZQ_GetChanUnit(channel);
    return unit ? std::string_view(unit) : std::string_view();
}

void CFrequencyView::SetUnit(int array, const std::string& text)
{
    std::string& source = m_unitSource[size_t(array & 3)];
    if (source == text)
        return;
    source = text;
    m_customUnit[size_t(array & 3)] = QString::fromStdString(text);
}

void CFrequencyView::FinishAnalysis(const SegmentLayout& layout, bool followMaxima)
{
    const int bins = layout.Bins();
    m_pointCount = bins;
    m_xStep = float(0.5 / layout.dt / bins);
    m_xStart = 0.0;
    MarkDisplayChanged();
    if (followMaxima)
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
    if (m_pointCount > 0)
        FrequencyPanel()->SetFrequencyScale(double(m_xStep) * m_pointCount * 0.1);
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
