#include "deltabox.h"

#include "popupbitmaps.h"
#include "popupbox.h"
#include "platform/appmessage.h"
#include "context/appcontext.h"
#include "context/windowalpha.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {
constexpr int kButtonRow = 16;
}

CDeltaBox::CDeltaBox(QWidget* graph) : QWidget(graph)
{
    setObjectName(QStringLiteral("Numeric"));
    setCursor(Qt::ArrowCursor);
    resize(kWidth, kHeight);
    show();
}

void CDeltaBox::SetTitle(const QString& title)
{
    m_title = title;
    FitToTexts();
    update();
}

void CDeltaBox::SetSlotTexts(int slot, const QString& modeA, const QString& modeB)
{
    m_texts[slot & 1] = {modeA, modeB};
    FitToTexts();
    update();
}

void CDeltaBox::SetMode(int mode)
{
    if (mode != kModeA && mode != kModeB)
        return;
    m_modeA = mode == kModeA;
    FitToTexts();
    update();
}

void CDeltaBox::FitToTexts()
{
    const int width = PopupBox::FittingWidth(kWidth, m_title, SlotText(0), SlotText(1));
    if (width == this->width())
        return;
    resize(width, kHeight);
    Place();
}

void CDeltaBox::OfferModeA(bool offered)
{
    m_modeAOffered = offered;
    update();
}

void CDeltaBox::SetFractions(double xFraction, double yFraction)
{
    m_xFraction = xFraction;
    m_yFraction = yFraction;
}

void CDeltaBox::Place()
{
    // A box widened by its texts stays inside the graph.
    if (QWidget* graph = parentWidget())
        move(std::max(0, std::min(int(m_xFraction * graph->width()), graph->width() - width())),
             int(m_yFraction * graph->height()));
}

QString CDeltaBox::SlotText(int slot) const { return m_texts[slot & 1][m_modeA ? 0 : 1]; }

QRect CDeltaBox::ButtonRect(int mode) const
{
    const int s = PopupBitmap::kSize;
    if (mode == kModeB)
        return QRect(width() - 1 - s, 1, s, s);
    if (mode == kModeA && m_modeAOffered)
        return QRect(width() - 1 - 2 * s, 1, s, s);
    return QRect();
}

int CDeltaBox::ModeButtonAt(const QPoint& point) const
{
    for (int mode : {kModeA, kModeB}) {
        if (ButtonRect(mode).contains(point))
            return mode;
    }
    return 0;
}

void CDeltaBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PopupBox::PaintFrame(painter, *this);
    PopupBitmap::DrawButton(painter, ButtonRect(kModeB), PopupBitmap::DeltaMode6, !m_modeA);
    if (m_modeAOffered)
        PopupBitmap::DrawButton(painter, ButtonRect(kModeA), PopupBitmap::DeltaMode5, m_modeA);

    PopupBox::PaintTexts(painter, width(), m_title, SlotText(0), SlotText(1));
}

void CDeltaBox::mousePressEvent(QMouseEvent* event) { event->accept(); }

void CDeltaBox::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        m_dragging = false;
        return;
    }
    QPoint local = event->position().toPoint();
    if (!m_dragging && local.y() <= kButtonRow)
        return;
    m_dragging = true;
    QWidget* graph = parentWidget();
    QPoint centre = mapToParent(local);
    move(centre.x() - width() / 2, centre.y() - kHeight / 2);
    if (graph && graph->width() > 0 && graph->height() > 0) {
        m_xFraction = double(x()) / graph->width();
        m_yFraction = double(y()) / graph->height();
    }
}

void CDeltaBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_dragging) {
        m_dragging = false;
        return;
    }
    if (int mode = ModeButtonAt(event->position().toPoint()))
        PostAppMessage(MessageTarget(), 107, quintptr(mode), 0);
}
