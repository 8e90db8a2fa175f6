#include "pipelinescenario.h"

#include "analysedrecords.h"
#include "benchloop.h"
#include "context/analysisrecord.h"
#include "panels/controlbar.h"
#include "panels/viewbar.h"
#include "platform/appmessage.h"
#include "shell/wndkrv.h"
#include "timedapplication.h"
#include "views/graphwnd.h"
#include "views/paneldlg.h"
#include "views/timepanel.h"
#include "views/timeview.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kPages = 6;
// zq-gen's counter runs modulo 2^24 so that every value is exact in a float.
constexpr double kCounterPeriod = 16777216.0;

struct Setup {
    const char* title;
    int points;
    const char* overlap;
    const char* timeBase;
    ViewKind shown[kPages];
};

const Setup& SetupOf(PipelineScenario scenario)
{
    static const Setup spectrogram{"spectrogram",
                                   2048,
                                   "95%",
                                   "0.1s",
                                   {ViewKind::Spg, ViewKind::Spg, ViewKind::Spg, ViewKind::Spg, ViewKind::Spg,
                                    ViewKind::Spg}};
    static const Setup spectra{"spectra",
                               65536,
                               "75%",
                               "0.5s",
                               {ViewKind::Fft, ViewKind::Psd, ViewKind::Frf, ViewKind::Coh, ViewKind::Crs,
                                ViewKind::Ccr}};
    return scenario == PipelineScenario::Spectrogram ? spectrogram : spectra;
}

// The main window, told of each record by NotifyAnalysis. The measuring
// window runs from the first record after the warm-up to the first record
// after `seconds` more: the records in between are those captured, the
// counter's advance from one first sample to the other is what the writer
// allowed, and each view's analyses are read at the same two records,
// before the record is handed on, so that either end is counted once.
class PipelineWindow : public CWndKRV {
public:
    PipelineWindow(TimedApplication& app, double warmUpSeconds, double seconds)
        : m_app(app), m_warmUpMs(warmUpSeconds * 1e3), m_measureMs(seconds * 1e3)
    {
    }

    bool Done() const { return m_phase == Phase::Done; }
    bool SawRecord() const { return m_phase != Phase::WaitingForFirst; }
    int Captured() const { return m_captured; }
    double Allowed() const { return m_allowed; }
    int RecordLength() const { return m_length; }
    double MeasuredSeconds() const { return m_measuredMs * 1e-3; }
    std::uint64_t AnalysedInWindow(int page, ViewKind kind) const
    {
        CGraphWnd* view = Page(page)->View(kind);
        return view ? m_endCounts[Slot(page, kind)] - m_startCounts[Slot(page, kind)] : 0;
    }

    void NotifyAnalysis() override
    {
        const CaptureRecord* r = Record().capture.get();
        const bool fresh = r && r->length > 0 && r->samples[0][0] != m_lastFirst;
        if (fresh) {
            m_lastFirst = r->samples[0][0];
            OnNewRecord(m_lastFirst, r->length);
        }
        CWndKRV::NotifyAnalysis();
    }

private:
    enum class Phase { WaitingForFirst, WarmingUp, Measuring, Done };

    static int Slot(int page, ViewKind kind) { return page * kViewKindCount + int(kind); }

    void OnNewRecord(double first, int length)
    {
        switch (m_phase) {
        case Phase::WaitingForFirst:
            m_clock.start();
            m_phase = Phase::WarmingUp;
            break;
        case Phase::WarmingUp:
            if (m_clock.elapsed() >= m_warmUpMs)
                Begin(first, length);
            break;
        case Phase::Measuring:
            if (m_clock.elapsed() >= m_measureMs)
                End(first);
            else
                ++m_captured;
            break;
        case Phase::Done: break;
        }
    }

    void Begin(double first, int length)
    {
        m_startCounts = Counts();
        m_startFirst = first;
        m_length = length;
        m_captured = 1;
        m_app.StartMeasuring();
        m_clock.restart();
        m_phase = Phase::Measuring;
    }

    void End(double first)
    {
        m_endCounts = Counts();
        m_app.StopMeasuring();
        m_measuredMs = double(m_clock.elapsed());
        const double advance = std::fmod(first - m_startFirst + kCounterPeriod, kCounterPeriod);
        m_allowed = advance / m_length;
        m_phase = Phase::Done;
    }

    std::vector<std::uint64_t> Counts() const
    {
        std::vector<std::uint64_t> counts(size_t(kPages * kViewKindCount), 0);
        for (int page = 0; page < std::min(kPages, PageCount()); ++page)
            for (int kind = 0; kind < kViewKindCount; ++kind)
                if (CGraphWnd* view = Page(page)->View(ViewKind(kind)))
                    counts[size_t(Slot(page, ViewKind(kind)))] = AnalysedRecords(view);
        return counts;
    }

    TimedApplication& m_app;
    const double m_warmUpMs, m_measureMs;
    Phase m_phase = Phase::WaitingForFirst;
    QElapsedTimer m_clock;
    double m_lastFirst = -1.0, m_startFirst = 0.0, m_allowed = 0.0, m_measuredMs = 0.0;
    int m_length = 0, m_captured = 0;
    std::vector<std::uint64_t> m_startCounts, m_endCounts;
};

bool Choose(CSelectorButton* selector, const QString& text, const char* what)
{
    selector->SelectText(text);
    if (selector->CurrentText() == text)
        return true;
    std::fprintf(stderr, "bench_app: %s offers no \"%s\" (has \"%s\")\n", what, qPrintable(text),
                 qPrintable(selector->CurrentText()));
    return false;
}

// "Pts", "Avg" Auto, "OVL" on the main bar, and Ch1, Ch2 on channels 1 and 2.
bool SetUpBar(CWndKRV& window, const Setup& setup)
{
    CControlBar* bar = window.Bar();
    bar->Channel1()->SelectKey(0, true);
    bar->Channel2()->SelectKey(1, true);
    const int ch1 = window.ChosenChannel(0), ch2 = window.ChosenChannel(1);
    if (ch1 < 0 || ch2 < 0 || ch1 == ch2 || std::max(ch1, ch2) >= ZQ_GetNrOfChan()) {
        std::fprintf(stderr, "bench_app: Ch1 and Ch2 are not two channels of the writer (%d, %d)\n", ch1, ch2);
        return false;
    }
    if (!Choose(bar->Selector(CControlBar::IdPoints), QString::number(setup.points), "Pts"))
        return false;
    window.PointsChanged(bar->PointsChoice());
    bar->Selector(CControlBar::IdAverages)->SelectKey(0, false); // "Auto", which the spectrogram needs
    window.AveragesChanged(0);
    if (!Choose(bar->Selector(CControlBar::IdOverlap), QString::fromLatin1(setup.overlap), "OVL"))
        return false;
    window.OverlapChanged(bar->OverlapChoice());
    return true;
}

// Trigger "None" and the time base on every page's time view, then the
// page's view.
bool SetUpPages(CWndKRV& window, const Setup& setup)
{
    for (int i = 0; i < kPages; ++i) {
        auto* time = qobject_cast<CTimeView*>(window.Page(i)->View(ViewKind::Time));
        if (!time) {
            std::fprintf(stderr, "bench_app: page %d has no time view\n", i + 1);
            return false;
        }
        time->TimePanel()->Selector(CTimePanel::IdTrg)->SelectKey(CTimePanel::TriggerNone, false);
        SendAppMessage(time, WM_PANEL_NOTIFY, PanelTrigger, 0);
        if (!Choose(time->TimePanel()->Selector(CTimePanel::IdXDiv), QString::fromLatin1(setup.timeBase), "XDv"))
            return false;
        SendAppMessage(time, WM_PANEL_NOTIFY, PanelXScale, 0);
        if (!window.Page(i)->View(setup.shown[i])) {
            std::fprintf(stderr, "bench_app: page %d has no %s view\n", i + 1, CViewBar::BlockName(setup.shown[i]));
            return false;
        }
        window.Page(i)->SelectView(setup.shown[i]);
    }
    return true;
}

double LoadAverage()
{
    double load[1] = {0.0};
    return getloadavg(load, 1) == 1 ? load[0] : -1.0;
}

void PrintBusy(const TimedApplication& app)
{
    const std::vector<double>& ms = app.DispatchMs();
    const auto over = [&](double limit) {
        return std::count_if(ms.begin(), ms.end(), [&](double t) { return t > limit; });
    };
    std::printf("  user-interface thread busy in one go: p50 %.3f ms  p99 %.3f ms (target < 16)  max %.3f ms "
                "(target < 33)\n  of %zu deliveries %td took over 16 ms, %td over 33 ms\n",
                Percentile(ms, 0.5), Percentile(ms, 0.99), Percentile(ms, 1.0), ms.size(), over(16.0), over(33.0));
    for (const std::string& slow : app.SlowDeliveries())
        std::printf("    %s\n", slow.c_str());
}

void PrintRatio(const char* name, int page, double count, double allowed, const char* target)
{
    std::printf("    %-22s page %d  %6.0f / %7.2f  ratio %.3f  (target %s)\n", name, page, count, allowed,
                allowed > 0.0 ? count / allowed : 0.0, target);
}

void PrintRecords(const PipelineWindow& window, const Setup& setup)
{
    const double allowed = window.Allowed();
    std::printf("  records analysed / records the writer's samples allow:\n");
    PrintRatio("Time (captured)", 1, window.Captured(), allowed, "1.000");
    for (int i = 0; i < kPages; ++i) {
        const CGraphWnd* view = window.Page(i)->View(setup.shown[i]);
        char name[64];
        std::snprintf(name, sizeof name, "%s (%d traces)", CViewBar::BlockName(setup.shown[i]),
                      view->ActiveSlotCount());
        PrintRatio(name, i + 1, double(window.AnalysedInWindow(i, setup.shown[i])), allowed, ">= 0.95");
    }
}

} // namespace

bool RunPipelineScenario(TimedApplication& app, PipelineScenario scenario, double seconds, double warmUpSeconds)
{
    const Setup& setup = SetupOf(scenario);
    seconds = std::min(seconds, 300.0);
    PipelineWindow window(app, warmUpSeconds, seconds);
    window.resize(1600, 1000);
    window.Create();
    window.show();
    window.SetPageCount(kPages);
    if (!SetUpBar(window, setup) || !SetUpPages(window, setup))
        return false;
    const double loadBefore = LoadAverage();
    if (!RunEventLoopUntil([&] { return window.SawRecord(); }, 30000)) {
        std::fprintf(stderr, "bench_app: pipeline %s: no record in 30 s\n", setup.title);
        return false;
    }
    // Records of 10 divisions: at most 5 s each here, and a few to spare.
    const int deadlineMs = int((warmUpSeconds + seconds) * 1e3) + 30000;
    if (!RunEventLoopUntil([&] { return window.Done(); }, deadlineMs)) {
        app.StopMeasuring();
        std::fprintf(stderr, "bench_app: pipeline %s: the measuring window did not close in %d s\n", setup.title,
                     deadlineMs / 1000);
        return false;
    }
    std::printf("pipeline %s: %d pages, %d points, overlap %s, XDv %s (records of %d samples), %.1f s measured "
                "after %.0f s warm-up; load average %.2f before, %.2f after\n",
                setup.title, kPages, window.Record().points, setup.overlap, setup.timeBase, window.RecordLength(),
                window.MeasuredSeconds(), warmUpSeconds, loadBefore, LoadAverage());
    PrintBusy(app);
    PrintRecords(window, setup);
    std::fflush(stdout);
    return true;
}
