// WindowedFft against FFTW's single-precision in-place complex transform
// (plan FFTW_ESTIMATE) of the same length, timed in the same run.

#include "analysis/fftplan.h"
#include "analysis/windowtable.h"
#include "analysis/windowedfft.h"
#include "benchreference.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <vector>

namespace {

void FillSignal(float* re, float* im, int n)
{
    for (int i = 0; i < n; ++i) {
        re[i] = static_cast<float>(std::sin(0.37 * i) + 0.25 * std::cos(1.9 * i));
        im[i] = 0.0f;
    }
}

double FftwSeconds(int n)
{
    fftwf_complex* data = fftwf_alloc_complex(n);
    fftwf_plan plan = fftwf_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_ESTIMATE);
    std::vector<float> sourceRe(n), sourceIm(n);
    FillSignal(sourceRe.data(), sourceIm.data(), n);
    int calls = 0;
    const double seconds = SecondsPerCall([&] {
        if (calls++ % 4 == 0)
            for (int i = 0; i < n; ++i) {
                data[i][0] = sourceRe[i];
                data[i][1] = sourceIm[i];
            }
        fftwf_execute(plan);
    });
    fftwf_destroy_plan(plan);
    fftwf_free(data);
    return seconds;
}

void BM_WindowedFft(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const double reference = FftwSeconds(n);
    FftPlan plan(n);
    plan.SelectKernel(static_cast<FftPlan::Kernel>(state.range(1)));
    if (state.range(1) != 0 && plan.ActiveKernel() != static_cast<FftPlan::Kernel>(state.range(1))) {
        state.SkipWithError("kernel not available on this processor");
        return;
    }
    WindowTable window(WindowType::Hann, n);
    std::vector<float> sourceRe(n), sourceIm(n), re(n), im(n);
    FillSignal(sourceRe.data(), sourceIm.data(), n);
    // Repeated transforms drift towards zero or infinity; the input is put
    // back every fourth call, as in the reference.
    int calls = 0;
    auto refill = [&] {
        if (calls++ % 4 == 0) {
            re = sourceRe;
            im = sourceIm;
        }
    };
    for (auto _ : state) {
        refill();
        WindowedFft(plan, window, re.data(), im.data(), true);
        benchmark::DoNotOptimize(re.data());
        benchmark::ClobberMemory();
    }
    const double ours = SecondsPerCall([&] {
        refill();
        WindowedFft(plan, window, re.data(), im.data(), true);
    });
    const double plain = SecondsPerCall([&] {
        refill();
        plan.Transform(re.data(), im.data());
    });
    state.counters["fftw_us"] = reference * 1e6;
    state.counters["ours_us"] = ours * 1e6;
    state.counters["ratio_to_fftw"] = ours / reference;
    state.counters["transform_only_ratio"] = plain / reference;
    state.counters["kernel"] = static_cast<int>(plan.ActiveKernel());
}

} // namespace

// Arguments: N, and the kernel (0 the best this processor runs, 2 AVX2).
BENCHMARK(BM_WindowedFft)
    ->ArgsProduct({{1024, 4096, 16384, 65536}, {0, 2}})
    ->Unit(benchmark::kMicrosecond);
