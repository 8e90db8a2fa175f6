#include "fittedtext.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kSmallestPixels = 6;
constexpr int kMargin = 2; // a pixel of air each side
}

QFont FittedFont(const QFont& font, const QString& text, int width)
{
    if (text.isEmpty() || width <= 0 || QFontMetrics(font).horizontalAdvance(text) <= width)
        return font;
    QFont fitted = font;
    const int start = font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height();
    // Text width is nearly proportional to the size: one estimate, then
    // single-pixel steps for the rounding of hinted glyphs.
    const int advance = QFontMetrics(font).horizontalAdvance(text);
    int pixels = std::max(kSmallestPixels, int(std::floor(double(start) * width / advance)));
    for (;; --pixels) {
        fitted.setPixelSize(pixels);
        if (pixels <= kSmallestPixels || QFontMetrics(fitted).horizontalAdvance(text) <= width)
            return fitted;
    }
}

void DrawFittedText(QPainter& painter, const QRect& rect, int flags, const QString& text)
{
    const QFont font = painter.font();
    const QFont fitted = FittedFont(font, text, rect.width() - kMargin);
    if (fitted == font) {
        painter.drawText(rect, flags, text);
        return;
    }
    painter.setFont(fitted);
    painter.drawText(rect, flags, text);
    painter.setFont(font);
}
