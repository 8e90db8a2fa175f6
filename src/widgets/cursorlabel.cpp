#include "cursorlabel.h"

#include "popupbitmaps.h"
#include "popupbox.h"
#include "platform/appmessage.h"
#include "context/appcontext.h"
#include "context/windowalpha.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
// Below this many pixels from the top a press starts a drag.
constexpr int kButtonRow = 16;
constexpr int kDragOffset = 40;
}

CCursorLabel::CCursorLabel(QObject* cursor, QWidget* graph) : QWidget(graph), m_cursor(cursor)
{
    setObjectName(QStringLiteral("Unit"));
    setCursor(Qt::ArrowCursor);
    resize(kWidth, kHeight);
    ToggleWindowAlpha(this, 180);
}

void CCursorLabel::SetTitle(const QString& title)
{
    m_title = title;
    FitToTexts();
    update();
}

void CCursorLabel::SetSlotText(int slot, const QString& text)
{
    m_slotText[slot & 1] = text;
    FitToTexts();
    update();
}

void CCursorLabel::FitToTexts()
{
    // A value with its unit is read whole or misread: never cut.
    const int width = PopupBox::FittingWidth(kWidth, m_title, m_slotText[0], m_slotText[1]);
    if (width != this->width())
        resize(width, kHeight);
}

void CCursorLabel::OfferPeakTracking(bool offered)
{
    m_peakOffered = offered;
    update();
}

void CCursorLabel::SetPeakTrackingOn(bool on)
{
    m_peakOn = on;
    update();
}

QRect CCursorLabel::ButtonRect(int code) const
{
    // From the right corner leftwards: delete, minimum, maximum, peak.
    int slot;
    switch (code) {
    case Delete: slot = 1; break;
    case Minimum: slot = 2; break;
    case Maximum: slot = 3; break;
    case PeakTracking:
        if (!m_peakOffered)
            return QRect();
        slot = 4;
        break;
    default: return QRect();
    }
    const int s = PopupBitmap::kSize;
    return QRect(width() - 1 - slot * s, 1, s, s);
}

int CCursorLabel::ButtonAt(const QPoint& point) const
{
    for (int code : {Delete, Minimum, Maximum, PeakTracking}) {
        if (ButtonRect(code).contains(point))
            return code;
    }
    return -1;
}

void CCursorLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PopupBox::PaintFrame(painter, *this);

    PopupBitmap::DrawButton(painter, ButtonRect(Delete), PopupBitmap::Delete, false);
    PopupBitmap::DrawButton(painter, ButtonRect(Minimum), PopupBitmap::Minimum, false);
    PopupBitmap::DrawButton(painter, ButtonRect(Maximum), PopupBitmap::Maximum, false);
    if (m_peakOffered)
        PopupBitmap::DrawButton(painter, ButtonRect(PeakTracking), PopupBitmap::PeakTracking, m_peakOn);

    PopupBox::PaintTexts(painter, width(), m_title, m_slotText[0], m_slotText[1]);
}

void CCursorLabel::mousePressEvent(QMouseEvent* event) { event->accept(); }

void CCursorLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        m_dragging = false;
        return;
    }
    QPoint local = event->position().toPoint();
    if (!m_dragging && local.y() <= kButtonRow)
        return;
    m_dragging = true;
    int top = mapToParent(local).y() - kDragOffset;
    move(x(), top);
    PostAppMessage(m_cursor, 106, quintptr(qintptr(top)), 0);
}

void CCursorLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_dragging) {
        m_dragging = false;
        return;
    }
    int code = ButtonAt(event->position().toPoint());
    if (code >= 0)
        PostAppMessage(m_cursor, 103, quintptr(code), 0);
}
