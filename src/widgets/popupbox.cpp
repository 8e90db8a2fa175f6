#include "popupbox.h"

#include "context/appcontext.h"
#include "context/windowalpha.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace PopupBox {

namespace {
constexpr int kTextLeft = 3;  // the texts' inset from the left edge
constexpr int kTextRight = 4; // air and the border on the right
} // namespace

void PaintFrame(QPainter& painter, const QWidget& box)
{
    const ColourScheme& colours = Ctx().colours;
    painter.setOpacity(PaintOpacity(&box));
    painter.fillRect(box.rect(), colours.widgetLine);
    painter.setPen(colours.graphText);
    painter.drawRect(0, 0, box.width() - 1, box.height() - 1);
}

void PaintTexts(QPainter& painter, int width, const QString& title, const QString& slot1, const QString& slot2)
{
    const ColourScheme& colours = Ctx().colours;
    painter.setFont(TextFont());
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    painter.setPen(colours.graphText);
    painter.drawText(QRect(kTextLeft, 19, width - kTextLeft, 13), flags, title);
    const QColor traces[2] = {colours.trace1, colours.trace2};
    const QString* texts[2] = {&slot1, &slot2};
    for (int slot = 0; slot < 2; ++slot) {
        if (texts[slot]->isEmpty())
            continue;
        painter.setPen(traces[slot]);
        painter.drawText(QRect(kTextLeft, 32 + 13 * slot, width - kTextLeft, 13), flags, *texts[slot]);
    }
}

QFont TextFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    return font;
}

int FittingWidth(int minimum, const QString& title, const QString& slot1, const QString& slot2)
{
    const QFontMetrics metrics(TextFont());
    int widest = 0;
    for (const QString* text : {&title, &slot1, &slot2})
        widest = std::max(widest, metrics.horizontalAdvance(*text));
    return std::max(minimum, kTextLeft + widest + kTextRight);
}

} // namespace PopupBox
