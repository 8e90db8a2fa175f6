// The whole program without a screen: a KRV main window on the offscreen
// platform with 1, 3 and 6 pages, the time view shown on each, fed by zq-gen
// in another process with the counter on 24 channels at 50 kHz. Prints the
// time of each 10 ms tick (poll, freeze, the views' ticks and the paints
// they cause) and of each NotifyAnalysis as p50, p99 and max, and the
// records captured against those the writer's samples allow (1.0: no record
// missed). Then six pages showing FFT, PSD, FRF, COH, CRS and the time view at
// 1024 and at 65536 points with 75 % overlap: NotifyAnalysis p50 and max, tick
// p99.
//
//   bench_app [--seconds S]   (other arguments, such as Google Benchmark's, are ignored)

#include "analysis/segmentlayout.h"
#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "panels/controlbar.h"
#include "panels/viewbar.h"
#include "platform/appmessage.h"
#include "platform/companionbus.h"
#include "platform/profile.h"
#include "shell/wndkrv.h"
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
#include <unistd.h>
#include <cstdio>
#include <vector>

namespace {

class BenchWindow : public CWndKRV {
public:
    std::vector<double> tickMs, notifyMs;
    int records = 0;
    double firstSample = -1.0, lastSample = -1.0;
    int recordLength = 0;

    void NotifyAnalysis() override
    {
        QElapsedTimer timer;
        timer.start();
        CWndKRV::NotifyAnalysis();
        notifyMs.push_back(double(timer.nsecsElapsed()) * 1e-6);
        const AnalysisRecord& r = Record();
        if (!measuring || r.captureLength <= 0 || !r.captureArea[0])
            return;
        const double first = r.captureArea[0][0];
        if (first == lastFirst)
            return; // not a new record (a choice changed)
        lastFirst = first;
        if (firstSample < 0.0)
            firstSample = first;
        lastSample = r.captureArea[0][r.captureLength - 1];
        recordLength = r.captureLength;
        ++records;
    }
    bool measuring = false;

protected:
    void timerEvent(QTimerEvent* event) override
    {
        QElapsedTimer timer;
        timer.start();
        CWndKRV::timerEvent(event);
        // The paints the tick asked for, as the event loop would run them next.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        if (measuring)
            tickMs.push_back(double(timer.nsecsElapsed()) * 1e-6);
    }

private:
    double lastFirst = -1.0;
};

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

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
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1000) // settle
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    window.notifyMs.clear();
    window.measuring = true;
    clock.restart();
    while (clock.elapsed() < qint64(seconds * 1000))
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    window.measuring = false;

    const double allowed =
        window.recordLength > 0 ? (window.lastSample - window.firstSample + 1.0) / window.recordLength : 0.0;
    std::printf("pages %d: tick p50 %.3f ms  p99 %.3f ms  max %.3f ms  (%zu ticks)\n", pages,
                Percentile(window.tickMs, 0.5), Percentile(window.tickMs, 0.99), Percentile(window.tickMs, 1.0),
                window.tickMs.size());
    std::printf("pages %d: NotifyAnalysis p50 %.3f ms  p99 %.3f ms  max %.3f ms  (%zu calls)\n", pages,
                Percentile(window.notifyMs, 0.5), Percentile(window.notifyMs, 0.99),
                Percentile(window.notifyMs, 1.0), window.notifyMs.size());
    std::printf("pages %d: records %d of %.0f the samples allow: ratio %.3f\n", pages, window.records, allowed,
                allowed > 0.0 ? window.records / allowed : 0.0);
    std::fflush(stdout);
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
    window.PointsChanged();
    bar->Selector(CControlBar::IdAverages)->SelectKey(0, false);
    window.AveragesChanged();
    bar->Selector(CControlBar::IdOverlap)->SelectText(QStringLiteral("%1%").arg(overlapPercent));
    window.OverlapChanged();
    const ViewKind shown[] = {ViewKind::Fft, ViewKind::Psd, ViewKind::Frf, ViewKind::Coh, ViewKind::Crs,
                              ViewKind::Time};
    for (int i = 0; i < 6; ++i) {
        if (auto* time = qobject_cast<CTimeView*>(window.Page(i)->View(ViewKind::Time))) {
            time->TimePanel()->Selector(CTimePanel::IdXDiv)->SelectText(QString::fromLatin1(timeBase));
            SendAppMessage(time, WM_PANEL_NOTIFY, PanelXScale, 0);
        }
        window.Page(i)->SelectView(shown[i]);
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000) // settle: sizes of the first records
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    window.notifyMs.clear();
    window.measuring = true;
    clock.restart();
    while (clock.elapsed() < qint64(seconds * 1000))
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    window.measuring = false;

    const AnalysisRecord& r = window.Record();
    std::printf("spectra N=%d overlap %d%% (%d segments of a %d-sample record): NotifyAnalysis p50 %.3f ms  max "
                "%.3f ms  (%zu calls); tick p99 %.3f ms  max %.3f ms; records %d\n",
                r.points, r.overlap, SegmentCount(r.captureLength, r.captureWord, r.points, r.hop, r.averages),
                r.captureLength, Percentile(window.notifyMs, 0.5), Percentile(window.notifyMs, 1.0),
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
    QApplication app(argc, argv);
    double seconds = 20.0;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--seconds")
            seconds = std::max(1.0, QByteArray(argv[i + 1]).toDouble());

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
    std::printf("bench_app: 24 channels at 50 kHz from zq-gen, %.0f s per run, time view on every page\n",
                seconds);
    for (int pages : {1, 3, 6})
        Run(pages, seconds);
    RunSpectra(1024, 75, "0.1s", seconds);
    RunSpectra(65536, 75, "0.2s", seconds);
    writer.terminate();
    writer.waitForFinished(5000);
    QDir(config).removeRecursively();
    return 0;
}
