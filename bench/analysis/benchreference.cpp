#include "benchreference.h"

#include <algorithm>
#include <chrono>
#include <limits>

double SecondsPerCall(const std::function<void()>& fn, double minSeconds, int rounds)
{
    using Clock = std::chrono::steady_clock;
    fn();
    double best = std::numeric_limits<double>::max();
    for (int r = 0; r < rounds; ++r) {
        long calls = 0;
        const auto start = Clock::now();
        double elapsed = 0.0;
        do {
            fn();
            ++calls;
            elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        } while (elapsed < minSeconds);
        best = std::min(best, elapsed / calls);
    }
    return best;
}
