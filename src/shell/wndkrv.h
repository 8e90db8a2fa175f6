#pragma once
// The one top-level window: owns the main bar, the pages, the analysis
// record, the hardware manager, the capture engine and the analysis
// workers, and runs the 10 ms tick: new samples into the channel buffer
// service, the capture (a completed record goes to every shown view's
// analysis), the continuous views' reads, the adoption of finished
// analyses, and at most one repaint per display frame.

#include "acquisition/hwmanager.h"
#include "capture/analysispool.h"
#include "capture/captureengine.h"
#include "platform/windowtimers.h"
#include "context/analysisrecord.h"
#include "context/mainframe.h"
#include "context/sourcewatch.h"
#include "shell/mainmenu.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <array>

class CControlBar;
class CStatusLine;
struct StatusFacts;
class CViewBar;
class TextArchive;

class ViewClickTracker;

class CWndKRV : public QWidget, public MainFrame, public MenuCommandTarget {
    Q_OBJECT
public:
    static constexpr int kMaxPages = 10;
    static constexpr int kTickTimer = 3;
    static constexpr int kTickPeriodMs = 10;
    static constexpr int kPlacementMessage = 105;

    CWndKRV();
    ~CWndKRV() override;

    // Window creation: colour scheme, reader clients, bar, first page,
    // shared-source check, tick timer, placement request, auto setup.
    void Create();

    // MainFrame
    QWidget* Window() override { return this; }
    AnalysisRecord& Record() override { return m_record; }
    CHwManager& Hardware() override { return m_hardware; }
    AnalysisPool* AnalysisWorkers() override { return &m_workers; }
    void SetPageCount(int count) override;
    int PageCount() const override { return m_pageCount; }
    void RunStop() override;
    void SingleShot() override;
    void PointsChanged(int points) override;
    void AveragesChanged(int averages) override;
    void OverlapChanged(int overlapPercent) override;
    void NotifyAnalysis() override;
    void ChannelsChosen() override;
    void AutoSetup() override;
    void RefreshChannels() override;
    int ChosenChannel(int slot) const override;
    void ChooseAutoAveraging() override;
    void RescaleAllViews() override;
    void ShowMainMenu(const QPoint& globalPos) override;
    // The source as the status line, the title and exports name it.
    QString SourceName() const override;

    // MenuCommandTarget: the menu's commands.
    void OnMenuCommand(int command);
    void SaveSettingsSet(int set) override;
    void LoadSettingsSet(int set) override;
    void ApplyColourScheme(int scheme) override;
    void ToggleAutoSetup() override;
    void ChooseDataPath() override;
    void DefineP0() override;
    // The export items act on the view last clicked.
    void ExportView(Export what) override;
    // Settings sets 1 .. 4. SaveSet asks for the set's name (a dismissed
    // dialog keeps the old one) and replaces the file in one step; a set
    // that cannot be written is reported with the file and the reason.
    // LoadSet applies the blocks of the file; a missing file changes
    // nothing. ReadSetNames takes the names from the files' name lines.
    void SaveSet(int set);
    void LoadSet(int set);
    void ReadSetNames();
    // The container of a set: the name line, the main bar's block, one
    // block per live page and the hardware manager's block.
    void StoreSet(TextArchive& archive, const QString& name);
    // Applies the blocks of a set from the archive's first line on.
    void LoadSetFrom(TextArchive& archive);
    const std::array<QString, 4>& SetNames() const { return m_setNames; }

    // One tick of the real-time loop; the tick timer calls it.
    void Tick();

    CControlBar* Bar() const { return m_bar; }
    CStatusLine* StatusLine() const { return m_status; }
    // The facts the status line shows, as they are now.
    void GatherStatus(StatusFacts& facts) const;
    // Looks at the source's writer now (the tick does so every
    // kSourceWatchTicks): an ended source is written on every view, a new
    // writer or definition clears them all.
    void WatchSource();
    // Brings the status line and the title up to date now (the tick does so
    // every kStatusTicks).
    void UpdateStatus();
    const CCaptureEngine& CaptureEngine() const { return m_capture; }
    CMainMenu* MainMenu() const { return m_menu; }
    const QString& P0Text() const { return m_p0Text; }
    CViewBar* Page(int index) const;
    int ColourSchemeNumber() const { return m_colourScheme; }
    bool AutoSetupOn() const { return m_autoSetup; }
    void SetAutoSetup(bool on) { m_autoSetup = on; }

    // Samples between analysis segments for points and overlap percent.
    static int HopFor(int points, int overlapPercent);

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Layout();
    void RecomputeHop();
    void ResetReaderClients();
    // The capture step of the tick; a completed record goes to the views.
    void CaptureRecords();
    void AdoptAnalyses();

    // Repaints wait this long after the last (one display frame).
    static constexpr int kFrameMs = 16;
    // The status line and the writer's state are looked at a few times a
    // second, not on every tick.
    static constexpr int kStatusTicks = 25;
    static constexpr int kSourceWatchTicks = 10;

    void SourceReplaced();
    void ShowSourceNotice(const QString& notice);
    // Everything the colour scheme paints, repainted with the new one.
    void RepaintAll();

    CControlBar* m_bar = nullptr;
    CStatusLine* m_status = nullptr;
    SourceWatch m_sourceWatch;
    QElapsedTimer m_sourceClock;
    int m_noticeSeconds = -1;
    QString m_writerName; // the writing program's name in shared-source mode
    QString m_sharedSourceName = QStringLiteral("Quorel");
    QString m_setName;    // the settings set last loaded or saved
    QString m_titleSetName;
    QString m_title;
    CMainMenu* m_menu = nullptr;
    ViewClickTracker* m_clickedView = nullptr;
    std::array<CViewBar*, kMaxPages> m_pages{};
    int m_pageCount = 0;
    AnalysisRecord m_record;
    CHwManager m_hardware;
    AnalysisPool m_workers;
    CCaptureEngine m_capture;
    QElapsedTimer m_frameClock;
    int m_colourScheme = 1;
    bool m_autoSetup = false;
    std::array<QString, 4> m_setNames;
    QString m_p0Text;
    WindowTimers m_timers;
};
