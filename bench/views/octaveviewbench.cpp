// Six pages' octave views at 1/24 octave, 125 Hz – 16 kHz, on 24 channels
// of 200 kHz that zq-gen publishes in real time: twelve analysers on 2.4
// million samples per second. Every 10 ms the reader client 3 is frozen and
// the six views tick, as the main window does. Prints the tick's 99th
// percentile, the share of the wall time the ticks take, the samples the
// service reports lost for client 3, and the p99 as a ratio to the
// straightforward fourth-order filter bank doing one tick's work.

#include "benchreference.h"
#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "context/mainframe.h"
#include "octavereference.h"
#include "analysis/octaveanalyser.h"
#include "views/octpanel.h"
#include "views/octview.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kPages = 6;
constexpr int kChannels = 24;
constexpr double kRate = 200000.0;

class PageFrame : public MainFrame {
public:
    explicit PageFrame(int page) : m_page(page) {}
    AnalysisRecord record;
    QWidget* Window() override { return nullptr; }
    AnalysisRecord& Record() override { return record; }
    CHwManager& Hardware() override { std::abort(); }
    void SetPageCount(int) override {}
    int PageCount() const override { return kPages; }
    void RunStop() override {}
    void SingleShot() override {}
    void PointsChanged() override {}
    void AveragesChanged() override {}
    void OverlapChanged() override {}
    void NotifyAnalysis() override {}
    void ChannelsChosen() override {}
    void AutoSetup() override {}
    void RefreshChannels() override {}
    void ShowMainMenu(const QPoint&) override {}
    // Page p shows channels 2p and 2p + 1.
    int ChosenChannel(int slot) const override { return slot == 0 || slot == 1 ? 2 * m_page + slot : -1; }

private:
    int m_page;
};

std::string BinDir()
{
    char path[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string dir(path, n > 0 ? size_t(n) : 0);
    return dir.substr(0, dir.rfind('/'));
}

pid_t StartWriter()
{
    const std::string program = BinDir() + "/zq-gen";
    std::vector<std::string> args = {program, "-n", std::to_string(kChannels), "-r", "200000", "-s", "noise", "-q"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

void BM_SixOctavePages(benchmark::State& state)
{
    const std::string name = "krv-bench-oct-" + std::to_string(getpid());
    setenv("ZQ_NAME", name.c_str(), 1);
    const pid_t writer = StartWriter();
    for (int i = 0; i < 2000 && ZQ_GetNrOfChan() != kChannels; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (writer < 0 || ZQ_GetNrOfChan() != kChannels) {
        state.SkipWithError("zq-gen did not define its channels");
        return;
    }

    std::vector<std::unique_ptr<PageFrame>> frames;
    std::vector<std::unique_ptr<COctView>> views;
    for (int p = 0; p < kPages; ++p) {
        frames.push_back(std::make_unique<PageFrame>(p));
        views.push_back(std::make_unique<COctView>(frames.back().get(), nullptr));
        COctView& view = *views.back();
        view.Create();
        view.OctPanel()->Selector(COctPanel::IdBandwidth)->SelectText(QStringLiteral("1/24 Octave"));
        view.OctPanel()->Selector(COctPanel::IdTime)->SelectText(QStringLiteral("Fast"));
        view.Show(true);
    }
    ZQ_ResetBuffer(COctView::kClient, -1);
    ZQ_FreezeBuffers(COctView::kClient);

    using Clock = std::chrono::steady_clock;
    std::vector<double> ticks;
    double busy = 0.0, wall = 0.0;
    for (auto _ : state) {
        ticks.clear();
        const auto start = Clock::now();
        auto next = start;
        for (int t = 0; t < 300; ++t) { // 3 s of 10 ms ticks
            next += std::chrono::milliseconds(10);
            const auto t0 = Clock::now();
            ZQ_FreezeBuffers(COctView::kClient);
            for (auto& view : views)
                view->Tick();
            const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
            ticks.push_back(seconds);
            busy += seconds;
            // A late tick is followed at once, as a coalescing timer does.
            std::this_thread::sleep_until(std::max(next, Clock::now()));
            if (Clock::now() > next)
                next = Clock::now();
        }
        wall += std::chrono::duration<double>(Clock::now() - start).count();
    }
    long long lost = 0;
    for (int c = 0; c < kChannels; ++c)
        lost += std::max(0LL, ZQ_GetChanLost(COctView::kClient, c));
    kill(writer, SIGTERM);
    waitpid(writer, nullptr, 0);

    // The reference: the straightforward filter bank on one tick's samples
    // (2000 per analyser) for twelve analysers.
    const OctaveAnalyser& design = views[0]->Analyser(0);
    std::vector<float> noise(2000);
    unsigned s = 1;
    for (float& x : noise) {
        s = s * 1664525u + 1013904223u;
        x = float((s >> 8) * (1.0 / 16777216.0) - 0.5);
    }
    FourthOrderBank bank(design);
    const double reference = SecondsPerCall([&] {
        for (int a = 0; a < 2 * kPages; ++a)
            bank.Process(noise.data(), int(noise.size()), design.Alpha());
    }, 0.2, 3);

    std::sort(ticks.begin(), ticks.end());
    const double p99 = ticks.empty() ? 0.0 : ticks[std::min(ticks.size() - 1, ticks.size() * 99 / 100)];
    state.counters["bands"] = design.BandCount();
    state.counters["tick_p99_ms"] = p99 * 1e3;
    state.counters["tick_median_ms"] = ticks.empty() ? 0.0 : ticks[ticks.size() / 2] * 1e3;
    state.counters["cpu_share"] = wall > 0 ? busy / wall : 0.0;
    state.counters["lost_samples"] = double(lost);
    state.counters["reference_tick_ms"] = reference * 1e3;
    state.counters["p99_ratio_to_reference"] = p99 / reference;
    state.counters["median_ratio_to_reference"] = ticks.empty() ? 0.0 : ticks[ticks.size() / 2] / reference;
}

} // namespace

BENCHMARK(BM_SixOctavePages)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
