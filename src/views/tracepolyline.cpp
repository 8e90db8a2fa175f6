#include "tracepolyline.h"

#include <algorithm>
#include <cmath>

namespace {
// Pixel heights far outside any plot stay drawable (no overflow, no NaN).
double ClampPixel(double y)
{
    if (std::isnan(y))
        return 0.0;
    return std::clamp(y, -100000.0, 100000.0);
}
} // namespace

void TracePolyline::Put(double x, double y)
{
    if (m_size == int(m_points.size()))
        m_points.resize(std::max<size_t>(1024, m_points.size() * 2));
    m_points[m_size++] = QPointF(x, ClampPixel(y));
}

int TracePolyline::Build(const float* values, int count, double xStart, double xStep, const AxisTransform& x,
                         const AxisTransform& y, int left, int right)
{
    m_size = 0;
    if (count <= 0 || !values)
        return 0;
    int first = 0, last = count - 1;
    if (xStep > 0.0 && x.scale > 0.0) {
        // Only the samples over the plot's columns, and one beyond each side.
        const double kLeft = (x.Value(left) - xStart) / xStep;
        const double kRight = (x.Value(right) - xStart) / xStep;
        first = int(std::clamp(std::floor(kLeft) - 1.0, 0.0, double(count - 1)));
        last = int(std::clamp(std::ceil(kRight) + 1.0, 0.0, double(count - 1)));
    }
    const int n = last - first + 1;
    const int columns = std::max(1, right - left);
    if (n <= 2 * columns) {
        if (int(m_points.size()) < n)
            m_points.resize(n);
        for (int k = first; k <= last; ++k)
            m_points[m_size++] = QPointF(x.PixelF(xStart + k * xStep), ClampPixel(y.PixelF(values[k])));
        return m_size;
    }
    // Column by column: the extremes of the samples whose x falls in it.
    int column = int(std::floor(x.PixelF(xStart + first * xStep)));
    float lo = values[first], hi = values[first];
    int loAt = first, hiAt = first;
    auto flush = [&] {
        const double a = loAt <= hiAt ? lo : hi;
        const double b = loAt <= hiAt ? hi : lo;
        Put(column, y.PixelF(a));
        if (a != b)
            Put(column, y.PixelF(b));
    };
    for (int k = first + 1; k <= last; ++k) {
        const int c = int(std::floor(x.PixelF(xStart + k * xStep)));
        const float v = values[k];
        if (c != column) {
            flush();
            column = c;
            lo = hi = v;
            loAt = hiAt = k;
            continue;
        }
        if (v < lo) {
            lo = v;
            loAt = k;
        } else if (v > hi) {
            hi = v;
            hiAt = k;
        }
    }
    flush();
    return m_size;
}
