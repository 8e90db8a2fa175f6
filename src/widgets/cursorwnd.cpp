#include "cursorwnd.h"

#include "cursorlabel.h"
#include "platform/appmessage.h"
#include "context/appcontext.h"
#include "context/formatwithprefix.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

CCursorWnd::CCursorWnd(int number, QWidget* graph) : QWidget(graph), m_number(number)
{
    setObjectName(QStringLiteral("Unit"));
    setCursor(Qt::SizeHorCursor);
    if (graph)
        setGeometry(0, 0, kWidth, graph->height());
    m_label = new CCursorLabel(this, graph);
    UpdateLabelTexts();
    show();
    m_label->show();
    PlaceLabel();
    if (QGuiApplication::mouseButtons() & Qt::LeftButton)
        StartDrag();
}

CCursorWnd::~CCursorWnd()
{
    if (m_grabbed)
        releaseMouse();
    delete m_label.data();
}

void CCursorWnd::SetXValue(double x, const QString& unit)
{
    m_x = x;
    m_xUnit = unit;
    UpdateLabelTexts();
}

void CCursorWnd::SetSlot(int slot, bool shown, double value, int pixelHeight, const QString& unit)
{
    Slot& s = m_slots[slot & 1];
    s.shown = shown;
    s.value = value;
    s.pixelHeight = pixelHeight;
    s.unit = unit;
    s.note.clear();
    UpdateLabelTexts();
    update();
}

void CCursorWnd::SetSlotNote(int slot, const QString& note)
{
    m_slots[slot & 1].note = note;
    UpdateLabelTexts();
}

void CCursorWnd::SetAlternativeForm(bool alternative)
{
    m_alternative = alternative;
    UpdateLabelTexts();
}

void CCursorWnd::SetPeakTracking(bool on)
{
    m_peakTracking = on;
    if (m_label)
        m_label->SetPeakTrackingOn(on);
}

void CCursorWnd::OfferPeakTracking(bool offered)
{
    if (m_label)
        m_label->OfferPeakTracking(offered);
}

QString CCursorWnd::TitleText() const { return QStringLiteral("x") + FormatWithPrefix(m_x, 5, m_xUnit); }

QString CCursorWnd::SlotText(int slot) const
{
    const Slot& s = m_slots[slot & 1];
    if (!s.shown)
        return QString();
    if (m_alternative)
        return QStringLiteral("Q") + QString::asprintf("%4.1f", s.value);
    const QString text = QStringLiteral("Y") + FormatWithPrefix(s.value, 4, s.unit);
    return s.note.isEmpty() ? text : text + QLatin1Char(' ') + s.note;
}

void CCursorWnd::UpdateLabelTexts()
{
    if (!m_label)
        return;
    m_label->SetTitle(TitleText());
    for (int slot = 0; slot < 2; ++slot)
        m_label->SetSlotText(slot, SlotText(slot));
    PlaceLabel(); // its width follows the texts
}

void CCursorWnd::PlaceAt(int graphX)
{
    int top = m_plot.isValid() ? m_plot.top() : y();
    int h = m_plot.isValid() ? m_plot.height() : height();
    setGeometry(graphX - kWidth / 2, top, kWidth, h);
}

void CCursorWnd::SetInsidePlot(bool inside)
{
    setVisible(inside);
}

void CCursorWnd::SetLabelFraction(double fraction)
{
    m_labelFraction = fraction;
    PlaceLabel();
}

void CCursorWnd::PlaceLabel()
{
    if (!m_label)
        return;
    // Right of the line, or left of it where the graph would cut it off.
    int left = x() + kWidth;
    if (parentWidget() && left + m_label->width() > parentWidget()->width())
        left = x() - m_label->width();
    m_label->move(left, y() + int(m_labelFraction * height()));
}

void CCursorWnd::moveEvent(QMoveEvent*) { PlaceLabel(); }

void CCursorWnd::resizeEvent(QResizeEvent*) { PlaceLabel(); }

void CCursorWnd::showEvent(QShowEvent*)
{
    if (m_label)
        m_label->show();
}

void CCursorWnd::hideEvent(QHideEvent*)
{
    if (m_label)
        m_label->hide();
}

bool CCursorWnd::event(QEvent* event)
{
    switch (AppMessage::NumberOf(event)) {
    case 103: {
        // A label button: on to the graph with this cursor's number.
        auto* message = static_cast<AppMessage*>(event);
        PostAppMessage(MessageTarget(), 103, quintptr(m_number), qintptr(message->WParam()));
        return true;
    }
    case 106: {
        auto* message = static_cast<AppMessage*>(event);
        int top = int(qintptr(message->WParam()));
        if (height() > 0)
            m_labelFraction = double(top - y()) / height();
        PlaceLabel();
        return true;
    }
    default: return QWidget::event(event);
    }
}

void CCursorWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_backBuffer || m_backBuffer->isNull()) {
        PaintMarks(painter);
        return;
    }
    // The buffer may be at a device pixel ratio: its source rectangle is in its own pixels.
    const qreal dpr = m_backBuffer->devicePixelRatio();
    const QRect source = QRectF(QPointF(geometry().topLeft()) * dpr, QSizeF(size()) * dpr).toRect();
    const QImage graph = m_backBuffer->copy(source).convertToFormat(QImage::Format_RGB32);
    QImage marked = graph;
    marked.setDevicePixelRatio(dpr);
    {
        QPainter marks(&marked);
        PaintMarks(marks);
    }
    // Whatever the graph drew here (the trace, a scale) stays on top of the
    // cursor's marks: a peak under the line is seen to its top.
    const QRgb background = Ctx().colours.graphBackground.rgb() | 0xFF000000u;
    for (int y = 0; y < graph.height(); ++y) {
        const QRgb* under = reinterpret_cast<const QRgb*>(graph.constScanLine(y));
        QRgb* out = reinterpret_cast<QRgb*>(marked.scanLine(y));
        for (int x = 0; x < graph.width(); ++x)
            if ((under[x] | 0xFF000000u) != background)
                out[x] = under[x];
    }
    painter.drawImage(QRectF(rect()), marked);
}

void CCursorWnd::PaintMarks(QPainter& painter) const
{
    painter.setPen(QPen(kLineColour, 1, Qt::DotLine));
    painter.drawLine(kWidth / 2, 0, kWidth / 2, height() - 1);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor traces[2] = {Ctx().colours.trace1, Ctx().colours.trace2};
    for (int slot = 0; slot < 2; ++slot) {
        if (!m_slots[slot].shown)
            continue;
        painter.setPen(QPen(traces[slot], 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QPointF(kWidth / 2.0, m_slots[slot].pixelHeight), 3.5, 3.5);
    }
}

void CCursorWnd::StartDrag()
{
    if (!isVisible())
        return;
    m_dragging = true;
    if (!m_grabbed) {
        grabMouse();
        m_grabbed = true;
    }
}

void CCursorWnd::StopDrag()
{
    m_dragging = false;
    if (m_grabbed) {
        releaseMouse();
        m_grabbed = false;
    }
}

void CCursorWnd::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = true;
}

void CCursorWnd::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        // The button went up somewhere we did not see: no drag any more.
        if (m_dragging)
            StopDrag();
        return;
    }
    if (m_dragging)
        DragTo(mapToParent(event->position().toPoint()));
}

void CCursorWnd::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        StopDrag();
}

void CCursorWnd::DragTo(const QPoint& graphPoint)
{
    QPoint p = graphPoint;
    if (m_plot.isValid()) {
        p.setX(std::clamp(p.x(), m_plot.left(), m_plot.right()));
        p.setY(std::clamp(p.y(), m_plot.top(), m_plot.bottom()));
    }
    move(p.x() - kWidth / 2, y());
    if (height() > 0)
        m_labelFraction = double(p.y() - y()) / height();
    PlaceLabel();
    SendAppMessage(MessageTarget(), 102, quintptr(m_number), qintptr(p.x()));
    update();
}
