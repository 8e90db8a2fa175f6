#include "views/ccrview.h"

#include "analysis/correlation.h"
#include "context/analysisrecord.h"
#include "platform/appmessage.h"
#include "views/ccrpanel.h"
#include "views/correlationaxis.h"
#include "views/recordlayout.h"
#include "widgets/selectorbutton.h"

CCcrView::CCcrView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
{
    m_xUnit = QStringLiteral("sec");
}

void CCcrView::CreatePanel()
{
    m_ccrPanel = new CCcrPanel(this);
    m_panel = m_ccrPanel;
}

void CCcrView::StorePanel(TextArchive& archive) { m_ccrPanel->SerializePanel(archive); }

void CCcrView::LoadPanel(TextArchive& archive) { m_ccrPanel->SerializePanel(archive); }

int CCcrView::CursorMode() { return m_ccrPanel ? m_ccrPanel->CursorMode() : 0; }

void CCcrView::Analyse()
{
    if (!m_active || !m_record || !RecordLayout::Analysable(*m_record))
        return;
    const SegmentLayout layout = RecordLayout::Segments(*m_record);
    const int n = layout.points;
    const float* x = RecordLayout::Channel(*m_record, SlotChannel(0));
    const float* y = RecordLayout::Channel(*m_record, SlotChannel(1));
    SizeDisplay(n, false);
    const bool shown = x && y && Correlate(m_work, x + layout.start, y + layout.start, Display(0), n,
                                           m_ccrPanel->Normed());
    m_slotActive = {shown, false};
    m_xStep = float(layout.dt);
    m_xStart = CorrelationAxis::Origin(n, layout.dt);
    m_customUnit[0] = m_ccrPanel->Normed() ? CorrelationAxis::NormedUnit() : QString();
    MarkDisplayChanged();
    FollowMaxima();
    RescaleFirstOrRepaint();
}

void CCcrView::Rescale(int slot)
{
    if ((slot == 0 || slot == -1) && m_slotActive[0] && m_pointCount > 0)
        CorrelationAxis::RescaleTrace(*m_ccrPanel, CCcrPanel::IdYDiv1, CCcrPanel::IdOff1, Display(0), m_pointCount);
    if (slot == -1 && m_pointCount > 0)
        CorrelationAxis::RescaleLag(*m_ccrPanel, CCcrPanel::IdXDiv, CCcrPanel::IdXPos, m_pointCount, m_xStep);
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
    case PanelDisplayMode:
        Analyse();
        Rescale(-1);
        break;
    case PanelYDiv1: m_ccrPanel->RegridOffset(CCcrPanel::IdOff1, CCcrPanel::IdYDiv1); break;
    case PanelXOffset: m_ccrPanel->RegridOffset(CCcrPanel::IdXPos, CCcrPanel::IdXDiv); break;
    case PanelCursorMode: FollowMaxima(); break;
    default: break;
    }
    update();
}
