#include "scrollarrow.h"

#include "context/appcontext.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>

CScrollArrow::CScrollArrow(Qt::ArrowType direction, QWidget* parent) : QAbstractButton(parent), m_direction(direction)
{
    setAutoRepeat(true);
    setFocusPolicy(Qt::NoFocus);
}

void CScrollArrow::paintEvent(QPaintEvent*)
{
    const ColourScheme& colours = Ctx().colours;
    QPainter painter(this);
    painter.fillRect(rect(), isDown() ? colours.panelLine : colours.panelFill);
    painter.setPen(colours.panelLine);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    // A triangle pointing along the arrow: as deep as the strip allows
    // across it, its base twice that, centred.
    const bool vertical = m_direction == Qt::UpArrow || m_direction == Qt::DownArrow;
    const int across = vertical ? height() : width();
    const int along = vertical ? width() : height();
    const double depth = std::clamp(std::min(across - 4, (along - 2) / 2), 2, 8);
    const QPointF c = QRectF(rect()).center();
    const double d = depth / 2;
    QPolygonF triangle;
    switch (m_direction) {
    case Qt::UpArrow: triangle << QPointF(c.x() - depth, c.y() + d) << QPointF(c.x() + depth, c.y() + d)
                               << QPointF(c.x(), c.y() - d); break;
    case Qt::DownArrow: triangle << QPointF(c.x() - depth, c.y() - d) << QPointF(c.x() + depth, c.y() - d)
                                 << QPointF(c.x(), c.y() + d); break;
    case Qt::LeftArrow: triangle << QPointF(c.x() + d, c.y() - depth) << QPointF(c.x() + d, c.y() + depth)
                                 << QPointF(c.x() - d, c.y()); break;
    default: triangle << QPointF(c.x() - d, c.y() - depth) << QPointF(c.x() - d, c.y() + depth)
                      << QPointF(c.x() + d, c.y()); break;
    }
    QColor fill = isDown() ? colours.panelFill : colours.panelLine;
    if (!isEnabled())
        fill.setAlpha(70);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPolygon(triangle);
}
