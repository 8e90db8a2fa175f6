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
    // Calls run in batches between clock readings, so that reading the
    // thread clock (a system call) does not count in short calls.
    fn();
    long batch = 1;
    for (;;) {
        const double start = ThreadSeconds();
        for (long i = 0; i < batch; ++i)
            fn();
        if (ThreadSeconds() - start >= 1e-3 || batch >= (1L << 30))
            break;
        batch *= 2;
    }
    double best = std::numeric_limits<double>::max();
    for (int r = 0; r < rounds; ++r) {
        long calls = 0;
        const double start = ThreadSeconds();
        double elapsed = 0.0;
        do {
            for (long i = 0; i < batch; ++i)
                fn();
            calls += batch;
            elapsed = ThreadSeconds() - start;
        } while (elapsed < minSeconds);
        best = std::min(best, elapsed / calls);
    }
    return best;
}
