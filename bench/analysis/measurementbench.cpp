// The record-based measurements with the share of the transforms in them.
// At N = 1024 the record is 44100 samples at 44.1 kHz, hop 512, "Auto" (85
// segments); at N = 65536 it is 10 s at 50 kHz, hop N/2 (14 segments). The
// spectrogram and the correlation views' cuts of the same records.
//
// Counters: total_us per call and fft_share, the time of the transforms
// alone (WindowedFft of every segment as the measurement runs it, input
// copy included) over the time of the measurement, both measured in this run.

#include "analysis/correlation.h"
#include "analysis/segmentlayout.h"
#include "analysis/measurements.h"
#include "analysis/windowedfft.h"
#include "benchreference.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace {

struct Setup {
    int length;
    double rate;
};

Setup RecordFor(int points, bool longRecord = false)
{
    return points <= 1024 && !longRecord ? Setup{44100, 44100.0} : Setup{500000, 50000.0};
}

std::vector<float> Record(int length, double phase)
{
    std::vector<float> v(length);
    for (int i = 0; i < length; ++i)
        v[i] = static_cast<float>(std::sin(0.05 * i + phase) + 0.1 * std::sin(1.3 * i) + 1e-3 * std::sin(7e-4 * i * i));
    return v;
}

SegmentLayout Layout(int points, bool longRecord = false)
{
    const Setup s = RecordFor(points, longRecord);
    return MakeSegmentLayout(s.length, 0, points, points / 2, 0, 1.0 / s.rate);
}

// The transforms alone: `perSegment` WindowedFft calls for each segment.
double TransformSeconds(AnalysisWorkspace& work, const std::vector<float>& x, const SegmentLayout& layout,
                        int perSegment)
{
    return SecondsPerCall([&] {
        for (int j = 0; j < layout.count; ++j)
            for (int c = 0; c < perSegment; ++c)
                work.TransformSegment(c, x.data() + layout.start + j * layout.hop, true);
    });
}

void Report(benchmark::State& state, const SegmentLayout& layout, double total, double transforms)
{
    state.counters["segments"] = layout.count;
    state.counters["total_us"] = total * 1e6;
    state.counters["fft_share"] = transforms / total;
}

void Run(benchmark::State& state, const std::function<void()>& call)
{
    for (auto _ : state)
        call();
}

// Arguments: points, averaging mode.
void BM_Psd(benchmark::State& state)
{
    const int points = static_cast<int>(state.range(0));
    const SegmentLayout layout = Layout(points);
    const std::vector<float> x = Record(layout.length, 0.0);
    AnalysisWorkspace work;
    PsdSettings settings;
    settings.scale = LevelScale::DbV;
    settings.density = true;
    settings.average = static_cast<AverageMode>(state.range(1));
    std::vector<float> out(SegmentAverager::OutputSize(settings.average, points / 2, layout.count));
    const auto call = [&] {
        PowerSpectralDensity(work, x.data(), layout, settings, "V", out);
        benchmark::DoNotOptimize(out.data());
    };
    Run(state, call);
    Report(state, layout, SecondsPerCall(call), TransformSeconds(work, x, layout, 1));
}

// Arguments: points, averaging mode, integration.
void BM_Amplitude(benchmark::State& state)
{
    const int points = static_cast<int>(state.range(0));
    const SegmentLayout layout = Layout(points);
    const std::vector<float> x = Record(layout.length, 0.0);
    AnalysisWorkspace work;
    AmplitudeSettings settings;
    settings.average = static_cast<AverageMode>(state.range(1));
    settings.integration = static_cast<Integration>(state.range(2));
    std::vector<float> first(SegmentAverager::OutputSize(settings.average, points / 2, layout.count));
    const auto call = [&] {
        AmplitudeSpectrum(work, x.data(), layout, settings, "g", TraceArrays{first, {}});
        benchmark::DoNotOptimize(first.data());
    };
    Run(state, call);
    Report(state, layout, SecondsPerCall(call), TransformSeconds(work, x, layout, 1));
}

// Arguments: points, estimator, display.
void BM_Frf(benchmark::State& state)
{
    const int points = static_cast<int>(state.range(0));
    const SegmentLayout layout = Layout(points);
    const std::vector<float> x = Record(layout.length, 0.0);
    const std::vector<float> y = Record(layout.length, 0.7);
    AnalysisWorkspace work;
    std::vector<float> first(points / 2), second(points / 2);
    FrfSettings settings;
    settings.estimator = static_cast<FrfEstimator>(state.range(1));
    settings.display = static_cast<FrfDisplay>(state.range(2));
    const auto call = [&] {
        FrequencyResponse(work, x.data(), y.data(), layout, settings, "V", first, second);
        benchmark::DoNotOptimize(first.data());
    };
    Run(state, call);
    Report(state, layout, SecondsPerCall(call), TransformSeconds(work, x, layout, 2));
}

void BM_Coherence(benchmark::State& state)
{
    const int points = static_cast<int>(state.range(0));
    const SegmentLayout layout = Layout(points);
    const std::vector<float> x = Record(layout.length, 0.0);
    const std::vector<float> y = Record(layout.length, 0.7);
    AnalysisWorkspace work;
    std::vector<float> out(points / 2);
    const auto call = [&] {
        Coherence(work, x.data(), y.data(), layout, WindowType::Hann, out);
        benchmark::DoNotOptimize(out.data());
    };
    Run(state, call);
    Report(state, layout, SecondsPerCall(call), TransformSeconds(work, x, layout, 2));
}

void BM_CrossSpectrum(benchmark::State& state)
{
    const int points = static_cast<int>(state.range(0));
    const SegmentLayout layout = Layout(points);
    const std::vector<float> x = Record(layout.length, 0.0);
    const std::vector<float> y = Record(layout.length, 0.7);
    AnalysisWorkspace work;
    std::vector<float> magnitude(points / 2), phase(points / 2);
    const auto call = [&] {
        CrossSpectrum(work, x.data(), y.data(), layout, WindowType::Hann, true, "V", magnitude, phase);
        benchmark::DoNotOptimize(magnitude.data());
    };
    Run(state, call);
    Report(state, layout, SecondsPerCall(call), TransformSeconds(work, x, layout, 2));
}

// 10 s at 50 kHz in both lengths. Argument 2: level scale.
void BM_Spectrogram(benchmark::State& state)
{
    const int points = static_cast<int>(state.range(0));
    const SegmentLayout layout = Layout(points, true);
    const std::vector<float> x = Record(layout.length, 0.0);
    AnalysisWorkspace work;
    std::vector<float> rows(static_cast<std::size_t>(layout.count) * (points / 2));
    const auto scale = static_cast<LevelScale>(state.range(1));
    const auto call = [&] {
        SpectrogramRows(work, x.data(), layout, WindowType::Hann, scale, rows);
        benchmark::DoNotOptimize(rows.data());
    };
    Run(state, call);
    Report(state, layout, SecondsPerCall(call), TransformSeconds(work, x, layout, 1));
}

// One correlation of N points: three real-input transforms of N (two
// forward, one inverse).
void BM_Correlate(benchmark::State& state)
{
    const int points = static_cast<int>(state.range(0));
    const std::vector<float> x = Record(points, 0.0);
    const std::vector<float> y = Record(points, 0.7);
    AnalysisWorkspace work;
    work.Prepare(points, WindowType::Rectangle);
    std::vector<float> out(points);
    const auto call = [&] {
        Correlate(work, x.data(), y.data(), out.data(), points, true);
        benchmark::DoNotOptimize(out.data());
    };
    Run(state, call);
    const double total = SecondsPerCall(call);
    const double transforms = SecondsPerCall([&] {
        work.TransformSegment(0, x.data(), false);
        work.TransformSegment(1, y.data(), false);
        work.Plan().TransformRealInverse(work.Re(0), work.Im(0), out.data());
    });
    state.counters["total_us"] = total * 1e6;
    state.counters["fft_share"] = transforms / total;
}

} // namespace

BENCHMARK(BM_Psd)->ArgsProduct({{1024, 65536}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Amplitude)->ArgsProduct({{1024, 65536}, {0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Frf)->ArgsProduct({{1024, 65536}, {0, 1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Coherence)->Arg(1024)->Arg(65536)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CrossSpectrum)->Arg(1024)->Arg(65536)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Spectrogram)->ArgsProduct({{1024, 65536}, {1, 3}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Correlate)->Arg(1024)->Arg(65536)->Unit(benchmark::kMicrosecond);
