#pragma once
// Shading of a colour by a factor: each of red, green and blue is multiplied,
// truncated and clamped to 0 .. 255; the alpha byte stays. Any thread.

#include <QColor>
#include <QRgb>

QRgb ScaleColor(QRgb colour, double factor);
QColor ScaleColor(const QColor& colour, double factor);
