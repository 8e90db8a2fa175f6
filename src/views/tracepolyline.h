#pragma once
// The points of one trace in pixel coordinates, as few as the plot's pixel
// columns need: with more samples than columns, each column becomes one
// vertical stroke from its smallest to its largest value, joined to the next
// column only where their spans do not overlap, so the cost of drawing
// follows the plot's width, not the number of samples. Points lying
// outside the plot's columns are left out but for one on each side.
// Undefined values (NaN) leave a gap: the line is not drawn through them.
// The point store only grows. UI thread only.

#include "views/axistransform.h"

class QPainter;

#include <QLineF>
#include <QPointF>
#include <vector>

class TracePolyline {
public:
    // values[k] at x = xStart + k × xStep (xStep > 0), mapped by the
    // transforms; columns left .. right (exclusive) are the plot's. Returns
    // the number of points.
    int Build(const float* values, int count, double xStart, double xStep, const AxisTransform& x,
              const AxisTransform& y, int left, int right);

    // Either a polyline of Size() points (NaN heights where a value is
    // undefined) or, reduced, Size() separate lines.
    bool IsLines() const { return m_lines; }
    const QPointF* Points() const { return m_points.data(); }
    const QLineF* Lines() const { return m_lineStore.data(); }
    int Size() const { return m_size; }
    // Draws what Build made with the painter's pen.
    void Draw(QPainter& painter) const;

private:
    void PutColumn(int column, double lo, double hi);
    void FlushColumn();

    std::vector<QPointF> m_points;
    std::vector<QLineF> m_lineStore;
    int m_size = 0;
    bool m_lines = false;
    bool m_gaps = false; // some points are NaN: the polyline is drawn in runs
    // The column waiting for the next one (pixel heights: lo below hi).
    bool m_pending = false;
    int m_column = 0;
    double m_lo = 0.0, m_hi = 0.0;
};
