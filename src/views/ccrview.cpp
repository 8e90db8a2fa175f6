#include "views/ccrview.h"

#include "analysis/correlation.h"
#include "context/analysisrecord.h"
#include "platform/appmessage.h"
#include "views/ccrpanel.h"
#include "views/correlationaxis.h"
#include "widgets/selectorbutton.h"

CCcrView::CCcrView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
{
    Data().SetXUnit(QStringLiteral("sec"));
}

void CCcrView::CreatePanel()
{
    m_ccrPanel = new CCcrPanel(this);
    m_panel = m_ccrPanel;
}

void CCcrView::StorePanel(TextArchive& archive) { m_ccrPanel->SerializePanel(archive); }

void CCcrView::LoadPanel(TextArchive& archive) { m_ccrPanel->SerializePanel(archive); }

int CCcrView::CursorMode() { return m_ccrPanel ? m_ccrPanel->CursorMode() : 0; }

CGraphWnd::AnalysisJob CCcrView::MakeAnalysis()
{
    const bool normed = m_ccrPanel->Normed();
    return [input = Input(), normed, work = m_work](ViewData& out) { Compute(input, normed, *work, out); };
}

void CCcrView::Compute(const AnalysisInput& input, bool normed, AnalysisWorkspace& work, ViewData& out)
{
    if (!input.Analysable()) {
        out.slotActive = {input.Samples(0) && input.Samples(1), false};
        out.Unavailable(input.Shortfall());
        return;
    }
    const SegmentLayout layout = input.Segments();
    const int n = layout.points;
    const float* x = input.Samples(0);
    const float* y = input.Samples(1);
    out.Size(n, false);
    const bool shown =
        x && y && Correlate(work, x + layout.start, y + layout.start, out.display[0].data(), n, normed);
    out.slotActive = {shown, false};
    out.pointCount = n;
    out.xStep = float(layout.dt);
    out.xStart = CorrelationAxis::Origin(n, layout.dt);
    out.normed = normed;
    out.outcome = ViewData::Outcome::Made;
}

void CCcrView::AdoptAnalysis(ViewData& data)
{
    CGraphWnd::AdoptAnalysis(data);
    Data().SetCustomUnit(0, data.normed ? CorrelationAxis::NormedUnit() : QString());
    FollowMaxima();
    RescaleFirstOrRepaint();
}

void CCcrView::Rescale(int slot)
{
    if ((slot == 0 || slot == -1) && Data().SlotShown(0) && Data().PointCount() > 0)
        CorrelationAxis::RescaleTrace(*m_ccrPanel, CCcrPanel::IdYDiv1, CCcrPanel::IdOff1, Display(0),
                                      Data().PointCount());
    if (slot == -1 && Data().PointCount() > 0)
        CorrelationAxis::RescaleLag(*m_ccrPanel, CCcrPanel::IdXDiv, CCcrPanel::IdXPos, Data().PointCount(),
                                    Data().XStep());
    CGraphWnd::Rescale(slot);
}

void CCcrView::DrawContent(QPainter& painter)
{
    const double divisions[2] = {m_ccrPanel->Division(), m_ccrPanel->Division()};
    const double offsets[2] = {m_ccrPanel->Offset(), m_ccrPanel->Offset()};
    DrawDivisionPlot(painter, divisions, offsets, m_ccrPanel->XOffset(), m_ccrPanel->TimePerDivision());
}

void CCcrView::OnPanelNotify(int code)
{
    switch (code) {
    case PanelWindow: Analyse(); break;
    case PanelDisplayMode: AnalyseAndRescale(); break;
    case PanelYDiv1: m_ccrPanel->RegridOffset(CCcrPanel::IdOff1, CCcrPanel::IdYDiv1); break;
    case PanelXOffset: m_ccrPanel->RegridOffset(CCcrPanel::IdXPos, CCcrPanel::IdXDiv); break;
    case PanelCursorMode: FollowMaxima(); break;
    default: break;
    }
    update();
}
