#include "scalecolor.h"

namespace {
int Scaled(int component, double factor)
{
    double scaled = component * factor;
    if (!(scaled > 0.0))
        return 0;
    return scaled >= 255.0 ? 255 : int(scaled);
}
} // namespace

QRgb ScaleColor(QRgb colour, double factor)
{
    return qRgba(Scaled(qRed(colour), factor), Scaled(qGreen(colour), factor),
                 Scaled(qBlue(colour), factor), qAlpha(colour));
}

QColor ScaleColor(const QColor& colour, double factor)
{
    return QColor::fromRgba(ScaleColor(colour.rgba(), factor));
}
