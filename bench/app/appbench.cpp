// The whole program without a screen: a KRV main window on the offscreen
// platform with 1, 3 and 6 pages, the time view shown on each, fed by zq-gen
// in another process with the counter on 24 channels at 50 kHz. Prints the
// time of each 10 ms tick (poll, freeze, the views' ticks and the paints
// they cause) and of each NotifyAnalysis as p50, p99 and max, and the
// records captured against those the writer's samples allow (1.0: no record
// missed). Then the octave scenario (octavescenario.h).
//
//   bench_app [--seconds S] [--pages N | --octave]
//   (other arguments, such as Google Benchmark's, are ignored)

#include "context/analysisrecord.h"
#include "benchloop.h"
#include "context/appcontext.h"
#include "octavescenario.h"
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
    int onlyPages = 0;
    bool onlyOctave = false;
    for (int i = 1; i < argc; ++i)
        onlyOctave = onlyOctave || QByteArray(argv[i]) == "--octave";
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--seconds")
            seconds = std::max(1.0, QByteArray(argv[i + 1]).toDouble());
        if (QByteArray(argv[i]) == "--pages")
            onlyPages = QByteArray(argv[i + 1]).toInt();
    }

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
        if (!onlyOctave && (onlyPages == 0 || onlyPages == pages))
            Run(pages, seconds);
    writer.terminate();
    writer.waitForFinished(5000);
    if (onlyPages == 0 && !RunOctaveScenario(seconds))
        return 1;
    QDir(config).removeRecursively();
    return 0;
}
