#include "benchreference.h"

#include <algorithm>
#include <limits>
#include <time.h>

namespace {

// CPU time of the calling thread: time spent descheduled on a shared
// machine does not count.
double ThreadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

} // namespace

double SecondsPerCall(const std::function<void()>& fn, double minSeconds, int rounds)
{
    fn();
    double best = std::numeric_limits<double>::max();
    for (int r = 0; r < rounds; ++r) {
        long calls = 0;
        const double start = ThreadSeconds();
        double elapsed = 0.0;
        do {
            fn();
            ++calls;
            elapsed = ThreadSeconds() - start;
        } while (elapsed < minSeconds);
        best = std::min(best, elapsed / calls);
    }
    return best;
}
