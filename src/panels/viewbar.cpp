#include "viewbar.h"

#include "context/appcontext.h"

#include <QPainter>

CViewBar::CViewBar(MainFrame* frame, QWidget* parent) : QWidget(parent), m_frame(frame) {}

void CViewBar::LayoutViews(int x, int y, int w, int h)
{
    const int panelWidth = Ctx().panelWidth;
    m_tile = QRect(x, y, w, h);
    m_viewArea = QRect(x + panelWidth, y, w - panelWidth, h - kStripHeight);
    setGeometry(x + panelWidth, y + h - kStripHeight, w - panelWidth, kStripHeight);
    update();
}

void CViewBar::TickViews(int) {}

void CViewBar::RecomputeViews() {}

void CViewBar::ChannelsChanged() {}

void CViewBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Ctx().colours.barBrush);
}
