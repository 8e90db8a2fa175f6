#include "popupbox.h"

#include "context/appcontext.h"
#include "context/windowalpha.h"

#include <QPainter>
#include <QWidget>

namespace PopupBox {

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
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    painter.setFont(font);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    painter.setPen(colours.graphText);
    painter.drawText(QRect(3, 19, width - 4, 13), flags, title);
    const QColor traces[2] = {colours.trace1, colours.trace2};
    const QString* texts[2] = {&slot1, &slot2};
    for (int slot = 0; slot < 2; ++slot) {
        if (texts[slot]->isEmpty())
            continue;
        painter.setPen(traces[slot]);
        painter.drawText(QRect(3, 32 + 13 * slot, width - 4, 13), flags, *texts[slot]);
    }
}

} // namespace PopupBox
