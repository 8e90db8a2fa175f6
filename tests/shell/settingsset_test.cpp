// Settings sets: the main window's container with the blocks of the main
// bar, the pages and their views, and the hardware manager; round trips
// through real files, the names in the menu, the place of the files, and
// what failed saves and damaged files do.
#include "acquisition/channelsetupdlg.h"
#include "acquisition/hwmanager.h"
#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "panels/controlbar.h"
#include "panels/setnamedlg.h"
#include "panels/viewbar.h"
#include "platform/companionbus.h"
#include "platform/dialogtemplate.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "platform/profile.h"
#include "shell/mainmenu.h"
#include "shell/settingssetfiles.h"
#include "shell/wndkrv.h"
#include "support/fifowatchdog.h"
#include "support/smallfilesystem.h"
#include "support/testenvironment.h"
#include "views/graphwnd.h"
#include "widgets/selectorbutton.h"
#include "widgets/togglebutton.h"
#include "zq.h"

#include "acquisition/setupdialogdriver.h"
#include "acquisition/simcontrol.h"
#include "widgets/widgettest.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr ViewKind kAllKinds[] = {ViewKind::Time, ViewKind::Fft, ViewKind::Psd, ViewKind::Frf,
                                  ViewKind::Coh,  ViewKind::Crs, ViewKind::Ccr, ViewKind::Acr,
                                  ViewKind::Spg,  ViewKind::Oct, ViewKind::Dmm};

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

QList<QByteArray> Lines(const QByteArray& file)
{
    QList<QByteArray> lines = file.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The settings line a selector would write, to see whether it moved.
QString LineOf(const CSelectorButton* selector) { return selector->SerializeLine(QStringLiteral("k:")); }

// One wheel notch that changes the selector: up, or down at the end of a list.
void StepOnce(CSelectorButton* selector)
{
    const QString before = LineOf(selector);
    WidgetTest::Wheel(selector, 120);
    if (LineOf(selector) == before)
        WidgetTest::Wheel(selector, -120);
}

// Turns the wheel over the selector until it shows text.
void WheelTo(CSelectorButton* selector, const QString& text)
{
    const int target = selector->Items().indexOf(text);
    ASSERT_GE(target, 0) << text.toStdString();
    for (int i = 0; i < 100 && selector->CurrentIndex() != target; ++i)
        WidgetTest::Wheel(selector, selector->CurrentIndex() < target ? 120 : -120);
    ASSERT_EQ(selector->CurrentText(), text);
}

// What a user of the page does: every view in turn is chosen with its tab and
// each selector of its panel turned off its default (steps notches, so
// that pages differ), then the view to show is chosen.
void MoveEveryPanelControl(CViewBar* page, int steps, ViewKind shown)
{
    for (ViewKind kind : kAllKinds) {
        CGraphWnd* view = page->View(kind);
        if (!view)
            continue; // a kind this build does not make
        QTest::mouseClick(page->Tab(kind), Qt::LeftButton);
        ASSERT_TRUE(view->IsActive()) << CViewBar::BlockName(kind);
        const QList<CSelectorButton*> selectors = view->Panel()->findChildren<CSelectorButton*>();
        ASSERT_FALSE(selectors.isEmpty()) << CViewBar::BlockName(kind);
        std::vector<QString> defaults;
        for (CSelectorButton* selector : selectors)
            defaults.push_back(LineOf(selector));
        for (CSelectorButton* selector : selectors) {
            for (int i = 0; i < steps && selector->IsSelectorEnabled(); ++i)
                StepOnce(selector);
        }
        // A view may re-grid one selector when another changes; those that
        // went back to their default get one more notch.
        for (int pass = 0; pass < 3; ++pass) {
            for (size_t i = 0; i < size_t(selectors.size()); ++i) {
                if (selectors[i]->IsSelectorEnabled() && LineOf(selectors[i]) == defaults[i])
                    StepOnce(selectors[i]);
            }
        }
        for (size_t i = 0; i < size_t(selectors.size()); ++i) {
            // An offset the view grids on its first rescale has no values
            // before one: there is nothing a user could turn.
            const bool empty = !selectors[i]->IsNumeric() && selectors[i]->Count() == 0;
            if (selectors[i]->IsSelectorEnabled() && !empty) {
                EXPECT_NE(LineOf(selectors[i]), defaults[i])
                    << CViewBar::BlockName(kind) << " " << selectors[i]->text().toStdString();
            }
        }
        view->SetFirst(!view->First());
    }
    QTest::mouseClick(page->Tab(shown), Qt::LeftButton);
}

// The kinds this build makes, in tab order.
std::vector<ViewKind> MadeKinds(const CViewBar* page)
{
    std::vector<ViewKind> kinds;
    for (ViewKind kind : kAllKinds) {
        if (page->View(kind))
            kinds.push_back(kind);
    }
    return kinds;
}

// Records every page count the window is given while a set loads, and the
// page tiles right after it.
class CountingWindow : public CWndKRV {
public:
    struct Step {
        int count;
        std::vector<QRect> tiles;
    };
    std::vector<Step> steps;

    void SetPageCount(int count) override
    {
        CWndKRV::SetPageCount(count);
        Step step{count, {}};
        for (int i = 0; i < PageCount(); ++i)
            step.tiles.push_back(Page(i)->Tile());
        steps.push_back(step);
    }
    std::vector<int> Counts() const
    {
        std::vector<int> counts;
        for (const Step& step : steps)
            counts.push_back(step.count);
        return counts;
    }
};

class SettingsSetTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        Profile::SetProgramName(QStringLiteral("krv"));
        Ctx().programDirectory = QString::fromStdString(m_env.ProgramDir());
        Ctx().dataDirectory = Ctx().programDirectory + QStringLiteral("data");
        Ctx().companionMessage = CompanionBus::Instance().RegisterMessage(QStringLiteral("Ostrane"));
        Profile::WriteString("Window size", "Rechteck", "0050 0050 0850 0750");
        Profile::WriteInt("Window size", "maximized", 0);
        m_env.SetEnv("VELMOR_SIM_MODULE", "");
        m_env.SetEnv("VELMOR_SIM_CALIBRATION_MS", "5");
    }
    void TearDown() override
    {
        SimControl sim;
        if (sim.SetManualClock)
            sim.SetManualClock(0);
        ZQ_ReleaseWriter();
        ResetContext();
    }

    template <class Window = CWndKRV> std::unique_ptr<Window> MakeWindow()
    {
        auto window = std::make_unique<Window>();
        window->Create();
        QApplication::processEvents(); // the placement request
        window->showNormal();
        window->resize(800, 700);
        return window;
    }

    // A window whose hardware is the simulated recorder model, its sample
    // clock stopped so that no capture changes a view while the test looks;
    // setup drives the channel setup dialog of the first setup.
    template <class Window = CWndKRV>
    std::unique_ptr<Window> MakeWindowWithModule(const char* model,
                                                 const std::function<void(CChannelSetupDlg&)>& setup)
    {
        m_env.SetEnv("VELMOR_SIM_MODULE", model);
        auto window = MakeWindow<Window>();
        window->Hardware().ChooseModule();
        SimControl sim;
        EXPECT_TRUE(sim.Valid());
        if (sim.SetManualClock)
            sim.SetManualClock(1);
        m_dialogs.QueueHandler([&setup](QDialog& dialog) {
            auto* channels = dynamic_cast<CChannelSetupDlg*>(&dialog);
            ASSERT_NE(channels, nullptr) << dialog.windowTitle().toStdString();
            setup(*channels);
            SetupDialogDriver::Accept(*channels);
        });
        window->AutoSetup();
        EXPECT_TRUE(window->Hardware().HasModule());
        return window;
    }

    // The next name dialog gets name typed and OK clicked.
    void AnswerName(const QString& name)
    {
        m_dialogs.QueueHandler([name](QDialog& dialog) {
            ASSERT_EQ(dialog.windowTitle(), "Setting name for save");
            auto* edit = ControlAs<QLineEdit>(&dialog, CSetNameDlg::kEditId);
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, name);
            QTest::mouseClick(ControlAs<QPushButton>(&dialog, IDOK), Qt::LeftButton);
        });
    }
    // The next name dialog is closed without OK after typing into it.
    void DismissName()
    {
        m_dialogs.QueueHandler([](QDialog& dialog) {
            QTest::keyClicks(ControlAs<QLineEdit>(&dialog, CSetNameDlg::kEditId), QStringLiteral("ignored"));
            dialog.reject();
        });
    }

    static QString SetPath(int set) { return SettingsSetFiles::PathOf(set); }

    // Saves set n under name through the menu, as the user does.
    void SaveThroughMenu(CWndKRV& window, int set, const QString& name)
    {
        AnswerName(name);
        ASSERT_TRUE(window.MainMenu()->Trigger(MenuCommand::kSave[set - 1]));
    }
    void LoadThroughMenu(CWndKRV& window, int set)
    {
        ASSERT_TRUE(window.MainMenu()->Trigger(MenuCommand::kLoad[set - 1]));
    }

    // The bar's "Views" as the user turns it.
    static void ChoosePages(CWndKRV& window, int pages)
    {
        WheelTo(window.Bar()->Selector(CControlBar::IdViews), QString::number(pages));
        ASSERT_EQ(window.PageCount(), pages);
    }
    // Every page's panels moved, page p by p + 1 notches, each page showing
    // another view.
    static void MovePages(CWndKRV& window)
    {
        for (int p = 0; p < window.PageCount(); ++p) {
            const std::vector<ViewKind> kinds = MadeKinds(window.Page(p));
            ASSERT_FALSE(kinds.empty());
            MoveEveryPanelControl(window.Page(p), p + 1, kinds[size_t(p + 1) % kinds.size()]);
        }
    }

    TestEnvironment m_env;
    MessageBoxRecorder m_boxes;
    DialogRecorder m_dialogs;
};

// The channel setup a user makes: names, units and scaling of the first
// channels typed into the table.
void ChangeChannels(CChannelSetupDlg& dialog)
{
    for (int row = 0; row < 3; ++row) {
        SetupDialogDriver::Type(dialog, dialog.ColumnOf(SetupField::Name), row, QStringLiteral("Mic %1").arg(row + 1));
        SetupDialogDriver::Type(dialog, dialog.ColumnOf(SetupField::Unit), row, QStringLiteral("Pa"));
        SetupDialogDriver::Type(dialog, dialog.ColumnOf(SetupField::A), row, QStringLiteral("2.5"));
    }
}
void KeepChannels(CChannelSetupDlg&) {}

} // namespace

TEST_F(SettingsSetTest, ThreePagesBarAndModuleComeBackByteForByte)
{
    QByteArray saved;
    {
        auto window = MakeWindowWithModule("Halvek", ChangeChannels);
        auto* bar = window->Bar();
        WheelTo(bar->Selector(CControlBar::IdPoints), QStringLiteral("4096"));
        // "Auto" first: the spectrogram may only be shown with it.
        WheelTo(bar->Selector(CControlBar::IdAverages), QStringLiteral("Auto"));
        WheelTo(bar->Selector(CControlBar::IdOverlap), QStringLiteral("75%"));
        ChoosePages(*window, 3);
        MovePages(*window);
        EXPECT_TRUE(m_boxes.Boxes().empty());

        SaveThroughMenu(*window, 2, QStringLiteral("Bench B"));
        EXPECT_TRUE(m_boxes.Boxes().empty()) << m_boxes.Boxes()[0].text.toStdString();
        EXPECT_EQ(window->SetNames()[1], "Bench B");
        saved = ReadFile(SetPath(2));
    }
    ZQ_ReleaseWriter();

    // The container: name line, bar block, three page blocks, hardware block,
    // every line ended by "\r\n".
    ASSERT_FALSE(saved.isEmpty());
    ASSERT_TRUE(saved.endsWith("\r\n"));
    EXPECT_EQ(saved.count("\r\n"), saved.count('\n'));
    const QList<QByteArray> lines = Lines(saved);
    EXPECT_EQ(lines.first(), "Name:Bench B\r");
    std::vector<QByteArray> heads;
    for (const QByteArray& line : lines) {
        if (line == "Ctrl {\r" || line == "View {\r" || line == "Hw {\r")
            heads.push_back(line.chopped(1));
    }
    EXPECT_EQ(heads, (std::vector<QByteArray>{"Ctrl {", "View {", "View {", "View {", "Hw {"}));
    EXPECT_TRUE(saved.contains("\r\nViews:$3\r\nFFTpts:$4096\r\nAvgCnt:$Auto\r\nOvl:$75%\r\n}\r\n"));
    EXPECT_TRUE(saved.contains("Hw {\r\nHalvek {\r\n"));
    EXPECT_TRUE(saved.contains("Name:Mic 2\r\n"));

    // Everything back to its default: a new window with the module as it
    // comes, one page.
    auto window = MakeWindowWithModule("Halvek", KeepChannels);
    ASSERT_EQ(window->PageCount(), 1);
    LoadThroughMenu(*window, 2);
    EXPECT_TRUE(m_boxes.Boxes().empty()) << m_boxes.Boxes()[0].text.toStdString();
    EXPECT_EQ(window->PageCount(), 3);
    EXPECT_EQ(window->Record().points, 4096);
    EXPECT_EQ(window->Record().overlap, 75);
    // Loading leaves the set's name as it was.
    EXPECT_EQ(window->SetNames()[1], "");

    SaveThroughMenu(*window, 3, QStringLiteral("Bench B"));
    EXPECT_EQ(ReadFile(SetPath(3)), saved);
}

TEST_F(SettingsSetTest, SixPagesIntoFourAndOnePageIntoSixComeBackByteForByte)
{
    struct Case {
        int savedPages;
        int pagesBefore;
        std::vector<int> countsWhileLoading;
    } cases[] = {
        // "Views:" first, then one page at the first page block, growing
        // back by one page per block.
        {6, 4, {6, 1, 2, 3, 4, 5, 6}},
        {1, 6, {1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.savedPages);
        QByteArray saved;
        {
            auto window = MakeWindow();
            ChoosePages(*window, c.savedPages);
            MovePages(*window);
            SaveThroughMenu(*window, 1, QStringLiteral("Pages %1").arg(c.savedPages));
            saved = ReadFile(SetPath(1));
        }
        EXPECT_EQ(saved.count("View {\r\n"), c.savedPages);

        auto window = MakeWindow<CountingWindow>();
        ChoosePages(*window, c.pagesBefore);
        window->steps.clear();
        LoadThroughMenu(*window, 1);
        EXPECT_EQ(window->Counts(), c.countsWhileLoading);
        EXPECT_EQ(window->PageCount(), c.savedPages);
        SaveThroughMenu(*window, 2, QStringLiteral("Pages %1").arg(c.savedPages));
        EXPECT_EQ(ReadFile(SetPath(2)), saved);
        EXPECT_TRUE(m_boxes.Boxes().empty());
    }
}

TEST_F(SettingsSetTest, ViewsFourLaysOutTwoColumnsWhileTheSetIsRead)
{
    WriteFile(SetPath(4), "Name:Four\r\nCtrl {\r\nViews:$4\r\n}\r\nView {\r\n}\r\nView {\r\n}\r\nHw {\r\n}\r\n");
    auto window = MakeWindow<CountingWindow>();
    window->steps.clear();
    window->LoadSet(4);
    ASSERT_EQ(window->Counts(), (std::vector<int>{4, 1, 2}));
    // 800 x 700 client: two columns of 400, two rows of (700 - 28 - 18) / 2
    // above the status line.
    EXPECT_EQ(window->steps[0].tiles,
              (std::vector<QRect>{QRect(0, 28, 400, 327), QRect(400, 28, 400, 327), QRect(0, 355, 400, 327),
                                  QRect(400, 355, 400, 327)}));
    EXPECT_EQ(window->PageCount(), 2);
    EXPECT_EQ(window->Bar()->Selector(CControlBar::IdViews)->CurrentText(), "4");
}

TEST_F(SettingsSetTest, DismissedNameDialogSavesUnderTheOldName)
{
    auto window = MakeWindow();
    SaveThroughMenu(*window, 1, QStringLiteral("Bench A"));
    EXPECT_TRUE(ReadFile(SetPath(1)).startsWith("Name:Bench A\r\nCtrl {\r\n"));

    // Changed and saved again, the dialog dismissed: the file is written
    // with the new settings under the name it had.
    ChoosePages(*window, 2);
    DismissName();
    ASSERT_TRUE(window->MainMenu()->Trigger(MenuCommand::SaveSet1));
    const QByteArray second = ReadFile(SetPath(1));
    EXPECT_TRUE(second.startsWith("Name:Bench A\r\nCtrl {\r\nViews:$2\r\n"));
    EXPECT_EQ(second.count("View {\r\n"), 2);
    EXPECT_EQ(window->SetNames()[0], "Bench A");
    ASSERT_EQ(m_dialogs.Runs().size(), 2u);
    EXPECT_EQ(m_dialogs.Runs()[1].result, QDialog::Rejected);
}

TEST_F(SettingsSetTest, MenuShowsTheNamesOfTheSetFiles)
{
    WriteFile(SetPath(1), "Name:Bench A\r\nCtrl {\r\n}\r\n");
    // Windows-1252 in the file: "Prüfstand ²".
    WriteFile(SetPath(3), "Name:Pr\xFC" "fstand \xB2\r\n");
    auto window = MakeWindow();
    CToggleButton* menuButton = window->Bar()->Control(CControlBar::IdMenu);
    QTest::mouseClick(menuButton, Qt::LeftButton);
    QMenu* menu = window->MainMenu()->Menu();
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(window->MainMenu()->Action(MenuCommand::SaveSet1)->text(), "s1 Bench A");
    EXPECT_EQ(window->MainMenu()->Action(MenuCommand::LoadSet1)->text(), "s1 Bench A");
    EXPECT_EQ(window->MainMenu()->Action(MenuCommand::SaveSet2)->text(), "s2 ");
    EXPECT_EQ(window->MainMenu()->Action(MenuCommand::LoadSet3)->text(), QStringLiteral("s3 Pr\u00FCfstand \u00B2"));
    menu->close();

    // A first line that is no name line, and a file that went away, leave the
    // names as they were.
    WriteFile(SetPath(1), "Ctrl {\r\n}\r\n");
    QFile::remove(SetPath(3));
    window->ReadSetNames();
    EXPECT_EQ(window->SetNames()[0], "Bench A");
    EXPECT_EQ(window->SetNames()[2], QStringLiteral("Pr\u00FCfstand \u00B2"));
}

// A FIFO in a set's place would hold the window in open() until some
// program writes into it, each time the menu opens: the menu takes it for no
// set, loading and saving refuse it with a box that says what it is.
TEST_F(SettingsSetTest, FifoOrDeviceAsSetFileNeitherBlocksNorLoads)
{
    WriteFile(SetPath(1), "Name:Bench A\r\n");
    auto window = MakeWindow();
    ChoosePages(*window, 2);
    FifoWatchdog fifo(SetPath(4).toStdString());
    ASSERT_TRUE(fifo.Made());
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), SetPath(3)));

    QTest::mouseClick(window->Bar()->Control(CControlBar::IdMenu), Qt::LeftButton);
    QMenu* menu = window->MainMenu()->Menu();
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(window->MainMenu()->Action(MenuCommand::LoadSet1)->text(), "s1 Bench A");
    EXPECT_EQ(window->MainMenu()->Action(MenuCommand::LoadSet3)->text(), "s3 ");
    EXPECT_EQ(window->MainMenu()->Action(MenuCommand::LoadSet4)->text(), "s4 ");
    menu->close();
    LoadThroughMenu(*window, 4);
    LoadThroughMenu(*window, 3);
    SaveThroughMenu(*window, 4, QStringLiteral("Over the FIFO"));
    fifo.Finish();
    EXPECT_FALSE(fifo.Tripped()) << "the window blocked on the FIFO";

    EXPECT_EQ(window->PageCount(), 2);
    const std::vector<QString> texts = m_boxes.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], SetPath(4) + QStringLiteral(" is a FIFO, not a regular file;\nnothing was loaded."));
    EXPECT_EQ(texts[1],
              SetPath(3) + QStringLiteral(" is a link to a character device, not a regular file;\nnothing was loaded."));
    EXPECT_EQ(texts[2], QStringLiteral("The settings set could not be saved to\n%1\nIt is a FIFO, not a regular file.")
                            .arg(SetPath(4)));
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(SetPath(4)).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the FIFO keeps its name";
}

TEST_F(SettingsSetTest, MissingSetLoadsNothingAndSaysNothing)
{
    auto window = MakeWindow();
    ChoosePages(*window, 3);
    LoadThroughMenu(*window, 4);
    EXPECT_EQ(window->PageCount(), 3);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// A program directory that cannot be written (an installed program): the
// sets go to the profile folder, and are loaded and named from there.
TEST_F(SettingsSetTest, UnwritableProgramDirectoryKeepsTheSetsInTheProfileFolder)
{
    const QString programDir = Ctx().programDirectory;
    std::unique_ptr<SmallFileSystem> readOnly;
    if (geteuid() == 0) {
        // Root writes into any folder; a file system mounted read-only stops it.
        readOnly = std::make_unique<SmallFileSystem>(m_env.ProgramDir(), 64 * 1024);
        if (!readOnly->Mounted())
            GTEST_SKIP() << readOnly->Reason();
        ASSERT_EQ(mount(nullptr, m_env.ProgramDir().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    } else {
        ASSERT_EQ(chmod(m_env.ProgramDir().c_str(), 0555), 0);
    }
    const QString profileSet = QString::fromStdString(m_env.ConfigHome()) + QStringLiteral("/Zentrik/Set2.kvs");
    EXPECT_EQ(SetPath(2), profileSet);

    auto window = MakeWindow();
    ChoosePages(*window, 2);
    SaveThroughMenu(*window, 2, QStringLiteral("Installed"));
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_TRUE(ReadFile(profileSet).startsWith("Name:Installed\r\n"));
    EXPECT_FALSE(QFile::exists(programDir + QStringLiteral("Set2.kvs")));

    ChoosePages(*window, 1);
    LoadThroughMenu(*window, 2);
    EXPECT_EQ(window->PageCount(), 2);
    window->ReadSetNames();
    EXPECT_EQ(window->SetNames()[1], "Installed");
    chmod(m_env.ProgramDir().c_str(), 0755);
}

// Nowhere to write: the box names the file and the reason; the name typed
// stays in memory and what was in the way is untouched.
TEST_F(SettingsSetTest, SetThatCannotBeWrittenIsReported)
{
    const std::string blocker = m_env.Root() + "/blocker";
    std::ofstream(blocker) << "not a folder";
    auto window = MakeWindow();
    Ctx().programDirectory = QString::fromStdString(blocker + "/");
    m_env.SetEnv("XDG_CONFIG_HOME", blocker);
    SaveThroughMenu(*window, 2, QStringLiteral("Nowhere"));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    const QString text = m_boxes.Boxes()[0].text;
    EXPECT_TRUE(text.contains(QString::fromStdString(blocker) + QStringLiteral("/Zentrik/Set2.kvs")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromLocal8Bit(std::strerror(ENOTDIR)))) << text.toStdString();
    EXPECT_EQ(m_boxes.Boxes()[0].parent, window.get());
    EXPECT_EQ(window->SetNames()[1], "Nowhere");
    EXPECT_EQ(ReadFile(QString::fromStdString(blocker)), "not a folder");
}

// A read-only folder (for a user other than root): the same.
TEST_F(SettingsSetTest, SaveIntoAReadOnlyFolderKeepsThePreviousSet)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    auto window = MakeWindow();
    SaveThroughMenu(*window, 1, QStringLiteral("Before"));
    const QByteArray before = ReadFile(SetPath(1));
    ASSERT_EQ(chmod(m_env.ProgramDir().c_str(), 0555), 0);
    // The program folder no longer takes sets: they would go to the profile
    // folder, which is made read-only too.
    const std::string profile = m_env.ConfigHome() + "/Zentrik";
    ASSERT_EQ(chmod(profile.c_str(), 0555), 0);
    SaveThroughMenu(*window, 1, QStringLiteral("After"));
    chmod(m_env.ProgramDir().c_str(), 0755);
    chmod(profile.c_str(), 0755);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_TRUE(m_boxes.Boxes()[0].text.contains(QString::fromStdString(profile) + QStringLiteral("/Set1.kvs")));
    EXPECT_TRUE(m_boxes.Boxes()[0].text.contains(QString::fromLocal8Bit(std::strerror(EACCES))));
    EXPECT_EQ(ReadFile(SetPath(1)), before);
}

// A full disk: the save fails with the system's reason, the set saved before
// stays as it was, and no partial file is left beside it.
TEST_F(SettingsSetTest, SaveOntoAFullDiskKeepsThePreviousSet)
{
    SmallFileSystem disk(m_env.ProgramDir(), 64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    auto window = MakeWindow();
    SaveThroughMenu(*window, 2, QStringLiteral("Before"));
    const QByteArray before = ReadFile(SetPath(2));
    ASSERT_FALSE(before.isEmpty());

    {
        // Fill the disk to the last byte.
        QFile filler(Ctx().programDirectory + QStringLiteral("filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        while (filler.write("x", 1) == 1 && filler.flush()) {
        }
    }
    ChoosePages(*window, 6);
    SaveThroughMenu(*window, 2, QStringLiteral("After"));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_TRUE(m_boxes.Boxes()[0].text.contains(SetPath(2)));
    EXPECT_TRUE(m_boxes.Boxes()[0].text.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))))
        << m_boxes.Boxes()[0].text.toStdString();
    EXPECT_EQ(ReadFile(SetPath(2)), before);
    QStringList files = QDir(Ctx().programDirectory).entryList(QDir::Files | QDir::Hidden | QDir::System);
    files.sort();
    EXPECT_EQ(files, (QStringList{"Set2.kvs", "filler"}));
}

// Damaged files never stop the program: whatever is read, the window ends
// with one to ten pages and saves a set that loads back to itself.
TEST_F(SettingsSetTest, DamagedFilesLeaveTheProgramUsable)
{
    auto window = MakeWindow();
    ChoosePages(*window, 2);
    MovePages(*window);
    SaveThroughMenu(*window, 1, QStringLiteral("Whole"));
    const QByteArray whole = ReadFile(SetPath(1));
    ASSERT_GT(whole.size(), 200);

    std::vector<std::pair<std::string, QByteArray>> damaged;
    damaged.push_back({"empty", QByteArray()});
    for (int cut = 1; cut < whole.size(); cut += whole.size() / 23)
        damaged.push_back({"cut at " + std::to_string(cut), whole.left(cut)});
    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    uint32_t state = 12345;
    for (char& byte : garbage) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    damaged.push_back({"binary garbage", garbage});
    damaged.push_back({"garbage after the name", "Name:x\r\n" + garbage});
    // Three lines of a megabyte and more, within the largest set file.
    const QByteArray megabytes(1024 * 1024, 'A');
    damaged.push_back({"lines of megabytes",
                       "Name:" + megabytes + "\r\nCtrl {\r\nFFTpts:$" + megabytes + "\r\nAvgCnt:#" + megabytes +
                           "\r\n}\r\nView {\r\nTime {\r\nActive:" + megabytes.left(500000) + "\r\n"});
    damaged.push_back({"block that never closes", "Name:open\r\nView {\r\nTime {\r\nActive:1\r\nFirst:1\r\nXDiv:$0.01s\r\n"});
    damaged.push_back({"blocks in blocks", "Name:\r\nCtrl {\r\nCtrl {\r\nView {\r\nHw {\r\nView {\r\n}\r\n}\r\n"});
    damaged.push_back({"many bar blocks", QByteArray("Ctrl {\r\nViews:$6\r\n}\r\nCtrl {\r\nViews:$1\r\n}\r\n").repeated(2000)});

    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        WriteFile(SetPath(4), bytes);
        window->LoadSet(4);
        EXPECT_GE(window->PageCount(), 1);
        EXPECT_LE(window->PageCount(), CWndKRV::kMaxPages);
        window->Tick();
        SaveThroughMenu(*window, 2, QStringLiteral("After"));
        const QByteArray after = ReadFile(SetPath(2));
        ASSERT_TRUE(after.startsWith("Name:After\r\nCtrl {\r\n"));
        window->LoadSet(2);
        SaveThroughMenu(*window, 3, QStringLiteral("After"));
        EXPECT_EQ(ReadFile(SetPath(3)), after);
    }
    EXPECT_TRUE(m_boxes.Boxes().empty()) << m_boxes.Boxes()[0].text.toStdString();
}

TEST_F(SettingsSetTest, DamagedBlocksApplyWhatTheyHold)
{
    auto window = MakeWindow();
    struct Case {
        const char* what;
        QByteArray file;
        int pages;
        int points;
    } cases[] = {
        // Keys the bar does not know are skipped, the others applied.
        {"unknown keys", "Name:u\r\nCtrl {\r\nFoo:$1\r\nFFTpts:$4096\r\nViews:\r\n}\r\n", 1, 4096},
        // Ten pages at most; the blocks beyond them are passed over whole,
        // and the bar's block after them is still read.
        {"fourteen page blocks",
         QByteArray("Name:m\r\n") + QByteArray("View {\r\nTime {\r\nActive:1\r\nFirst:0\r\n}\r\n}\r\n").repeated(14) +
             "Ctrl {\r\nFFTpts:$2048\r\n}\r\n",
         10, 2048},
        // No name line: the blocks are applied all the same.
        {"no name line", "Ctrl {\r\nFFTpts:$512\r\n}\r\nView {\r\n}\r\nView {\r\n}\r\n", 2, 512},
        // A line that begins with '}' between blocks ends the set.
        {"closing line", "Name:c\r\n}\r\nCtrl {\r\nFFTpts:$256\r\n}\r\n", 2, 512},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(SetPath(1), c.file);
        window->LoadSet(1);
        EXPECT_EQ(window->PageCount(), c.pages);
        EXPECT_EQ(window->Record().points, c.points);
    }
}

TEST_F(SettingsSetTest, FileTooLargeForASetIsRefusedWithABox)
{
    auto window = MakeWindow();
    ChoosePages(*window, 2);
    QByteArray huge = "Name:huge\r\nCtrl {\r\nViews:$6\r\n}\r\n";
    huge += QByteArray(int(SettingsSetFiles::kMaxFileBytes), '\n');
    WriteFile(SetPath(1), huge);
    window->LoadSet(1);
    EXPECT_EQ(window->PageCount(), 2);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_TRUE(m_boxes.Boxes()[0].text.contains(SetPath(1)));
}
