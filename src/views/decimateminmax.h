#pragma once
// Column-wise minimum and maximum, for drawing more samples than there are
// pixel columns.

// With r = columns / count: when r > 0.5 (fewer than two samples per
// column) returns -1 and the caller draws the samples themselves.
// Otherwise walks the first min(count, limit) samples with a 24-bit
// fixed-point column position that grows by trunc(r × 2^24) per sample and
// writes a (minimum, maximum) pair to pairs each time the position passes a
// column; returns the number of pairs (at most columns; pairs holds
// 2 × columns floats). Samples after the last pair are not reported.
int DecimateMinMax(const float* values, int count, int limit, float* pairs, int columns);
