#include "analysis/segmentaverager.h"

#include <algorithm>
#include <cstring>

bool SegmentAverager::Begin(AverageMode mode, std::span<float> out, int n, int count, float peakStart)
{
    m_n = 0;
    if (n <= 0 || count <= 0 || out.size() < OutputSize(mode, n, count))
        return false;
    m_mode = mode;
    m_out = out;
    m_n = n;
    m_count = count;
    if (mode == AverageMode::Linear) {
        if (m_sum.size() < static_cast<std::size_t>(n))
            m_sum.resize(n);
        std::fill_n(m_sum.begin(), n, 0.0);
    } else if (mode == AverageMode::PeakHold) {
        std::fill_n(out.begin(), n, peakStart);
    }
    return true;
}

void SegmentAverager::Add(int segment, const float* values)
{
    if (m_n == 0)
        return;
    switch (m_mode) {
    case AverageMode::Linear:
        for (int k = 0; k < m_n; ++k)
            m_sum[k] += values[k];
        break;
    case AverageMode::PeakHold:
        for (int k = 0; k < m_n; ++k)
            m_out[k] = std::max(m_out[k], values[k]);
        break;
    case AverageMode::Cascade:
    case AverageMode::Spectrogram:
        if (segment >= 0 && segment < m_count)
            std::memcpy(m_out.data() + static_cast<std::size_t>(segment) * m_n, values, m_n * sizeof(float));
        break;
    }
}

void SegmentAverager::Finish()
{
    if (m_n == 0 || m_mode != AverageMode::Linear)
        return;
    const double divisor = m_count > 1 ? m_count : 1;
    for (int k = 0; k < m_n; ++k)
        m_out[k] = static_cast<float>(m_sum[k] / divisor);
}
