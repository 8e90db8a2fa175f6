// The octave filter bank: band layout, weighting, time weighting, and the
// band filters' response measured by running sines through Process.

#include "analysis/octaveanalyser.h"
#include "octavereference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
using Weighting = OctaveAnalyser::Weighting;

std::unique_ptr<OctaveAnalyser> Designed(int bands, double low, double high, double rate,
                                         Weighting weighting = Weighting::Linear)
{
    auto a = std::make_unique<OctaveAnalyser>();
    a->Design(bands, weighting, low, high, 1.0 / rate);
    return a;
}

std::vector<float> Tone(int count, double frequency, double rate, double amplitude, long long offset = 0)
{
    std::vector<float> x(count);
    for (int i = 0; i < count; ++i)
        x[i] = static_cast<float>(amplitude * std::sin(2 * kPi * frequency * double(offset + i) / rate));
    return x;
}

// Power gain of band `band` at `frequency`: the tone runs through Process
// until the band has settled, then the squared output (α = 1: the mean
// square is the last output squared) is averaged over whole periods.
double MeasuredGainDb(OctaveAnalyser& a, int band, double frequency, double rate, double settleSeconds)
{
    a.SetTimeWeighting(0.0);   // α = 1
    const int block = 4096;
    long long n = 0;
    const long long settle = static_cast<long long>(settleSeconds * rate);
    while (n < settle) {
        const auto x = Tone(block, frequency, rate, 1.0, n);
        a.Process(x.data(), block);
        n += block;
    }
    const int periods = std::max(1, static_cast<int>(std::ceil(0.05 * frequency)));
    const long long span = std::llround(periods * rate / frequency);
    double sum = 0;
    for (long long i = 0; i < span; ++i) {
        const float s = static_cast<float>(std::sin(2 * kPi * frequency * double(n + i) / rate));
        a.Process(&s, 1);
        sum += a.MeanSquare(band);
    }
    return 10 * std::log10(sum / span / 0.5);
}

} // namespace

TEST(OctaveDesignTest, OneOctaveBands)
{
    auto a = Designed(1, 16, 16000, 44100);
    EXPECT_EQ(a->FirstIndex(), -6);
    EXPECT_EQ(a->EndIndex(), 4);
    ASSERT_EQ(a->BandCount(), 10);
    const double expected[10] = {15.625, 31.25, 62.5, 125, 250, 500, 1000, 2000, 4000, 8000};
    for (int b = 0; b < 10; ++b) {
        EXPECT_DOUBLE_EQ(a->Centre(b), expected[b]);
        EXPECT_NEAR(a->BandRecord(b).upper / a->BandRecord(b).lower, 2.0, 1e-12);
    }
    auto b = Designed(1, 125, 16000, 44100);
    EXPECT_EQ(b->BandCount(), 7);
    EXPECT_DOUBLE_EQ(b->Centre(0), 125.0);
    EXPECT_DOUBLE_EQ(b->Centre(6), 8000.0);
}

TEST(OctaveDesignTest, IndexFormulasAndLimits)
{
    // 1/3 octave: 125 Hz … 16 kHz spans indices −9 … 11 (2^(12/3) = 16 is
    // the end, not included).
    auto third = Designed(3, 125, 16000, 48000);
    EXPECT_EQ(third->FirstIndex(), -9);
    EXPECT_EQ(third->EndIndex(), 12);
    EXPECT_NEAR(third->Centre(third->BandCount() - 1), 1000 * std::pow(2.0, 11.0 / 3), 1e-9);

    // 1/6, 1/12, 1/24: the range lies one octave lower.
    for (const int n : {6, 12, 24}) {
        auto a = Designed(n, 125, 16000, 48000);
        EXPECT_EQ(a->FirstIndex(), -4 * n) << n;
        EXPECT_EQ(a->EndIndex(), 3 * n) << n;
        EXPECT_DOUBLE_EQ(a->Centre(0), 62.5);
        EXPECT_EQ(a->BandsPerOctave(), n);
    }

    // Nyquist: at 8 kHz the high limit becomes 4 kHz and no band reaches past it.
    auto limited = Designed(3, 16, 16000, 8000);
    ASSERT_GT(limited->BandCount(), 0);
    for (int b = 0; b < limited->BandCount(); ++b)
        EXPECT_LE(limited->BandRecord(b).upper, 4000.0);
    EXPECT_EQ(limited->EndIndex(), 6);
    EXPECT_NEAR(limited->Centre(limited->BandCount() - 1), 1000 * std::pow(2.0, 5.0 / 3), 1e-9);

    // Where fc·g passes Nyquist the design stops early.
    auto stopped = Designed(1, 16, 16000, 22000);
    EXPECT_EQ(stopped->Centre(stopped->BandCount() - 1), 4000.0);   // 8000·√2 > 11000

    // Never more than 256 bands, however wide the range.
    auto wide = Designed(24, 16, 100000, 200000);
    EXPECT_EQ(wide->BandCount(), OctaveAnalyser::kMaxBands);

    // Nothing to analyse: no bands, and Process is harmless.
    auto none = Designed(3, 0, 16000, 44100);
    EXPECT_EQ(none->BandCount(), 0);
    const float s = 1.0f;
    none->Process(&s, 1);
}

TEST(OctaveDesignTest, SectionCoefficientsAndTheirSecondOrderFactors)
{
    auto a = Designed(3, 100, 10000, 44100);
    const FourthOrderBank fourth(*a);
    for (int b = 0; b < a->BandCount(); ++b) {
        for (int k = 0; k < 3; ++k) {
            const FourthOrderSection& section = fourth.Sections(b)[k];
            const auto p = a->BandBiquad(b, 2 * k);
            const auto q = a->BandBiquad(b, 2 * k + 1);
            // (1 + c1 z + c2 z²)(1 + c1' z + c2' z²) = 1 + a1 z + … + a4 z⁴
            EXPECT_NEAR(p.c1 + q.c1, section.a1, 1e-11);
            EXPECT_NEAR(p.c2 + q.c2 + p.c1 * q.c1, section.a2, 1e-11);
            EXPECT_NEAR(p.c1 * q.c2 + p.c2 * q.c1, section.a3, 1e-11);
            EXPECT_NEAR(p.c2 * q.c2, section.a4, 1e-11);
            EXPECT_NEAR(p.g * q.g / section.b0, 1.0, 1e-10);
        }
    }
}

TEST(OctaveWeightingTest, GainsAndTimeWeighting)
{
    for (const Weighting w : {Weighting::A, Weighting::B, Weighting::C})
        EXPECT_NEAR(20 * std::log10(OctaveAnalyser::WeightingGain(w, 1000.0)), 0.0, 0.001);
    EXPECT_EQ(OctaveAnalyser::WeightingGain(Weighting::Linear, 50.0), 1.0);
    EXPECT_NEAR(20 * std::log10(OctaveAnalyser::WeightingGain(Weighting::A, 125.0)), -16.1, 0.1);
    EXPECT_NEAR(20 * std::log10(OctaveAnalyser::WeightingGain(Weighting::C, 31.5)), -3.0, 0.1);
    EXPECT_EQ(OctaveAnalyser::WeightingUnit(Weighting::B), "dBB");
    EXPECT_EQ(OctaveAnalyser::WeightingText(Weighting::A), "A Weight");

    auto a = Designed(1, 125, 8000, 44100);
    a->SetTimeWeighting(0.125);
    EXPECT_DOUBLE_EQ(a->Alpha(), 1 - std::exp(-1 / 5512.5));
    a->SetTimeWeighting(1.0);
    EXPECT_DOUBLE_EQ(a->Alpha(), 1 - std::exp(-1 / 44100.0));
    // A new design at another rate keeps τ, not a stale α.
    a->Design(1, Weighting::Linear, 125, 8000, 1.0 / 48000);
    EXPECT_DOUBLE_EQ(a->Alpha(), 1 - std::exp(-1 / 48000.0));
}

TEST(OctaveProcessTest, OnePascalAtOneKilohertz)
{
    const double rate = 44100;
    auto a = Designed(3, 125, 16000, rate);
    a->SetTimeWeighting(0.125);
    const auto x = Tone(2 * 44100, 1000, rate, std::sqrt(2.0));
    for (int t = 0; t < 200; ++t)
        a->Process(x.data() + t * 441, 441);
    int kHz = -1;
    for (int b = 0; b < a->BandCount(); ++b)
        if (a->Centre(b) == 1000.0)
            kHz = b;
    ASSERT_GE(kHz, 0);
    EXPECT_NEAR(a->BandLevels()[kHz], 93.98, 0.02);
    // Neighbouring bands are far down; the totals are dominated by 1 kHz.
    EXPECT_LT(a->BandLevels()[kHz + 2], 93.98 - 40);
    EXPECT_NEAR(a->UnweightedTotal(), 93.98, 0.05);
    EXPECT_NEAR(a->WeightedTotal(), a->UnweightedTotal(), 1e-9);

    // Weighting changes take effect at once and keep the filter states.
    int band125 = 0;
    a->SetWeighting(Weighting::A);
    const float silence[1] = {0.0f};
    const double before = a->MeanSquare(band125);
    a->Process(silence, 1);
    EXPECT_NEAR(a->MeanSquare(band125) / before, 1 - a->Alpha(), 1e-3);
    const double gainDb = 20 * std::log10(OctaveAnalyser::WeightingGain(Weighting::A, 125.0));
    EXPECT_NEAR(a->BandLevels()[band125] - 10 * std::log10(a->MeanSquare(band125) * 49999.99999999999 * 49999.99999999999),
                gainDb, 1e-6);
    EXPECT_NEAR(a->WeightedTotal(), a->BandLevels()[kHz], 0.05);
}

TEST(OctaveProcessTest, SilenceReadsFiniteLevels)
{
    auto a = Designed(3, 125, 16000, 44100);
    std::vector<float> zeros(441, 0.0f);
    a->Process(zeros.data(), 441);
    for (const double level : a->BandLevels()) {
        EXPECT_TRUE(std::isfinite(level));
        EXPECT_LT(level, -250);
    }
    EXPECT_TRUE(std::isfinite(a->WeightedTotal()));
}

// The response at the centre (0 dB) and at both edges (−3.01 dB) measured
// through Process, at the lowest bands and at every rate the inputs
// deliver, 44.1 kHz to 200 kHz.
TEST(OctaveProcessTest, BandResponseAtCentreAndEdges)
{
    struct Case {
        int bandsPerOctave;
        double low, high, rate;
        double settleSeconds;
    };
    const Case cases[] = {
        // Settling: the slowest pole of a band of width B decays as
        // e^(−π·B·sin 15°·t); the times leave transients below 1e-5.
        {1, 1000, 1100, 44100, 0.5},    // the 1 kHz octave
        {3, 16, 17, 44100, 12.0},       // 15.6 Hz third octave, 3.6 Hz wide
        {3, 16, 17, 200000, 12.0},
        {1, 16, 17, 200000, 4.0},
        {24, 32, 33, 200000, 100.0},    // 1/24: 15.6 Hz, 0.45 Hz wide
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "1/" << c.bandsPerOctave << " at " << c.rate << " Hz");
        auto probe = Designed(c.bandsPerOctave, c.low, c.high, c.rate);
        ASSERT_GE(probe->BandCount(), 1);
        const auto band = probe->BandRecord(0);
        const double centre = MeasuredGainDb(*Designed(c.bandsPerOctave, c.low, c.high, c.rate), 0, band.centre,
                                             c.rate, c.settleSeconds);
        const double lower = MeasuredGainDb(*Designed(c.bandsPerOctave, c.low, c.high, c.rate), 0, band.lower,
                                            c.rate, c.settleSeconds);
        const double upper = MeasuredGainDb(*Designed(c.bandsPerOctave, c.low, c.high, c.rate), 0, band.upper,
                                            c.rate, c.settleSeconds);
        EXPECT_NEAR(centre, 0.0, 0.002) << band.centre;
        EXPECT_NEAR(lower, -3.0103, 0.003) << band.lower;
        EXPECT_NEAR(upper, -3.0103, 0.003) << band.upper;
    }
}

namespace {

// The second-order sections one band and one sample at a time.
std::vector<double> SecondOrderMeanSquares(const OctaveAnalyser& a, const std::vector<float>& x, double alpha)
{
    std::vector<double> ms(a.BandCount(), 0.0);
    for (int b = 0; b < a.BandCount(); ++b) {
        double h1[7] = {}, h2[7] = {};
        for (const float sample : x) {
            double in = sample;
            for (int s = 0; s < 6; ++s) {
                const auto q = a.BandBiquad(b, s);
                const double y = (q.g * (in - h2[s]) - q.c2 * h2[s + 1]) - q.c1 * h1[s + 1];
                h2[s] = h1[s];
                h1[s] = in;
                in = y;
            }
            h2[6] = h1[6];
            h1[6] = in;
            ms[b] = (1 - alpha) * ms[b] + alpha * in * in;
        }
    }
    return ms;
}

} // namespace

TEST(OctaveProcessTest, AgreesWithStraightforwardRecurrences)
{
    std::mt19937 gen(4);
    std::normal_distribution<float> dist(0.0f, 1.0f);
    std::vector<float> x(22050);
    for (float& v : x)
        v = dist(gen);
    using Kernel = OctaveAnalyser::Kernel;
    for (const Kernel kernel : {Kernel::Portable, Kernel::Avx2, Kernel::Avx512}) {
        auto a = Designed(3, 16, 20000, 44100);
        a->SelectKernel(kernel);
        if (a->ActiveKernel() != kernel)
            continue;   // not on this processor
        SCOPED_TRACE(static_cast<int>(kernel));
        a->SetTimeWeighting(0.125);
        for (int t = 0; t < 50; ++t)
            a->Process(x.data() + t * 441, 441);
        const auto second = SecondOrderMeanSquares(*a, x, a->Alpha());
        FourthOrderBank fourth(*a);
        fourth.Process(x.data(), static_cast<int>(x.size()), a->Alpha());
        for (int b = 0; b < a->BandCount(); ++b) {
            SCOPED_TRACE(a->Centre(b));
            // The portable kernel evaluates exactly the plain recurrence; the
            // SIMD kernels' fused multiply-adds round differently, which the
            // narrow low bands amplify (1e-11 relative at 16 Hz, 1e-14 above
            // 1 kHz).
            EXPECT_NEAR(a->MeanSquare(b) / second[b], 1.0, kernel == Kernel::Portable ? 1e-14 : 1e-10);
            // Against the fourth-order sections, the same transfer function in
            // direct form: they agree where that form is well conditioned and
            // drift apart below (1e-8 relative at 300 Hz, 1.4e-3 at 16 Hz).
            if (a->Centre(b) >= 1000) {
                EXPECT_NEAR(a->MeanSquare(b) / fourth.MeanSquare(b), 1.0, 1e-9);
            }
        }
    }
}

TEST(OctaveProcessTest, StaggeredBiquadsGiveIdenticalResults)
{
    // Staggering the biquads reorders the work across samples but not the
    // operations of any band and sample: mean squares and levels are equal
    // bit for bit to running each sample through all six in turn, for blocks
    // shorter and longer than the stagger and band counts that leave a
    // group part-filled.
    std::mt19937 gen(9);
    std::normal_distribution<float> dist(0.0f, 1.0f);
    std::vector<float> x(4000);
    for (float& v : x)
        v = dist(gen);
    const int blocks[] = {1, 2, 5, 6, 7, 441, 1, 3, 1000};
    using Kernel = OctaveAnalyser::Kernel;
    for (const Kernel kernel : {Kernel::Portable, Kernel::Avx2, Kernel::Avx512}) {
        for (const int bandsPerOctave : {1, 3, 24}) {
            auto staggered = Designed(bandsPerOctave, 20, 15000, 48000);
            staggered->SelectKernel(kernel);
            if (staggered->ActiveKernel() != kernel)
                continue;   // not on this processor
            SCOPED_TRACE(testing::Message() << "kernel " << static_cast<int>(kernel) << ", 1/" << bandsPerOctave);
            ASSERT_NE(staggered->BandCount() % OctaveAnalyser::kLanes, 0);
            staggered->SetTimeWeighting(0.035);
            auto inOrder = std::make_unique<OctaveAnalyser>(*staggered);
            inOrder->SelectStaggered(false);
            int at = 0;
            for (const int n : blocks) {
                staggered->Process(x.data() + at, n);
                inOrder->Process(x.data() + at, n);
                at += n;
                for (int b = 0; b < staggered->BandCount(); ++b) {
                    ASSERT_EQ(staggered->MeanSquare(b), inOrder->MeanSquare(b)) << "band " << b << " after " << at;
                    ASSERT_EQ(staggered->BandLevels()[b], inOrder->BandLevels()[b]);
                }
                ASSERT_GT(staggered->MeanSquare(0), 0.0);
            }
        }
    }
}

TEST(OctaveProcessTest, LongSilenceLeavesNoSubnormalState)
{
    // After 90 s of digital silence the mean squares have decayed to about
    // e^(−90·8) ≈ 1e-313, below the normal range;
    // they are flushed to zero rather than kept as slow subnormals, and the
    // caller's floating-point mode is left as it was.
    auto a = Designed(1, 16, 16000, 44100);
    a->SetTimeWeighting(0.125);
    const auto tone = Tone(44100, 1000, 44100, 1.0);
    a->Process(tone.data(), 44100);
    const std::vector<float> zeros(44100, 0.0f);
    for (int s = 0; s < 90; ++s)
        a->Process(zeros.data(), 44100);
    for (int b = 0; b < a->BandCount(); ++b) {
        const double ms = a->MeanSquare(b);
        EXPECT_TRUE(ms == 0.0 || std::fpclassify(ms) == FP_NORMAL) << a->Centre(b);
    }
    const double tiny = a->Dt() * 1e-304;
    EXPECT_EQ(std::fpclassify(tiny), FP_SUBNORMAL);
}
