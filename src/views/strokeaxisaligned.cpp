#include "views/strokeaxisaligned.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

void StrokeAxisAligned(QPainter& painter, std::span<const QPointF> points, double width, const QColor& colour)
{
    const double half = 0.5 * width;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const QPointF a = points[i - 1], b = points[i];
        if (a.x() != b.x() && a.y() != b.y()) {
            painter.save();
            painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::SquareCap));
            painter.drawLine(a, b);
            painter.restore();
            continue;
        }
        // The segment widened by half the pen on every side: the square caps
        // also fill the corners where two segments meet.
        const QPointF topLeft(std::min(a.x(), b.x()) - half, std::min(a.y(), b.y()) - half);
        const QPointF bottomRight(std::max(a.x(), b.x()) + half, std::max(a.y(), b.y()) + half);
        painter.fillRect(QRectF(topLeft, bottomRight), colour);
    }
}

void StrokeBarOutline(QPainter& painter, double x0, double x1, double top, double bottom, double width,
                      const QColor& colour)
{
    if (std::abs(x1 - x0) <= width) {
        const double half = 0.5 * width;
        painter.fillRect(QRectF(QPointF(std::min(x0, x1) - half, std::min(top, bottom) - half),
                                QPointF(std::max(x0, x1) + half, std::max(top, bottom) + half)),
                         colour);
        return;
    }
    const QPointF outline[] = {{x0, bottom}, {x0, top}, {x1, top}, {x1, bottom}};
    StrokeAxisAligned(painter, outline, width, colour);
}
