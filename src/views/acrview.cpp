#include "views/acrview.h"

#include "analysis/correlation.h"
#include "context/analysisrecord.h"
#include "platform/appmessage.h"
#include "views/acrpanel.h"
#include "views/correlationaxis.h"

namespace {
constexpr int kDivisionIds[2] = {CAcrPanel::IdYDiv1, CAcrPanel::IdYDiv2};
constexpr int kOffsetIds[2] = {CAcrPanel::IdOff1, CAcrPanel::IdOff2};
} // namespace

CAcrView::CAcrView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
{
    Data().SetXUnit(QStringLiteral("sec"));
}

void CAcrView::CreatePanel()
{
    m_acrPanel = new CAcrPanel(this);
    m_panel = m_acrPanel;
}

void CAcrView::StorePanel(TextArchive& archive) { m_acrPanel->SerializePanel(archive); }

void CAcrView::LoadPanel(TextArchive& archive) { m_acrPanel->SerializePanel(archive); }

CGraphWnd::AnalysisJob CAcrView::MakeAnalysis()
{
    const bool normed = m_acrPanel->Normed();
    return [input = Input(), normed, work = m_work](ViewData& out) { Compute(input, normed, *work, out); };
}

void CAcrView::Compute(const AnalysisInput& input, bool normed, AnalysisWorkspace& work, ViewData& out)
{
    if (!input.Analysable()) {
        out.slotActive = {input.Samples(0) != nullptr, input.Samples(1) != nullptr};
        out.Unavailable(input.Shortfall());
        return;
    }
    const SegmentLayout layout = input.Segments();
    const int n = layout.points;
    out.Size(n, false);
    for (int slot = 0; slot < 2; ++slot) {
        const float* samples = input.Samples(slot);
        out.slotActive[size_t(slot)] =
            samples && Correlate(work, samples + layout.start, samples + layout.start,
                                 out.display[size_t(slot)].data(), n, normed);
    }
    out.pointCount = n;
    out.xStep = float(layout.dt);
    out.xStart = CorrelationAxis::Origin(n, layout.dt);
    out.normed = normed;
    out.outcome = ViewData::Outcome::Made;
}

void CAcrView::AdoptAnalysis(ViewData& data)
{
    CGraphWnd::AdoptAnalysis(data);
    for (int slot = 0; slot < 2; ++slot)
        Data().SetCustomUnit(slot, data.normed ? CorrelationAxis::NormedUnit() : QString());
    RescaleFirstOrRepaint();
}

void CAcrView::Rescale(int slot)
{
    for (int s = 0; s < 2; ++s)
        if ((slot == s || slot == -1) && Data().SlotShown(s) && Data().PointCount() > 0)
            CorrelationAxis::RescaleTrace(*m_acrPanel, kDivisionIds[s], kOffsetIds[s], Display(s), Data().PointCount());
    if (slot == -1 && Data().PointCount() > 0)
        CorrelationAxis::RescaleLag(*m_acrPanel, CAcrPanel::IdXDiv, CAcrPanel::IdXPos, Data().PointCount(),
                                    Data().XStep());
    CGraphWnd::Rescale(slot);
}

void CAcrView::DrawContent(QPainter& painter)
{
    const double divisions[2] = {m_acrPanel->Division(0), m_acrPanel->Division(1)};
    const double offsets[2] = {m_acrPanel->Offset(0), m_acrPanel->Offset(1)};
    DrawDivisionPlot(painter, divisions, offsets, m_acrPanel->XOffset(), m_acrPanel->TimePerDivision());
}

void CAcrView::OnPanelNotify(int code)
{
    switch (code) {
    case PanelXScale:
    case PanelWindow: Analyse(); break;
    case PanelDisplayMode: AnalyseAndRescale(); break;
    case PanelYDiv1: m_acrPanel->RegridOffset(CAcrPanel::IdOff1, CAcrPanel::IdYDiv1); break;
    case PanelYDiv2: m_acrPanel->RegridOffset(CAcrPanel::IdOff2, CAcrPanel::IdYDiv2); break;
    case PanelXOffset: m_acrPanel->RegridOffset(CAcrPanel::IdXPos, CAcrPanel::IdXDiv); break;
    default: break;
    }
    update();
}
