#include "graphcursors.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <functional>

namespace {

// Black outline under white so the shape shows on every scheme.
void Stroke(QPainter& p, const std::function<void(QPainter&)>& draw)
{
    p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    draw(p);
    p.setPen(QPen(Qt::white, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    draw(p);
}

QCursor MakeScaleCursor()
{
    // A double arrow along the scale: the wheel narrows or widens the range.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    Stroke(p, [](QPainter& q) {
        q.drawLine(4, 16, 28, 16);
        q.drawPolyline(QPolygon({QPoint(9, 11), QPoint(4, 16), QPoint(9, 21)}));
        q.drawPolyline(QPolygon({QPoint(23, 11), QPoint(28, 16), QPoint(23, 21)}));
        q.drawLine(16, 10, 16, 22);
    });
    return QCursor(pixmap, 16, 16);
}

QCursor MakeColourScaleCursor()
{
    // A small colour bar with a turning arrow: the wheel steps the map.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    QLinearGradient gradient(0, 26, 0, 6);
    gradient.setColorAt(0.0, Qt::black);
    gradient.setColorAt(0.35, QColor(160, 0, 160));
    gradient.setColorAt(0.7, QColor(255, 160, 0));
    gradient.setColorAt(1.0, Qt::white);
    p.setPen(Qt::black);
    p.setBrush(gradient);
    p.drawRect(12, 6, 8, 20);
    p.setRenderHint(QPainter::Antialiasing);
    Stroke(p, [](QPainter& q) {
        q.drawArc(QRect(4, 4, 24, 24), 200 * 16, 140 * 16);
        q.drawPolyline(QPolygon({QPoint(22, 27), QPoint(26, 24), QPoint(27, 29)}));
    });
    return QCursor(pixmap, 16, 16);
}

} // namespace

QCursor GraphCursor(int id)
{
    static const QCursor scale = MakeScaleCursor();
    static const QCursor colourScale = MakeColourScaleCursor();
    switch (id) {
    case 139: return scale;
    case 140: return colourScale;
    default: return QCursor(Qt::ArrowCursor);
    }
}
