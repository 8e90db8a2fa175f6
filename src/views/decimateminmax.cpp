#include "decimateminmax.h"

#include <algorithm>
#include <cstdint>

int DecimateMinMax(const float* values, int count, int limit, float* pairs, int columns)
{
    if (count <= 0 || columns <= 0)
        return -1;
    const double r = double(columns) / count;
    if (r > 0.5)
        return -1;
    constexpr std::uint32_t kOne = 1u << 24;
    const std::uint32_t step = std::uint32_t(r * kOne);
    const int n = std::min(count, limit);
    std::uint32_t position = 0;
    float min = 1e37f, max = -1e37f;
    int out = 0;
    for (int i = 0; i < n; ++i) {
        min = std::min(min, values[i]);
        max = std::max(max, values[i]);
        position += step;
        if (position > kOne - 1) {
            pairs[2 * out] = min;
            pairs[2 * out + 1] = max;
            ++out;
            position &= kOne - 1;
            min = 1e37f;
            max = -1e37f;
        }
    }
    return out;
}
