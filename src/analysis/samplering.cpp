#include "analysis/samplering.h"

#include <algorithm>
#include <cstring>

void SampleRing::SetCapacity(int capacity)
{
    m_data.assign(std::max(capacity, 0), 0.0f);
    Clear();
}

void SampleRing::Clear()
{
    m_position = 0;
    m_wrapped = false;
}

void SampleRing::Append(const float* samples, int k)
{
    const int m = Capacity();
    if (m == 0 || k <= 0)
        return;
    if (k > m) {
        std::memcpy(m_data.data(), samples + (k - m), m * sizeof(float));
        m_position = 0;
        m_wrapped = true;
        return;
    }
    const int tail = std::min(k, m - m_position);
    std::memcpy(m_data.data() + m_position, samples, tail * sizeof(float));
    const int rest = k - tail;
    if (rest > 0) {
        std::memcpy(m_data.data(), samples + tail, rest * sizeof(float));
        m_position = rest;
        m_wrapped = true;
    } else {
        m_position += tail;
    }
    if (m_position == m) {
        m_position = 0;
        m_wrapped = true;
    }
}

SampleRing::Pieces SampleRing::Last(int k) const
{
    k = std::clamp(k, 0, ValidCount());
    const float* data = m_data.data();
    if (k <= m_position)
        return {std::span<const float>(data + m_position - k, k), {}};
    const int older = k - m_position;
    return {std::span<const float>(data + Capacity() - older, older), std::span<const float>(data, m_position)};
}

int SampleRing::ReadLast(int k, float* out) const
{
    const Pieces pieces = Last(k);
    std::copy(pieces.first.begin(), pieces.first.end(), out);
    std::copy(pieces.second.begin(), pieces.second.end(), out + pieces.first.size());
    return static_cast<int>(pieces.first.size() + pieces.second.size());
}

float SampleRing::Newest() const
{
    if (ValidCount() == 0)
        return 0.0f;
    return m_data[m_position == 0 ? Capacity() - 1 : m_position - 1];
}
