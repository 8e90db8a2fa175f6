// The views' analyses as the pure functions their jobs run, without a
// widget or an application: a record snapshot and settings in, display data
// out, checked against analytic answers; a record too short for its
// segments changes nothing, a missing second channel hides both traces.
#include "views/ccrview.h"
#include "views/cohview.h"
#include "views/fftview.h"
#include "views/frfview.h"
#include "views/psdview.h"
#include "views/spgview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kDt = 1.0 / 1024; // 1 Hz bins at 1024 points
constexpr int kN = 1024;

AnalysisInput MakeInput(std::vector<std::vector<float>> channels, int points, int hop, int start = 0)
{
    auto record = std::make_shared<CaptureRecord>();
    record->length = int(channels[0].size());
    for (size_t c = 0; c < channels.size(); ++c) {
        record->names.push_back("In " + std::to_string(c + 1));
        record->units.push_back("V");
    }
    record->samples = std::move(channels);
    record->sampleInterval = kDt;
    record->startOffset = start;
    AnalysisInput input;
    input.record = record;
    input.points = points;
    input.hop = hop;
    input.averages = 0;
    input.channels = {0, input.record->Channels() > 1 ? 1 : -1};
    return input;
}

std::vector<float> Tone(int length, double hz, double amplitude)
{
    std::vector<float> x(static_cast<size_t>(length));
    for (int n = 0; n < length; ++n)
        x[size_t(n)] = float(amplitude * std::cos(2.0 * std::numbers::pi * hz * n * kDt));
    return x;
}

std::vector<float> Noise(int length, double sigma, unsigned seed)
{
    std::mt19937 engine(seed);
    std::normal_distribution<double> normal(0.0, sigma);
    std::vector<float> x(static_cast<size_t>(length));
    for (float& v : x)
        v = float(normal(engine));
    return x;
}

int MaxIndex(const float* values, int count) { return int(std::max_element(values, values + count) - values); }

ViewData Fresh()
{
    ViewData out;
    out.Begin();
    return out;
}

TEST(ViewAnalysis, AmplitudeSpectrumReadsAToneOnItsBin)
{
    AnalysisWorkspace work;
    ViewData out = Fresh();
    CFftView::Compute(MakeInput({Tone(8 * kN, 64.0, 2.0)}, kN, kN / 2), AmplitudeSettings{}, work, out);
    ASSERT_EQ(out.outcome, ViewData::Outcome::Made);
    EXPECT_EQ(out.pointCount, kN / 2);
    EXPECT_FLOAT_EQ(out.xStep, 1.0f);
    EXPECT_TRUE(out.slotActive[0]);
    EXPECT_FALSE(out.slotActive[1]);
    EXPECT_EQ(MaxIndex(out.display[0].data(), out.pointCount), 64);
    EXPECT_NEAR(out.display[0][64], 2.0, 2e-3);
    EXPECT_EQ(out.units[0], "V");
}

TEST(ViewAnalysis, PsdOfWhiteNoiseIsItsVarianceOverHalfTheSampleRate)
{
    AnalysisWorkspace work;
    ViewData out = Fresh();
    PsdSettings settings;
    settings.density = true;
    const double sigma = 2.0;
    CPsdView::Compute(MakeInput({Noise(64 * kN, sigma, 3)}, kN, kN / 2), settings, work, out);
    ASSERT_EQ(out.outcome, ViewData::Outcome::Made);
    double mean = 0.0;
    for (int k = 1; k < kN / 2; ++k)
        mean += out.display[0][size_t(k)];
    mean /= kN / 2 - 1;
    EXPECT_NEAR(mean, sigma * sigma / 512.0, 0.04 * sigma * sigma / 512.0);
}

TEST(ViewAnalysis, ResponseAndCoherenceOfAKnownGain)
{
    const std::vector<float> x = Noise(16 * kN, 1.0, 5);
    std::vector<float> y(x);
    for (float& v : y)
        v *= 0.5f;
    const AnalysisInput input = MakeInput({x, y}, kN, kN / 2);
    AnalysisWorkspace work;
    ViewData frf = Fresh();
    FrfSettings settings;
    settings.estimator = FrfEstimator::H1;
    settings.level = FrfLevel::LinearRms;
    CFrfView::Compute(input, settings, work, frf);
    ASSERT_EQ(frf.outcome, ViewData::Outcome::Made);
    for (int k = 1; k < kN / 2; k += 37) {
        EXPECT_NEAR(frf.display[0][size_t(k)], 0.5, 1e-4) << k;
        EXPECT_NEAR(frf.display[1][size_t(k)], 0.0, 1e-3) << k; // phase, degrees
    }
    ViewData coherence = Fresh();
    CCohView::Compute(input, WindowType::Hann, work, coherence);
    for (int k = 1; k < kN / 2; k += 37)
        EXPECT_NEAR(coherence.display[0][size_t(k)], 1.0, 1e-4) << k;
}

// One segment's coherence is 1 at every bin even between unrelated noises:
// the result is made, and says so.
TEST(ViewAnalysis, CoherenceOfOneAverageSaysWhyItIsOne)
{
    AnalysisInput input = MakeInput({Noise(kN, 1.0, 11), Noise(kN, 1.0, 12)}, kN, kN);
    input.averages = 1;
    AnalysisWorkspace work;
    ViewData one = Fresh();
    CCohView::Compute(input, WindowType::Hann, work, one);
    ASSERT_EQ(one.outcome, ViewData::Outcome::Made);
    EXPECT_NEAR(one.display[0][100], 1.0, 1e-4);
    EXPECT_EQ(one.notice, "one average gives coherence 1 \u2014 raise Avg");

    input = MakeInput({Noise(8 * kN, 1.0, 11), Noise(8 * kN, 1.0, 12)}, kN, kN);
    input.averages = 8;
    ViewData eight = Fresh();
    CCohView::Compute(input, WindowType::Hann, work, eight);
    ASSERT_EQ(eight.outcome, ViewData::Outcome::Made);
    EXPECT_LT(eight.display[0][100], 0.9);
    EXPECT_TRUE(eight.notice.empty());
}

TEST(ViewAnalysis, CrossCorrelationPeaksAtAKnownDelay)
{
    const std::vector<float> x = Noise(4 * kN, 1.0, 7);
    std::vector<float> y(x.size(), 0.0f);
    for (size_t i = 7; i < x.size(); ++i)
        y[i] = x[i - 7];
    AnalysisWorkspace work;
    ViewData out = Fresh();
    CCcrView::Compute(MakeInput({x, y}, kN, kN / 2, 100), true, work, out);
    ASSERT_EQ(out.outcome, ViewData::Outcome::Made);
    const int peak = MaxIndex(out.display[0].data(), kN);
    EXPECT_NEAR(out.xStart + peak * double(out.xStep), 7 * kDt, 1e-3 * kDt);
    EXPECT_NEAR(out.display[0][size_t(peak)], 1.0 - 7.0 / kN, 0.05);
}

TEST(ViewAnalysis, SpectrogramRowsEachFindTheTone)
{
    AnalysisWorkspace work;
    ViewData out = Fresh();
    CSpgView::Compute(MakeInput({Tone(8 * kN, 100.0, 1.0)}, kN, kN / 2), WindowType::Hann, LevelScale::DbV, work,
                      out);
    ASSERT_EQ(out.outcome, ViewData::Outcome::Made);
    ASSERT_EQ(out.rows, 15); // (8·1024 − 1024) / 512 + 1 segments
    for (int row = 0; row < out.rows; ++row) {
        const float* values = out.display[0].data() + size_t(row) * size_t(out.pointCount);
        EXPECT_EQ(MaxIndex(values, out.pointCount), 100) << row;
        EXPECT_NEAR(values[100], 20.0 * std::log10(std::sqrt(0.5)), 0.05) << row; // 1 V peak: −3.01 dBV
    }
}

TEST(ViewAnalysis, WhatCannotBeAnalysedSaysSo)
{
    AnalysisWorkspace work;
    // Shorter than one segment: no result, and the reason in numbers.
    ViewData shortRecord = Fresh();
    CPsdView::Compute(MakeInput({Tone(kN / 2, 64.0, 1.0)}, kN, kN / 2), PsdSettings{}, work, shortRecord);
    EXPECT_EQ(shortRecord.outcome, ViewData::Outcome::Unavailable);
    EXPECT_EQ(shortRecord.notice, "record 512 samples < 1024 points \u2014 raise XDv or lower Pts");
    EXPECT_TRUE(shortRecord.slotActive[0]); // its empty plot keeps the axes of the slot
    // Averages the record cannot hold: the samples they need. Four segments
    // of 1024 at hop 512 take 3·512 + 1024 = 2560 samples.
    AnalysisInput fourAverages = MakeInput({Tone(2 * kN, 64.0, 1.0)}, kN, kN / 2);
    fourAverages.averages = 4;
    ViewData tooFew = Fresh();
    CFftView::Compute(fourAverages, AmplitudeSettings{}, work, tooFew);
    EXPECT_EQ(tooFew.outcome, ViewData::Outcome::Unavailable);
    EXPECT_EQ(tooFew.notice, "record 2048 samples < 2560 for 4 averages of 1024 points \u2014 raise XDv or lower Avg");
    // The start offset counts against the record.
    ViewData offset = Fresh();
    CCcrView::Compute(MakeInput({Tone(kN + 10, 64.0, 1.0), Tone(kN + 10, 64.0, 1.0)}, kN, kN, 20), false, work,
                      offset);
    EXPECT_EQ(offset.notice, "record 1014 samples < 1024 points \u2014 raise XDv or lower Pts");
    // A spectrogram of one segment has no time axis to speak of.
    ViewData oneRow = Fresh();
    CSpgView::Compute(MakeInput({Tone(kN + 100, 64.0, 1.0)}, kN, kN / 2), WindowType::Hann, LevelScale::DbV, work,
                      oneRow);
    EXPECT_EQ(oneRow.outcome, ViewData::Outcome::Unavailable);
    EXPECT_EQ(oneRow.notice, "record gives 1 segment of 1024 points; a spectrogram needs 2 \u2014 raise XDv or lower Pts");
    // No record at all: nothing to say, nothing changes.
    ViewData none = Fresh();
    CFftView::Compute(AnalysisInput{}, AmplitudeSettings{}, work, none);
    EXPECT_EQ(none.outcome, ViewData::Outcome::Unchanged);
    EXPECT_TRUE(none.notice.empty());
    // A two-channel measurement without its second channel: both traces hidden.
    ViewData oneChannel = Fresh();
    CFrfView::Compute(MakeInput({Tone(4 * kN, 64.0, 1.0)}, kN, kN / 2), FrfSettings{}, work, oneChannel);
    EXPECT_EQ(oneChannel.outcome, ViewData::Outcome::HideTraces);
}

} // namespace
