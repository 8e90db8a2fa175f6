#include "saturationscenario.h"

#include "capture/analysispool.h"
#include "context/appcontext.h"
#include "support/stubmainframe.h"
#include "views/spgview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kViews = 6;
constexpr int kRate = 50000;
constexpr int kPoints = 2048;
constexpr int kOverlap = 95;

std::vector<float> Tone(double frequency, double amplitude)
{
    std::vector<float> values(kRate);
    for (int i = 0; i < kRate; ++i)
        values[size_t(i)] = float(amplitude * std::sin(2.0 * 3.141592653589793 * frequency * i / kRate));
    return values;
}

// Records per second that six views analyse with `workers` threads.
double Throughput(int workers, int records)
{
    AnalysisPool pool(workers);
    StubMainFrame frame;
    frame.workers = &pool;
    frame.channels = {0, 1};
    frame.window.resize(1200, 800);
    AnalysisRecord& record = frame.record;
    record.points = kPoints;
    record.hop = int(kPoints * (100 - kOverlap) * 0.01);
    record.averages = 0;
    std::vector<std::unique_ptr<CSpgView>> views;
    for (int v = 0; v < kViews; ++v) {
        views.push_back(std::make_unique<CSpgView>(&frame, &frame.window));
        views.back()->Create();
        views.back()->setGeometry(150, 0, 1050, 400);
        views.back()->Show(true);
    }
    const std::vector<float> a = Tone(1000.0, 1.0), b = Tone(3000.0, 0.5);
    auto publishAndAnalyse = [&] {
        frame.SetCapture({a, b}, 1.0 / kRate);
        for (auto& view : views)
            view->Analyse();
        pool.WaitIdle();
        for (auto& view : views)
            view->AdoptResults();
    };
    publishAndAnalyse(); // tables and arrays made
    QElapsedTimer timer;
    timer.start();
    for (int r = 0; r < records; ++r)
        publishAndAnalyse();
    const double seconds = double(timer.nsecsElapsed()) * 1e-9;
    for (auto& view : views)
        if (view->AnalysedRecords() != std::uint64_t(records + 1))
            std::fprintf(stderr, "bench_app: a view took over %llu of %d records\n",
                         static_cast<unsigned long long>(view->AnalysedRecords()), records + 1);
    return records / seconds;
}

} // namespace

double RunSaturation(int records)
{
    const double one = Throughput(1, records);
    const double two = Throughput(2, records);
    const double ratio = two / one;
    std::printf("saturation: %d spectrogram views, %d points, %d%% overlap, 1 s records: %.2f records/s with one "
                "worker, %.2f with two: ratio %.2f (target >= 1.6)\n",
                kViews, kPoints, kOverlap, one, two, ratio);
    std::fflush(stdout);
    return ratio;
}
