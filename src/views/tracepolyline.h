#pragma once
// The points of one trace in pixel coordinates, as few as the plot's pixel
// columns need: with more samples than columns, each column keeps only its
// smallest and largest value (in the order they occur), so the cost of
// drawing follows the plot's width, not the number of samples. Points lying
// outside the plot's columns are left out but for one on each side.
// The point store only grows. UI thread only.

#include "views/axistransform.h"

#include <QPointF>
#include <vector>

class TracePolyline {
public:
    // values[k] at x = xStart + k × xStep (xStep > 0), mapped by the
    // transforms; columns left .. right (exclusive) are the plot's. Returns
    // the number of points.
    int Build(const float* values, int count, double xStart, double xStep, const AxisTransform& x,
              const AxisTransform& y, int left, int right);

    const QPointF* Points() const { return m_points.data(); }
    int Size() const { return m_size; }

private:
    void Put(double x, double y);

    std::vector<QPointF> m_points;
    int m_size = 0;
};
