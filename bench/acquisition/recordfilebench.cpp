// Recording throughput: a continuous recording of 24 channels in blocks of
// 4096 frames against a plain write of the same bytes to a file of the same
// kind, interleaved block by block in the same run. The plain write lays the
// bytes where the recording does: a head of CRecordFile::kHeadBytes, then
// the blocks, so each block write ends part-way into a page as the
// recording's do. "aligned_write_ratio" is the span ratio against a second
// plain write without the head (blocks on page boundaries), which the file
// format cannot have. Two recordings take the
// same number of frames per iteration (one block):
// - value by value (AppendValue per channel, frame by frame). The
//   benchmark's time is this one's; "ratio_to_write" is its throughput as a
//   fraction of the plain write's. The first frame of each block carries the
//   flush of the block before (transpose and one write):
//   "flush_ratio_to_write" compares that part alone with the plain write,
//   "append_ns" is the cost of one AppendValue outside the flush.
//   "ratio_to_plain_gather" compares it with the straightforward
//   value-by-value writer: a hand-written loop that stores each value at its
//   place in unpadded channel blocks and then writes them (a third file,
//   same run); above 1 the recording is faster.
// - in runs per channel (AppendFrames), as the module and sound polls
//   append: runs of 500 frames (a 10 ms poll at 50 kHz) that straddle the
//   block ends, each converted into its rows just before (not timed).
//   "span_median_ratio_to_write" is the same ratio from the median times of
//   one block's write and one block's runs, which a preempted block on a
//   busy machine does not shift. "span_ratio_to_write" is its throughput, flushes included,
//   as a fraction of the plain write's (target >= 0.8); "span_append_ns"
//   its cost per value, flushes included.

#include "acquisition/recordfile.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstddef>
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
constexpr int kPollFrames = 500;

std::string TempPath(const char* stem)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/" + stem + "-" + std::to_string(getpid()) + ".vrd";
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Frames for the recording in runs, as a poll hands them over: each run is
// converted into one row per channel first (not timed), then appended
// (timed), so that the values come from the cache as they do after a
// poll's conversion.
class RunSource {
public:
    // Appends one block's worth of frames in runs of up to kPollFrames,
    // carrying on where the previous call ended; returns the seconds spent
    // appending.
    double AppendBlock(CRecordFile& file)
    {
        double seconds = 0.0;
        for (int left = kBlockFrames; left > 0;) {
            const int run = std::min(left, kPollFrames);
            Convert(run);
            const float* starts[kChannels];
            for (int c = 0; c < kChannels; ++c)
                starts[c] = m_rows[c];
            const Clock::time_point t0 = Clock::now();
            file.AppendFrames(starts, run);
            benchmark::ClobberMemory();
            seconds += Seconds(Clock::now() - t0);
            left -= run;
        }
        return seconds;
    }

private:
    void Convert(int run)
    {
        for (int j = 0; j < run; ++j, m_value += 1.0f)
            for (int c = 0; c < kChannels; ++c)
                m_rows[c][j] = m_value + float(c);
        benchmark::ClobberMemory();
    }

    float m_rows[kChannels][kPollFrames] = {};
    float m_value = 0.0f;
};

// A recording of kChannels channels in blocks of kBlockFrames, opened.
void OpenRecording(CRecordFile& file, const std::string& path)
{
    file.Prepare(kChannels, kBlockFrames);
    for (int c = 0; c < kChannels; ++c)
        file.DefineChannel(c, c, QString("ch%1").arg(c), "V", 2e-5);
    file.Open(QString::fromStdString(path));
}

void BM_RecordingThroughput(benchmark::State& state)
{
    const std::string recordPath = TempPath("krv-bench-record");
    const std::string writePath = TempPath("krv-bench-write");
    const std::string gatherPath = TempPath("krv-bench-gather");
    const std::string spanPath = TempPath("krv-bench-span");
    CRecordFile file, spanFile;
    OpenRecording(file, recordPath);
    OpenRecording(spanFile, spanPath);
    RunSource runs;
    const std::string alignedPath = TempPath("krv-bench-aligned");
    int fd = ::open(writePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int alignedFd = ::open(alignedPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const char head[CRecordFile::kHeadBytes] = {};
    ssize_t headWritten = ::write(fd, head, sizeof head);
    benchmark::DoNotOptimize(headWritten);
    std::vector<float> block(size_t(kChannels) * kBlockFrames, 0.5f);
    int gatherFd = ::open(gatherPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<float> gather(size_t(kChannels) * kBlockFrames, 0.0f);

    double recordSeconds = 0.0, writeSeconds = 0.0, alignedSeconds = 0.0, flushSeconds = 0.0, gatherSeconds = 0.0,
           spanSeconds = 0.0;
    float value = 0.0f;
    int blocks = 0;
    std::vector<double> writeTimes, spanTimes;
    for (auto _ : state) {
        if (++blocks > kBlocksPerFile) {
            file.Close();
            file.Open(QString::fromStdString(recordPath));
            spanFile.Close();
            spanFile.Open(QString::fromStdString(spanPath));
            for (int f : {fd, gatherFd, alignedFd}) {
                ::ftruncate(f, 0);
                ::lseek(f, 0, SEEK_SET);
            }
            headWritten = ::write(fd, head, sizeof head);
            benchmark::DoNotOptimize(headWritten);
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
        for (int j = 0; j < kBlockFrames; ++j) {
            for (int c = 0; c < kChannels; ++c)
                gather[size_t(c) * kBlockFrames + size_t(j)] = value;
            value += 1.0f;
        }
        written = ::write(gatherFd, gather.data(), kBlockBytes);
        benchmark::DoNotOptimize(written);
        benchmark::ClobberMemory();
        gatherSeconds += Seconds(Clock::now() - t2);
        const double span = runs.AppendBlock(spanFile);
        const Clock::time_point t3 = Clock::now();
        written = ::write(alignedFd, block.data(), kBlockBytes);
        benchmark::DoNotOptimize(written);
        alignedSeconds += Seconds(Clock::now() - t3);
        spanSeconds += span;
        writeTimes.push_back(Seconds(t1 - t0));
        spanTimes.push_back(span);
        writeSeconds += Seconds(t1 - t0);
        recordSeconds += Seconds(t2 - t1);
        if (blocks > 1)
            flushSeconds += Seconds(tFlush - t1);
        state.SetIterationTime(Seconds(t2 - t1));
    }
    file.Close();
    spanFile.Close();
    ::close(fd);
    ::close(gatherFd);
    ::close(alignedFd);
    ::unlink(alignedPath.c_str());
    ::unlink(gatherPath.c_str());
    ::unlink(spanPath.c_str());
    ::unlink(recordPath.c_str());
    ::unlink(writePath.c_str());
    const double bytes = double(state.iterations()) * double(kBlockBytes);
    state.SetBytesProcessed(int64_t(bytes));
    state.counters["write_MBps"] = benchmark::Counter(bytes / writeSeconds / 1e6);
    const double appendSeconds = recordSeconds - flushSeconds;
    state.counters["append_ns"] = benchmark::Counter(appendSeconds / (double(state.iterations()) * kChannels * kBlockFrames) * 1e9);
    state.counters["flush_ratio_to_write"] = benchmark::Counter(flushSeconds > 0 ? writeSeconds / flushSeconds : 0.0);
    state.counters["ratio_to_plain_gather"] = benchmark::Counter(recordSeconds > 0 ? gatherSeconds / recordSeconds : 0.0);
    state.counters["ratio_to_write"] = benchmark::Counter(recordSeconds > 0 ? writeSeconds / recordSeconds : 0.0);
    state.counters["span_append_ns"] =
        benchmark::Counter(spanSeconds / (double(state.iterations()) * kChannels * kBlockFrames) * 1e9);
    state.counters["span_ratio_to_write"] = benchmark::Counter(spanSeconds > 0 ? writeSeconds / spanSeconds : 0.0);
    state.counters["aligned_write_ratio"] = benchmark::Counter(spanSeconds > 0 ? alignedSeconds / spanSeconds : 0.0);
    const double spanMedian = Median(spanTimes);
    state.counters["span_median_ratio_to_write"] =
        benchmark::Counter(spanMedian > 0 ? Median(writeTimes) / spanMedian : 0.0);
}
} // namespace

BENCHMARK(BM_RecordingThroughput)->UseManualTime()->Unit(benchmark::kMicrosecond);
