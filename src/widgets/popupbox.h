#pragma once
// The look shared by the cursor label and the delta box: a translucent box
// in the widget-line colour with a one-pixel border, a title line and one
// line per channel slot in its trace colour.

#include <QFont>
#include <QString>

class QPainter;
class QWidget;

namespace PopupBox {
// Fills the box with its alpha and draws the border; leaves the painter's
// opacity set for the rest of the box.
void PaintFrame(QPainter& painter, const QWidget& box);
// Title at client (2, 18), slot lines at (2, 31) and (2, 44), inside the
// border; empty slot texts are skipped.
void PaintTexts(QPainter& painter, int width, const QString& title, const QString& slot1, const QString& slot2);
// The width a box needs to show its texts whole: the widest text's advance
// in the box's font with the left inset and the border, and never less than
// minimum.
int FittingWidth(int minimum, const QString& title, const QString& slot1, const QString& slot2);
// The font the texts are drawn in (9-point Arial).
QFont TextFont();
} // namespace PopupBox
