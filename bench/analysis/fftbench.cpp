// WindowedFft of N real samples (Hann, amplitude-scaled, read from the
// record, bins into re/im) against FFTW's single-precision real-input
// transform of the same length, timed in the same run. FFTW gets the same
// work: the window multiplied in a loop into its input array, then
// fftwf_execute of an out-of-place r2c plan made before timing.
//
// Counters, per N and kernel (1 portable, 2 AVX2 with FMA, 3 AVX-512; a
// kernel this processor lacks is skipped):
//   ours_us            one WindowedFft
//   measure_us         FFTW planned with FFTW_MEASURE: the median of three
//                      plannings (wisdom forgotten before each), since
//                      measured plans differ from one planning to the next
// Every figure is the median of five rounds that time both sides back to
// back.
//   estimate_us        FFTW planned with FFTW_ESTIMATE
//   ratio_measure      ours_us / measure_us
//   ratio_estimate     ours_us / estimate_us

#include "analysis/fftplan.h"
#include "analysis/windowtable.h"
#include "analysis/windowedfft.h"
#include "benchreference.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace {

std::vector<float> Signal(int n)
{
    std::vector<float> x(n);
    for (int i = 0; i < n; ++i)
        x[i] = static_cast<float>(std::sin(0.37 * i) + 0.25 * std::cos(1.9 * i));
    return x;
}

// One r2c plan with its own aligned arrays, as a user of FFTW would make it.
class FftwRealPlan {
public:
    FftwRealPlan(int n, unsigned flags)
        : m_n(n), m_in(fftwf_alloc_real(n)), m_out(fftwf_alloc_complex(n / 2 + 1))
    {
        m_plan = fftwf_plan_dft_r2c_1d(n, m_in, m_out, flags);
    }
    ~FftwRealPlan()
    {
        fftwf_destroy_plan(m_plan);
        fftwf_free(m_out);
        fftwf_free(m_in);
    }
    FftwRealPlan(const FftwRealPlan&) = delete;
    FftwRealPlan& operator=(const FftwRealPlan&) = delete;

    // Seconds per windowed transform of x.
    double Seconds(const std::vector<float>& x, const std::vector<float>& window) const
    {
        return SecondsPerCall([&] {
            for (int i = 0; i < m_n; ++i)
                m_in[i] = x[i] * window[i];
            fftwf_execute(m_plan);
            benchmark::DoNotOptimize(m_out);
        });
    }

private:
    int m_n;
    float* m_in;
    fftwf_complex* m_out;
    fftwf_plan m_plan;
};

struct FftwPlans {
    std::array<std::unique_ptr<FftwRealPlan>, 3> measured;
    std::unique_ptr<FftwRealPlan> estimated;
};

// Planned once per length and kept for every kernel and repetition; only
// the timing is repeated.
const FftwPlans& PlansFor(int n)
{
    static std::map<int, FftwPlans> plans;
    auto found = plans.find(n);
    if (found != plans.end())
        return found->second;
    FftwPlans& made = plans[n];
    for (auto& plan : made.measured) {
        fftwf_forget_wisdom();
        plan = std::make_unique<FftwRealPlan>(n, FFTW_MEASURE);
    }
    made.estimated = std::make_unique<FftwRealPlan>(n, FFTW_ESTIMATE);
    return made;
}

constexpr int kRounds = 5;

double MedianOf(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

void BM_WindowedFft(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto kernel = static_cast<FftPlan::Kernel>(state.range(1));
    FftPlan plan(n);
    plan.SelectKernel(kernel);
    if (plan.ActiveKernel() != kernel) {
        state.SkipWithError("kernel not available on this processor");
        return;
    }
    const FftwPlans& fftw = PlansFor(n);
    const WindowTable window(WindowType::Hann, n);
    const std::vector<float> windowValues(window.Values().begin(), window.Values().end());
    const std::vector<float> x = Signal(n);
    std::vector<float> re(n), im(n);
    const auto ours = [&] {
        WindowedFft(plan, window, x.data(), re.data(), im.data(), true);
        benchmark::DoNotOptimize(re.data());
        benchmark::ClobberMemory();
    };
    for (auto _ : state)
        ours();

    // Rounds of ours, the three measured plans and the estimated one, each
    // round back to back, so that a busy spell of the machine falls on
    // both sides; every figure is the median over the rounds.
    std::vector<double> oursRounds, measureRounds, estimateRounds;
    for (int round = 0; round < kRounds; ++round) {
        oursRounds.push_back(SecondsPerCall(ours));
        measureRounds.push_back(MedianOf({fftw.measured[0]->Seconds(x, windowValues),
                                          fftw.measured[1]->Seconds(x, windowValues),
                                          fftw.measured[2]->Seconds(x, windowValues)}));
        estimateRounds.push_back(fftw.estimated->Seconds(x, windowValues));
    }
    const double oursSeconds = MedianOf(oursRounds);
    const double measure = MedianOf(measureRounds);
    const double estimate = MedianOf(estimateRounds);
    state.counters["ours_us"] = oursSeconds * 1e6;
    state.counters["measure_us"] = measure * 1e6;
    state.counters["estimate_us"] = estimate * 1e6;
    state.counters["ratio_measure"] = oursSeconds / measure;
    state.counters["ratio_estimate"] = oursSeconds / estimate;
}

} // namespace

// Arguments: N, and the kernel (1 portable, 2 AVX2 with FMA, 3 AVX-512).
BENCHMARK(BM_WindowedFft)
    ->ArgsProduct({{1024, 4096, 16384, 65536},
                   {int(FftPlan::Kernel::Portable), int(FftPlan::Kernel::Avx2), int(FftPlan::Kernel::Avx512)}})
    ->Unit(benchmark::kMicrosecond);
