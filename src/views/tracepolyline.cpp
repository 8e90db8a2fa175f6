#include "tracepolyline.h"

#include <QPainter>

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

void TracePolyline::PutColumn(int column, double lo, double hi)
{
    lo = ClampPixel(lo);
    hi = ClampPixel(hi);
    if (m_lineStore.size() < size_t(m_size) + 2)
        m_lineStore.resize(std::max<size_t>(1024, m_lineStore.size() * 2));
    if (m_pending) {
        // Join the previous column to this one where the spans do not meet.
        if (hi > m_lo)
            m_lineStore[m_size++] = QLineF(m_column, m_lo, column, hi);
        else if (lo < m_hi)
            m_lineStore[m_size++] = QLineF(m_column, m_hi, column, lo);
    }
    m_lineStore[m_size++] = QLineF(column, lo, column, hi);
    m_pending = true;
    m_column = column;
    m_lo = lo;
    m_hi = hi;
}

void TracePolyline::Draw(QPainter& painter) const
{
    if (m_lines) {
        painter.drawLines(m_lineStore.data(), m_size);
        return;
    }
    if (!m_gaps) {
        if (m_size >= 2)
            painter.drawPolyline(m_points.data(), m_size);
        return;
    }
    // Runs of defined points, each its own polyline; a lone point is a dot.
    int start = 0;
    for (int k = 0; k <= m_size; ++k) {
        if (k < m_size && !std::isnan(m_points[k].y()))
            continue;
        if (k - start >= 2)
            painter.drawPolyline(m_points.data() + start, k - start);
        else if (k - start == 1)
            painter.drawPoint(m_points[start]);
        start = k + 1;
    }
}

int TracePolyline::Build(const float* values, int count, double xStart, double xStep, const AxisTransform& x,
                         const AxisTransform& y, int left, int right)
{
    m_size = 0;
    m_lines = false;
    m_gaps = false;
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
        for (int k = first; k <= last; ++k) {
            // An undefined value (NaN) stays NaN: a gap in the line.
            const bool undefined = std::isnan(values[k]);
            m_gaps = m_gaps || undefined;
            m_points[m_size++] = QPointF(x.PixelF(xStart + k * xStep),
                                         undefined ? double(values[k]) : ClampPixel(y.PixelF(values[k])));
        }
        return m_size;
    }
    // Column by column: one stroke over the extremes of its samples.
    m_lines = true;
    m_pending = false;
    // Undefined values (NaN) are left out of their column's span, and the
    // line is not joined across them.
    int column = int(std::floor(x.PixelF(xStart + first * xStep)));
    float lo = values[first], hi = values[first];
    bool defined = !std::isnan(values[first]);
    for (int k = first + 1; k <= last; ++k) {
        const int c = int(std::floor(x.PixelF(xStart + k * xStep)));
        const float v = values[k];
        if (c != column) {
            if (defined)
                PutColumn(column, y.PixelF(lo), y.PixelF(hi));
            else
                m_pending = false;
            column = c;
            lo = hi = v;
            defined = !std::isnan(v);
            continue;
        }
        if (std::isnan(v)) {
            if (defined)
                PutColumn(column, y.PixelF(lo), y.PixelF(hi));
            m_pending = false;
            defined = false;
            continue;
        }
        if (!defined) {
            lo = hi = v;
            defined = true;
            continue;
        }
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (defined)
        PutColumn(column, y.PixelF(lo), y.PixelF(hi));
    return m_size;
}
