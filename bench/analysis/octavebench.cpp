// OctaveAnalyser::Process at 1/24 octave, 16 Hz – 20 kHz, 44.1 kHz, against
// the straightforward fourth-order recurrence with shifted histories, and
// against the same kernel running each sample through all six biquads of a
// band before the next (the biquads not staggered).

#include "analysis/octaveanalyser.h"
#include "benchreference.h"
#include "octavereference.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr int kTick = 441;   // samples of one 10 ms tick

std::vector<float> Noise(int n)
{
    std::vector<float> v(n);
    unsigned state = 12345;
    for (float& x : v) {
        state = state * 1664525u + 1013904223u;
        x = static_cast<float>((state >> 8) * (1.0 / 16777216.0) - 0.5);
    }
    return v;
}

// Argument: the kernel (0 the best this processor runs, 1 portable, 2 AVX2,
// 3 AVX-512).
void BM_OctaveProcess(benchmark::State& state)
{
    auto analyser = std::make_unique<OctaveAnalyser>();
    analyser->SelectKernel(static_cast<OctaveAnalyser::Kernel>(state.range(0)));
    if (analyser->ActiveKernel() != static_cast<OctaveAnalyser::Kernel>(state.range(0)) && state.range(0) != 0) {
        state.SkipWithError("kernel not available on this processor");
        return;
    }
    analyser->Design(24, OctaveAnalyser::Weighting::A, 16.0, 20000.0, 1.0 / kRate);
    analyser->SetTimeWeighting(0.125);
    auto inOrder = std::make_unique<OctaveAnalyser>(*analyser);
    inOrder->SelectStaggered(false);
    const std::vector<float> audio = Noise(kTick * 100);   // one second
    auto second = [&](auto& bank) {
        for (int t = 0; t < 100; ++t)
            bank(audio.data() + t * kTick, kTick);
    };
    auto ours = [&](const float* p, int n) { analyser->Process(p, n); };
    FourthOrderBank reference(*analyser);
    auto unstaggered = [&](const float* p, int n) { inOrder->Process(p, n); };
    auto straight = [&](const float* p, int n) { reference.Process(p, n, analyser->Alpha()); };

    for (auto _ : state) {
        second(ours);
        benchmark::DoNotOptimize(analyser->BandLevels().data());
    }
    const double oursSeconds = SecondsPerCall([&] { second(ours); }, 0.2, 3);
    const double referenceSeconds = SecondsPerCall([&] { second(straight); }, 0.2, 3);
    const double inOrderSeconds = SecondsPerCall([&] { second(unstaggered); }, 0.2, 3);
    state.counters["bands"] = analyser->BandCount();
    state.counters["kernel"] = static_cast<int>(analyser->ActiveKernel());
    state.counters["realtime_factor"] = 1.0 / oursSeconds;
    state.counters["reference_realtime_factor"] = 1.0 / referenceSeconds;
    state.counters["speedup_vs_reference"] = referenceSeconds / oursSeconds;
    state.counters["in_order_realtime_factor"] = 1.0 / inOrderSeconds;
    state.counters["speedup_vs_in_order"] = inOrderSeconds / oursSeconds;
}

} // namespace

BENCHMARK(BM_OctaveProcess)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
