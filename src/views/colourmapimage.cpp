#include "colourmapimage.h"

#include <algorithm>
#include <cmath>

namespace {
bool SameTransform(const AxisTransform& a, const AxisTransform& b)
{
    return a.min == b.min && a.max == b.max && a.scale == b.scale && a.offset == b.offset;
}
} // namespace

bool ColourMapImage::Same(const Input& in, const QRect& part, double dpr, const std::vector<QColor>& map,
                            int mapCount, const QColor& background) const
{
    if (m_image.isNull() || part != m_part || dpr != m_dpr || mapCount != m_mapCount
        || background.rgb() != m_background || int(m_colours.size()) != mapCount + 1)
        return false;
    for (int i = 0; i <= mapCount; ++i)
        if (map[i].rgb() != m_colours[i])
            return false;
    return in.values == m_input.values && in.segments == m_input.segments && in.bins == m_input.bins
           && in.binStart == m_input.binStart && in.binStep == m_input.binStep && in.levelMin == m_input.levelMin
           && in.levelMax == m_input.levelMax && SameTransform(in.frequency, m_input.frequency)
           && in.generation == m_input.generation;
}

const QImage& ColourMapImage::Render(const Input& input, const QRect& part, double dpr,
                                       const std::vector<QColor>& colourMap, int colourMapCount,
                                       const QColor& background)
{
    const int mapCount = std::min(colourMapCount, int(colourMap.size()) - 1);
    if (Same(input, part, dpr, colourMap, mapCount, background))
        return m_image;
    m_colours.resize(std::max(0, mapCount + 1));
    for (int i = 0; i <= mapCount; ++i)
        m_colours[i] = colourMap[i].rgb();
    m_input = input;
    m_part = part;
    m_dpr = dpr;
    m_mapCount = mapCount;
    m_background = background.rgb();
    Fill(input, part, dpr, mapCount, m_background);
    ++m_renders;
    return m_image;
}

void ColourMapImage::Fill(const Input& in, const QRect& part, double dpr, int mapCount, QRgb background)
{
    const int w = std::max(0, int(std::lround(part.width() * dpr)));
    const int h = std::max(0, int(std::lround(part.height() * dpr)));
    if (m_image.width() != w || m_image.height() != h || m_image.format() != QImage::Format_RGB32)
        m_image = QImage(w, h, QImage::Format_RGB32);
    m_image.setDevicePixelRatio(dpr);
    m_image.fill(background);
    if (w == 0 || h == 0 || in.segments <= 0 || in.bins <= 0 || !in.values || mapCount < 0)
        return;

    // Segment S spans the whole columns trunc(L + S·W/D) .. trunc(L + (S+1)·W/D).
    const int left = part.x();
    const double width = part.width();
    const int d = in.segments;
    auto cellLeft = [&](int s) { return int(left + double(s) * width / d); };
    m_columnSegment.resize(w);
    for (int px = 0; px < w; ++px) {
        const double cx = left + (px + 0.5) / dpr;
        int s = std::clamp(int(std::floor((cx - left) * d / width)), 0, d - 1);
        while (s + 1 < d && cellLeft(s + 1) <= cx)
            ++s;
        while (s > 0 && cellLeft(s) > cx)
            --s;
        const bool covered = cellLeft(s) <= cx && cx < cellLeft(s + 1);
        m_columnSegment[px] = covered ? s : -1;
    }
    // Bin k spans the heights of f ± step/2 around its frequency.
    m_rowBin.resize(h);
    for (int py = 0; py < h; ++py) {
        const double cy = part.y() + (py + 0.5) / dpr;
        const double k = std::floor((in.frequency.Value(cy) - in.binStart) / in.binStep + 0.5);
        m_rowBin[py] = k >= 0.0 && k < in.bins ? int(k) : -1;
    }

    const double levelScale = in.levelMax != in.levelMin ? mapCount / (in.levelMax - in.levelMin) : 0.0;
    const float levelMin = float(in.levelMin);
    const QRgb* colours = m_colours.data();
    uchar* bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    // Column by column: one segment's bins are read in order of memory.
    int previous = -1;
    for (int px = 0; px < w; ++px) {
        const int s = m_columnSegment[px];
        if (s < 0) {
            previous = -1;
            continue;
        }
        if (s == previous) {
            for (int py = 0; py < h; ++py) {
                QRgb* row = reinterpret_cast<QRgb*>(bits + py * stride);
                row[px] = row[px - 1];
            }
            continue;
        }
        previous = s;
        const float* segment = in.values + size_t(s) * size_t(in.bins);
        for (int py = 0; py < h; ++py) {
            const int k = m_rowBin[py];
            if (k < 0)
                continue;
            const double scaled = (double(segment[k]) - levelMin) * levelScale;
            // NaN and below the range take entry 0, above it the top entry.
            int index = scaled > 0.0 ? (scaled < mapCount ? int(scaled) : mapCount) : 0;
            reinterpret_cast<QRgb*>(bits + py * stride)[px] = colours[index];
        }
    }
}
