// The 10 ms tick of a recorder module at 24 channels × 50 kHz: the module
// poll moves 500 samples per channel into the channel buffer service and
// an open recording. Its CPU time is given as a share of one core (one tick
// per 10 ms of real time) and as a ratio to copying the same samples with
// memcpy, measured in the same run.

#include "acquisition/hwmanager.h"
#include "acquisition/hwmodule.h"
#include "acquisition/recorderapi.h"
#include "context/appcontext.h"
#include "zq.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kChannels = 24;
constexpr int kRate = 50000;
constexpr int kSamplesPerTick = kRate / 100;
constexpr double kTickSeconds = 0.01;

double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

struct Measured {
    double cpuSecondsPerTick = 0;
};
Measured g_poll;
Measured g_memcpy;

void BM_ModulePollTick(benchmark::State& state)
{
    setenv("VELMOR_SIM_MODULE", "Halvek", 1);
    CHwManager manager;
    manager.ChooseModule();
    CHwModule* module = manager.Module();
    if (!module) {
        state.SkipWithError("no simulated module");
        return;
    }
    auto advance = reinterpret_cast<void (*)(int64_t)>(dlsym(Vel().handle, "VelSimAdvance"));
    auto manual = reinterpret_cast<void (*)(int)>(dlsym(Vel().handle, "VelSimSetManualClock"));
    Vel().VelSetSampleRate(kRate);
    module->SetSampleRate(kRate);

    ZQ_SetNrOfChan(kChannels);
    CRecordFile& recording = manager.RecordFile();
    recording.Prepare(kChannels, 4096);
    for (int ch = 0; ch < kChannels; ++ch) {
        const std::string name = "Halvek:" + std::to_string(ch);
        ZQ_SetChanDef(ch, ch + 1, std::to_string(ch).c_str(), name.c_str(), "V", "+", 1.0 / kRate, -10, 10,
                      -99, 99, 0);
        recording.DefineChannel(ch, ch + 1, QString::fromStdString(name), "V", 1.0 / kRate);
        module->AddActive(ch, 10.0 / 2147483647.5, 0.0);
    }
    char path[] = "/tmp/krv-bench-poll-XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0)
        close(fd);
    recording.Open(QString::fromLatin1(path));
    manual(1);
    module->Start();

    int64_t ticks = 0;
    const double start = ThreadCpuSeconds();
    for (auto _ : state) {
        advance(kSamplesPerTick);
        manager.Poll();
        ++ticks;
    }
    const double cpu = ThreadCpuSeconds() - start;
    recording.Close();
    unlink(path);
    manual(0);
    ZQ_ReleaseWriter();

    g_poll.cpuSecondsPerTick = ticks ? cpu / ticks : 0;
    state.counters["cpu_share_pct"] = 100.0 * g_poll.cpuSecondsPerTick / kTickSeconds;
    state.SetItemsProcessed(ticks * kChannels * kSamplesPerTick);
}
BENCHMARK(BM_ModulePollTick)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// Reference: the tick's samples copied once into the service's rings and
// once into the recording's blocks.
void BM_MemcpyTick(benchmark::State& state)
{
    const size_t bytes = size_t(kChannels) * kSamplesPerTick * sizeof(float);
    std::vector<char> source(bytes, 1), service(bytes), blocks(bytes);
    int64_t ticks = 0;
    const double start = ThreadCpuSeconds();
    for (auto _ : state) {
        std::memcpy(service.data(), source.data(), bytes);
        std::memcpy(blocks.data(), source.data(), bytes);
        benchmark::DoNotOptimize(service.data());
        benchmark::DoNotOptimize(blocks.data());
        benchmark::ClobberMemory();
        ++ticks;
    }
    g_memcpy.cpuSecondsPerTick = ticks ? (ThreadCpuSeconds() - start) / ticks : 0;
}
BENCHMARK(BM_MemcpyTick)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
} // namespace

int main(int argc, char** argv)
{
    char tmp[] = "/tmp/krv-bench-XXXXXX";
    if (mkdtemp(tmp)) {
        // A namespace and profile of the benchmark's own.
        setenv("ZQ_NAME", (std::string("krv-bench-poll-") + std::to_string(getpid())).c_str(), 1);
        setenv("XDG_CONFIG_HOME", tmp, 1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_poll.cpuSecondsPerTick > 0 && g_memcpy.cpuSecondsPerTick > 0) {
        std::printf("module poll 24 ch x 50 kHz: %.3f %% of one core (target < 2 %%); "
                    "%.1f x the memcpy reference (%.2f us vs %.2f us per 10 ms tick)\n",
                    100.0 * g_poll.cpuSecondsPerTick / kTickSeconds,
                    g_poll.cpuSecondsPerTick / g_memcpy.cpuSecondsPerTick, g_poll.cpuSecondsPerTick * 1e6,
                    g_memcpy.cpuSecondsPerTick * 1e6);
    }
    return 0;
}
