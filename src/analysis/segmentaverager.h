#pragma once
// Combines the per-segment spectra of one record by the averaging mode.

#include "analysis/segmentlayout.h"

#include <span>
#include <vector>

// "Linear": the mean over the segments (sums kept in double); "Peak hold":
// the maximum, starting from a value the caller gives (−1e37 for levels, 0 for
// magnitudes); "Cascade"/"Spctgrm": row j of a count × n matrix (row j at
// offset j·n) is segment j's spectrum. Nothing is carried between records.
// The owner's thread only.
class SegmentAverager {
public:
    static constexpr float kLevelPeakStart = -1e37f;

    // Output array: count·n floats for the row modes, n otherwise. Returns
    // false (and ignores the record) when `out` is smaller. Allocates only
    // when n grows.
    bool Begin(AverageMode mode, std::span<float> out, int n, int count, float peakStart);
    // The n values of segment j, j = 0 … count − 1, in any order.
    void Add(int segment, const float* values);
    void Finish();

    // Values needed in the output array for this mode.
    static std::size_t OutputSize(AverageMode mode, int n, int count)
    {
        return static_cast<std::size_t>(KeepsRows(mode) ? count : 1) * n;
    }

private:
    AverageMode m_mode = AverageMode::Linear;
    std::span<float> m_out;
    int m_n = 0;
    int m_count = 0;
    std::vector<double> m_sum;
};
