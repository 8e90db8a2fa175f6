#include "wndkrv.h"

#include "analysis/segmentlayout.h"
#include "analysis/windowtype.h"
#include "folders/folderpicker.h"
#include "panels/controlbar.h"
#include "panels/p0dlg.h"
#include "panels/setnamedlg.h"
#include "panels/statusline.h"
#include "panels/viewbar.h"
#include "platform/appmessage.h"
#include "widgets/selectorbutton.h"
#include "platform/companionbus.h"
#include "platform/messagebox.h"
#include "context/appcontext.h"
#include "context/channelsource.h"
#include "context/readerclients.h"
#include "platform/textarchive.h"
#include "views/frequencypanel.h"
#include "views/frequencyview.h"
#include "views/spgpanel.h"
#include "views/spgview.h"
#include "views/timeview.h"
#include "views/viewexport.h"
#include "shell/viewclicktracker.h"
#include "shell/keyshortcuts.h"
#include "shell/settingssetfiles.h"
#include "shell/shelloptions.h"
#include "shell/windowplacement.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QTimerEvent>

CWndKRV::CWndKRV() : m_capture(Channels(), kTimeClient), m_timers(this)
{
    m_capture.OnRecord([this](const std::shared_ptr<const CaptureRecord>& record) {
        m_record.capture = record;
        if (m_record.single)
            RunStop();
        NotifyAnalysis();
    });
    setObjectName(QStringLiteral("CWndKRV"));
    setWindowTitle(QStringLiteral("KRV"));
    // Bar and pages cover the client area, so there is nothing to erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    const ShellOptions options = ReadShellOptions();
    m_colourScheme = options.colourScheme;
    m_autoSetup = options.autoSetup;
    m_menu = new CMainMenu(this);
    connect(m_menu, &CMainMenu::CommandChosen, this, &CWndKRV::OnMenuCommand);
    m_clickedView = new ViewClickTracker(this);
}

CWndKRV::~CWndKRV()
{
    m_timers.KillTimer(kTickTimer);
    SaveWindowPlacement(this);
    WriteShellOptions({m_colourScheme, m_autoSetup});
    SetPageCount(0);
    m_workers.Shutdown();
    if (Ctx().mainWindow == this) {
        Ctx().mainWindow = nullptr;
        Ctx().mainFrame = nullptr;
    }
}

void CWndKRV::Create()
{
    ApplyColourScheme(m_colourScheme);
    ChannelSource& channels = Channels();
    for (int client : kReaderClients) {
        channels.RegisterClient(client, this);
        channels.ResetClient(client, -1);
    }
    Ctx().sharedSource = false;

    m_bar = new CControlBar(this, this);
    m_bar->show();
    m_status = new CStatusLine(this);
    m_status->show();
    new CKeyShortcuts(this);
    SetPageCount(1);

    if (channels.ChannelCount() != 0) {
        Ctx().sharedSource = true;
        m_bar->SetSetupCaption(QStringLiteral("Quorel"));
        RefreshChannels();
    }
    m_sourceClock.start();
    WatchSource();
    m_timers.SetTimer(kTickTimer, kTickPeriodMs);
    PostAppMessage(this, kPlacementMessage);
    // Published before the hardware setup: the modules take the window as
    // their parent, and the setup's boxes need an owner.
    Ctx().mainWindow = this;
    Ctx().mainFrame = this;
    if (m_autoSetup)
        AutoSetup();
}

void CWndKRV::ApplyColourScheme(int scheme)
{
    m_colourScheme = scheme;
    if (scheme < 0 || scheme > 2)
        return;
    Ctx().colours.Apply(scheme);
    RepaintAll();
}

CViewBar* CWndKRV::Page(int index) const
{
    return index >= 0 && index < m_pageCount ? m_pages[index] : nullptr;
}

void CWndKRV::SetPageCount(int count)
{
    count = std::clamp(count, 0, kMaxPages);
    while (m_pageCount > count) {
        --m_pageCount;
        delete m_pages[m_pageCount];
        m_pages[m_pageCount] = nullptr;
    }
    while (m_pageCount < count) {
        auto* page = new CViewBar(this, this);
        m_pages[m_pageCount++] = page;
        page->show();
    }
    Layout();
}

void CWndKRV::Layout()
{
    const QRect client = rect();
    const int left = client.left();
    const int top = client.top();
    const int width = client.width();
    const int statusHeight = m_status ? CStatusLine::kHeight : 0;
    const int bottom = top + client.height() - statusHeight;
    if (m_status)
        m_status->setGeometry(left, bottom, width, statusHeight);
    if (m_bar)
        m_bar->setGeometry(left, top, width, CControlBar::kHeight);
    const int pagesTop = top + CControlBar::kHeight;
    const int n = m_pageCount;
    if (n == 0)
        return;
    if (n == 4 || n == 6) {
        const int rows = n / 2;
        const int rowHeight = (bottom - pagesTop) / rows;
        const int columnWidth = width / 2;
        for (int k = 0; k < n; ++k)
            m_pages[k]->LayoutViews(left + (k % 2) * columnWidth, pagesTop + (k / 2) * rowHeight, columnWidth,
                                    rowHeight);
    } else {
        const int rowHeight = (bottom - pagesTop) / n;
        for (int k = 0; k < n; ++k)
            m_pages[k]->LayoutViews(left, pagesTop + k * rowHeight, width, rowHeight);
    }
}

void CWndKRV::resizeEvent(QResizeEvent*) { Layout(); }

void CWndKRV::moveEvent(QMoveEvent*) { Layout(); }

// Bar, pages and views cover the client area; what shows through between
// them (a page without views) gets the graph background.
void CWndKRV::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Ctx().colours.graphBackground);
}

void CWndKRV::ResetReaderClients()
{
    for (int client : kReaderClients)
        Channels().ResetClient(client, -1);
}

void CWndKRV::RunStop()
{
    if (m_record.run) {
        m_record.run = 0;
        m_record.single = 0;
    } else {
        ResetReaderClients();
        m_record.run = 1;
    }
    if (m_bar)
        m_bar->MirrorRunState();
}

void CWndKRV::SingleShot()
{
    m_record.single = 1;
    m_record.run = 1;
    if (m_bar)
        m_bar->MirrorRunState();
    Channels().ResetClient(kTimeClient, -1);
}

int CWndKRV::HopFor(int points, int overlapPercent)
{
    return int(points * (100 - overlapPercent) * 0.01);
}

void CWndKRV::RecomputeHop()
{
    m_record.hop = HopFor(m_record.points, m_record.overlap);
    NotifyAnalysis();
}

void CWndKRV::PointsChanged(int points)
{
    m_record.points = points;
    RecomputeHop();
}

void CWndKRV::AveragesChanged(int averages)
{
    m_record.averages = averages;
    RecomputeHop();
}

void CWndKRV::OverlapChanged(int overlapPercent)
{
    m_record.overlap = overlapPercent;
    RecomputeHop();
}

void CWndKRV::ChooseAutoAveraging()
{
    // Through the bar, which passes the choice back as the user's.
    if (m_bar)
        m_bar->ChooseAutoAveraging();
    else
        AveragesChanged(0);
}

void CWndKRV::RescaleAllViews()
{
    for (int i = 0; i < m_pageCount; ++i)
        m_pages[i]->RescaleViews();
}

void CWndKRV::NotifyAnalysis()
{
    for (int i = 0; i < m_pageCount; ++i)
        m_pages[i]->RecomputeViews();
}

void CWndKRV::ChannelsChosen() { NotifyAnalysis(); }

void CWndKRV::RefreshChannels()
{
    m_capture.Restart();
    if (m_bar)
        m_bar->RefillChannelSelectors();
    for (int i = 0; i < m_pageCount; ++i)
        m_pages[i]->ChannelsChanged();
}

int CWndKRV::ChosenChannel(int slot) const
{
    if (!m_bar || (slot != 0 && slot != 1))
        return -1;
    const CSelectorButton* selector = slot == 0 ? m_bar->Channel1() : m_bar->Channel2();
    return selector && selector->Count() > 0 ? selector->CurrentKey() : -1;
}

void CWndKRV::AutoSetup()
{
    if (!m_hardware.HasModule())
        m_hardware.ChooseModule();
    if (m_bar)
        m_bar->SetSetupCaption(m_hardware.typeName);
    if (!m_hardware.DefineChannels(true)) {
        // A failure with a reason of its own was shown already.
        if (!m_hardware.FailureReported())
            ShowMessageBox(this, QStringLiteral("No Hardware"));
        return;
    }
    RefreshChannels();
    if (Ctx().sharedSource)
        return;
    for (CompanionCode code : kSetupAnnouncement)
        CompanionBus::Instance().Broadcast(Ctx().companionMessage, code, 0);
}

void CWndKRV::Tick()
{
    m_hardware.Poll();
    for (int client : kReaderClients)
        Channels().Freeze(client);
    CaptureRecords();
    int threadedViews = 0;
    for (int i = 0; i < m_pageCount; ++i) {
        m_pages[i]->TickViews();
        threadedViews += m_pages[i]->ShowsThreadedView() ? 1 : 0;
    }
    // The octave filtering's threads count against the analysis workers.
    m_workers.Reserve(threadedViews);
    AdoptAnalyses();
    if (!m_frameClock.isValid() || m_frameClock.elapsed() >= kFrameMs) {
        m_frameClock.start();
        for (int i = 0; i < m_pageCount; ++i)
            m_pages[i]->FlushRepaints();
    }
    if (++Ctx().tickCounter % 20 == 0 && m_bar)
        m_bar->BlinkRecord();
    if (Ctx().tickCounter % kSourceWatchTicks == 0)
        WatchSource();
    if (Ctx().tickCounter % kStatusTicks == 0)
        UpdateStatus();
}

void CWndKRV::CaptureRecords()
{
    auto* time = m_pageCount > 0 ? qobject_cast<CTimeView*>(m_pages[0]->View(ViewKind::Time)) : nullptr;
    if (!m_record.run || !time)
        return;
    m_capture.SetRecording(m_record.recording != 0);
    m_capture.Tick(time->CaptureSettingsNow(), m_record.single != 0);
    if (const std::optional<QString> path = m_capture.TakeOpenFailure()) {
        // The box is shown after the tick, not inside the capture step.
        QTimer::singleShot(0, this, [this, file = *path] {
            ShowMessageBox(this, QStringLiteral("Cannot open the trigger recording file\n%1").arg(file), QString(),
                           MsgIcon::Error);
        });
    }
}

void CWndKRV::AdoptAnalyses()
{
    for (int i = 0; i < m_pageCount; ++i)
        m_pages[i]->AdoptAnalyses();
}

void CWndKRV::timerEvent(QTimerEvent* event)
{
    if (m_timers.IdOf(event) == kTickTimer)
        Tick();
    else
        QWidget::timerEvent(event);
}

bool CWndKRV::event(QEvent* event)
{
    if (AppMessage::NumberOf(event) == kPlacementMessage) {
        RestoreWindowPlacement(this, CControlBar::ControlsWidth());
        return true;
    }
    if (event->type() == CompanionMessage::EventType()) {
        auto* message = static_cast<CompanionMessage*>(event);
        const quintptr code = message->WParam();
        if (message->MessageId() == Ctx().companionMessage &&
            (code == kCompanionChannelsChanged || code == kCompanionSetupChannels))
            RefreshChannels();
        return true;
    }
    return QWidget::event(event);
}

void CWndKRV::closeEvent(QCloseEvent* event)
{
    m_timers.KillTimer(kTickTimer);
    event->accept();
}

void CWndKRV::ShowMainMenu(const QPoint& globalPos)
{
    ReadSetNames();
    m_menu->Update(m_setNames, m_autoSetup);
    m_menu->SetExportEnabled(m_clickedView->LastView() != nullptr);
    m_menu->Popup(globalPos);
}

void CWndKRV::ExportView(Export what)
{
    CGraphWnd* view = m_clickedView->LastView();
    if (!view)
        return;
    switch (what) {
    case Export::CopyData: ViewExport::CopyData(*view); break;
    case Export::Csv: ViewExport::ExportAs(*view, ViewExport::Kind::Csv); break;
    case Export::Png: ViewExport::ExportAs(*view, ViewExport::Kind::Png); break;
    }
}

void CWndKRV::OnMenuCommand(int command) { DispatchMenuCommand(command, *this); }

void CWndKRV::SaveSettingsSet(int set) { SaveSet(set); }

void CWndKRV::LoadSettingsSet(int set) { LoadSet(set); }

void CWndKRV::SaveSet(int set)
{
    if (set < 1 || set > SettingsSetFiles::kSetCount)
        return;
    QString& name = m_setNames[set - 1];
    // Cancelled or closed: saved all the same, under the name it had.
    CSetNameDlg::EditName(this, name);
    m_setName = name.isEmpty() ? QStringLiteral("S%1").arg(set) : name;
    QByteArray bytes;
    TextArchive archive;
    archive.OpenBuffer(&bytes, TextArchive::Mode::Store);
    StoreSet(archive, name);
    archive.Close();
    const QString path = SettingsSetFiles::PathOf(set);
    QString reason;
    if (!SettingsSetFiles::Write(path, bytes, &reason))
        ShowMessageBox(this, QStringLiteral("The settings set could not be saved to\n%1\n%2").arg(path, reason),
                       QString(), MsgIcon::Warning);
}

void CWndKRV::StoreSet(TextArchive& archive, const QString& name)
{
    // A line end inside the name would end the name line early and put
    // the rest before the blocks.
    QString oneLine = name;
    oneLine.remove(QLatin1Char('\r'));
    oneLine.remove(QLatin1Char('\n'));
    archive.WriteLine(QStringLiteral("Name:") + oneLine);
    archive.BeginBlock(QStringLiteral("Ctrl"));
    if (m_bar)
        m_bar->SerializePanel(archive);
    archive.EndBlock();
    for (int i = 0; i < m_pageCount; ++i) {
        archive.BeginBlock(QStringLiteral("View"));
        m_pages[i]->SerializePanel(archive);
        archive.EndBlock();
    }
    archive.BeginBlock(QStringLiteral("Hw"));
    m_hardware.SerializeSetup(archive);
    archive.EndBlock();
}

void CWndKRV::LoadSet(int set)
{
    if (set < 1 || set > SettingsSetFiles::kSetCount)
        return;
    const QString path = SettingsSetFiles::PathOf(set);
    QByteArray bytes;
    QString reason;
    switch (SettingsSetFiles::ReadAll(path, &bytes, &reason)) {
    case SettingsSetFiles::ReadResult::Unreadable: return;
    case SettingsSetFiles::ReadResult::NotAFile:
        ShowMessageBox(this, reason + QStringLiteral(";\nnothing was loaded."), QString(), MsgIcon::Warning);
        return;
    case SettingsSetFiles::ReadResult::TooLarge:
        ShowMessageBox(this, QStringLiteral("%1\nis too large to be a settings set; nothing was loaded.").arg(path),
                       QString(), MsgIcon::Warning);
        return;
    case SettingsSetFiles::ReadResult::Read: break;
    }
    TextArchive archive;
    archive.OpenBuffer(&bytes, TextArchive::Mode::Load);
    LoadSetFrom(archive);
    // The title names the set; the names the menu shows stay as they were.
    QString loaded;
    SettingsSetFiles::ReadName(path, &loaded);
    m_setName = loaded.isEmpty() ? QStringLiteral("S%1").arg(set) : loaded;
}

// A set holds one main bar block, a block per page and one hardware block.
// Further main bar and hardware blocks, and view blocks beyond the pages
// the window can hold, are passed over whole: each applied main bar block
// may build and tear down pages, each hardware block asks the user to
// confirm the channel setup, so repeating them would only stall the
// program on a damaged file.
void CWndKRV::LoadSetFrom(TextArchive& archive)
{
    QString line;
    archive.ReadLine(line); // the name line; the set's name is not taken over
    int pageCounter = 0;
    bool barLoaded = false;
    bool hardwareLoaded = false;
    while (!TextArchive::IsBlockEnd(line)) {
        if (line.startsWith(QLatin1String("Ctrl {"))) {
            if (m_bar && !barLoaded)
                m_bar->SerializePanel(archive);
            else
                archive.SkipBlock();
            barLoaded = true;
        } else if (line.startsWith(QLatin1String("View {"))) {
            if (pageCounter < kMaxPages) {
                // The first page block leaves one page; each further one
                // adds a page, which reads its block.
                ++pageCounter;
                SetPageCount(pageCounter);
                if (CViewBar* page = Page(pageCounter - 1))
                    page->SerializePanel(archive);
                else
                    archive.SkipBlock();
            } else {
                archive.SkipBlock();
            }
        } else if (line.startsWith(QLatin1String("Hw {"))) {
            if (!hardwareLoaded)
                m_hardware.SerializeSetup(archive);
            else
                archive.SkipBlock();
            hardwareLoaded = true;
        }
        if (!archive.ReadLine(line))
            break;
    }
}

void CWndKRV::ReadSetNames()
{
    for (int set = 1; set <= SettingsSetFiles::kSetCount; ++set)
        SettingsSetFiles::ReadName(SettingsSetFiles::PathOf(set), &m_setNames[set - 1]);
}

void CWndKRV::ToggleAutoSetup() { m_autoSetup = !m_autoSetup; }

void CWndKRV::ChooseDataPath()
{
    // Without a chosen path recordings go to the data directory: start there.
    const QString start = Ctx().chosenDataPath.isEmpty() ? Ctx().dataDirectory : Ctx().chosenDataPath;
    QString folder;
    if (CFolderPicker::Choose(this, start, QStringLiteral("Folder (*.vrd)|*.vrd||"), &folder))
        Ctx().chosenDataPath = folder;
}

void CWndKRV::DefineP0() { CP0Dlg::EditP0(this, m_p0Text); }

// ---------------------------------------------------------------------------
// The source's state, the status line and the title

void CWndKRV::WatchSource()
{
    const double now = m_sourceClock.isValid() ? m_sourceClock.elapsed() * 0.001 : 0.0;
    const ChannelSource::WriterState writer = Channels().Writer();
    switch (m_sourceWatch.Observe(writer, now)) {
    case SourceWatch::Change::Replaced: SourceReplaced(); break;
    case SourceWatch::Change::Resumed: ShowSourceNotice(QString()); break;
    case SourceWatch::Change::Ended:
    case SourceWatch::Change::None: break;
    }
    if (writer.live && m_writerName.isEmpty() && writer.pid > 0 && writer.pid != int(QCoreApplication::applicationPid())) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(writer.pid));
        if (comm.open(QIODevice::ReadOnly))
            m_writerName = QString::fromUtf8(comm.readLine()).trimmed();
        if (!m_writerName.isEmpty())
            m_sharedSourceName = QStringLiteral("Quorel ") + m_writerName;
    }
    if (!m_sourceWatch.Ended())
        return;
    const int seconds = m_sourceWatch.SecondsSinceEnd(now);
    if (seconds == m_noticeSeconds)
        return;
    m_noticeSeconds = seconds;
    ShowSourceNotice(QStringLiteral("source ended %1 s ago").arg(seconds));
}

// Another writer, or new channel definitions: what the views show belongs to
// channels that are gone, so they all start afresh at once.
void CWndKRV::SourceReplaced()
{
    m_noticeSeconds = -1;
    m_writerName.clear();
    m_sharedSourceName = QStringLiteral("Quorel");
    m_record.capture.reset();
    ShowSourceNotice(QString());
    RefreshChannels();
    for (int i = 0; i < m_pageCount; ++i)
        m_pages[i]->ClearViews(QStringLiteral("new channels \u2014 waiting for the first record"));
}

void CWndKRV::ShowSourceNotice(const QString& notice)
{
    if (notice.isEmpty())
        m_noticeSeconds = -1;
    for (int i = 0; i < m_pageCount; ++i)
        m_pages[i]->SetSourceNotice(notice);
}

QString CWndKRV::SourceName() const
{
    return Ctx().sharedSource ? m_sharedSourceName : m_hardware.typeName;
}

void CWndKRV::GatherStatus(StatusFacts& facts) const
{
    facts.source = SourceName();
    facts.recording = m_record.recording != 0;
    const int channel = ChosenChannel(0) >= 0 ? ChosenChannel(0) : ChosenChannel(1);
    const double dt = channel >= 0 ? Channels().SampleInterval(channel) : 0.0;
    facts.sampleRate = dt > 0.0 ? 1.0 / dt : 0.0;
    facts.points = m_record.points;
    facts.averagesAsked = m_record.averages;
    // The window of the spectrum the first page shows, else of its FFT view.
    WindowType window = WindowType::Rectangle;
    if (CViewBar* page = Page(0)) {
        const int shown = page->ActiveKind();
        CGraphWnd* view = shown >= 0 ? page->View(ViewKind(shown)) : nullptr;
        if (auto* spg = qobject_cast<CSpgView*>(view))
            window = spg->Panel() ? static_cast<CSpgPanel*>(spg->Panel())->AnalysisWindow() : window;
        else if (auto* spectrum = qobject_cast<CFrequencyView*>(view))
            window = WindowType(spectrum->FrequencyPanel()->Window());
        else if (auto* fft = qobject_cast<CFrequencyView*>(page->View(ViewKind::Fft)))
            window = WindowType(fft->FrequencyPanel()->Window());
    }
    const std::string_view name = WindowTypeText(window);
    const QLatin1StringView windowName(name.data(), qsizetype(name.size()));
    if (facts.window != windowName)
        facts.window = windowName;
    facts.noiseBandwidthBins = NoiseBandwidth(window);
    const CaptureRecord* record = m_record.capture.get();
    facts.recordLength = record ? record->length : 0;
    // Averages a record too short for its segments gives: none.
    facts.averagesDone = 0;
    if (record && record->length > 0) {
        const SegmentLayout layout = MakeSegmentLayout(record->length, record->startOffset, m_record.points,
                                                       m_record.hop, m_record.averages, record->sampleInterval);
        facts.averagesDone = RecordHoldsSegments(layout) ? layout.count : 0;
    }
    long long lost = 0;
    const int channels = Channels().ChannelCount();
    for (int client : kReaderClients)
        for (int c = 0; c < channels; ++c)
            lost += Channels().Lost(client, c);
    facts.lost = lost;
    facts.recordFailed = const_cast<CHwManager&>(m_hardware).RecordFile().Failed();
}

void CWndKRV::UpdateStatus()
{
    if (!m_status)
        return;
    // A copy of the facts shown shares their texts: gathering into it and
    // comparing allocates nothing while nothing changes.
    StatusFacts facts = m_status->Facts();
    GatherStatus(facts);
    const bool changed = m_status->Show(facts);
    if (!changed && m_titleSetName == m_setName && !m_title.isEmpty())
        return;
    m_titleSetName = m_setName;
    const QString title = CStatusLine::TitleText(facts.source, m_setName, facts.recording);
    if (title != m_title) {
        m_title = title;
        setWindowTitle(m_title);
    }
}

void CWndKRV::RepaintAll()
{
    for (int i = 0; i < m_pageCount; ++i)
        for (int kind = 0; kind < kViewKindCount; ++kind)
            if (CGraphWnd* view = m_pages[i]->View(ViewKind(kind)))
                view->Data().MarkChanged(); // kept renderings (the spectrogram image) take the new colours
    update();
    for (QWidget* child : findChildren<QWidget*>())
        child->update();
}
