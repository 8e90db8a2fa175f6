// Power spectra, segmenting and averaging, the five spectral measurements,
// correlation and spectrogram rows, against analytic answers.

#include "analysis/correlation.h"
#include "analysis/segmentaverager.h"
#include "analysis/segmentlayout.h"
#include "analysis/measurements.h"
#include "analysis/windowedfft.h"
#include "fftreference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<float> Sine(int length, double cyclesPerSample, double amplitude, double phase = 0.0)
{
    std::vector<float> x(length);
    for (int i = 0; i < length; ++i)
        x[i] = static_cast<float>(amplitude * std::sin(2 * kPi * cyclesPerSample * i + phase));
    return x;
}

std::vector<float> Noise(int length, unsigned seed)
{
    std::mt19937 gen(seed);
    std::normal_distribution<float> dist(0.0f, 1.0f);
    std::vector<float> x(length);
    for (float& v : x)
        v = dist(gen);
    return x;
}

// Bins 0 … N/2 − 1 of the DFT of x[i]·w(i), w the periodic Hann window, all
// in double.
std::vector<std::complex<double>> HannDft(const float* x, int n)
{
    std::vector<std::complex<double>> out(n / 2);
    for (int k = 0; k < n / 2; ++k) {
        std::complex<double> sum = 0;
        for (int i = 0; i < n; ++i) {
            const double w = 0.5 - 0.5 * std::cos(2 * kPi * i / n);
            const double angle = -2 * kPi * static_cast<double>((static_cast<long long>(k) * i) % n) / n;
            sum += w * x[i] * std::complex<double>(std::cos(angle), std::sin(angle));
        }
        out[k] = sum;
    }
    return out;
}

} // namespace

TEST(PowerSpectrumTest, LevelScalesOfKnownBins)
{
    // Scaled bins: 1 at bin 0 (a mean of 1 V), nothing at bin 1, sines of
    // peak 2 and 1 at bins 2 and 3: mean squares 1, 0, 2 and 0.5.
    auto convert = [](LevelScale scale, bool density = false, double p0 = 1.0) {
        std::vector<float> re = {1.0f, 0.0f, 2.0f, 1.0f}, im = {0.0f, 0.0f, 0.0f, 0.0f};
        PowerSpectrum(4, re.data(), im.data(), WindowType::Hann, density, 10.0, scale, p0);
        return re;
    };
    EXPECT_EQ(convert(LevelScale::LinearRms), (std::vector<float>{1.0f, 0.0f, 2.0f, 0.5f}));

    const auto dbv = convert(LevelScale::DbV);
    EXPECT_NEAR(dbv[0], 0.0, 1e-6);
    EXPECT_NEAR(dbv[1], -203.0103, 1e-3);   // a zero bin: 10·log10(0.5·1e-20)
    EXPECT_NEAR(dbv[2], 10 * std::log10(2.0), 1e-5);

    const auto dbmax = convert(LevelScale::LogMaximum);
    EXPECT_FLOAT_EQ(dbmax[2], 0.0f);
    EXPECT_NEAR(dbmax[0], 10 * std::log10(0.5), 1e-5);
    EXPECT_NEAR(dbmax[3], 10 * std::log10(0.25), 1e-5);

    const auto ref = convert(LevelScale::LogReference, false, 2.0);
    EXPECT_NEAR(ref[2], 10 * std::log10(2.0 / 4.0), 1e-5);

    // Density with Hann at Δf = 10 Hz divides by 10·1.5 = 15.
    const auto dens = convert(LevelScale::LinearRms, true);
    EXPECT_FLOAT_EQ(dens[2], static_cast<float>(2.0 / 15));
    EXPECT_FLOAT_EQ(dens[0], static_cast<float>(1.0 / 15));

    // An all-zero spectrum reads 0 dBmax, not an infinity.
    std::vector<float> zero(4, 0.0f), zeroIm(4, 0.0f);
    PowerSpectrum(4, zero.data(), zeroIm.data(), WindowType::Hann, false, 1.0, LevelScale::LogMaximum, 1.0);
    for (float v : zero)
        EXPECT_FLOAT_EQ(v, 0.0f);

    EXPECT_EQ(LevelUnitText(LevelScale::LinearRms, "V", true), "Vrms\u00B2/Hz");
    EXPECT_EQ(LevelUnitText(LevelScale::LinearRms, "Pa", false), "Parms\u00B2");
    EXPECT_EQ(LevelUnitText(LevelScale::DbU, "V", false), "dBu");
    // A density in decibels is per hertz too; a level relative to the
    // largest bin is not.
    EXPECT_EQ(LevelUnitText(LevelScale::DbV, "V", true), "dBV/Hz");
    EXPECT_EQ(LevelUnitText(LevelScale::DbU, "V", true), "dBu/Hz");
    EXPECT_EQ(LevelUnitText(LevelScale::LogReference, "Pa", true), "dB/Hz");
    EXPECT_EQ(LevelUnitText(LevelScale::LogMaximum, "V", true), "dBmax");
    EXPECT_EQ(LevelScaleText(LevelScale::LogMaximum), "10 log p/pmax");
    EXPECT_EQ(LevelScaleText(LevelScale::DbU), "dbuV");
}

TEST(PsdTest, VoltLevelsOfSinesAndConstantsInEveryWindow)
{
    const int n = 1024;
    const double dt = 1.0 / 1024;
    const SegmentLayout layout = MakeSegmentLayout(2 * n, 0, n, n / 2, 0, dt);
    AnalysisWorkspace work;
    std::vector<float> out(n / 2), second(n / 2);
    auto psd = [&](const std::vector<float>& x, WindowType window, LevelScale scale) {
        PsdSettings s;
        s.window = window;
        s.scale = scale;
        EXPECT_TRUE(PowerSpectralDensity(work, x.data(), layout, s, "V", out).computed);
        return out;
    };
    // Within the rounding of the tabulated amplitude factors (0.1 %).
    const double tolerance = 0.015;
    const std::vector<float> dbuSine = Sine(2 * n, 64.0 / n, 0.7746 * std::sqrt(2.0), 0.3);
    const std::vector<float> voltSine = Sine(2 * n, 64.0 / n, std::sqrt(2.0), 0.3);
    const std::vector<float> oneVolt(2 * n, 1.0f);
    for (int t = 0; t < kWindowTypeCount; ++t) {
        const auto window = static_cast<WindowType>(t);
        SCOPED_TRACE(WindowTypeText(window));
        EXPECT_NEAR(psd(dbuSine, window, LevelScale::DbU)[64], 0.0, tolerance);
        EXPECT_NEAR(psd(voltSine, window, LevelScale::DbV)[64], 0.0, tolerance);
        EXPECT_NEAR(psd(voltSine, window, LevelScale::LinearRms)[64], 1.0, tolerance / 4);

        // A constant 1 V: 1 V² and 0 dBV at bin 0, 1 V in the amplitude
        // spectrum, peak or rms.
        EXPECT_NEAR(psd(oneVolt, window, LevelScale::LinearRms)[0], 1.0, 3e-3);
        EXPECT_NEAR(psd(oneVolt, window, LevelScale::DbV)[0], 0.0, tolerance);
        for (const AmplitudeKind kind : {AmplitudeKind::Peak, AmplitudeKind::Rms}) {
            for (const FftDisplay display : {FftDisplay::Magnitude, FftDisplay::MagnitudePhase}) {
                AmplitudeSettings a;
                a.window = window;
                a.amplitude = kind;
                a.display = display;
                ASSERT_TRUE(AmplitudeSpectrum(work, oneVolt.data(), layout, a, "V", {out, second}).computed);
                EXPECT_NEAR(out[0], 1.0, 1.5e-3);
            }
        }
        std::vector<float> phase(n / 2);
        CrossSpectrum(work, oneVolt.data(), oneVolt.data(), layout, window, false, "V", out, phase);
        EXPECT_NEAR(out[0], 1.0, 3e-3);
    }
}

TEST(PsdTest, WhiteNoiseDensityInEveryWindow)
{
    // White noise of variance σ² has the one-sided density 2σ²·dt; the mean
    // over bins 1 … N/2 − 1 and 511 segments is within 0.5 % of it.
    const int n = 256;
    const double dt = 1e-3;
    const double sigma = 0.5;
    std::vector<float> noise = Noise(256 * n, 7);
    for (float& v : noise)
        v *= static_cast<float>(sigma);
    const SegmentLayout layout = MakeSegmentLayout(256 * n, 0, n, n / 2, 0, dt);
    AnalysisWorkspace work;
    std::vector<float> out(n / 2);
    for (int t = 0; t < kWindowTypeCount; ++t) {
        PsdSettings s;
        s.window = static_cast<WindowType>(t);
        s.density = true;
        ASSERT_TRUE(PowerSpectralDensity(work, noise.data(), layout, s, "V", out).computed);
        double mean = 0;
        for (int k = 1; k < n / 2; ++k)
            mean += out[k] / (n / 2 - 1);
        EXPECT_NEAR(mean / (2 * sigma * sigma * dt), 1.0, 0.02) << WindowTypeText(s.window);
    }
}

TEST(PsdTest, LinearAverageInDecibelsIsTheLevelOfTheMeanPower)
{
    // Averaging levels would read white noise about 2.5 dB low; the level of
    // the mean power agrees with the linear scale bin for bin.
    const int n = 256;
    const double dt = 1e-3;
    const std::vector<float> noise = Noise(64 * n, 9);
    const SegmentLayout layout = MakeSegmentLayout(64 * n, 0, n, n / 2, 0, dt);
    AnalysisWorkspace work;
    std::vector<float> linear(n / 2), level(n / 2);
    PsdSettings s;
    s.density = true;
    PowerSpectralDensity(work, noise.data(), layout, s, "V", linear);
    const float largest = *std::max_element(linear.begin(), linear.end());
    struct Case {
        LevelScale scale;
        double reference;   // mean square read as 0 dB
    } cases[] = {{LevelScale::DbV, 1.0}, {LevelScale::DbU, 0.7746 * 0.7746}, {LevelScale::LogMaximum, largest}};
    for (const Case& c : cases) {
        s.scale = c.scale;
        ASSERT_TRUE(PowerSpectralDensity(work, noise.data(), layout, s, "V", level).computed);
        for (int k = 0; k < n / 2; ++k)
            ASSERT_NEAR(level[k], 10 * std::log10(linear[k] / c.reference), 1e-4) << k;
    }
    // The mean level of the noise floor is that of 2σ²·dt (σ = 1).
    s.scale = LevelScale::DbV;
    const SegmentLayout many = MakeSegmentLayout(256 * n, 0, n, n / 2, 0, dt);
    const std::vector<float> longNoise = Noise(256 * n, 10);
    PowerSpectralDensity(work, longNoise.data(), many, s, "V", level);
    double meanLevel = 0;
    for (int k = 1; k < n / 2; ++k)
        meanLevel += level[k] / (n / 2 - 1);
    EXPECT_NEAR(meanLevel, 10 * std::log10(2 * dt), 0.1);
}

namespace {

// Two channels stored as a recording file stores them, in blocks of
// blockFrames values of each channel in turn; the values past the record's
// end in its last block are NaN, which no segment may read.
struct BlockedRecord {
    std::vector<float> storage;
    ChannelBlocks second;
};

BlockedRecord InBlocks(const std::vector<float>& channel, int blockFrames)
{
    const int length = static_cast<int>(channel.size());
    const int blocks = (length + blockFrames - 1) / blockFrames;
    BlockedRecord r;
    r.storage.assign(static_cast<size_t>(blocks) * 2 * blockFrames, std::nanf(""));
    for (int i = 0; i < length; ++i) {
        const size_t block = size_t(i / blockFrames) * 2 * blockFrames;
        r.storage[block + size_t(i % blockFrames)] = -channel[i];
        r.storage[block + size_t(blockFrames + i % blockFrames)] = channel[i];
    }
    r.second = ChannelBlocks{r.storage.data() + blockFrames, 2 * std::ptrdiff_t(blockFrames), blockFrames, length};
    return r;
}

} // namespace

TEST(PsdTest, ChannelInBlocksGivesTheValuesOfTheChannelCopiedTogether)
{
    const std::vector<float> x = Noise(5000, 11);
    AnalysisWorkspace work;
    // Blocks a multiple of the hop, segments across block ends, and blocks
    // shorter than a segment.
    for (const int blockFrames : {1024, 300, 100}) {
        const BlockedRecord blocked = InBlocks(x, blockFrames);
        const SegmentLayout layout = MakeSegmentLayout(static_cast<int>(x.size()), 7, 256, 128, 0, 1e-3);
        for (const auto average : {AverageMode::Linear, AverageMode::PeakHold, AverageMode::Cascade}) {
            const PsdSettings settings{WindowType::Hann, average, LevelScale::LogReference, true};
            std::vector<float> together(size_t(layout.count) * layout.Bins());
            std::vector<float> inBlocks(together.size());
            ASSERT_TRUE(PowerSpectralDensity(work, x.data(), layout, settings, "V", together).computed);
            ASSERT_TRUE(PowerSpectralDensity(work, blocked.second, layout, settings, "V", inBlocks).computed);
            EXPECT_EQ(inBlocks, together) << blockFrames << " frames per block, mode " << int(average);
        }
    }
    // A layout longer than the blocks hold is not analysed.
    const BlockedRecord blocked = InBlocks(x, 300);
    const SegmentLayout tooLong = MakeSegmentLayout(static_cast<int>(x.size()) + 1, 0, 256, 128, 0, 1e-3);
    std::vector<float> out(128, 7.0f);
    EXPECT_FALSE(PowerSpectralDensity(work, blocked.second, tooLong, PsdSettings{}, "V", out).computed);
    EXPECT_EQ(out[0], 7.0f);
}

TEST(SegmentTest, CountsAndTooShortRecords)
{
    // "Auto" with L − S − N = 10·H gives 11 segments.
    EXPECT_EQ(SegmentCount(10 * 512 + 1024 + 100, 100, 1024, 512, 0), 11);
    EXPECT_EQ(SegmentCount(44100, 0, 1024, 512, 0), 85);
    EXPECT_EQ(SegmentCount(100000000, 0, 2, 1, 0), kMaxSegments);
    EXPECT_EQ(SegmentCount(500, 0, 1024, 512, 0), 1);
    EXPECT_EQ(SegmentCount(500, 0, 1024, 512, 4), 4);

    // A = 4 but L − S < 3·H + N: skipped.
    EXPECT_FALSE(RecordHoldsSegments(MakeSegmentLayout(3 * 512 + 1024 - 1, 0, 1024, 512, 4, 1e-3)));
    EXPECT_TRUE(RecordHoldsSegments(MakeSegmentLayout(3 * 512 + 1024, 0, 1024, 512, 4, 1e-3)));
    EXPECT_FALSE(RecordHoldsSegments(MakeSegmentLayout(500, 0, 1024, 512, 0, 1e-3)));
    EXPECT_EQ(AverageModeText(AverageMode::Spectrogram), "Spctgrm");
}

TEST(SegmentTest, AveragerModes)
{
    const float a[2] = {1.0f, -4.0f}, b[2] = {3.0f, -2.0f};
    std::vector<float> out(4, 99.0f);
    SegmentAverager avg;
    ASSERT_TRUE(avg.Begin(AverageMode::Linear, out, 2, 2, 0.0f));
    avg.Add(0, a);
    avg.Add(1, b);
    avg.Finish();
    EXPECT_FLOAT_EQ(out[0], 2.0f);
    EXPECT_FLOAT_EQ(out[1], -3.0f);

    ASSERT_TRUE(avg.Begin(AverageMode::PeakHold, out, 2, 2, SegmentAverager::kLevelPeakStart));
    avg.Add(0, a);
    avg.Add(1, b);
    avg.Finish();
    EXPECT_FLOAT_EQ(out[0], 3.0f);
    EXPECT_FLOAT_EQ(out[1], -2.0f);

    ASSERT_TRUE(avg.Begin(AverageMode::Cascade, out, 2, 2, 0.0f));
    avg.Add(1, b);
    avg.Add(0, a);
    avg.Finish();
    EXPECT_EQ(out, (std::vector<float>{1.0f, -4.0f, 3.0f, -2.0f}));

    std::vector<float> small(3);
    EXPECT_FALSE(avg.Begin(AverageMode::Spectrogram, small, 2, 2, 0.0f));
}

TEST(AmplitudeSpectrumTest, PeakRmsAndDisplays)
{
    const int n = 1024;
    const SegmentLayout layout = MakeSegmentLayout(4 * n, 0, n, n / 2, 0, 1.0 / 1024.0);
    const std::vector<float> x = Sine(4 * n, 64.0 / n, 1.0, 0.4);
    AnalysisWorkspace work;
    std::vector<float> first(n / 2), second(n / 2);

    AmplitudeSettings peak;
    auto r = AmplitudeSpectrum(work, x.data(), layout, peak, "V", {first, second});
    ASSERT_TRUE(r.computed);
    EXPECT_NEAR(first[64], 1.0, 1e-4);
    EXPECT_EQ(r.firstUnit, "V");

    AmplitudeSettings rms = peak;
    rms.amplitude = AmplitudeKind::Rms;
    r = AmplitudeSpectrum(work, x.data(), layout, rms, "V", {first, second});
    EXPECT_NEAR(first[64], 0.70711, 1e-4);
    EXPECT_EQ(r.firstUnit, "Vrms");

    AmplitudeSettings polar = peak;
    polar.display = FftDisplay::MagnitudePhase;
    r = AmplitudeSpectrum(work, x.data(), layout, polar, "V", {first, second});
    EXPECT_NEAR(first[64], 1.0, 1e-4);
    // sin(ωt + 0.4) = cos(ωt + 0.4 − 90°).
    EXPECT_NEAR(second[64], 0.4 * 180 / kPi - 90.0, 0.05);
    EXPECT_EQ(r.secondUnit, "\u00B0");

    AmplitudeSettings cartesian = peak;
    cartesian.display = FftDisplay::RealImaginary;
    r = AmplitudeSpectrum(work, x.data(), layout, cartesian, "V", {first, second});
    EXPECT_NEAR(first[64], std::sin(0.4), 1e-4);
    EXPECT_NEAR(second[64], -std::cos(0.4), 1e-4);
    EXPECT_EQ(r.firstUnit, "V (RE)");
    EXPECT_EQ(r.secondUnit, "V (IM)");

    // Peak hold starts from 0 for magnitudes; cascade keeps a row per segment.
    AmplitudeSettings rows = peak;
    rows.average = AverageMode::Cascade;
    std::vector<float> matrix(layout.count * n / 2);
    ASSERT_TRUE(AmplitudeSpectrum(work, x.data(), layout, rows, "V", {matrix, {}}).computed);
    for (int j = 0; j < layout.count; ++j)
        EXPECT_NEAR(matrix[j * n / 2 + 64], 1.0, 1e-4);
    std::vector<float> tooSmall(n / 2);
    EXPECT_FALSE(AmplitudeSpectrum(work, x.data(), layout, rows, "V", {tooSmall, {}}).computed);
}

TEST(AmplitudeSpectrumTest, IntegrationOfAcceleration)
{
    const int n = 512;
    const double dt = 1.0 / 512.0;   // Δf = 1 Hz
    const SegmentLayout layout = MakeSegmentLayout(n, 0, n, n, 1, dt);
    const std::vector<float> x = Sine(n, 20.0 / n, 2.0);
    AnalysisWorkspace work;
    std::vector<float> out(n / 2);
    AmplitudeSettings s;
    s.window = WindowType::Rectangle;
    s.integration = Integration::Single;
    auto r = AmplitudeSpectrum(work, x.data(), layout, s, "g", {out, {}});
    const double omega = 6.28318530717958 * 20;
    EXPECT_NEAR(out[20], 2.0 * 9.81 / omega, 1e-5);
    EXPECT_EQ(out[0], 0.0f);   // ω = 0
    EXPECT_EQ(r.firstUnit, "m/s");

    s.integration = Integration::Double;
    r = AmplitudeSpectrum(work, x.data(), layout, s, "m/s\u00B2", {out, {}});
    EXPECT_NEAR(out[20], 2.0 / (omega * omega), 1e-7);
    EXPECT_EQ(r.firstUnit, "m");
    EXPECT_EQ(IntegratedUnit("m/s*s", Integration::Single), "m/s");
    EXPECT_EQ(IntegratedUnit("V", Integration::Double), "V");
}

TEST(PsdTest, DensityLevelsAndAveraging)
{
    const int n = 256;
    const double dt = 1.0 / 2560.0;   // Δf = 10 Hz
    const std::vector<float> x = Sine(8 * n, 32.0 / n, 1.0);
    const SegmentLayout layout = MakeSegmentLayout(8 * n, 0, n, n, 0, dt);
    AnalysisWorkspace work;
    std::vector<float> out(n / 2);
    PsdSettings s;
    auto r = PowerSpectralDensity(work, x.data(), layout, s, "V", out);
    ASSERT_TRUE(r.computed);
    EXPECT_FALSE(r.levelsInDb);
    EXPECT_NEAR(out[32], 0.5, 1e-4);   // mean square of a unit sine
    EXPECT_EQ(r.firstUnit, "Vrms\u00B2");

    s.density = true;
    r = PowerSpectralDensity(work, x.data(), layout, s, "V", out);
    EXPECT_NEAR(out[32], 0.5 / 15, 1e-5);
    EXPECT_EQ(r.firstUnit, "Vrms\u00B2/Hz");

    // White noise of variance 1: the one-sided density integrates over
    // 0 … fs/2 to the variance.
    const std::vector<float> noise = Noise(256 * n, 3);
    const SegmentLayout many = MakeSegmentLayout(256 * n, 0, n, n / 2, 0, dt);
    s.density = true;
    PowerSpectralDensity(work, noise.data(), many, s, "V", out);
    double total = 0;
    for (int k = 1; k < n / 2; ++k)
        total += out[k] * layout.BinSpacing();
    EXPECT_NEAR(total, 1.0, 0.03);

    s.density = false;
    s.scale = LevelScale::DbV;
    s.average = AverageMode::PeakHold;
    r = PowerSpectralDensity(work, x.data(), layout, s, "V", out);
    EXPECT_TRUE(r.levelsInDb);
    EXPECT_NEAR(out[32], 10 * std::log10(0.5), 1e-3);
    EXPECT_EQ(r.firstUnit, "dBV");
}

TEST(FrfTest, IdenticalChannelsGiveUnity)
{
    const int n = 512;
    const std::vector<float> x = Noise(4 * n, 11);
    const SegmentLayout layout = MakeSegmentLayout(4 * n, 0, n, n / 2, 0, 1e-3);
    AnalysisWorkspace work;
    std::vector<float> first(n / 2), second(n / 2);
    for (const FrfEstimator est : {FrfEstimator::H0, FrfEstimator::H1, FrfEstimator::H2}) {
        FrfSettings s;
        s.estimator = est;
        s.level = FrfLevel::LinearRms;
        auto r = FrequencyResponse(work, x.data(), x.data(), layout, s, "V", first, second);
        ASSERT_TRUE(r.computed);
        EXPECT_EQ(r.firstUnit, "");
        EXPECT_EQ(r.secondUnit, "\u00B0");
        for (int k = 1; k < n / 2; ++k) {
            EXPECT_NEAR(first[k], 1.0, 1e-5) << k;
            EXPECT_NEAR(second[k], 0.0, 1e-3) << k;
        }
        s.level = FrfLevel::TenLog;
        r = FrequencyResponse(work, x.data(), x.data(), layout, s, "V", first, second);
        EXPECT_TRUE(r.levelsInDb);
        EXPECT_EQ(r.firstUnit, "dB");
        for (int k = 1; k < n / 2; ++k)
            EXPECT_NEAR(first[k], 0.0, 1e-4);
    }
}

TEST(FrfTest, GainOfTwoReadsSixDecibels)
{
    const int n = 512;
    const std::vector<float> x = Noise(4 * n, 12);
    std::vector<float> y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        y[i] = 2.0f * x[i];
    const SegmentLayout layout = MakeSegmentLayout(4 * n, 0, n, n / 2, 0, 1e-3);
    AnalysisWorkspace work;
    std::vector<float> first(n / 2), second(n / 2);
    for (const FrfEstimator est : {FrfEstimator::H0, FrfEstimator::H1, FrfEstimator::H2}) {
        FrfSettings s;
        s.estimator = est;
        s.level = FrfLevel::TenLog;
        ASSERT_TRUE(FrequencyResponse(work, x.data(), y.data(), layout, s, "V", first, second).computed);
        for (int k = 1; k < n / 2; ++k)
            ASSERT_NEAR(first[k], 20 * std::log10(2.0), 1e-4) << k;
    }
}

TEST(FrfTest, EstimatorsWithNoiseInTheOutput)
{
    // y = x filtered by h = 2 + 0.5·z⁻¹ plus independent noise of the same
    // power as x. H1 = Gxy/Gxx and H2 = Gyy/Gyx equal the same ratios of
    // Welch-averaged spectra computed here in double; H0 the mean of the
    // segments' Y/X.
    const int n = 256;
    const int segments = 200;
    const int length = (segments - 1) * n / 2 + n;
    const std::vector<float> x = Noise(length, 31);
    const std::vector<float> noise = Noise(length, 32);
    std::vector<float> y(length);
    for (int i = 0; i < length; ++i)
        y[i] = 2.0f * x[i] + (i > 0 ? 0.5f * x[i - 1] : 0.0f) + noise[i];
    const SegmentLayout layout = MakeSegmentLayout(length, 0, n, n / 2, 0, 1e-3);
    ASSERT_EQ(layout.count, segments);

    using C = std::complex<double>;
    std::vector<C> gxy(n / 2), ratioSum(n / 2);
    std::vector<double> gxx(n / 2), gyy(n / 2);
    for (int j = 0; j < segments; ++j) {
        const auto X = HannDft(x.data() + j * n / 2, n);
        const auto Y = HannDft(y.data() + j * n / 2, n);
        for (int k = 0; k < n / 2; ++k) {
            gxy[k] += std::conj(X[k]) * Y[k];
            gxx[k] += std::norm(X[k]);
            gyy[k] += std::norm(Y[k]);
            ratioSum[k] += Y[k] / X[k];
        }
    }

    AnalysisWorkspace work;
    std::vector<float> re(n / 2), im(n / 2), magnitude(n / 2), phase(n / 2);
    auto estimate = [&](FrfEstimator estimator) {
        FrfSettings s;
        s.estimator = estimator;
        s.display = FrfDisplay::RealImaginary;
        EXPECT_TRUE(FrequencyResponse(work, x.data(), y.data(), layout, s, "V", re, im).computed);
        s.display = FrfDisplay::MagnitudePhase;
        s.level = FrfLevel::LinearRms;
        EXPECT_TRUE(FrequencyResponse(work, x.data(), y.data(), layout, s, "V", magnitude, phase).computed);
    };
    double meanH1 = 0, meanH2 = 0;
    for (const FrfEstimator estimator : {FrfEstimator::H1, FrfEstimator::H2}) {
        estimate(estimator);
        for (int k = 0; k < n / 2; ++k) {
            const C expected = estimator == FrfEstimator::H1 ? gxy[k] / gxx[k] : gyy[k] / std::conj(gxy[k]);
            ASSERT_NEAR(re[k], expected.real(), 1e-4) << k;
            ASSERT_NEAR(im[k], expected.imag(), 1e-4) << k;
            ASSERT_NEAR(magnitude[k], std::abs(expected), 1e-4) << k;
            ASSERT_NEAR(phase[k], std::arg(expected) * 180 / kPi, 1e-4 * 180 / kPi) << k;
            // Against the filter's own response.
            const C h = 2.0 + 0.5 * std::polar(1.0, -2 * kPi * k / n);
            (estimator == FrfEstimator::H1 ? meanH1 : meanH2) += std::abs(C(re[k], im[k]) / h) / (n / 2);
        }
    }
    // H1 is unbiased; H2 reads high by the ratio of output to coherent
    // output power, 1 + 1/|h|² (between 1.16 and 1.44 here).
    EXPECT_NEAR(meanH1, 1.0, 0.02);
    EXPECT_GT(meanH2, 1.15);

    estimate(FrfEstimator::H0);
    for (int k = 0; k < n / 2; ++k) {
        const C expected = ratioSum[k] / double(segments);
        ASSERT_NEAR(re[k], expected.real(), 1e-4 * std::max(1.0, std::abs(expected))) << k;
        ASSERT_NEAR(im[k], expected.imag(), 1e-4 * std::max(1.0, std::abs(expected))) << k;
    }
}

TEST(FrfTest, GainDelayAndGuards)
{
    // y = 0.5·x delayed by 3 samples: |H| = 0.5, phase −360°·3k/N (wrapped),
    // RE+IM accordingly.
    const int n = 256;
    const std::vector<float> x = Sine(n, 8.0 / n, 1.0);
    std::vector<float> y(n);
    for (int i = 0; i < n; ++i)
        y[i] = 0.5f * x[(i - 3 + n) % n];
    const SegmentLayout layout = MakeSegmentLayout(n, 0, n, n, 1, 1e-3);
    AnalysisWorkspace work;
    std::vector<float> first(n / 2), second(n / 2);
    FrfSettings s;
    s.window = WindowType::Rectangle;
    s.level = FrfLevel::LinearRms;
    FrequencyResponse(work, x.data(), y.data(), layout, s, "V", first, second);
    EXPECT_NEAR(first[8], 0.5, 1e-4);
    EXPECT_NEAR(second[8], -360.0 * 3 * 8 / n, 1e-2);

    s.display = FrfDisplay::RealImaginary;
    s.estimator = FrfEstimator::H1;
    auto r = FrequencyResponse(work, x.data(), y.data(), layout, s, "V", first, second);
    EXPECT_NEAR(first[8], 0.5 * std::cos(2 * kPi * 3 * 8 / n), 1e-4);
    EXPECT_NEAR(second[8], -0.5 * std::sin(2 * kPi * 3 * 8 / n), 1e-4);
    EXPECT_EQ(r.firstUnit, "V (RE)");

    // Silent input: every denominator is guarded; the result stays finite.
    const std::vector<float> silent(n, 0.0f);
    s.display = FrfDisplay::MagnitudePhase;
    s.level = FrfLevel::TenLog;
    for (const FrfEstimator est : {FrfEstimator::H0, FrfEstimator::H1, FrfEstimator::H2}) {
        s.estimator = est;
        FrequencyResponse(work, silent.data(), silent.data(), layout, s, "V", first, second);
        for (int k = 0; k < n / 2; ++k) {
            EXPECT_TRUE(std::isfinite(first[k]));
            EXPECT_TRUE(std::isfinite(second[k]));
        }
    }
}

TEST(CoherenceTest, IdenticalIndependentAndSilent)
{
    const int n = 256;
    const std::vector<float> x = Noise(64 * n, 1);
    const std::vector<float> y = Noise(64 * n, 2);
    const SegmentLayout layout = MakeSegmentLayout(64 * n, 0, n, n, 0, 1e-3);
    AnalysisWorkspace work;
    std::vector<float> out(n / 2);
    ASSERT_TRUE(Coherence(work, x.data(), x.data(), layout, WindowType::Hann, out).computed);
    for (int k = 0; k < n / 2; ++k)
        EXPECT_NEAR(out[k], 1.0, 1e-5);

    Coherence(work, x.data(), y.data(), layout, WindowType::Hann, out);
    double mean = 0;
    for (int k = 1; k < n / 2; ++k)
        mean += out[k] / (n / 2 - 1);
    EXPECT_LT(mean, 0.05);   // ≈ 1/segments for independent noise

    // One segment: 1 wherever the spectra are non-zero.
    const SegmentLayout one = MakeSegmentLayout(64 * n, 0, n, n, 1, 1e-3);
    Coherence(work, x.data(), y.data(), one, WindowType::Hann, out);
    for (int k = 1; k < n / 2; ++k)
        EXPECT_NEAR(out[k], 1.0, 1e-4);

    // Σ|X|²·Σ|Y|² = 0 reads 0.
    const std::vector<float> silent(64 * n, 0.0f);
    Coherence(work, silent.data(), x.data(), layout, WindowType::Hann, out);
    for (float v : out)
        EXPECT_EQ(v, 0.0f);
}

TEST(CrossSpectrumTest, OfItselfIsItsPowerSpectrum)
{
    const int n = 512;
    const std::vector<float> x = Noise(8 * n, 21);
    const SegmentLayout layout = MakeSegmentLayout(8 * n, 0, n, n / 2, 0, 1.0 / 1000);
    AnalysisWorkspace work;
    std::vector<float> magnitude(n / 2), phase(n / 2), psd(n / 2);
    for (const bool density : {false, true}) {
        auto r = CrossSpectrum(work, x.data(), x.data(), layout, WindowType::Hann, density, "V", magnitude, phase);
        ASSERT_TRUE(r.computed);
        EXPECT_EQ(r.firstUnit, density ? "Vrms\u00B2/Hz" : "Vrms\u00B2");
        PsdSettings s;
        s.density = density;
        PowerSpectralDensity(work, x.data(), layout, s, "V", psd);
        for (int k = 0; k < n / 2; ++k) {
            EXPECT_NEAR(magnitude[k], psd[k], 1e-5 * psd[k] + 1e-12);
            EXPECT_EQ(phase[k], 0.0f);
        }
    }
}

TEST(CorrelationTest, AutoCrossConstantAndSilent)
{
    const int n = 1024;
    const double f = 10.0 / n;
    const std::vector<float> x = Sine(n, f, 3.0);
    std::vector<float> out(n + 1, 777.0f);
    ASSERT_TRUE(Correlate(x.data(), x.data(), out.data(), n, true));
    EXPECT_NEAR(out[n / 2], 1.0, 1e-5);
    for (int i = 0; i < n; i += 37)
        EXPECT_NEAR(out[i], std::cos(2 * kPi * f * (i - n / 2)), 1e-4) << i;
    EXPECT_EQ(out[n], 777.0f);

    // Unnormalised: Σ a(t)·a(t) at lag 0 = N·A²/2.
    Correlate(x.data(), x.data(), out.data(), n, false);
    EXPECT_NEAR(out[n / 2], n * 9.0 / 2, 1e-2);

    // y = x delayed by d: the maximum sits at N/2 + d.
    const std::vector<float> noise = Noise(n, 8);
    for (const int d : {0, 5, -17, 300}) {
        std::vector<float> y(n);
        for (int i = 0; i < n; ++i)
            y[i] = noise[((i - d) % n + n) % n];
        Correlate(noise.data(), y.data(), out.data(), n, true);
        const int peak = static_cast<int>(std::max_element(out.begin(), out.begin() + n) - out.begin());
        EXPECT_EQ(peak, n / 2 + d);
        EXPECT_NEAR(out[peak], 1.0, 1e-4);
    }

    // A constant correlates to 0 everywhere, normalised or not.
    const std::vector<float> constant(n, 2.5f);
    for (const bool normalise : {false, true}) {
        Correlate(constant.data(), x.data(), out.data(), n, normalise);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(out[i], 0.0f) << i;
    }
}

TEST(CorrelationTest, EveryLengthAgainstTheDirectSum)
{
    // Σ_t a(t)·b(t + τ) of the mean-free segments, summed directly in double,
    // at lag τ = i − N/2; normalised by √(Σa²·Σb²). y is x delayed by d
    // plus independent noise, so that the peak sits at N/2 + d but is below 1.
    AnalysisWorkspace work;
    for (int log2n = 1; log2n <= 16; ++log2n) {
        const int n = 1 << log2n;
        const int d = n / 3;
        const std::vector<float> x = Noise(n, 20 + log2n), e = Noise(n, 40 + log2n);
        std::vector<float> y(n);
        for (int i = 0; i < n; ++i)
            y[i] = x[((i - d) % n + n) % n] + 0.5f * e[i];
        std::vector<double> a(x.begin(), x.end()), b(y.begin(), y.end());
        for (auto* v : {&a, &b}) {
            double mean = 0;
            for (double s : *v)
                mean += s;
            for (double& s : *v)
                s -= mean / n;
        }
        double ea = 0, eb = 0;
        for (int t = 0; t < n; ++t)
            ea += a[t] * a[t], eb += b[t] * b[t];
        for (const bool normalise : {false, true}) {
            std::vector<float> out(n + 1, 777.0f);
            ASSERT_TRUE(Correlate(work, x.data(), y.data(), out.data(), n, normalise));
            EXPECT_EQ(out[n], 777.0f);
            const double h = normalise ? 1.0 / std::sqrt(ea * eb) : 1.0;
            const double tolerance = 2e-6 * log2n * std::sqrt(ea * eb) * h;
            std::vector<int> indices{n / 2 + d};
            for (int i = 0; i < n; i += std::max(1, n / 64))
                indices.push_back(i);
            for (const int i : indices) {
                const int lag = i - n / 2;
                double sum = 0;
                for (int t = 0; t < n; ++t)
                    sum += a[t] * b[((t + lag) % n + n) % n];
                ASSERT_NEAR(out[i], sum * h, tolerance) << "N = " << n << ", i = " << i;
            }
            if (n >= 16) {
                const auto peak = std::max_element(out.begin(), out.begin() + n) - out.begin();
                EXPECT_EQ(peak, n / 2 + d) << "N = " << n;
            }
        }
    }
}

TEST(SpectrogramTest, RowsPerSegment)
{
    const int n = 256;
    const double dt = 1.0 / 256;
    // A tone whose frequency steps up per segment.
    std::vector<float> x(4 * n);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < n; ++i)
            x[j * n + i] = static_cast<float>(std::sin(2 * kPi * (10 + 5 * j) * i / n));
    SegmentLayout layout = MakeSegmentLayout(4 * n, 0, n, n, 4, dt);
    AnalysisWorkspace work;
    std::vector<float> rows(4 * n / 2, 1.0f);
    ASSERT_TRUE(SpectrogramRows(work, x.data(), layout, WindowType::Hann, LevelScale::DbV, rows));
    for (int j = 0; j < 4; ++j) {
        const auto row = rows.begin() + j * n / 2;
        EXPECT_EQ(std::max_element(row, row + n / 2) - row, 10 + 5 * j);
        EXPECT_NEAR(row[10 + 5 * j], 10 * std::log10(0.5), 1e-3);
    }
    // One segment: not computed, rows untouched.
    std::vector<float> untouched(n / 2, 1.0f);
    layout.count = 1;
    EXPECT_FALSE(SpectrogramRows(work, x.data(), layout, WindowType::Hann, LevelScale::DbV, untouched));
    EXPECT_EQ(untouched, std::vector<float>(n / 2, 1.0f));
    EXPECT_EQ(SpectrogramUnit(LevelScale::LinearRms), "");
    EXPECT_EQ(SpectrogramUnit(LevelScale::DbU), "dBu");
}

TEST(MeasurementTest, TooShortRecordsLeaveOutputsUntouched)
{
    const int n = 256;
    const std::vector<float> x(2 * n, 1.0f);
    const SegmentLayout layout = MakeSegmentLayout(2 * n, 0, n, n / 2, 4, 1e-3);   // needs 2.5·N
    AnalysisWorkspace work;
    std::vector<float> a(n / 2, 7.0f), b(n / 2, 7.0f);
    EXPECT_FALSE(AmplitudeSpectrum(work, x.data(), layout, {}, "V", {a, b}).computed);
    EXPECT_FALSE(PowerSpectralDensity(work, x.data(), layout, {}, "V", a).computed);
    EXPECT_FALSE(FrequencyResponse(work, x.data(), x.data(), layout, {}, "V", a, b).computed);
    EXPECT_FALSE(Coherence(work, x.data(), x.data(), layout, WindowType::Hann, a).computed);
    EXPECT_FALSE(CrossSpectrum(work, x.data(), x.data(), layout, WindowType::Hann, false, "V", a, b).computed);
    EXPECT_EQ(a, std::vector<float>(n / 2, 7.0f));
    EXPECT_EQ(b, std::vector<float>(n / 2, 7.0f));
}

TEST(MeasurementTest, WritesNothingPastTheDocumentedLength)
{
    const int n = 128;
    const float sentinel = 4242.0f;
    const std::vector<float> x = Noise(6 * n, 5), y = Noise(6 * n, 6);
    const SegmentLayout layout = MakeSegmentLayout(6 * n, 0, n, n / 2, 0, 1e-3);
    AnalysisWorkspace work;
    auto guarded = [&](std::size_t size) {
        std::vector<float> v(size + 1, 0.0f);
        v[size] = sentinel;
        return v;
    };
    const std::size_t bins = n / 2;
    const std::size_t rows = layout.count * bins;

    for (const FftDisplay display : {FftDisplay::Magnitude, FftDisplay::MagnitudePhase, FftDisplay::RealImaginary}) {
        AmplitudeSettings s;
        s.display = display;
        auto a = guarded(bins), b = guarded(bins);
        ASSERT_TRUE(AmplitudeSpectrum(work, x.data(), layout, s, "V", {std::span(a).first(bins), std::span(b).first(bins)})
                        .computed);
        EXPECT_EQ(a[bins], sentinel);
        EXPECT_EQ(b[bins], sentinel);
    }
    AmplitudeSettings cascade;
    cascade.average = AverageMode::Cascade;
    auto m = guarded(rows);
    ASSERT_TRUE(AmplitudeSpectrum(work, x.data(), layout, cascade, "V", {std::span(m).first(rows), {}}).computed);
    EXPECT_EQ(m[rows], sentinel);

    PsdSettings psd;
    psd.average = AverageMode::Spectrogram;
    auto p = guarded(rows);
    ASSERT_TRUE(PowerSpectralDensity(work, x.data(), layout, psd, "V", std::span(p).first(rows)).computed);
    EXPECT_EQ(p[rows], sentinel);

    auto f1 = guarded(bins), f2 = guarded(bins);
    FrequencyResponse(work, x.data(), y.data(), layout, {}, "V", std::span(f1).first(bins), std::span(f2).first(bins));
    Coherence(work, x.data(), y.data(), layout, WindowType::Hann, std::span(f1).first(bins));
    CrossSpectrum(work, x.data(), y.data(), layout, WindowType::Hann, true, "V", std::span(f1).first(bins),
                  std::span(f2).first(bins));
    EXPECT_EQ(f1[bins], sentinel);
    EXPECT_EQ(f2[bins], sentinel);

    auto spg = guarded(rows);
    ASSERT_TRUE(SpectrogramRows(work, x.data(), layout, WindowType::Hann, LevelScale::LogMaximum,
                                std::span(spg).first(rows)));
    EXPECT_EQ(spg[rows], sentinel);
}

// ---- Averaging over many segments against a plain double-precision
// formulation: each segment's spectrum by the direct DFT sum in double,
// combined as the measurements document.

namespace {

// Bins 0 … N/2 − 1 of the windowed, amplitude-scaled DFT of N samples in
// double (bin 0 with half the amplitude factor, so that it reads the mean).
std::vector<std::complex<double>> ScaledDft(const float* x, int n, WindowType window)
{
    std::vector<double> cosine(n), sine(n), weighted(n);
    for (int i = 0; i < n; ++i) {
        cosine[i] = std::cos(2 * kPi * i / n);
        sine[i] = std::sin(2 * kPi * i / n);
        weighted[i] = x[i] * WindowValue(window, i, n);
    }
    const double c = AmplitudeFactor(window, n);
    std::vector<std::complex<double>> out(n / 2);
    for (int k = 0; k < n / 2; ++k) {
        std::complex<double> sum = 0;
        for (int i = 0; i < n; ++i) {
            const int m = static_cast<int>((static_cast<long long>(k) * i) % n);
            sum += weighted[i] * std::complex<double>(cosine[m], -sine[m]);
        }
        out[k] = sum * (k == 0 ? c / 2 : c);
    }
    return out;
}

struct Record {
    std::vector<float> x, y;
    SegmentLayout layout;
    std::vector<std::vector<std::complex<double>>> X, Y;   // per segment
};

// Noise x and y = x smoothed and delayed plus independent noise, with a
// silent stretch so that one segment is all zeros; segments overlap by an
// odd amount.
Record MakeRecord(int n, WindowType window, int count)
{
    Record r;
    const int hop = n / 2 + 3;
    const int length = (count - 1) * hop + n + 5;
    r.x = Noise(length, 7);
    const std::vector<float> extra = Noise(length, 8);
    r.y.resize(length);
    for (int i = 0; i < length; ++i)
        r.y[i] = 0.5f * r.x[std::max(0, i - 3)] + 0.25f * r.x[std::max(0, i - 4)] + 0.3f * extra[i];
    const int silent = (count - 1) * hop;
    std::fill(r.x.begin() + silent, r.x.begin() + silent + n, 0.0f);
    r.layout = MakeSegmentLayout(length, 0, n, hop, count, 1.0 / 1000.0);
    for (int j = 0; j < count; ++j) {
        r.X.push_back(ScaledDft(r.x.data() + j * hop, n, window));
        r.Y.push_back(ScaledDft(r.y.data() + j * hop, n, window));
    }
    return r;
}

double MeanSquareOf(std::complex<double> v, int k) { return std::norm(v) * (k == 0 ? 1.0 : 0.5); }

double LevelOf(double meanSquare, LevelScale scale, double largest)
{
    const double m = meanSquare == 0.0 ? 0.5e-20 : meanSquare;
    switch (scale) {
    case LevelScale::LinearRms:
        return meanSquare;
    case LevelScale::LogMaximum:
        return 10 * std::log10(m / (largest == 0.0 ? 0.5e-20 : largest));
    case LevelScale::DbU:
        return 10 * std::log10(m / (0.7746 * 0.7746));
    default:
        return 10 * std::log10(m);
    }
}

// Levels within 1e-3 dB; linear values within 1e-4 of the largest.
void ExpectLevels(const float* actual, const std::vector<double>& expected, LevelScale scale, const char* what)
{
    const double largest = *std::max_element(expected.begin(), expected.end());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const double tolerance = IsDecibelScale(scale) ? 1e-3 : 1e-4 * largest;
        ASSERT_NEAR(actual[k], expected[k], tolerance) << what << " bin " << k;
    }
}

} // namespace

TEST(SegmentAveragingTest, PsdEveryModeScaleAndOddWindowAgainstPlainSums)
{
    const int n = 128, count = 6, bins = n / 2;
    for (const auto window : {WindowType::Bartlett, WindowType::Flattop, WindowType::LowSidelobe}) {
        const Record r = MakeRecord(n, window, count);
        AnalysisWorkspace work;
        for (const auto scale : {LevelScale::LinearRms, LevelScale::LogMaximum, LevelScale::DbU}) {
            for (const bool density : {false, true}) {
                const double densityFactor = density ? 1.0 / (r.layout.BinSpacing() * NoiseBandwidth(window)) : 1.0;
                std::vector<std::vector<double>> squares(count, std::vector<double>(bins));
                std::vector<double> largest(count, 0.0);
                for (int j = 0; j < count; ++j)
                    for (int k = 0; k < bins; ++k) {
                        squares[j][k] = MeanSquareOf(r.X[j][k], k) * densityFactor;
                        largest[j] = std::max(largest[j], squares[j][k]);
                    }
                PsdSettings settings{window, AverageMode::Linear, scale, density};

                std::vector<float> out(count * bins);
                ASSERT_TRUE(PowerSpectralDensity(work, r.x.data(), r.layout, settings, "V", out).computed);
                std::vector<double> mean(bins, 0.0);
                for (int k = 0; k < bins; ++k)
                    for (int j = 0; j < count; ++j)
                        mean[k] += squares[j][k] / count;
                const double meanLargest = *std::max_element(mean.begin(), mean.end());
                std::vector<double> expected(bins);
                for (int k = 0; k < bins; ++k)
                    expected[k] = LevelOf(mean[k], scale, meanLargest);
                ExpectLevels(out.data(), expected, scale, "linear");

                settings.average = AverageMode::PeakHold;
                ASSERT_TRUE(PowerSpectralDensity(work, r.x.data(), r.layout, settings, "V", out).computed);
                for (int k = 0; k < bins; ++k) {
                    expected[k] = -1e37;
                    for (int j = 0; j < count; ++j)
                        expected[k] = std::max(expected[k], LevelOf(squares[j][k], scale, largest[j]));
                }
                ExpectLevels(out.data(), expected, scale, "peak");

                settings.average = AverageMode::Cascade;
                ASSERT_TRUE(PowerSpectralDensity(work, r.x.data(), r.layout, settings, "V", out).computed);
                for (int j = 0; j < count; ++j) {
                    for (int k = 0; k < bins; ++k)
                        expected[k] = LevelOf(squares[j][k], scale, largest[j]);
                    ExpectLevels(out.data() + j * bins, expected, scale, "row");
                }
                // The last segment is silent: a zero mean square is lifted.
                const float silent = out[(count - 1) * bins + 5];
                if (scale == LevelScale::DbU) {
                    EXPECT_NEAR(silent, 10 * std::log10(0.5e-20 / (0.7746 * 0.7746)), 1e-4);
                } else if (scale == LevelScale::LogMaximum) {
                    EXPECT_NEAR(silent, 0.0, 1e-6);
                }
            }
        }
    }
}

TEST(SegmentAveragingTest, AmplitudeAndSpectrogramRowsAgainstPlainSums)
{
    const int n = 64, count = 5, bins = n / 2;
    const WindowType window = WindowType::Blackman;
    const Record r = MakeRecord(n, window, count);
    AnalysisWorkspace work;
    const double df = r.layout.BinSpacing();
    const auto weight = [&](int k) { return k == 0 ? 0.0 : std::sqrt(0.5) * 9.81 / (2 * kPi * df * k); };
    for (const auto mode : {AverageMode::Linear, AverageMode::PeakHold, AverageMode::Spectrogram}) {
        AmplitudeSettings settings{window, mode, AmplitudeKind::Rms, Integration::Single, FftDisplay::Magnitude};
        std::vector<float> out(count * bins);
        ASSERT_TRUE(AmplitudeSpectrum(work, r.y.data(), r.layout, settings, "g", TraceArrays{out, {}}).computed);
        for (int k = 1; k < bins; ++k) {
            double mean = 0, peak = 0;
            for (int j = 0; j < count; ++j) {
                const double v = std::abs(r.Y[j][k]) * weight(k);
                mean += v / count;
                peak = std::max(peak, v);
                if (KeepsRows(mode)) {
                    ASSERT_NEAR(out[j * bins + k], v, 1e-5 * v + 1e-9) << j << " " << k;
                }
            }
            if (mode == AverageMode::Linear) {
                ASSERT_NEAR(out[k], mean, 1e-5 * mean) << k;
            } else if (mode == AverageMode::PeakHold) {
                ASSERT_NEAR(out[k], peak, 1e-5 * peak) << k;
            }
        }
    }

    std::vector<float> rows(count * bins);
    ASSERT_TRUE(SpectrogramRows(work, r.y.data(), r.layout, window, LevelScale::DbV, rows));
    for (int j = 0; j < count; ++j)
        for (int k = 0; k < bins; ++k)
            ASSERT_NEAR(rows[j * bins + k], 10 * std::log10(MeanSquareOf(r.Y[j][k], k)), 1e-3) << j << " " << k;
}

TEST(SegmentAveragingTest, ResponseCoherenceAndCrossSpectrumAgainstPlainSums)
{
    const int n = 128, count = 7, bins = n / 2;
    const WindowType window = WindowType::Hamming;
    // Without the silent segment: every ratio is defined.
    Record r = MakeRecord(n, window, count + 1);
    r.layout.count = count;
    AnalysisWorkspace work;
    std::vector<float> first(bins), second(bins);
    for (const auto estimator : {FrfEstimator::H0, FrfEstimator::H1, FrfEstimator::H2}) {
        for (const auto display : {FrfDisplay::MagnitudePhase, FrfDisplay::RealImaginary}) {
            FrfSettings settings{window, display, estimator, FrfLevel::LinearRms};
            ASSERT_TRUE(FrequencyResponse(work, r.x.data(), r.y.data(), r.layout, settings, "V", first, second).computed);
            for (int k = 0; k < bins; ++k) {
                std::complex<double> h, gxy = 0;
                double a = 0, b = 0, gxx = 0, gyy = 0;
                for (int j = 0; j < count; ++j) {
                    const std::complex<double> ratio = r.Y[j][k] / r.X[j][k];
                    const bool polar = display == FrfDisplay::MagnitudePhase;
                    a += (polar ? std::abs(ratio) : ratio.real()) / count;
                    b += (polar ? std::arg(ratio) : ratio.imag()) / count;
                    gxy += std::conj(r.X[j][k]) * r.Y[j][k];
                    gxx += std::norm(r.X[j][k]);
                    gyy += std::norm(r.Y[j][k]);
                }
                if (estimator != FrfEstimator::H0) {
                    h = estimator == FrfEstimator::H1 ? gxy / gxx : gyy / std::conj(gxy);
                    a = display == FrfDisplay::MagnitudePhase ? std::abs(h) : h.real();
                    b = display == FrfDisplay::MagnitudePhase ? std::arg(h) : h.imag();
                }
                if (display == FrfDisplay::MagnitudePhase)
                    b *= 180 / kPi;
                ASSERT_NEAR(first[k], a, 1e-4 * std::abs(a) + 1e-6) << int(estimator) << " " << k;
                ASSERT_NEAR(second[k], b, 1e-3 * (1 + std::abs(b))) << int(estimator) << " " << k;
            }
        }
    }

    std::vector<float> coherence(bins), magnitude(bins), phase(bins);
    ASSERT_TRUE(Coherence(work, r.x.data(), r.y.data(), r.layout, window, coherence).computed);
    ASSERT_TRUE(CrossSpectrum(work, r.x.data(), r.y.data(), r.layout, window, false, "V", magnitude, phase).computed);
    for (int k = 0; k < bins; ++k) {
        std::complex<double> sxy = 0;
        double sxx = 0, syy = 0, sumMagnitude = 0, sumPhase = 0;
        for (int j = 0; j < count; ++j) {
            const std::complex<double> p = r.X[j][k] * std::conj(r.Y[j][k]);
            sxy += p;
            sxx += std::norm(r.X[j][k]);
            syy += std::norm(r.Y[j][k]);
            sumMagnitude += std::abs(p);
            sumPhase += std::arg(p);
        }
        EXPECT_NEAR(coherence[k], std::norm(sxy) / (sxx * syy), 1e-4) << k;
        const double meanSquare = sumMagnitude / count * (k == 0 ? 1.0 : 0.5);
        EXPECT_NEAR(magnitude[k], meanSquare, 1e-4 * meanSquare) << k;
        EXPECT_NEAR(phase[k], sumPhase / count * 180 / kPi, 1e-3) << k;
    }
}

TEST(SegmentAveragingTest, LongestTransformAgainstLongDoubleSpectra)
{
    const int n = 65536, count = 3, bins = n / 2, hop = 40000;
    const std::vector<float> x = Noise((count - 1) * hop + n, 3);
    const SegmentLayout layout = MakeSegmentLayout(static_cast<int>(x.size()), 0, n, hop, count, 1.0 / 50000.0);
    std::vector<double> mean(bins, 0.0), peak(bins, 0.0);
    const double c = AmplitudeFactor(WindowType::Hann, n);
    std::vector<float> windowed(n), zeros(n, 0.0f);
    for (int j = 0; j < count; ++j) {
        for (int i = 0; i < n; ++i)
            windowed[i] = static_cast<float>(x[j * hop + i] * WindowValue(WindowType::Hann, i, n));
        const auto spectrum = LongDoubleDft(windowed.data(), zeros.data(), n);
        for (int k = 0; k < bins; ++k) {
            const double ck = k == 0 ? c / 2 : c;
            const double m = static_cast<double>(std::norm(spectrum[k])) * ck * ck * (k == 0 ? 1.0 : 0.5);
            mean[k] += m / count;
            peak[k] = std::max(peak[k], m);
        }
    }
    AnalysisWorkspace work;
    std::vector<float> out(bins);
    PsdSettings settings{WindowType::Hann, AverageMode::Linear, LevelScale::LinearRms, false};
    ASSERT_TRUE(PowerSpectralDensity(work, x.data(), layout, settings, "V", out).computed);
    const double largest = *std::max_element(mean.begin(), mean.end());
    for (int k = 0; k < bins; ++k)
        ASSERT_NEAR(out[k], mean[k], 1e-4 * largest) << k;
    settings.average = AverageMode::PeakHold;
    settings.scale = LevelScale::DbV;
    ASSERT_TRUE(PowerSpectralDensity(work, x.data(), layout, settings, "V", out).computed);
    for (int k = 0; k < bins; ++k)
        ASSERT_NEAR(out[k], 10 * std::log10(peak[k]), 2e-3) << k;
}
