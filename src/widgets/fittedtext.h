#pragma once
// Captions and values drawn in fixed-size fields: a text wider than its field
// is drawn in a smaller font instead of being clipped, so that "Cursor" never
// reads "Curso" and "500m" never "500".

#include <QFont>
#include <QRect>
#include <QString>

class QPainter;

// The font itself when the text fits `width` pixels, else the same font made
// smaller until it does (not below 6 pixels, where nothing is legible).
QFont FittedFont(const QFont& font, const QString& text, int width);

// drawText with FittedFont for the rectangle's width less a pixel each side;
// the painter's font is restored afterwards.
void DrawFittedText(QPainter& painter, const QRect& rect, int flags, const QString& text);
