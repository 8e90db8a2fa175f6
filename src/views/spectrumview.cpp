#include "views/spectrumview.h"

#include "context/analysisrecord.h"
#include "platform/appmessage.h"
#include "views/plotlayout.h"
#include "views/spectrumpanel.h"
#include "zq.h"

#include <algorithm>
#include <cmath>

CSpectrumView::CSpectrumView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
{
    m_xUnit = QStringLiteral("Hz");
}

CSpectrumPanel* CSpectrumView::SpectrumPanel() const { return static_cast<CSpectrumPanel*>(m_panel); }

void CSpectrumView::StorePanel(TextArchive& archive) { SpectrumPanel()->SerializePanel(archive); }

void CSpectrumView::LoadPanel(TextArchive& archive) { SpectrumPanel()->SerializePanel(archive); }

void CSpectrumView::OnPanelNotify(int code)
{
    CSpectrumPanel* panel = SpectrumPanel();
    switch (code) {
    case PanelYDiv1: panel->RegridOffset(0); break;
    case PanelYDiv2: panel->RegridOffset(1); break;
    case PanelXOffset: panel->RegridXOffset(panel->FrequencyPerDivision()); break;
    case PanelCursorMode: FollowMaxima(); break;
    default: break;
    }
}

bool CSpectrumView::BeginAnalysis(SegmentLayout& layout)
{
    if (!m_active || !m_record || !m_panel || m_record->captureLength <= 0 || m_record->captureTime <= 0.0)
        return false;
    const AnalysisRecord& r = *m_record;
    layout = MakeSegmentLayout(r.captureLength, r.captureWord, r.points, r.hop, r.averages, r.captureTime);
    return layout.points >= 2 && RecordHoldsSegments(layout);
}

void CSpectrumView::SizeForRows(const SegmentLayout& layout, int rows, bool second, AverageMode mode)
{
    m_rows = std::max(1, rows);
    SizeWorkArrays(layout.Bins(), second, m_rows);
    const bool cascade = mode == AverageMode::Cascade;
    const bool colourMap = mode == AverageMode::Spectrogram;
    m_cascade = cascade;
    m_colourMapDrawing = colourMap;
    PlaceLegends();
}

void CSpectrumView::PlaceLegends()
{
    // The waterfall's legends go above its last row, where no trace runs;
    // the colour map places its own when it draws.
    const QRect plot = PlotRect();
    m_legendStrip = PlotLayout::LegendStrips(m_cascade ? PlotLayout::CascadeSegment(plot, m_rows - 1, m_rows) : plot);
}

void CSpectrumView::resizeEvent(QResizeEvent* event)
{
    CGraphWnd::resizeEvent(event);
    PlaceLegends();
}

const float* CSpectrumView::SlotSamples(int slot) const
{
    const int channel = SlotChannel(slot);
    if (!m_record || channel < 0 || channel >= m_record->captureChannels
        || channel >= AnalysisRecord::kMaxCaptureChannels)
        return nullptr;
    return m_record->captureArea[channel];
}

std::string_view CSpectrumView::ChannelUnit(int slot) const
{
    const int channel = SlotChannel(slot);
    if (channel < 0 || channel >= ZQ_GetNrOfChan())
        return {};
    const char* unit = ZQ_GetChanUnit(channel);
    return unit ? std::string_view(unit) : std::string_view();
}

void CSpectrumView::SetUnit(int array, const std::string& text)
{
    std::string& source = m_unitSource[size_t(array & 3)];
    if (source == text)
        return;
    source = text;
    m_customUnit[size_t(array & 3)] = QString::fromStdString(text);
}

void CSpectrumView::FinishAnalysis(const SegmentLayout& layout, bool followMaxima)
{
    const int bins = layout.Bins();
    m_pointCount = bins;
    m_xStep = float(0.5 / layout.dt / bins);
    m_xStart = 0.0;
    MarkDisplayChanged();
    if (followMaxima)
        FollowMaxima();
    if (m_first) {
        Rescale(-1);
        m_first = false;
    } else {
        update();
    }
}

void CSpectrumView::RescaleTrace(int slot, const float* values, int count)
{
    if (count <= 0)
        return;
    CSpectrumPanel* panel = SpectrumPanel();
    double division = panel->Division(slot);
    double offset = panel->Offset(slot);
    RescaleDivisions(values, count, division, offset);
    panel->SetTraceScale(slot, division, offset);
}

double CSpectrumView::SymmetricDivision(std::initializer_list<const float*> arrays, int count,
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

void CSpectrumView::RescaleFrequency()
{
    if (m_pointCount > 0)
        SpectrumPanel()->SetFrequencyScale(double(m_xStep) * m_pointCount * 0.1);
}

void CSpectrumView::DrawSpectrum(QPainter& painter)
{
    const CSpectrumPanel* panel = SpectrumPanel();
    if (!panel)
        return;
    const double divisions[2] = {panel->Division(0), panel->Division(1)};
    const double offsets[2] = {panel->Offset(0), panel->Offset(1)};
    DrawDivisionPlot(painter, divisions, offsets, panel->XOffset(), panel->FrequencyPerDivision());
}
