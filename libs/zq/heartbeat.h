#pragma once
// The writer's sign of life: a time stamp in the segment, renewed once
// kPeriodNs or more have passed since the last one, so that zq-stat can
// tell how long ago a writer last wrote.
//
// The sample path looks at the clock only every CheckMask(interval) + 1
// samples of a channel (and once per frames call), and the clock is the
// coarse monotonic clock, which the vDSO answers without a system call.
// Tests give a clock of their own.

#include <atomic>
#include <cstdint>
#include <ctime>

namespace zq {

// CLOCK_MONOTONIC_COARSE in ns: a few ms of resolution, no system call.
inline uint64_t CoarseMonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

class Heartbeat {
public:
    using Clock = uint64_t (*)();
    static constexpr uint64_t kPeriodNs = 50'000'000;
    static constexpr uint64_t kMaxCheckSpacing = 256; // samples

    // Samples between two looks at the clock, minus one: a power of two that
    // spans at most a quarter period of the channel's signal, so that a
    // writer that keeps pace beats at most kPeriodNs * 5 / 4 apart, and at
    // most kMaxCheckSpacing samples, so that fast channels pay for the clock
    // once in many samples.
    static uint64_t CheckMask(double interval)
    {
        uint64_t spacing = 1;
        while (spacing < kMaxCheckSpacing && double(spacing * 2) * interval * 4e9 <= double(kPeriodNs))
            spacing *= 2;
        return spacing - 1;
    }

    constexpr explicit Heartbeat(Clock clock) : m_clock(clock) {}
    void SetClock(Clock clock) { m_clock = clock; }

    // Stamps the time now.
    void Beat(std::atomic<uint64_t>& stamp)
    {
        m_last = m_clock();
        stamp.store(m_last, std::memory_order_relaxed);
    }

    // Stamps the time when a period or more passed since the last stamp.
    void Check(std::atomic<uint64_t>& stamp)
    {
        const uint64_t now = m_clock();
        if (now - m_last >= kPeriodNs) {
            m_last = now;
            stamp.store(now, std::memory_order_relaxed);
        }
    }

    // After a sample that made its channel's write count `written`.
    void OnSample(uint64_t written, uint64_t checkMask, std::atomic<uint64_t>& stamp)
    {
        if ((written & checkMask) == 0)
            Check(stamp);
    }

private:
    Clock m_clock;
    uint64_t m_last = 0;
};

} // namespace zq
