// OctaveAnalyser::Process at 1/24 octave, 16 Hz – 20 kHz, 44.1 kHz, against
// the straightforward fourth-order recurrence with shifted histories.

#include "analysis/octaveanalyser.h"
#include "benchreference.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr int kTick = 441;   // samples of one 10 ms tick

// The design's fourth-order sections run as written: per band three sections,
// each with an input and an output history shifted every sample.
class StraightforwardBank {
public:
    explicit StraightforwardBank(const OctaveAnalyser& design)
        : m_design(design), m_state(design.BandCount()), m_meanSquare(design.BandCount(), 0.0)
    {
    }

    void Process(const float* samples, int count, double alpha)
    {
        for (int band = 0; band < m_design.BandCount(); ++band) {
            const OctaveAnalyser::Band& rec = m_design.BandRecord(band);
            State& st = m_state[band];
            double ms = m_meanSquare[band];
            for (int n = 0; n < count; ++n) {
                double in = samples[n];
                for (int s = 0; s < rec.sections; ++s) {
                    double* x = st.x[s];
                    double* y = st.y[s];
                    x[0] = in;
                    const double out = rec.b0[s] * (x[0] - 2.0 * x[2] + x[4]) - rec.a1[s] * y[1]
                        - rec.a2[s] * y[2] - rec.a3[s] * y[3] - rec.a4[s] * y[4];
                    y[0] = out;
                    for (int h = 4; h > 0; --h) {
                        x[h] = x[h - 1];
                        y[h] = y[h - 1];
                    }
                    in = out;
                }
                ms = (1.0 - alpha) * ms + alpha * in * in;
            }
            m_meanSquare[band] = ms;
        }
    }

private:
    struct State {
        double x[3][5] = {};
        double y[3][5] = {};
    };
    const OctaveAnalyser& m_design;
    std::vector<State> m_state;
    std::vector<double> m_meanSquare;
};

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
    const std::vector<float> audio = Noise(kTick * 100);   // one second
    auto second = [&](auto& bank) {
        for (int t = 0; t < 100; ++t)
            bank(audio.data() + t * kTick, kTick);
    };
    auto ours = [&](const float* p, int n) { analyser->Process(p, n); };
    StraightforwardBank reference(*analyser);
    auto straight = [&](const float* p, int n) { reference.Process(p, n, analyser->Alpha()); };

    for (auto _ : state) {
        second(ours);
        benchmark::DoNotOptimize(analyser->BandLevels().data());
    }
    const double oursSeconds = SecondsPerCall([&] { second(ours); }, 0.2, 3);
    const double referenceSeconds = SecondsPerCall([&] { second(straight); }, 0.2, 3);
    state.counters["bands"] = analyser->BandCount();
    state.counters["kernel"] = static_cast<int>(analyser->ActiveKernel());
    state.counters["realtime_factor"] = 1.0 / oursSeconds;
    state.counters["reference_realtime_factor"] = 1.0 / referenceSeconds;
    state.counters["speedup_vs_reference"] = referenceSeconds / oursSeconds;
}

} // namespace

BENCHMARK(BM_OctaveProcess)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
