// Recording throughput: a continuous recording of 24 channels in blocks of
// 4096 frames, appended value by value as the acquisition does, against a
// plain write of the same bytes to a file of the same kind, interleaved
// block by block in the same run. The benchmark's time is the recording's;
// "ratio_to_write" is the recording's throughput as a fraction of the plain
// write's (target >= 0.8). The first frame of each block carries the flush
// of the block before (transpose and one write): "flush_ratio_to_write"
// compares that part alone with the plain write, "append_ns" is the cost of
// one AppendValue outside the flush.

#include "acquisition/recordfile.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

constexpr int kChannels = 24;
constexpr int kBlockFrames = 4096;
constexpr int kBlocksPerFile = 64; // 24 MiB, then both files start anew
constexpr size_t kBlockBytes = size_t(kChannels) * kBlockFrames * sizeof(float);

std::string TempPath(const char* stem)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/" + stem + "-" + std::to_string(getpid()) + ".vrd";
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_RecordingThroughput(benchmark::State& state)
{
    const std::string recordPath = TempPath("krv-bench-record");
    const std::string writePath = TempPath("krv-bench-write");
    CRecordFile file;
    file.Prepare(kChannels, kBlockFrames);
    for (int c = 0; c < kChannels; ++c)
        file.DefineChannel(c, c, QString("ch%1").arg(c), "V", 2e-5);
    file.Open(QString::fromStdString(recordPath));
    int fd = ::open(writePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<float> block(size_t(kChannels) * kBlockFrames, 0.5f);

    double recordSeconds = 0.0, writeSeconds = 0.0, flushSeconds = 0.0;
    float value = 0.0f;
    int blocks = 0;
    for (auto _ : state) {
        if (++blocks > kBlocksPerFile) {
            file.Close();
            file.Open(QString::fromStdString(recordPath));
            ::ftruncate(fd, 0);
            ::lseek(fd, 0, SEEK_SET);
            blocks = 1;
        }
        const Clock::time_point t0 = Clock::now();
        ssize_t written = ::write(fd, block.data(), kBlockBytes);
        benchmark::DoNotOptimize(written);
        const Clock::time_point t1 = Clock::now();
        for (int c = 0; c < kChannels; ++c)
            file.AppendValue(c, value);
        value += 1.0f;
        const Clock::time_point tFlush = Clock::now();
        for (int j = 1; j < kBlockFrames; ++j) {
            for (int c = 0; c < kChannels; ++c)
                file.AppendValue(c, value);
            value += 1.0f;
        }
        const Clock::time_point t2 = Clock::now();
        writeSeconds += Seconds(t1 - t0);
        recordSeconds += Seconds(t2 - t1);
        if (blocks > 1)
            flushSeconds += Seconds(tFlush - t1);
        state.SetIterationTime(Seconds(t2 - t1));
    }
    file.Close();
    ::close(fd);
    ::unlink(recordPath.c_str());
    ::unlink(writePath.c_str());
    const double bytes = double(state.iterations()) * double(kBlockBytes);
    state.SetBytesProcessed(int64_t(bytes));
    state.counters["write_MBps"] = benchmark::Counter(bytes / writeSeconds / 1e6);
    const double appendSeconds = recordSeconds - flushSeconds;
    state.counters["append_ns"] = benchmark::Counter(appendSeconds / (double(state.iterations()) * kChannels * kBlockFrames) * 1e9);
    state.counters["flush_ratio_to_write"] = benchmark::Counter(flushSeconds > 0 ? writeSeconds / flushSeconds : 0.0);
    state.counters["ratio_to_write"] = benchmark::Counter(recordSeconds > 0 ? writeSeconds / recordSeconds : 0.0);
}
} // namespace

BENCHMARK(BM_RecordingThroughput)->UseManualTime()->Unit(benchmark::kMicrosecond);
