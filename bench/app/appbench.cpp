// The whole program without a screen: a KRV main window on the offscreen
// platform with 1, 3 and 6 pages, the time view shown on each, fed by zq-gen
// in another process with the counter on 24 channels at 50 kHz. Prints the
// time of each 10 ms tick (poll, freeze, the views' ticks and the paints
// they cause) and of each NotifyAnalysis as p50, p99 and max, and the
// records captured against those the writer's samples allow (1.0: no record
// missed). Then a page showing the spectrogram of a 10 s record of 50 kHz
// (two channels): the time of its Analyse and of its paint at 1024 and 65536
// points, each also against the bare transforms it needs (FftPlan alone,
// same run), and the longest the user-interface thread is held. Then six
// pages showing FFT, PSD, FRF, COH, CRS and the time view at 1024 and at
// 65536 points with 75 % overlap: NotifyAnalysis p50 and max, tick p99.
// Then the octave scenario (octavescenario.h).
//
// Then, before the octave scenario, the pipeline scenarios
// (pipelinescenario.h): six pages of spectrograms, then six spectral views,
// timing every outermost event delivery on the user-interface thread and
// counting each view's analysed records; 30 s each unless --seconds is given.
//
// Then the analysis stage at saturation with one and with two workers
// (saturationscenario.h).
//
//   bench_app [--seconds S] [--pages N | --octave | --spectrogram-only | --saturation]
//   bench_app --pipeline | --pipeline-spectrogram | --pipeline-spectra
//             [--seconds S (default 30)] [--warm-up S (default 3)]
//   (other arguments, such as Google Benchmark's, are ignored)

#include "analysis/fftplan.h"
#include "analysis/segmentlayout.h"
#include "context/analysisrecord.h"
#include "benchloop.h"
#include "context/appcontext.h"
#include "octavescenario.h"
#include "saturationscenario.h"
#include "pipelinescenario.h"
#include "panels/controlbar.h"
#include "panels/viewbar.h"
#include "platform/appmessage.h"
#include "platform/companionbus.h"
#include "platform/profile.h"
#include "shell/wndkrv.h"
#include "timedapplication.h"
#include "views/paneldlg.h"
#include "views/timepanel.h"
#include "views/timeview.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimerEvent>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <unistd.h>
#include <cstdio>
#include <vector>

namespace {

class BenchWindow : public CWndKRV {
public:
    std::vector<double> tickMs, notifyMs;
    // The ticks that finished a record, in wall and in thread CPU time (the
    // latter is what the tick costs, whatever else the machine runs).
    std::vector<double> recordTickMs, recordTickCpuMs;
    int records = 0;
    double firstSample = -1.0, lastSample = -1.0;
    int recordLength = 0;

    void NotifyAnalysis() override
    {
        QElapsedTimer timer;
        timer.start();
        CWndKRV::NotifyAnalysis();
        notifyMs.push_back(double(timer.nsecsElapsed()) * 1e-6);
        recordThisTick = true;
        const CaptureRecord* r = Record().capture.get();
        if (!measuring || !r || r->length <= 0)
            return;
        const double first = r->samples[0][0];
        if (first == lastFirst)
            return; // not a new record (a choice changed)
        lastFirst = first;
        if (firstSample < 0.0)
            firstSample = first;
        lastSample = r->samples[0][size_t(r->length - 1)];
        recordLength = r->length;
        ++records;
    }
    bool measuring = false;

protected:
    void timerEvent(QTimerEvent* event) override
    {
        QElapsedTimer timer;
        timer.start();
        const double cpu0 = ThreadCpuMs();
        recordThisTick = false;
        CWndKRV::timerEvent(event);
        // The paints the tick asked for, as the event loop would run them next.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        if (!measuring)
            return;
        tickMs.push_back(double(timer.nsecsElapsed()) * 1e-6);
        if (recordThisTick) {
            recordTickMs.push_back(tickMs.back());
            recordTickCpuMs.push_back(ThreadCpuMs() - cpu0);
        }
    }

private:
    static double ThreadCpuMs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
    }
    double lastFirst = -1.0;
    bool recordThisTick = false;
};

void Run(int pages, double seconds)
{
    BenchWindow window;
    window.resize(1600, 1000);
    window.Create();
    window.show();
    window.SetPageCount(pages);
    // 0.01 s per division: records of 5000 samples, ten a second.
    for (int i = 0; i < pages; ++i) {
        auto* time = qobject_cast<CTimeView*>(window.Page(i)->View(ViewKind::Time));
        if (!time)
            continue;
        time->TimePanel()->Selector(CTimePanel::IdXDiv)->SelectText(QStringLiteral("0.01s"));
        SendAppMessage(time, WM_PANEL_NOTIFY, PanelXScale, 0);
    }
    RunEventLoop(1000); // settle
    window.notifyMs.clear();
    window.measuring = true;
    RunEventLoop(int(seconds * 1000));
    window.measuring = false;

    const double allowed =
        window.recordLength > 0 ? (window.lastSample - window.firstSample + 1.0) / window.recordLength : 0.0;
    std::printf("pages %d: tick p50 %.3f ms  p99 %.3f ms  max %.3f ms  (%zu ticks)\n", pages,
                Percentile(window.tickMs, 0.5), Percentile(window.tickMs, 0.99), Percentile(window.tickMs, 1.0),
                window.tickMs.size());
    std::printf("pages %d: ticks finishing a record p50 %.3f ms  p99 %.3f ms, thread CPU p50 %.3f ms  p99 %.3f ms\n",
                pages, Percentile(window.recordTickMs, 0.5), Percentile(window.recordTickMs, 0.99),
                Percentile(window.recordTickCpuMs, 0.5), Percentile(window.recordTickCpuMs, 0.99));
    std::printf("pages %d: NotifyAnalysis p50 %.3f ms  p99 %.3f ms  max %.3f ms  (%zu calls)\n", pages,
                Percentile(window.notifyMs, 0.5), Percentile(window.notifyMs, 0.99),
                Percentile(window.notifyMs, 1.0), window.notifyMs.size());
    std::printf("pages %d: records %d of %.0f the samples allow: ratio %.3f\n", pages, window.records, allowed,
                allowed > 0.0 ? window.records / allowed : 0.0);
    std::fflush(stdout);
}

// Seconds for count transforms of n points on the same buffers: what the
// spectrogram needs at least per channel.
double BareTransforms(int n, int count)
{
    FftPlan plan(n);
    std::vector<float> re(size_t(n), 0.5f), im(size_t(n), 0.0f);
    QElapsedTimer timer;
    timer.start();
    for (int j = 0; j < count; ++j) {
        re[0] = float(j);
        plan.Transform(re.data(), im.data());
    }
    return double(timer.nsecsElapsed()) * 1e-9;
}

void RunSpectrogram()
{
    constexpr double rate = 50000.0;
    constexpr int length = 500000; // 10 s
    // A chirp in noise and a tone: what a user looks at, nothing degenerate.
    std::vector<float> channels[2] = {std::vector<float>(length), std::vector<float>(length)};
    unsigned noise = 1;
    for (int t = 0; t < length; ++t) {
        const double time = t / rate;
        noise = noise * 1664525u + 1013904223u;
        channels[0][size_t(t)] = float(std::sin(6.283185307 * (200 * time + 1000 * time * time)) + 1e-3 * (noise >> 16));
        channels[1][size_t(t)] = float(std::sin(6.283185307 * 1000 * time));
    }

    BenchWindow window;
    window.resize(1600, 1000);
    window.Create();
    window.show();
    window.SetPageCount(1);
    if (window.Record().run)
        window.RunStop(); // the time view leaves the record alone
    window.Bar()->Selector(CControlBar::IdAverages)->SelectKey(0, true); // "Auto": no notice
    CViewBar* page = window.Page(0);
    page->SelectView(ViewKind::Spg);
    CGraphWnd* view = page->View(ViewKind::Spg);
    QApplication::processEvents();
    AnalysisRecord& record = window.Record();
    auto capture = std::make_shared<CaptureRecord>();
    capture->samples = {channels[0], channels[1]};
    capture->length = length;
    capture->sampleInterval = 1.0 / rate;
    capture->sequence = 1;
    record.capture = capture;
    record.averages = 0;
    std::printf("spectrogram page: 10 s record of 50 kHz, two channels, %dx%d view\n", view->width(),
                view->height());
    double worst = 0.0;
    const struct {
        int points, overlap;
    } cases[] = {{1024, 50}, {65536, 50}, {1024, 95}, {2048, 95}, {65536, 95}};
    for (const auto& c : cases) {
        record.points = c.points;
        record.overlap = c.overlap;
        record.hop = CWndKRV::HopFor(c.points, c.overlap);
        const int rows = SegmentCount(length, 0, c.points, record.hop, 0);
        std::vector<double> analyse, paint;
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer timer;
            timer.start();
            // On the workers: the time until the result is adopted.
            view->Analyse();
            window.AnalysisWorkers()->WaitIdle();
            view->AdoptResults();
            analyse.push_back(double(timer.nsecsElapsed()) * 1e-6);
            timer.restart();
            view->repaint();
            paint.push_back(double(timer.nsecsElapsed()) * 1e-6);
        }
        const double bare = 2 * BareTransforms(c.points, rows) * 1e3;
        const double first = analyse[0] + paint[0];
        worst = std::max(worst, first);
        std::printf("  %5d points, overlap %2d%%, %4d rows: Analyse first %.1f ms, then %.1f ms (%.2f x bare "
                    "transforms %.1f ms); paint first %.1f ms, then %.1f ms\n",
                    c.points, c.overlap, rows, analyse[0], Percentile(analyse, 0.5), Percentile(analyse, 0.5) / bare,
                    bare, paint[0], Percentile(paint, 0.5));
        std::fflush(stdout);
    }
    std::printf("spectrogram page: user-interface thread held at most %.0f ms (Analyse and paint of one record)\n",
                worst);
    record.capture.reset();
}

// Six pages showing FFT, PSD, FRF, COH, CRS and the time view, "Ch1" and
// "Ch2" on channels 1 and 2, automatic averaging over the record at the
// given overlap: what one NotifyAnalysis costs the user-interface thread.
void RunSpectra(int points, int overlapPercent, const char* timeBase, double seconds)
{
    BenchWindow window;
    window.resize(1600, 1000);
    window.Create();
    window.show();
    window.SetPageCount(6);
    CControlBar* bar = window.Bar();
    bar->Channel1()->SelectKey(0, true);
    bar->Channel2()->SelectKey(1, true);
    bar->Selector(CControlBar::IdPoints)->SelectText(QString::number(points));
    window.PointsChanged(points);
    bar->Selector(CControlBar::IdAverages)->SelectKey(0, false);
    window.AveragesChanged(0);
    bar->Selector(CControlBar::IdOverlap)->SelectText(QStringLiteral("%1%").arg(overlapPercent));
    window.OverlapChanged(overlapPercent);
    const ViewKind shown[] = {ViewKind::Fft, ViewKind::Psd, ViewKind::Frf, ViewKind::Coh, ViewKind::Crs,
                              ViewKind::Time};
    for (int i = 0; i < 6; ++i) {
        if (auto* time = qobject_cast<CTimeView*>(window.Page(i)->View(ViewKind::Time))) {
            time->TimePanel()->Selector(CTimePanel::IdXDiv)->SelectText(QString::fromLatin1(timeBase));
            SendAppMessage(time, WM_PANEL_NOTIFY, PanelXScale, 0);
        }
        window.Page(i)->SelectView(shown[i]);
    }
    RunEventLoop(3000); // settle: sizes of the first records
    window.notifyMs.clear();
    window.measuring = true;
    RunEventLoop(int(seconds * 1000));
    window.measuring = false;

    const AnalysisRecord& r = window.Record();
    std::printf("spectra N=%d overlap %d%% (%d segments of a %d-sample record): NotifyAnalysis p50 %.3f ms  max "
                "%.3f ms  (%zu calls); tick p99 %.3f ms  max %.3f ms; records %d\n",
                r.points, r.overlap, SegmentCount(r.capture ? r.capture->length : 0, r.capture ? r.capture->startOffset : 0, r.points, r.hop, r.averages),
                r.capture ? r.capture->length : 0, Percentile(window.notifyMs, 0.5), Percentile(window.notifyMs, 1.0),
                window.notifyMs.size(), Percentile(window.tickMs, 0.99), Percentile(window.tickMs, 1.0),
                window.records);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A channel buffer namespace and settings of this run only.
    const QByteArray name = "krv-bench-app-" + QByteArray::number(qint64(getpid()));
    qputenv("ZQ_NAME", name);
    const QString config = QDir::tempPath() + "/" + QString::fromLatin1(name);
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    TimedApplication app(argc, argv);
    double seconds = 0.0, warmUp = 3.0;
    int onlyPages = 0;
    bool onlyOctave = false, spectrogramOnly = false, pipelineSpectrogram = false, pipelineSpectra = false,
         saturation = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        onlyOctave = onlyOctave || arg == "--octave";
        spectrogramOnly = spectrogramOnly || arg == "--spectrogram-only";
        pipelineSpectrogram = pipelineSpectrogram || arg == "--pipeline-spectrogram" || arg == "--pipeline";
        pipelineSpectra = pipelineSpectra || arg == "--pipeline-spectra" || arg == "--pipeline";
        saturation = saturation || arg == "--saturation";
    }
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--seconds")
            seconds = std::max(1.0, QByteArray(argv[i + 1]).toDouble());
        if (QByteArray(argv[i]) == "--warm-up")
            warmUp = std::max(0.0, QByteArray(argv[i + 1]).toDouble());
        if (QByteArray(argv[i]) == "--pages")
            onlyPages = QByteArray(argv[i + 1]).toInt();
    }
    const bool pipeline = pipelineSpectrogram || pipelineSpectra || saturation;
    // The pipeline scenarios need several 5 s records.
    const double pipelineSeconds = seconds > 0.0 ? seconds : 30.0;
    if (seconds <= 0.0)
        seconds = 20.0;

    Profile::SetRegistryKey(QStringLiteral("Zentrik"));
    Profile::SetProgramName(QStringLiteral("krv"));
    Ctx().companionMessage = CompanionBus::Instance().RegisterMessage(QStringLiteral("Ostrane"));
    Ctx().programDirectory = QApplication::applicationDirPath() + "/";
    Ctx().dataDirectory = Ctx().programDirectory + QStringLiteral("data");

    QProcess writer;
    writer.setProgram(QApplication::applicationDirPath() + "/zq-gen");
    writer.setArguments({"-n", "24", "-r", "50000", "-s", "counter", "-q"});
    writer.start();
    if (!writer.waitForStarted()) {
        std::fprintf(stderr, "bench_app: cannot start zq-gen\n");
        return 1;
    }
    QElapsedTimer wait;
    wait.start();
    while (ZQ_GetNrOfChan() != 24 && wait.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (ZQ_GetNrOfChan() != 24) {
        std::fprintf(stderr, "bench_app: zq-gen publishes no channels\n");
        writer.kill();
        return 1;
    }
    const bool everything = !onlyOctave && !spectrogramOnly && !pipeline && onlyPages == 0;
    std::printf("bench_app: 24 channels at 50 kHz from zq-gen, %.0f s per run with the time view on every page, "
                "%.0f s per pipeline scenario\n",
                seconds, pipelineSeconds);
    for (int pages : {1, 3, 6})
        if (everything || onlyPages == pages)
            Run(pages, seconds);
    if (everything || spectrogramOnly)
        RunSpectrogram();
    if (everything) {
        RunSpectra(1024, 75, "0.1s", seconds);
        RunSpectra(65536, 75, "0.2s", seconds);
    }
    bool ran = true;
    if (everything || pipelineSpectrogram)
        ran = RunPipelineScenario(app, PipelineScenario::Spectrogram, pipelineSeconds, warmUp) && ran;
    if (everything || pipelineSpectra)
        ran = RunPipelineScenario(app, PipelineScenario::Spectra, pipelineSeconds, warmUp) && ran;
    writer.terminate();
    writer.waitForFinished(5000);
    if (everything || saturation)
        RunSaturation(10);
    if ((everything || onlyOctave) && !RunOctaveScenario(seconds))
        return 1;
    QDir(config).removeRecursively();
    return ran ? 0 : 1;
}
