#include "popupbitmaps.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <map>

namespace {

QImage Blank()
{
    QImage image(PopupBitmap::kSize, PopupBitmap::kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(200, 200, 200));
    return image;
}

QImage Draw(int id)
{
    QImage image = Blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::black);
    switch (id) {
    case PopupBitmap::Delete:
        p.setPen(QPen(QColor(200, 0, 0), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case PopupBitmap::Minimum:
        p.drawLine(QPointF(8, 3), QPointF(8, 9));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(3.5, 8.5), QPointF(12.5, 8.5), QPointF(8, 13.5)}));
        break;
    case PopupBitmap::Maximum:
        p.drawLine(QPointF(8, 7), QPointF(8, 13));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(12.5, 7.5), QPointF(8, 2.5)}));
        break;
    case PopupBitmap::PeakTracking: {
        p.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        QPainterPath path;
        path.moveTo(2, 13);
        path.lineTo(5, 12);
        path.lineTo(8, 4);
        path.lineTo(11, 12);
        path.lineTo(14, 13);
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(QPointF(8, 3.5), 2, 2);
        break;
    }
    case PopupBitmap::DeltaMode5:
        p.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(QPolygonF({QPointF(8, 3), QPointF(13.5, 13), QPointF(2.5, 13)}));
        break;
    case PopupBitmap::DeltaMode6:
        p.setPen(QPen(Qt::black, 1.5));
        p.drawLine(QPointF(2.5, 3), QPointF(2.5, 13));
        p.drawLine(QPointF(13.5, 3), QPointF(13.5, 13));
        p.drawLine(QPointF(4, 8), QPointF(12, 8));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(4, 8), QPointF(7, 5.5), QPointF(7, 10.5)}));
        p.drawPolygon(QPolygonF({QPointF(12, 8), QPointF(9, 5.5), QPointF(9, 10.5)}));
        break;
    default: break;
    }
    return image;
}

} // namespace

const QImage& PopupBitmap::Image(int id)
{
    static std::map<int, QImage> images;
    auto it = images.find(id);
    if (it == images.end())
        it = images.emplace(id, Draw(id)).first;
    return it->second;
}

void PopupBitmap::DrawButton(QPainter& painter, const QRect& rect, int id, bool pressed)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawImage(rect.topLeft(), Image(id));
    const QColor light = pressed ? QColor(64, 64, 64) : QColor(Qt::white);
    const QColor dark = pressed ? QColor(Qt::white) : QColor(64, 64, 64);
    const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    painter.setPen(light);
    painter.drawLine(l, t, r, t);
    painter.drawLine(l, t, l, b);
    painter.setPen(dark);
    painter.drawLine(l, b, r, b);
    painter.drawLine(r, t, r, b);
    painter.restore();
}
