// One PSD and one FRF of a 44100-sample record at N = 1024, hop 512, "Auto"
// (85 segments), with the share of the transforms in it. PSD in "dbV" with
// density, averaged "Linear" (argument 0) or "Peak hold" (1); FRF "Mag+Phase"
// in "10 log" by estimator "H0", "H1" or "H2" (argument 0, 1, 2).

#include "analysis/segmentlayout.h"
#include "analysis/measurements.h"
#include "analysis/windowedfft.h"
#include "benchreference.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kLength = 44100;
constexpr int kPoints = 1024;
constexpr int kHop = 512;

std::vector<float> Record(double phase)
{
    std::vector<float> v(kLength);
    for (int i = 0; i < kLength; ++i)
        v[i] = static_cast<float>(std::sin(0.05 * i + phase) + 0.1 * std::sin(1.3 * i));
    return v;
}

// The transforms alone: `perSegment` WindowedFft calls (copy and clear
// included) for each segment of the layout.
double TransformSeconds(AnalysisWorkspace& work, const std::vector<float>& x, const SegmentLayout& layout,
                        int perSegment)
{
    return SecondsPerCall([&] {
        for (int j = 0; j < layout.count; ++j)
            for (int c = 0; c < perSegment; ++c)
                work.TransformSegment(c, x.data() + layout.start + j * layout.hop, true);
    });
}

void BM_PsdRecord(benchmark::State& state)
{
    const std::vector<float> x = Record(0.0);
    const SegmentLayout layout = MakeSegmentLayout(kLength, 0, kPoints, kHop, 0, 1.0 / 44100.0);
    AnalysisWorkspace work;
    std::vector<float> out(kPoints / 2);
    PsdSettings settings;
    settings.scale = LevelScale::DbV;
    settings.density = true;
    settings.average = static_cast<AverageMode>(state.range(0));
    for (auto _ : state) {
        PowerSpectralDensity(work, x.data(), layout, settings, "V", out);
        benchmark::DoNotOptimize(out.data());
    }
    const double total = SecondsPerCall([&] { PowerSpectralDensity(work, x.data(), layout, settings, "V", out); });
    const double transforms = TransformSeconds(work, x, layout, 1);
    state.counters["segments"] = layout.count;
    state.counters["total_us"] = total * 1e6;
    state.counters["fft_share"] = transforms / total;
}

void BM_FrfRecord(benchmark::State& state)
{
    const std::vector<float> x = Record(0.0);
    const std::vector<float> y = Record(0.7);
    const SegmentLayout layout = MakeSegmentLayout(kLength, 0, kPoints, kHop, 0, 1.0 / 44100.0);
    AnalysisWorkspace work;
    std::vector<float> first(kPoints / 2), second(kPoints / 2);
    FrfSettings settings;
    settings.estimator = static_cast<FrfEstimator>(state.range(0));
    for (auto _ : state) {
        FrequencyResponse(work, x.data(), y.data(), layout, settings, "V", first, second);
        benchmark::DoNotOptimize(first.data());
    }
    const double total = SecondsPerCall(
        [&] { FrequencyResponse(work, x.data(), y.data(), layout, settings, "V", first, second); });
    const double transforms = TransformSeconds(work, x, layout, 2);
    state.counters["segments"] = layout.count;
    state.counters["total_us"] = total * 1e6;
    state.counters["fft_share"] = transforms / total;
}

} // namespace

BENCHMARK(BM_PsdRecord)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrfRecord)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
