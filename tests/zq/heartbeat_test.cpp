// The writer's heartbeat logic with a clock of the test's own: beats follow
// the clock, not the number of samples.

#include "heartbeat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

uint64_t g_now = 0;
uint64_t FakeClock() { return g_now; }
int g_reads = 0;
uint64_t CountingClock()
{
    ++g_reads;
    return g_now;
}

constexpr uint64_t kMs = 1'000'000;

// Times (ns) at which the stamp changed while a writer of `channels`
// channels at `rate` Hz kept pace with the clock for `seconds`, writing
// frame by frame as ZQ_WriteChanOneFloatValue does.
std::vector<uint64_t> Beats(double rate, int channels, double seconds)
{
    g_now = 1000 * kMs;
    zq::Heartbeat heartbeat(FakeClock);
    std::atomic<uint64_t> stamp{0};
    heartbeat.Beat(stamp); // the definition beats
    const uint64_t mask = zq::Heartbeat::CheckMask(1.0 / rate);
    std::vector<uint64_t> beats{stamp.load()};
    const auto frames = uint64_t(seconds * rate);
    for (uint64_t written = 1; written <= frames; ++written) {
        g_now = 1000 * kMs + uint64_t(double(written) * 1e9 / rate);
        for (int c = 0; c < channels; ++c)
            heartbeat.OnSample(written, mask, stamp);
        if (stamp.load() != beats.back())
            beats.push_back(stamp.load());
    }
    return beats;
}

TEST(ZqHeartbeat, AOneKilohertzWriterBeatsEveryFiftyMilliseconds)
{
    for (int channels : {1, 8}) {
        const std::vector<uint64_t> beats = Beats(1000, channels, 2.0);
        ASSERT_GE(beats.size(), 2u);
        // 2 s at one beat per 50 ms or a little more (the clock is looked at
        // every few samples, at most a quarter period apart).
        EXPECT_GE(beats.size(), 2000u / 63);
        EXPECT_LE(beats.size(), 2000u / 50 + 1);
        for (size_t i = 1; i < beats.size(); ++i) {
            EXPECT_GE(beats[i] - beats[i - 1], 50 * kMs) << i;
            EXPECT_LE(beats[i] - beats[i - 1], 50 * kMs + 50 * kMs / 4) << i;
        }
    }
}

// Within a period and a quarter, or with every sample of a channel slower
// than that.
TEST(ZqHeartbeat, EveryRateBeatsWithinAPeriodAndAQuarter)
{
    for (double rate : {5.0, 10.0, 100.0, 1000.0, 44100.0, 1e6}) {
        const std::vector<uint64_t> beats = Beats(rate, 2, 1.0);
        const double bound = std::max(62.5e6, 1e9 / rate);
        ASSERT_GE(beats.size(), size_t(1e9 / bound)) << rate;
        for (size_t i = 1; i < beats.size(); ++i)
            ASSERT_LE(double(beats[i] - beats[i - 1]), bound + 1) << rate << " Hz, beat " << i;
    }
}

// The clock costs a fraction of a sample: fast channels look at it once in
// 256 samples, and never more often than every sample.
TEST(ZqHeartbeat, TheClockIsReadOnlyEveryFewHundredSamplesOfAFastChannel)
{
    EXPECT_EQ(zq::Heartbeat::CheckMask(1.0 / 44100), 255u);
    EXPECT_EQ(zq::Heartbeat::CheckMask(1.0 / 1e6), 255u);
    EXPECT_EQ(zq::Heartbeat::CheckMask(1.0 / 10), 0u);
    g_now = 0;
    g_reads = 0;
    zq::Heartbeat heartbeat(CountingClock);
    std::atomic<uint64_t> stamp{0};
    const uint64_t mask = zq::Heartbeat::CheckMask(1.0 / 44100);
    for (uint64_t written = 1; written <= 256 * 100; ++written)
        heartbeat.OnSample(written, mask, stamp);
    EXPECT_EQ(g_reads, 100);
}

// An idle writer does not beat: the age tells how long ago it last wrote.
TEST(ZqHeartbeat, NoSamplesNoBeat)
{
    g_now = 5000 * kMs;
    zq::Heartbeat heartbeat(FakeClock);
    std::atomic<uint64_t> stamp{0};
    heartbeat.Beat(stamp);
    g_now += 10'000 * kMs;
    EXPECT_EQ(stamp.load(), 5000 * kMs);
    heartbeat.Check(stamp); // a frames call
    EXPECT_EQ(stamp.load(), 15'000 * kMs);
}

} // namespace
