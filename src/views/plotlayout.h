#pragma once
// The integer layout rules of the graph views, in client (logical) pixels.
// Rectangles are QRects whose x() + width() and y() + height() are the
// exclusive right and bottom edges; the rules are written in those edges.

#include <QPoint>
#include <QRect>
#include <array>

namespace PlotLayout {

// Edges of a rectangle: (left, top, right, bottom) with right and bottom
// exclusive.
inline QRect FromEdges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }
inline int RightEdge(const QRect& r) { return r.x() + r.width(); }
inline int BottomEdge(const QRect& r) { return r.y() + r.height(); }

// The plot inside a client rectangle: 120 pixels for the axes on the left,
// 16 on the right, 40 above and below, for split 0 (full), 1 (upper half) or
// 2 (lower half); the cascade keeps the lower left three quarters first.
QRect Plot(const QRect& client, int split, bool cascade);
// The legend strips above a plot: slot 0 left of the middle, slot 1 right.
std::array<QRect, 2> LegendStrips(const QRect& plot);
// Segment j of D in a cascade: the front rectangle shifted right by
// j × width / 4D and up by j × height / 4D, edges truncated.
QRect CascadeSegment(const QRect& front, int j, int segments);
// "X-xpnd" (which 0) and "Y-xpnd" (which 1).
QRect ResetButton(const QRect& plot, int which);
// The "A" button of an axis drawn at x.
QRect AutoButton(int axisX);
// The spectrogram's part of a slot: the plot less 50 on the right, split
// 30 above and below the middle when both slots show.
QRect SpectrogramPart(const QRect& plot, int slot, bool twoSlots);
// The legend strip of a spectrogram part: above it, from 16 pixels right of
// its left edge to 8 pixels before its right edge, so that the legend stays
// clear of the captions of the frequency axis and the colour scale.
QRect SpectrogramLegend(const QRect& part);
// The colour scale beside a spectrogram part.
QRect ColourScale(const QRect& part);

// The rubber band for a drag from press to mouse inside a plot: none
// (false) until the mouse is more than 16 pixels away in either direction;
// then the rectangle when both extents are at least 9, else the horizontal
// extent over the full plot height (moved more than 16 horizontally), else
// the vertical extent over the full plot width.
bool RubberBand(const QPoint& press, const QPoint& mouse, const QRect& plot, QRect* band);

} // namespace PlotLayout
