#include "zoomband.h"

#include "platform/appmessage.h"
#include "context/windowalpha.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

namespace {
constexpr int kCorner = 8;
constexpr int kEdgeLength = 8;
constexpr int kEdgeThickness = 4;

int MirrorHorizontally(int code)
{
    switch (code) {
    case CZoomBand::TopLeft: return CZoomBand::TopRight;
    case CZoomBand::TopRight: return CZoomBand::TopLeft;
    case CZoomBand::Left: return CZoomBand::Right;
    case CZoomBand::Right: return CZoomBand::Left;
    case CZoomBand::BottomLeft: return CZoomBand::BottomRight;
    case CZoomBand::BottomRight: return CZoomBand::BottomLeft;
    default: return code;
    }
}

int MirrorVertically(int code)
{
    switch (code) {
    case CZoomBand::TopLeft: return CZoomBand::BottomLeft;
    case CZoomBand::BottomLeft: return CZoomBand::TopLeft;
    case CZoomBand::Top: return CZoomBand::Bottom;
    case CZoomBand::Bottom: return CZoomBand::Top;
    case CZoomBand::TopRight: return CZoomBand::BottomRight;
    case CZoomBand::BottomRight: return CZoomBand::TopRight;
    default: return code;
    }
}
} // namespace

CZoomBand::CZoomBand(QWidget* graph, const QRect& band, const QRect& plot) : QWidget(graph), m_plot(plot)
{
    setObjectName(QStringLiteral("Zoom"));
    setGeometry(band.normalized());
    show();
}

QRect CZoomBand::HandleRect(int code) const
{
    const int w = width(), h = height();
    switch (code) {
    case TopLeft: return QRect(0, 0, kCorner, kCorner);
    case TopRight: return QRect(w - kCorner, 0, kCorner, kCorner);
    case BottomRight: return QRect(w - kCorner, h - kCorner, kCorner, kCorner);
    case BottomLeft: return QRect(0, h - kCorner, kCorner, kCorner);
    case Top: return QRect(w / 2 - kEdgeLength / 2, 0, kEdgeLength, kEdgeThickness);
    case Bottom: return QRect(w / 2 - kEdgeLength / 2, h - kEdgeThickness, kEdgeLength, kEdgeThickness);
    case Left: return QRect(0, h / 2 - kEdgeLength / 2, kEdgeThickness, kEdgeLength);
    case Right: return QRect(w - kEdgeThickness, h / 2 - kEdgeLength / 2, kEdgeThickness, kEdgeLength);
    default: return QRect();
    }
}

QRect CZoomBand::AcceptRect() const
{
    return QRect(width() / 2 - kAcceptDiameter / 2, height() / 2 - kAcceptDiameter / 2, kAcceptDiameter,
                 kAcceptDiameter);
}

int CZoomBand::HitCode(const QPoint& point) const
{
    // Corners first: on a small band they overlap the edge handles.
    for (int code : {TopLeft, TopRight, BottomRight, BottomLeft, Top, Right, Bottom, Left}) {
        if (HandleRect(code).contains(point))
            return code;
    }
    return Move;
}

void CZoomBand::StartDrag(const QPoint& graphPoint, int code)
{
    m_grab = graphPoint + QPoint(-2, 2);
    if (parentWidget())
        QCursor::setPos(parentWidget()->mapToGlobal(m_grab));
    m_code = code;
    m_dragging = true;
    if (!m_grabbed && isVisible()) {
        grabMouse();
        m_grabbed = true;
    }
}

void CZoomBand::ReleaseGrab()
{
    m_dragging = false;
    if (m_grabbed) {
        releaseMouse();
        m_grabbed = false;
    }
}

void CZoomBand::DragTo(const QPoint& graphPoint)
{
    QPoint p = graphPoint;
    if (m_plot.isValid()) {
        // Band edges are exclusive on the right and below, like the plot's.
        p.setX(std::clamp(p.x(), m_plot.left(), m_plot.left() + m_plot.width()));
        p.setY(std::clamp(p.y(), m_plot.top(), m_plot.top() + m_plot.height()));
    }
    int l = x(), t = y(), r = x() + width(), b = y() + height();
    switch (m_code) {
    case Move: {
        QPoint d = p - m_grab;
        l += d.x();
        r += d.x();
        t += d.y();
        b += d.y();
        m_grab = p;
        break;
    }
    case TopLeft: l = p.x(); t = p.y(); break;
    case Top: t = p.y(); break;
    case TopRight: r = p.x(); t = p.y(); break;
    case Right: r = p.x(); break;
    case BottomRight: r = p.x(); b = p.y(); break;
    case Bottom: b = p.y(); break;
    case BottomLeft: l = p.x(); b = p.y(); break;
    case Left: l = p.x(); break;
    default: break;
    }
    // Past the opposite edge the band flips, and the handle held is now the
    // one on the other side, so the next step does not collapse the band.
    if (l > r) {
        std::swap(l, r);
        m_code = MirrorHorizontally(m_code);
    }
    if (t > b) {
        std::swap(t, b);
        m_code = MirrorVertically(m_code);
    }
    setGeometry(l, t, r - l, b - t);
    update();
}

void CZoomBand::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setOpacity(PaintOpacity(this));
    painter.fillRect(rect(), QColor(192, 255, 192));
    painter.setPen(QColor(64, 128, 64));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, height() - 1);
    for (int code = TopLeft; code <= Left; ++code)
        painter.fillRect(HandleRect(code), QColor(128, 128, 128));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 96, 0), 1.5));
    painter.setBrush(QColor(0, 160, 0));
    painter.drawEllipse(QRectF(AcceptRect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

void CZoomBand::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_grab = mapToParent(event->position().toPoint());
    m_code = HitCode(event->position().toPoint());
    m_dragging = true;
}

void CZoomBand::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        ReleaseGrab();
        return;
    }
    if (m_dragging)
        DragTo(mapToParent(event->position().toPoint()));
}

void CZoomBand::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    ReleaseGrab();
    QPoint local = event->position().toPoint();
    QPointF centre = QRectF(AcceptRect()).center();
    QPointF d = QPointF(local) - centre;
    if (d.x() * d.x() + d.y() * d.y() <= (kAcceptDiameter / 2.0) * (kAcceptDiameter / 2.0))
        PostAppMessage(MessageTarget(), 104, 1, 0);
}
