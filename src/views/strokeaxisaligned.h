#pragma once
// Draws a polyline whose segments run horizontally or vertically with a
// solid pen `width` pixels wide and square caps, as one filled rectangle per
// segment. The painter's general stroker outlines every wide segment as a
// polygon first, which made the step lines and bar outlines of a
// 1/24-octave display (hundreds of segments per trace) the dearest part of a
// tick; the rectangles cover the same pixels for a fraction of the cost. A
// slanted segment is drawn by the painter with that pen. UI thread only.

#include <QColor>
#include <QPointF>
#include <span>

class QPainter;

void StrokeAxisAligned(QPainter& painter, std::span<const QPointF> points, double width, const QColor& colour);

// The outline of a bar standing on `bottom`, its sides at x0 and x1 and its
// top at `top`, drawn as StrokeAxisAligned draws the polyline (x0, bottom),
// (x0, top), (x1, top), (x1, bottom). When the sides are no further apart
// than the pen is wide, the outline is one solid column and is filled as one.
void StrokeBarOutline(QPainter& painter, double x0, double x1, double top, double bottom, double width,
                      const QColor& colour);
