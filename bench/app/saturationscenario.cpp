#include "saturationscenario.h"

#include "capture/analysispool.h"
#include "support/stubmainframe.h"
#include "views/spgview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
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

// Records per second that six views analyse with `workers` threads. Each
// view has a frame of its own, so that it is given its next record the
// moment it has taken the last one over: the workers never wait for the
// user-interface thread.
double Throughput(int workers, int records)
{
    AnalysisPool pool(workers);
    QWidget window;
    window.resize(1200, 800);
    std::vector<std::unique_ptr<StubMainFrame>> frames;
    std::vector<std::unique_ptr<CSpgView>> views;
    for (int v = 0; v < kViews; ++v) {
        frames.push_back(std::make_unique<StubMainFrame>());
        StubMainFrame& frame = *frames.back();
        frame.workers = &pool;
        frame.channels = {0, 1};
        frame.record.points = kPoints;
        frame.record.hop = int(kPoints * (100 - kOverlap) * 0.01);
        frame.record.averages = 0;
        views.push_back(std::make_unique<CSpgView>(&frame, &window));
        views.back()->Create();
        views.back()->setGeometry(150, 0, 1050, 400);
        views.back()->Show(true);
    }
    const std::vector<float> a = Tone(1000.0, 1.0), b = Tone(3000.0, 0.5);
    auto feed = [&](int v) {
        frames[size_t(v)]->SetCapture({a, b}, 1.0 / kRate);
        views[size_t(v)]->Analyse();
    };
    // A first record each: tables and arrays made before timing.
    for (int v = 0; v < kViews; ++v)
        feed(v);
    pool.WaitIdle();
    for (auto& view : views)
        view->AdoptResults();

    QElapsedTimer timer;
    timer.start();
    const int total = records * kViews;
    int given = 0, taken = 0;
    for (int v = 0; v < kViews; ++v, ++given)
        feed(v);
    while (taken < total) {
        bool progress = false;
        for (int v = 0; v < kViews; ++v) {
            if (views[size_t(v)]->AdoptResults()) {
                ++taken;
                progress = true;
            }
            if (given < total && views[size_t(v)]->AnalysisIdle()) {
                feed(v);
                ++given;
            }
        }
        if (!progress)
            std::this_thread::yield();
    }
    const double seconds = double(timer.nsecsElapsed()) * 1e-9;
    return double(taken) / kViews / seconds;
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
