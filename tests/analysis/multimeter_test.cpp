// The sample ring and the multimeter statistics over its last W samples.

#include "analysis/multimeterstatistic.h"
#include "analysis/samplering.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<float> Ramp(int count, float first = 0.0f)
{
    std::vector<float> v(count);
    std::iota(v.begin(), v.end(), first);
    return v;
}

std::vector<float> Linear(const SampleRing& ring, int k)
{
    std::vector<float> out(k + 1, -1.0f);
    out.resize(ring.ReadLast(k, out.data()));
    return out;
}

} // namespace

TEST(SampleRingTest, AppendWrapAndReadLast)
{
    SampleRing ring;
    ring.SetCapacity(5);
    EXPECT_EQ(ring.ValidCount(), 0);
    const auto a = Ramp(3);
    ring.Append(a.data(), 3);
    EXPECT_EQ(ring.WritePosition(), 3);
    EXPECT_FALSE(ring.Wrapped());
    EXPECT_EQ(Linear(ring, 2), (std::vector<float>{1, 2}));

    // Filling exactly to the end returns to 0 with the wrapped flag.
    const auto b = Ramp(2, 3);
    ring.Append(b.data(), 2);
    EXPECT_EQ(ring.WritePosition(), 0);
    EXPECT_TRUE(ring.Wrapped());
    EXPECT_EQ(ring.ValidCount(), 5);
    EXPECT_EQ(Linear(ring, 5), (std::vector<float>{0, 1, 2, 3, 4}));

    // Running past the end continues at 0; the last k read oldest first.
    const auto c = Ramp(3, 5);
    ring.Append(c.data(), 3);
    EXPECT_EQ(ring.WritePosition(), 3);
    EXPECT_EQ(Linear(ring, 5), (std::vector<float>{3, 4, 5, 6, 7}));
    EXPECT_EQ(Linear(ring, 4), (std::vector<float>{4, 5, 6, 7}));
    EXPECT_EQ(Linear(ring, 2), (std::vector<float>{6, 7}));
    EXPECT_EQ(Linear(ring, 9), (std::vector<float>{3, 4, 5, 6, 7}));   // capped
    EXPECT_EQ(ring.Newest(), 7.0f);

    // More than the capacity keeps the last m, stored from 0.
    const auto d = Ramp(12, 100);
    ring.Append(d.data(), 12);
    EXPECT_EQ(ring.WritePosition(), 0);
    EXPECT_TRUE(ring.Wrapped());
    EXPECT_EQ(Linear(ring, 5), (std::vector<float>{107, 108, 109, 110, 111}));
    EXPECT_EQ(ring.Newest(), 111.0f);

    ring.Clear();
    EXPECT_EQ(ring.ValidCount(), 0);
    EXPECT_EQ(Linear(ring, 3), std::vector<float>{});

    SampleRing empty;
    empty.Append(d.data(), 12);   // no capacity: nothing stored, no fault
    EXPECT_EQ(empty.ValidCount(), 0);
}

TEST(MultimeterStatisticTest, SineOverWholePeriods)
{
    // "Tcst:" "1" at 44.1 kHz: W = 44100, a 1 V peak sine at 441 Hz.
    const int w = 44100;
    SampleRing ring;
    ring.SetCapacity(w);
    std::vector<float> x(w);
    for (int i = 0; i < w; ++i)
        x[i] = static_cast<float>(std::sin(2 * kPi * 441.0 * i / 44100.0 + 0.1));
    for (int t = 0; t < 100; ++t)
        ring.Append(x.data() + t * 441, 441);
    EXPECT_NEAR(ComputeStatistic(ring, w, MultimeterStatistic::Rms), 0.70711, 1e-4);
    EXPECT_NEAR(ComputeStatistic(ring, w, MultimeterStatistic::Mean), 0.0, 1e-6);
    EXPECT_NEAR(ComputeStatistic(ring, w, MultimeterStatistic::Max), 1.0, 1e-3);
    EXPECT_NEAR(ComputeStatistic(ring, w, MultimeterStatistic::Min), -1.0, 1e-3);
    EXPECT_EQ(ComputeStatistic(ring, w, MultimeterStatistic::One), x.back());
    EXPECT_EQ(MultimeterStatisticText(MultimeterStatistic::Rms), "RMS");
}

TEST(MultimeterStatisticTest, WindowsLongerThanOneChunkAndWrapped)
{
    // "3" at 44.1 kHz: 132300 samples, more than one chunk of 100000, read
    // across the wrap of the ring.
    const int w = 3 * 44100;
    SampleRing ring;
    ring.SetCapacity(w);
    std::vector<float> ones(50000, 1.0f), twos(w, 2.0f);
    ring.Append(ones.data(), 50000);
    ring.Append(twos.data(), w - 1);   // one sample of 1 remains, at the oldest end
    EXPECT_NEAR(ComputeStatistic(ring, w, MultimeterStatistic::Mean), (2.0 * (w - 1) + 1) / w, 1e-12);
    EXPECT_NEAR(ComputeStatistic(ring, w, MultimeterStatistic::Rms), std::sqrt((4.0 * (w - 1) + 1) / w), 1e-12);
    EXPECT_EQ(ComputeStatistic(ring, w, MultimeterStatistic::Min), 1.0);
    EXPECT_EQ(ComputeStatistic(ring, w, MultimeterStatistic::Max), 2.0);
    // Sums in double: a large offset plus small steps keeps its mean.
    SampleRing big;
    big.SetCapacity(200000);
    std::vector<float> v(200000);
    for (int i = 0; i < 200000; ++i)
        v[i] = 1000.0f + (i % 2 ? 0.5f : -0.5f);
    big.Append(v.data(), 200000);
    EXPECT_DOUBLE_EQ(ComputeStatistic(big, 200000, MultimeterStatistic::Mean), 1000.0);
}

// The same window gives the same bits wherever the ring wrapped, also for
// a window of more than one chunk: sums never restart at the wrap.
TEST(MultimeterStatisticTest, WhereTheRingWrapsChangesNoBit)
{
    const int w = 150000;
    std::vector<float> x(size_t(w) + 70001);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = float(std::sin(0.001 * double(i)) + 0.1 * std::cos(0.37 * double(i)));
    SampleRing whole;
    whole.SetCapacity(w);
    whole.Append(x.data() + (x.size() - size_t(w)), w);
    for (const int split : {1, 4321, 70001}) {
        SampleRing wrapped;
        wrapped.SetCapacity(w);
        wrapped.Append(x.data(), int(x.size()) - split);
        wrapped.Append(x.data() + (x.size() - size_t(split)), split);
        ASSERT_FALSE(wrapped.Last(w).second.empty());
        for (const auto s : {MultimeterStatistic::Mean, MultimeterStatistic::Rms})
            EXPECT_EQ(ComputeStatistic(wrapped, w, s), ComputeStatistic(whole, w, s)) << split;
    }
}

TEST(MultimeterStatisticTest, WindowLengths)
{
    EXPECT_EQ(MultimeterWindow(1.0, 1.0 / 44100), 44100);
    EXPECT_EQ(MultimeterWindow(0.3, 1.0 / 44100), 13230);
    EXPECT_EQ(MultimeterWindow(3.0, 1.0 / 44100), 132300);
    EXPECT_EQ(MultimeterWindow(1.0, 1.0 / 200000), 200000);   // 199999.99999999997 as a quotient
    EXPECT_EQ(MultimeterWindow(0.3, 1.0 / 200000), 60000);
    EXPECT_EQ(MultimeterWindow(0.3, 0.7), 0);
    EXPECT_EQ(MultimeterWindow(1.0, 0.0), 0);
}

TEST(MultimeterStatisticTest, EmptyWindow)
{
    SampleRing ring;
    ring.SetCapacity(10);
    EXPECT_EQ(ComputeStatistic(ring, 10, MultimeterStatistic::Mean), 0.0);
    EXPECT_EQ(ComputeStatistic(ring, 10, MultimeterStatistic::Rms), 0.0);
    EXPECT_EQ(ComputeStatistic(ring, 10, MultimeterStatistic::One), 0.0);
    EXPECT_EQ(ComputeStatistic(ring, 10, MultimeterStatistic::Min), 1e35);
    EXPECT_EQ(ComputeStatistic(ring, 10, MultimeterStatistic::Max), -1e35);
}
