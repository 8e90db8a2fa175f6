#pragma once
// Timing of a reference in the same run as the measured code, so that every
// figure can be given as a ratio on a shared, noisy machine.

#include <functional>

// Thread CPU seconds per call of fn: the best of several rounds of at least
// minSeconds each (the best round is the least disturbed one).
double SecondsPerCall(const std::function<void()>& fn, double minSeconds = 0.05, int rounds = 5);
