// The sample path of the channel buffer service, as KRV's 10 ms tick runs
// it for 24 channels at 50 kHz: 500 frames written value by value, one
// freeze, every channel read. Reference: memcpy of the same bytes, measured
// in the same run.

#include "zq.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kChannels = 24;
constexpr double kRate = 50000.0;
constexpr int kFramesPerTick = 500; // 10 ms at 50 kHz
constexpr int kValuesPerTick = kChannels * kFramesPerTick;

std::string g_name;

void Define()
{
    ZQ_SetNrOfChan(kChannels);
    for (int c = 0; c < kChannels; ++c)
        ZQ_SetChanDef(c, c + 1, "1", "bench", "V", "+", 1.0 / kRate, -10, 10, -99, 99, 0);
    ZQ_Register(2, nullptr);
}

void BM_MemcpyReference(benchmark::State& state)
{
    std::vector<float> src(kValuesPerTick, 1.0f), dst(kValuesPerTick);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), kValuesPerTick * sizeof(float));
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kValuesPerTick);
}

void BM_WriteFreezeRead(benchmark::State& state)
{
    Define();
    std::vector<float> frames(kValuesPerTick);
    for (int i = 0; i < kValuesPerTick; ++i)
        frames[size_t(i)] = float(i);
    std::vector<float> read(kFramesPerTick);
    for (auto _ : state) {
        for (int f = 0; f < kFramesPerTick; ++f)
            for (int c = 0; c < kChannels; ++c)
                ZQ_WriteChanOneFloatValue(c, reinterpret_cast<int*>(&frames[size_t(f * kChannels + c)]));
        ZQ_FreezeBuffers(2);
        const int n = ZQ_CheckChan(2, 0);
        for (int c = 0; c < kChannels; ++c)
            ZQ_ReadChan(2, c, reinterpret_cast<unsigned char*>(read.data()), n);
        benchmark::DoNotOptimize(read.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kValuesPerTick);
}

// The same path with one call per tick for the writes.
void BM_WriteFramesFreezeRead(benchmark::State& state)
{
    Define();
    std::vector<float> frames(kValuesPerTick);
    for (int i = 0; i < kValuesPerTick; ++i)
        frames[size_t(i)] = float(i);
    std::vector<float> read(kFramesPerTick);
    for (auto _ : state) {
        ZQ_WriteFrames(frames.data(), kFramesPerTick);
        ZQ_FreezeBuffers(2);
        const int n = ZQ_CheckChan(2, 0);
        for (int c = 0; c < kChannels; ++c)
            ZQ_ReadChan(2, c, reinterpret_cast<unsigned char*>(read.data()), n);
        benchmark::DoNotOptimize(read.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kValuesPerTick);
}

// The floor of a call per value: the same calls rejected at once.
void BM_CallFloor(benchmark::State& state)
{
    Define();
    std::vector<float> frames(kValuesPerTick, 1.0f);
    for (auto _ : state) {
        for (int f = 0; f < kFramesPerTick; ++f)
            for (int c = 0; c < kChannels; ++c)
                benchmark::DoNotOptimize(ZQ_WriteChanOneFloatValue(
                    ZQ_MAX_CHANNELS, reinterpret_cast<int*>(&frames[size_t(f * kChannels + c)])));
    }
    state.SetItemsProcessed(state.iterations() * kValuesPerTick);
}

// The two halves of the path, to see where its time goes.
void BM_WriteOnly(benchmark::State& state)
{
    Define();
    std::vector<float> frames(kValuesPerTick, 1.0f);
    for (auto _ : state) {
        for (int f = 0; f < kFramesPerTick; ++f)
            for (int c = 0; c < kChannels; ++c)
                ZQ_WriteChanOneFloatValue(c, reinterpret_cast<int*>(&frames[size_t(f * kChannels + c)]));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kValuesPerTick);
}

void BM_FreezeRead(benchmark::State& state)
{
    Define();
    std::vector<float> read(kFramesPerTick);
    float v = 1.0f;
    for (int f = 0; f < 2 * kFramesPerTick; ++f)
        for (int c = 0; c < kChannels; ++c)
            ZQ_WriteChanOneFloatValue(c, reinterpret_cast<int*>(&v));
    for (auto _ : state) {
        ZQ_FreezeBuffers(2);
        ZQ_ResetBuffer(2, -1); // keeps the next freeze's block empty: only the reads below count
        for (int c = 0; c < kChannels; ++c)
            ZQ_ReadChanEx(2, c, reinterpret_cast<unsigned char*>(read.data()), kFramesPerTick, 0);
        benchmark::DoNotOptimize(read.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kValuesPerTick);
}

BENCHMARK(BM_MemcpyReference);
BENCHMARK(BM_CallFloor);
BENCHMARK(BM_WriteOnly);
BENCHMARK(BM_FreezeRead);
BENCHMARK(BM_WriteFramesFreezeRead);
BENCHMARK(BM_WriteFreezeRead);

// Keeps the seconds per iteration of every benchmark for the summary.
class Recorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                m_seconds[run.benchmark_name()] = run.GetAdjustedCPUTime() /
                                                 benchmark::GetTimeUnitMultiplier(run.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
    double Seconds(const std::string& name) const
    {
        auto it = m_seconds.find(name);
        return it == m_seconds.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> m_seconds;
};

} // namespace

int main(int argc, char** argv)
{
    g_name = "krv-bench-zq-" + std::to_string(getpid());
    setenv("ZQ_NAME", g_name.c_str(), 1);
    benchmark::Initialize(&argc, argv);
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    ZQ_ReleaseWriter();
    shm_unlink(("/" + g_name + ".readers").c_str());

    const double reference = recorder.Seconds("BM_MemcpyReference");
    std::printf("\nreference: memcpy of %d floats, %.3g values/s\n", kValuesPerTick, kValuesPerTick / reference);
    for (const char* name : {"BM_WriteFreezeRead", "BM_WriteFramesFreezeRead"}) {
        const double path = recorder.Seconds(name);
        if (reference <= 0 || path <= 0)
            continue;
        // One iteration is one 10 ms tick of the stream: 100 of them per second.
        std::printf("%s, %d channels: %.3g values/s = %.1f %% of memcpy (target >= 15 %%); "
                    "%d x %.0f kHz stream: %.3f %% of one core (target < 1 %%)\n",
                    name, kChannels, kValuesPerTick / path, 100.0 * reference / path, kChannels, kRate / 1000,
                    100.0 * path * (kRate / kFramesPerTick));
    }
    if (const double floor = recorder.Seconds("BM_CallFloor"); floor > 0)
        std::printf("call floor: %.2f ns per rejected call = %.1f %% of memcpy\n", 1e9 * floor / kValuesPerTick,
                    100.0 * reference / floor);
    benchmark::Shutdown();
    return 0;
}
