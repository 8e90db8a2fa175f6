#include "plotlayout.h"

#include <algorithm>
#include <cstdlib>

namespace PlotLayout {

QRect Plot(const QRect& client, int split, bool cascade)
{
    int l = client.x(), t = client.y(), r = RightEdge(client), b = BottomEdge(client);
    if (cascade) {
        t = (t + b) / 4;
        r = (l + r) * 3 / 4;
    }
    l += 120;
    r -= 16;
    switch (split) {
    case 1:
        b = (b + t) / 2 - 20;
        t += 40;
        break;
    case 2:
        b -= 40;
        t = (t + b + 20) / 2 + 32;
        break;
    default:
        t += 40;
        b -= 40;
        break;
    }
    return FromEdges(l, t, r, b);
}

std::array<QRect, 2> LegendStrips(const QRect& plot)
{
    const int l = plot.x(), t = plot.y(), r = RightEdge(plot);
    const int mid = (l + r) / 2;
    return {FromEdges(l, t - 20, mid - 8, t - 4), FromEdges(mid + 8, t - 20, r, t - 4)};
}

QRect CascadeSegment(const QRect& front, int j, int segments)
{
    if (segments <= 0)
        return front;
    const double dx = double(j) * front.width() / (4.0 * segments);
    const double dy = double(j) * front.height() / (4.0 * segments);
    return FromEdges(int(front.x() + dx), int(front.y() - dy), int(RightEdge(front) + dx), int(BottomEdge(front) - dy));
}

QRect ResetButton(const QRect& plot, int which)
{
    const int t = plot.y();
    if (which == 0)
        return FromEdges(RightEdge(plot) - 52, t + 16, RightEdge(plot), t + 32);
    return FromEdges(4, t + 16, 56, t + 32);
}

QRect AutoButton(int axisX) { return FromEdges(axisX - 5, 2, axisX + 5, 14); }

QRect SpectrogramPart(const QRect& plot, int slot, bool twoSlots)
{
    const int l = plot.x(), t = plot.y(), r = RightEdge(plot) - 50, b = BottomEdge(plot);
    if (!twoSlots)
        return FromEdges(l, t, r, b);
    const int mid = (t + b) / 2;
    return slot == 0 ? FromEdges(l, t, r, mid - 30) : FromEdges(l, mid + 30, r, b);
}

QRect SpectrogramLegend(const QRect& part)
{
    // Clear of the frequency axis caption centred over the left edge and of
    // the colour scale's caption centred 8 pixels right of the right edge.
    const int l = part.x(), t = part.y();
    return FromEdges(l + 16, t - 20, RightEdge(part) - 8, t - 4);
}

QRect ColourScale(const QRect& part)
{
    const int r = RightEdge(part);
    return FromEdges(r + 8, part.y(), r + 16, BottomEdge(part));
}

bool RubberBand(const QPoint& press, const QPoint& mouse, const QRect& plot, QRect* band)
{
    const int dx = std::abs(mouse.x() - press.x());
    const int dy = std::abs(mouse.y() - press.y());
    if (dx <= 16 && dy <= 16)
        return false;
    const int l = std::min(press.x(), mouse.x()), r = std::max(press.x(), mouse.x());
    const int t = std::min(press.y(), mouse.y()), b = std::max(press.y(), mouse.y());
    if (dx >= 9 && dy >= 9)
        *band = FromEdges(l, t, r, b);
    else if (dx > 16)
        *band = FromEdges(l, plot.y(), r, BottomEdge(plot));
    else
        *band = FromEdges(plot.x(), t, RightEdge(plot), b);
    return true;
}

} // namespace PlotLayout
