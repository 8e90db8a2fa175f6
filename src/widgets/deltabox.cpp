#include "deltabox.h"

#include "popupbitmaps.h"
#include "platform/appmessage.h"
#include "shell/appcontext.h"
#include "shell/windowalpha.h"

#include <QMouseEvent>
#include <QPainter>

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
    update();
}

void CDeltaBox::SetSlotTexts(int slot, const QString& modeA, const QString& modeB)
{
    m_texts[slot & 1] = {modeA, modeB};
    update();
}

void CDeltaBox::SetMode(int mode)
{
    if (mode != kModeA && mode != kModeB)
        return;
    m_modeA = mode == kModeA;
    update();
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
    if (QWidget* graph = parentWidget())
        move(int(m_xFraction * graph->width()), int(m_yFraction * graph->height()));
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
    const ColourScheme& colours = Ctx().colours;
    QPainter painter(this);
    painter.setOpacity(PaintOpacity(this));
    painter.fillRect(rect(), colours.widgetLine);
    painter.setPen(colours.graphText);
    painter.drawRect(0, 0, width() - 1, height() - 1);
    PopupBitmap::DrawButton(painter, ButtonRect(kModeB), PopupBitmap::DeltaMode6, !m_modeA);
    if (m_modeAOffered)
        PopupBitmap::DrawButton(painter, ButtonRect(kModeA), PopupBitmap::DeltaMode5, m_modeA);

    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    painter.setFont(font);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    painter.setPen(colours.graphText);
    painter.drawText(QRect(3, 19, width() - 4, 13), flags, m_title);
    const QColor traces[2] = {colours.trace1, colours.trace2};
    for (int slot = 0; slot < 2; ++slot) {
        QString text = SlotText(slot);
        if (text.isEmpty())
            continue;
        painter.setPen(traces[slot]);
        painter.drawText(QRect(3, 32 + 13 * slot, width() - 4, 13), flags, text);
    }
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
    move(centre.x() - kWidth / 2, centre.y() - kHeight / 2);
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
