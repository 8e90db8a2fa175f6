#pragma once
// The statistics of the multimeter over the last W samples of a ring.

#include "analysis/samplering.h"

#include <string_view>

// The integer values are the item keys of the multimeter panel's list.
enum class MultimeterStatistic : int { One = 0, Mean = 1, Rms = 2, Min = 3, Max = 4 };

inline constexpr int kMultimeterStatisticCount = 5;

// "ONE", "MEAN", "RMS", "MIN", "MAX"; empty outside 0 … 4.
std::string_view MultimeterStatisticText(MultimeterStatistic statistic);

// Samples in a window of `seconds` at sample interval dt, truncated. A
// quotient that is an integer up to rounding counts as that integer (1 s at
// 200 kHz is 200000 samples, not 199999). 0 for dt ≤ 0.
int MultimeterWindow(double seconds, double dt);

// Over the last `window` samples of `ring` (capped at its valid count),
// summed in double in chunks of 100000 samples counted from the window's
// first sample (the same bits wherever the ring wraps): "ONE" the newest
// sample, "MEAN" Σx/W, "RMS" √(Σx²/W), "MIN"/"MAX" the extremes (starting
// from 1e35 / −1e35). An empty window gives 0 for "ONE", "MEAN" and "RMS".
double ComputeStatistic(const SampleRing& ring, int window, MultimeterStatistic statistic);
