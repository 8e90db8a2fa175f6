// The main window: layout of bar and pages, run state, hop, auto setup
// with and without hardware, persisted options and start-up folders.
#include "panels/controlbar.h"
#include "panels/statusline.h"
#include "widgets/selectorbutton.h"
#include "panels/viewbar.h"
#include "context/analysisrecord.h"
#include "context/parsewithprefix.h"
#include "views/paneldlg.h"
#include "views/timepanel.h"
#include "views/timeview.h"
#include "platform/companionbus.h"
#include "platform/appmessage.h"
#include "widgets/togglebutton.h"
#include "shell/mainmenu.h"
#include "shell/windowplacement.h"
#include <QDir>
#include <QMenu>
#include "acquisition/hwchansetup.h"
#include "acquisition/hwmodule.h"
#include "acquisition/soundinput.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "platform/profile.h"
#include "context/appcontext.h"
#include "shell/krvapp.h"
#include "shell/wndkrv.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"
#include "zq.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QDirIterator>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace {

constexpr int kStatus = CStatusLine::kHeight;

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
public:
    std::map<QObject*, int> paints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints[watched];
        return false;
    }
};

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        Profile::SetProgramName(QStringLiteral("krv"));
        Ctx().programDirectory = QString::fromStdString(m_env.ProgramDir());
        Ctx().dataDirectory = Ctx().programDirectory + QStringLiteral("data");
        Ctx().companionMessage = CompanionBus::Instance().RegisterMessage(QStringLiteral("Ostrane"));
        // Keep the test windows normal-sized.
        Profile::WriteString("Window size", "Rechteck", "0050 0050 0850 0750");
        Profile::WriteInt("Window size", "maximized", 0);
    }

    std::unique_ptr<CWndKRV> MakeWindow(int width = 800, int height = 700)
    {
        auto window = std::make_unique<CWndKRV>();
        window->Create();
        QApplication::processEvents(); // the placement request
        window->showNormal();
        window->resize(width, height);
        return window;
    }

    TestEnvironment m_env;
    MessageBoxRecorder m_boxes;
    DialogRecorder m_dialogs;
};

// Counts companion messages reaching a top-level widget.
class CompanionCounter : public QWidget {
public:
    std::vector<quintptr> codes;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == CompanionMessage::EventType())
            codes.push_back(static_cast<CompanionMessage*>(event)->WParam());
        return QWidget::event(event);
    }
};

TEST_F(MainWindowTest, CreationDefaults)
{
    auto window = MakeWindow();
    EXPECT_EQ(window->PageCount(), 1);
    EXPECT_EQ(window->windowTitle(), "KRV");
    EXPECT_EQ(Ctx().mainWindow, window.get());
    EXPECT_FALSE(Ctx().sharedSource);
    const AnalysisRecord& record = window->Record();
    EXPECT_EQ(record.points, 1024);
    EXPECT_EQ(record.averages, 1);
    EXPECT_EQ(record.overlap, 50);
    EXPECT_EQ(record.run, 1);
    EXPECT_EQ(record.single, 0);
    EXPECT_EQ(record.recording, 0);
    EXPECT_EQ(record.capture, nullptr);
    // The bar's initialisation reads the averages once, which sets the hop.
    EXPECT_EQ(record.hop, 512);
    EXPECT_EQ(window->Bar()->Channel1()->CurrentText(), "nc");
    EXPECT_EQ(window->Bar()->Channel2()->CurrentText(), "nc");
}

TEST_F(MainWindowTest, PagesStackInOneColumnOrTileInTwo)
{
    auto window = MakeWindow(800, 700);
    ASSERT_EQ(window->rect().height(), 700);
    EXPECT_EQ(window->Bar()->geometry(), QRect(0, 0, 800, 28));

    // The status line takes its strip off the bottom: 700 − 28 − 18 = 654
    // pixels for the pages.
    EXPECT_EQ(window->StatusLine()->geometry(), QRect(0, 700 - kStatus, 800, kStatus));
    window->SetPageCount(3);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(window->Page(k)->Tile(), QRect(0, 28 + k * 218, 800, 218)) << k;

    window->SetPageCount(4);
    EXPECT_EQ(window->PageCount(), 4);
    EXPECT_EQ(window->Page(0)->Tile(), QRect(0, 28, 400, 327));
    EXPECT_EQ(window->Page(1)->Tile(), QRect(400, 28, 400, 327));
    EXPECT_EQ(window->Page(3)->Tile(), QRect(400, 355, 400, 327));

    window->SetPageCount(6);
    EXPECT_EQ(window->Page(5)->Tile(), QRect(400, 28 + 2 * 218, 400, 218));

    window->SetPageCount(2);
    EXPECT_EQ(window->PageCount(), 2);
    EXPECT_EQ(window->Page(2), nullptr);
    EXPECT_EQ(window->Page(1)->Tile(), QRect(0, 355, 800, 327));
}

TEST_F(MainWindowTest, PageStripSitsAtTheBottomRightOfThePanelColumn)
{
    auto window = MakeWindow(800, 700);
    const int panel = Ctx().panelWidth;
    CViewBar* page = window->Page(0);
    EXPECT_EQ(page->geometry(), QRect(panel, 700 - kStatus - 28, 800 - panel, 28));
    EXPECT_EQ(page->ViewArea(), QRect(panel, 28, 800 - panel, 672 - kStatus - 28));
}

TEST_F(MainWindowTest, OddSizesUseIntegerDivision)
{
    auto window = MakeWindow(801, 701);
    window->SetPageCount(6);
    // (701 - 28 - 18) / 3 = 218, 801 / 2 = 400
    EXPECT_EQ(window->Page(4)->Tile(), QRect(0, 28 + 2 * 218, 400, 218));
    window->resize(999, 530);
    EXPECT_EQ(window->Page(1)->Tile(), QRect(499, 28, 499, 161));
}

TEST_F(MainWindowTest, MovingKeepsBarAndPagesOverTheClientArea)
{
    auto window = MakeWindow(800, 700);
    window->SetPageCount(2);
    window->move(50, 60);
    QPoint barBefore = window->Bar()->mapToGlobal(QPoint(0, 0)) - window->mapToGlobal(QPoint(0, 0));
    window->move(250, 160);
    QApplication::processEvents();
    QPoint barAfter = window->Bar()->mapToGlobal(QPoint(0, 0)) - window->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(barBefore, barAfter);
    EXPECT_EQ(window->Page(1)->Tile(), QRect(0, 355, 800, 327));
}

TEST_F(MainWindowTest, PageCountStaysWithinTheArray)
{
    auto window = MakeWindow();
    window->SetPageCount(12);
    EXPECT_EQ(window->PageCount(), CWndKRV::kMaxPages);
    window->SetPageCount(-1);
    EXPECT_EQ(window->PageCount(), 0);
}

TEST_F(MainWindowTest, RunAndSingleShotStates)
{
    auto window = MakeWindow();
    AnalysisRecord& record = window->Record();

    window->RunStop(); // running -> stopped
    EXPECT_EQ(record.run, 0);
    EXPECT_EQ(record.single, 0);
    window->RunStop(); // stopped -> running
    EXPECT_EQ(record.run, 1);
    EXPECT_EQ(record.single, 0);

    window->SingleShot(); // running -> armed
    EXPECT_EQ(record.run, 1);
    EXPECT_EQ(record.single, 1);
    window->RunStop(); // armed -> stopped, as a completed single capture does
    EXPECT_EQ(record.run, 0);
    EXPECT_EQ(record.single, 0);

    window->SingleShot(); // stopped -> armed
    EXPECT_EQ(record.run, 1);
    EXPECT_EQ(record.single, 1);
}

TEST(Hop, TruncatesPointsTimesTheFreeShare)
{
    EXPECT_EQ(CWndKRV::HopFor(1024, 50), 512);
    EXPECT_EQ(CWndKRV::HopFor(2048, 75), 512);
    EXPECT_EQ(CWndKRV::HopFor(1024, 0), 1024);
    EXPECT_EQ(CWndKRV::HopFor(1000, 67), 330);
    EXPECT_EQ(CWndKRV::HopFor(512, 100), 0);
}

TEST_F(MainWindowTest, BarChoicesReachTheRecordAndTheHop)
{
    auto window = MakeWindow();
    // Through the bar's selectors, as a click on each would.
    auto choose = [&](int id, const char* text) {
        CSelectorButton* selector = window->Bar()->Selector(id);
        selector->SelectText(QString::fromLatin1(text));
        emit selector->clicked();
    };
    choose(CControlBar::IdPoints, "2048");
    choose(CControlBar::IdAverages, "4");
    choose(CControlBar::IdOverlap, "75%");
    EXPECT_EQ(window->Record().points, 2048);
    EXPECT_EQ(window->Record().averages, 4);
    EXPECT_EQ(window->Record().overlap, 75);
    EXPECT_EQ(window->Record().hop, 512);
    choose(CControlBar::IdOverlap, "0%");
    EXPECT_EQ(window->Record().hop, 2048);
}

// The spectrogram needs automatic averaging: choosing it on a page turns
// the bar's "Avg" to "Auto", which reaches the record as the user's choice.
TEST_F(MainWindowTest, SpectrogramTabTurnsTheBarsAveragesToAuto)
{
    auto window = MakeWindow();
    CSelectorButton* averages = window->Bar()->Selector(CControlBar::IdAverages);
    averages->SelectText(QStringLiteral("4"));
    emit averages->clicked();
    window->Bar()->Selector(CControlBar::IdOverlap)->SelectText(QStringLiteral("75%"));
    emit window->Bar()->Selector(CControlBar::IdOverlap)->clicked();
    ASSERT_EQ(window->Record().averages, 4);
    window->Record().hop = -1; // to see that the choice recomputes it

    CViewBar* page = window->Page(0);
    QTest::mouseClick(page->Tab(ViewKind::Spg), Qt::LeftButton);
    ASSERT_EQ(m_dialogs.Runs().size(), 1u);
    EXPECT_EQ(m_dialogs.Runs()[0].title, "Attention");
    EXPECT_EQ(averages->CurrentText(), "Auto");
    EXPECT_EQ(window->Record().averages, 0);
    EXPECT_EQ(window->Record().hop, 256);
    EXPECT_EQ(page->ActiveKind(), int(ViewKind::Spg));

    // Already "Auto": no notice the next time.
    QTest::mouseClick(page->Tab(ViewKind::Time), Qt::LeftButton);
    QTest::mouseClick(page->Tab(ViewKind::Spg), Qt::LeftButton);
    EXPECT_EQ(m_dialogs.Runs().size(), 1u);
}

TEST_F(MainWindowTest, AutoSetupThatDefinesNoChannelsSaysNoHardwareAndBroadcastsNothing)
{
    // A recorder module whose channel setup is not accepted defines nothing.
    m_env.SetEnv("VELMOR_SIM_MODULE", "Halvek");
    CompanionCounter listener;
    listener.show();
    auto window = MakeWindow();
    m_dialogs.SetDefaultHandler([](QDialog& setup) { setup.reject(); });
    window->AutoSetup();
    QApplication::processEvents();
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, "No Hardware");
    EXPECT_EQ(window->Bar()->SetupCaption(), window->Hardware().typeName);
    EXPECT_EQ(window->Bar()->Channel1()->Items(), QStringList{"nc"});
    EXPECT_EQ(window->Bar()->Channel2()->Items(), QStringList{"nc"});
    EXPECT_TRUE(listener.codes.empty());
}

TEST_F(MainWindowTest, AutoSetupWithTheSoundCardDefinesTwoChannelsAndBroadcasts)
{
    m_env.SetEnv("VELMOR_SIM_MODULE", "");
    m_env.SetEnv("KRV_WAVEIN", "sine");
    CompanionCounter listener;
    listener.show();
    auto window = MakeWindow();
    window->AutoSetup();
    QApplication::processEvents();
    EXPECT_TRUE(m_boxes.Boxes().empty()) << m_boxes.Boxes()[0].text.toStdString();
    EXPECT_EQ(window->Bar()->SetupCaption(), "PC-Snd");
    EXPECT_EQ(window->Bar()->Channel1()->Items(), (QStringList{"nc", "0", "1"}));
    EXPECT_EQ(window->Bar()->Channel1()->CurrentText(), "0");
    EXPECT_EQ(window->Bar()->Channel2()->CurrentText(), "1");
    EXPECT_EQ(listener.codes, (std::vector<quintptr>{10, 11, 12, 13}));
}

TEST_F(MainWindowTest, AutoSetupOptionRunsAtCreation)
{
    m_env.SetEnv("VELMOR_SIM_MODULE", "Halvek");
    Profile::WriteInt("Settings", "AutoSetup", 7);
    CWndKRV window;
    int edits = 0;
    QWidget* moduleParent = nullptr;
    m_dialogs.SetDefaultHandler([&](QDialog& setup) {
        ++edits;
        moduleParent = window.Hardware().Module()->Parent();
        setup.reject();
    });
    window.Create();
    QApplication::processEvents();
    EXPECT_TRUE(window.AutoSetupOn());
    EXPECT_EQ(edits, 1);
    // The setup at creation already knows the window: the module's dialogs
    // and the boxes have their owner.
    EXPECT_EQ(moduleParent, &window);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, "No Hardware");
    EXPECT_EQ(m_boxes.Boxes()[0].parent, &window);
}

TEST_F(MainWindowTest, AutoSetupAtCreationReportsSoundErrorsOverTheWindow)
{
    m_env.SetEnv("VELMOR_SIM_MODULE", "");
    m_env.SetEnv("KRV_WAVEIN", "busy");
    Profile::WriteInt("Settings", "AutoSetup", 1);
    CWndKRV window;
    window.Create();
    QApplication::processEvents(); // boxes queued by the capture thread
    // The device's own boxes say what happened; no "No Hardware" after them.
    EXPECT_EQ(m_boxes.Texts(),
              (std::vector<QString>{" Specified resource is already allocated.", "Cannot Open Sound Input Device!"}));
    for (const MessageBoxRecorder::Box& box : m_boxes.Boxes())
        EXPECT_EQ(box.parent, &window);
}

TEST_F(MainWindowTest, AutoSetupWhileAnotherProgramWritesTheServiceNamesItAndBroadcastsNothing)
{
    m_env.SetEnv("VELMOR_SIM_MODULE", "");
    m_env.SetEnv("KRV_WAVEIN", "sine");
    auto window = MakeWindow(); // nothing published yet: not in shared-source mode
    QProcess generator;
    generator.start(QString::fromStdString(TestEnvironment::BinDir() + "/zq-gen"), {"-n", "3", "-q"});
    ASSERT_TRUE(generator.waitForStarted());
    ASSERT_TRUE(WaitUntil([] { return ZQ_GetNrOfChan() == 3; }));

    CompanionCounter listener;
    listener.show();
    window->AutoSetup();
    QApplication::processEvents();
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    const MessageBoxRecorder::Box& box = m_boxes.Boxes()[0];
    EXPECT_TRUE(box.text.contains(QStringLiteral("process %1 (zq-gen)").arg(generator.processId())))
        << box.text.toStdString();
    EXPECT_EQ(box.parent, window.get());
    EXPECT_EQ(window->Bar()->Channel1()->Items(), QStringList{"nc"});
    EXPECT_TRUE(listener.codes.empty());
    EXPECT_EQ(window->Hardware().Sound()->State(), CSoundInput::Closed);
    generator.terminate();
    generator.waitForFinished(5000);
}

TEST_F(MainWindowTest, AutoSetupWithTheSimulatedHalvekShowsItsChannels)
{
    m_env.SetEnv("VELMOR_SIM_MODULE", "Halvek");
    auto window = MakeWindow();
    window->AutoSetup();
    QApplication::processEvents();
    EXPECT_TRUE(m_boxes.Boxes().empty()) << m_boxes.Boxes()[0].text.toStdString();
    EXPECT_EQ(window->Bar()->SetupCaption(), "Halvek");
    QStringList expected{"nc"};
    for (int ch = 1; ch <= 24; ++ch)
        expected << QString::number(ch);
    EXPECT_EQ(window->Bar()->Channel1()->Items(), expected);
    ASSERT_TRUE(window->Hardware().HasModule());
    EXPECT_TRUE(window->Hardware().Module()->IsRunning());
}

TEST_F(MainWindowTest, OptionsAreReadAtConstructionAndWrittenAtDeletion)
{
    {
        auto window = MakeWindow();
        EXPECT_EQ(window->ColourSchemeNumber(), 1);
        EXPECT_FALSE(window->AutoSetupOn());
        window->ApplyColourScheme(2);
        window->SetAutoSetup(true);
    }
    EXPECT_EQ(Profile::GetInt("Settings", "colors", -1), 2);
    EXPECT_EQ(Profile::GetInt("Settings", "AutoSetup", -1), 1);
    CWndKRV again;
    EXPECT_EQ(again.ColourSchemeNumber(), 2);
    EXPECT_TRUE(again.AutoSetupOn());
}

TEST_F(MainWindowTest, TickCountsAndLeavesTheRunStateAlone)
{
    auto window = MakeWindow();
    int before = Ctx().tickCounter;
    for (int i = 0; i < 25; ++i)
        window->Tick();
    EXPECT_EQ(Ctx().tickCounter, before + 25);
    EXPECT_EQ(window->Record().run, 1);
}

TEST_F(MainWindowTest, TheTimerDrivesTheTick)
{
    auto window = MakeWindow();
    int before = Ctx().tickCounter;
    EXPECT_TRUE(WaitUntil([&] { return Ctx().tickCounter > before + 3; }));
}

TEST_F(MainWindowTest, DataDirectoryIsMadeOrReported)
{
    CKrvApp::MakeDataDirectory();
    EXPECT_TRUE(QFileInfo(Ctx().dataDirectory).isDir());
    EXPECT_TRUE(m_boxes.Boxes().empty());

    // A file where the folder should be: the folder cannot exist.
    Ctx().dataDirectory = Ctx().programDirectory + QStringLiteral("blocked");
    QFile blocker(Ctx().dataDirectory);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CKrvApp::MakeDataDirectory();
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text,
              "No data path: " + Ctx().dataDirectory + "\nRecording data to media is impossible");
}

TEST(ChannelRefill, SelectionRules)
{
    const QString nc = QStringLiteral("nc");
    using Pair = std::pair<int, int>;
    EXPECT_EQ(CControlBar::RefillSelection(0, "3", 3, "4", 4), Pair(0, 0));
    EXPECT_EQ(CControlBar::RefillSelection(1, nc, 0, nc, 0), Pair(1, 0));
    EXPECT_EQ(CControlBar::RefillSelection(2, "3", 3, "1", 1), Pair(1, 2));
    EXPECT_EQ(CControlBar::RefillSelection(4, nc, 0, nc, 0), Pair(1, 2));
    EXPECT_EQ(CControlBar::RefillSelection(4, "3", 3, "4", 4), Pair(3, 4));
    EXPECT_EQ(CControlBar::RefillSelection(4, "3", 3, nc, 0), Pair(3, 0));
    // Positions beyond a shorter list end at its last channel.
    EXPECT_EQ(CControlBar::RefillSelection(3, "9", 9, "7", 7), Pair(3, 3));
}

TEST_F(MainWindowTest, FirstStartIsMaximisedAndThePlacementIsSavedAtDestruction)
{
    Profile::WriteString("Window size", "Rechteck", "");
    Profile::WriteInt("Window size", "maximized", 1);
    {
        auto window = std::make_unique<CWndKRV>();
        window->Create();
        QApplication::processEvents();
        EXPECT_TRUE(window->isMaximized());
        EXPECT_EQ(window->normalGeometry().size(), QSize(490, 390));
        window->showNormal();
        window->setGeometry(20, 30, 600, 400);
        QApplication::processEvents();
    }
    WindowPlacement saved = ReadWindowPlacement();
    EXPECT_FALSE(saved.maximized);
    EXPECT_FALSE(saved.icon);
    EXPECT_EQ(saved.NormalRect().size(), QSize(600, 400));
}

TEST_F(MainWindowTest, MenuCommandsReachTheWindow)
{
    auto window = MakeWindow();
    CMainMenu* menu = window->MainMenu();
    ASSERT_TRUE(menu->Trigger(MenuCommand::SchemeGreen));
    EXPECT_EQ(window->ColourSchemeNumber(), 0);
    EXPECT_EQ(Ctx().colours.graphBackground, QColor(0xF0FAF0));
    ASSERT_TRUE(menu->Trigger(MenuCommand::SchemeBW));
    EXPECT_EQ(window->ColourSchemeNumber(), 2);
    ASSERT_TRUE(menu->Trigger(MenuCommand::AutoSetup));
    EXPECT_TRUE(window->AutoSetupOn());
    ASSERT_TRUE(menu->Trigger(MenuCommand::AutoSetup));
    EXPECT_FALSE(window->AutoSetupOn());
    EXPECT_FALSE(menu->Trigger(MenuCommand::CheckForUpdate));
}

// A new colour scheme shows at once everywhere: bar, tab strip, panel,
// view and status line repaint without waiting for another reason.
TEST_F(MainWindowTest, ColourSchemeChangeRepaintsBarStripsAndPanelsAtOnce)
{
    auto window = MakeWindow();
    window->show();
    CViewBar* page = window->Page(0);
    CGraphWnd* view = page->View(ViewKind::Time);
    const std::vector<QWidget*> watched
        = {window->Bar(), page, page->Tab(ViewKind::Fft), view->Panel(), view, window->StatusLine()};
    QApplication::processEvents();
    PaintCounter counter;
    for (QWidget* widget : watched) {
        ASSERT_TRUE(widget->isVisible());
        widget->installEventFilter(&counter);
    }
    QApplication::processEvents();
    counter.paints.clear();
    ASSERT_TRUE(window->MainMenu()->Trigger(MenuCommand::SchemeGreen));
    QApplication::processEvents();
    for (QWidget* widget : watched)
        EXPECT_GE(counter.paints[widget], 1) << widget->metaObject()->className();
}

TEST_F(MainWindowTest, TheMenuButtonOpensTheMenuBelowItWithTheAutoSetupMark)
{
    auto window = MakeWindow();
    window->SetAutoSetup(true);
    CToggleButton* button = window->Bar()->Control(CControlBar::IdMenu);
    QTest::mouseClick(button, Qt::LeftButton);
    QMenu* popup = window->MainMenu()->Menu();
    EXPECT_TRUE(popup->isVisible());
    // Below the button; Qt moves it left where the screen ends.
    const QPoint corner = button->mapToGlobal(button->rect().bottomLeft());
    EXPECT_EQ(popup->pos().y(), corner.y());
    EXPECT_LE(popup->pos().x(), corner.x());
    EXPECT_TRUE(window->MainMenu()->Action(MenuCommand::AutoSetup)->isChecked());
    EXPECT_EQ(window->MainMenu()->Action(MenuCommand::SaveSet1)->text(), "s1 ");
    popup->hide();
}

TEST_F(MainWindowTest, RecStartsAndStopsARecordingOfTheDefinedChannels)
{
    m_env.SetEnv("VELMOR_SIM_MODULE", "");
    m_env.SetEnv("KRV_WAVEIN", "sine");
    QDir().mkpath(Ctx().dataDirectory);
    auto window = MakeWindow();
    window->AutoSetup();
    CToggleButton* rec = window->Bar()->Control(CControlBar::IdRec);
    QTest::mouseClick(rec, Qt::LeftButton);
    ASSERT_EQ(window->Record().recording, 1);
    EXPECT_TRUE(rec->State());
    const QString path = window->Hardware().RecordFile().FilePath();
    EXPECT_TRUE(path.startsWith(Ctx().dataDirectory + "/"));
    EXPECT_TRUE(WaitUntil([&] { return window->Hardware().RecordFile().Frames() > 0; }));
    QTest::mouseClick(rec, Qt::LeftButton);
    EXPECT_EQ(window->Record().recording, 0);
    EXPECT_FALSE(rec->State());
    EXPECT_GT(QFileInfo(path).size(), 32);
}

TEST_F(MainWindowTest, SetupStopsARunningRecordingFirst)
{
    m_env.SetEnv("VELMOR_SIM_MODULE", "");
    m_env.SetEnv("KRV_WAVEIN", "sine");
    QDir().mkpath(Ctx().dataDirectory);
    auto window = MakeWindow();
    window->AutoSetup();
    QTest::mouseClick(window->Bar()->Control(CControlBar::IdRec), Qt::LeftButton);
    ASSERT_TRUE(window->Hardware().RecordFile().IsRecording());
    QTest::mouseClick(window->Bar()->Control(CControlBar::IdSetup), Qt::LeftButton);
    EXPECT_FALSE(window->Hardware().RecordFile().IsRecording());
    EXPECT_EQ(window->Record().recording, 0);
}

// A ramp from 0 to 7.3 needs 1 per division with zero at the bottom; one
// from -0.4 to 0 needs 0.05 per division with zero at the top.
TEST_F(MainWindowTest, AutoScaleButtonRescalesTheTimeViewsOfEveryPage)
{
    auto window = MakeWindow(1000, 700);
    window->SetPageCount(3);
    ASSERT_EQ(ZQ_SetNrOfChan(2), ZQ_OK);
    ASSERT_EQ(ZQ_SetChanDef(0, 1, "1", "ramp", "V", "", 1e-3, -10, 10, 0, 0, 0), ZQ_OK);
    ASSERT_EQ(ZQ_SetChanDef(1, 2, "2", "dip", "V", "", 1e-3, -10, 10, 0, 0, 0), ZQ_OK);
    window->RefreshChannels();
    ASSERT_EQ(window->ChosenChannel(0), 0);
    ASSERT_EQ(window->ChosenChannel(1), 1);

    const int length = 1000;
    std::vector<float> ramp(length), dip(length);
    for (int i = 0; i < length; ++i) {
        ramp[size_t(i)] = float(7.3 * i / (length - 1));
        dip[size_t(i)] = float(-0.4 * i / (length - 1));
    }
    AnalysisRecord& record = window->Record();
    auto capture = std::make_shared<CaptureRecord>();
    capture->samples = {ramp, dip};
    capture->length = length;
    capture->sampleInterval = 1e-3;
    capture->sequence = 1;
    record.capture = capture;

    auto timeView = [&](int page) { return static_cast<CTimeView*>(window->Page(page)->View(ViewKind::Time)); };
    auto selector = [&](int page, int id) { return timeView(page)->TimePanel()->Selector(id); };
    window->NotifyAnalysis(); // each view's first record rescales it once
    for (int page = 0; page < 3; ++page) {
        // The user's own scales on every page.
        selector(page, CTimePanel::IdYDiv1)->SelectNearest(5.0);
        selector(page, CTimePanel::IdOff1)->SetNumeric(5.0, 10.0);
        selector(page, CTimePanel::IdYDiv2)->SelectNearest(2.0);
        selector(page, CTimePanel::IdOff2)->SetNumeric(2.0, 0.0);
    }
    QTest::mouseClick(window->Bar()->Control(CControlBar::IdAuto), Qt::LeftButton);
    for (int page = 0; page < 3; ++page) {
        EXPECT_DOUBLE_EQ(ParseWithPrefix(selector(page, CTimePanel::IdYDiv1)->CurrentText()), 1.0) << page;
        EXPECT_DOUBLE_EQ(selector(page, CTimePanel::IdOff1)->NumericValue(), -5.0) << page;
        EXPECT_NEAR(ParseWithPrefix(selector(page, CTimePanel::IdYDiv2)->CurrentText()), 0.05, 1e-12) << page;
        EXPECT_NEAR(selector(page, CTimePanel::IdOff2)->NumericValue(), 0.25, 1e-12) << page;
    }
    ZQ_ReleaseWriter();
}

// Triggered captures are saved only while "Rec" is on: after "Setup" has
// stopped the recording no further capture file appears.
TEST_F(MainWindowTest, SetupStopsTheTriggeredRecordingsToo)
{
    m_env.SetEnv("VELMOR_SIM_MODULE", "");
    m_env.SetEnv("KRV_WAVEIN", "sine");
    QDir().mkpath(Ctx().dataDirectory);
    struct CountingWindow : CWndKRV {
        int records = 0;
        void NotifyAnalysis() override
        {
            ++records;
            CWndKRV::NotifyAnalysis();
        }
    };
    auto window = std::make_unique<CountingWindow>();
    window->Create();
    window->show();
    window->AutoSetup();
    auto* time = static_cast<CTimeView*>(window->Page(0)->View(ViewKind::Time));
    // Records of 0.1 s (4410 samples), each started by the sine's trigger.
    time->TimePanel()->Selector(CTimePanel::IdXDiv)->SelectText(QStringLiteral("0.01s"));
    time->TimePanel()->Notify(PanelXScale, Delivery::Send);
    time->TimePanel()->Selector(CTimePanel::IdTrg)->SelectText(QStringLiteral("Auto"));
    time->TimePanel()->Notify(PanelTrigger, Delivery::Send);

    auto triggerFiles = [] {
        int count = 0;
        for (QDirIterator it(Ctx().dataDirectory, {QStringLiteral("*_trg.vrd")}, QDir::Files); it.hasNext(); it.next())
            ++count;
        return count;
    };
    QTest::mouseClick(window->Bar()->Control(CControlBar::IdRec), Qt::LeftButton);
    ASSERT_EQ(window->Record().recording, 1);
    ASSERT_TRUE(WaitUntil([&] { return triggerFiles() >= 2; })) << "no triggered captures saved while recording";

    QTest::mouseClick(window->Bar()->Control(CControlBar::IdSetup), Qt::LeftButton);
    EXPECT_EQ(window->Record().recording, 0);
    EXPECT_FALSE(window->Hardware().RecordFile().IsRecording());
    EXPECT_FALSE(window->Bar()->Control(CControlBar::IdRec)->State());
    const int saved = triggerFiles();
    // Several more records: the sound input runs on after the setup.
    const int before = window->records;
    EXPECT_TRUE(WaitUntil([&] { return window->records >= before + 4; }));
    EXPECT_EQ(triggerFiles(), saved);
}

} // namespace
