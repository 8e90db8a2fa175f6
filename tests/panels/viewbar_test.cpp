// The page: its tab strip, one view shown at a time, the order in which it
// forwards the tick and the broadcasts, and its settings block.
#include "panels/viewbar.h"

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "context/mainframe.h"
#include "acquisition/hwmanager.h"
#include "panels/attentiondlg.h"
#include "platform/dialogtemplate.h"
#include "platform/modaldialog.h"
#include "platform/textarchive.h"
#include "support/stubmainframe.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"
#include "analysis/octaveanalyser.h"
#include "views/dmmview.h"
#include "views/octpanel.h"
#include "views/octview.h"
#include "testview.h"
#include "widgets/selectorbutton.h"
#include "widgets/togglebutton.h"

#include "zq.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <cmath>
#include <cstring>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class FakeFrame : public MainFrame {
public:
    QWidget window;
    AnalysisRecord record;
    CHwManager hardware;
    int averagesChanged = 0;

    QWidget* Window() override { return &window; }
    AnalysisRecord& Record() override { return record; }
    CHwManager& Hardware() override { return hardware; }
    void SetPageCount(int) override {}
    int PageCount() const override { return 1; }
    void RunStop() override {}
    void SingleShot() override {}
    void PointsChanged(int) override {}
    // As the main window: the record takes the choice.
    void AveragesChanged(int averages) override
    {
        record.averages = averages;
        ++averagesChanged;
    }
    void OverlapChanged(int) override {}
    void NotifyAnalysis() override {}
    void ChannelsChosen() override {}
    void AutoSetup() override {}
    void RefreshChannels() override {}
    void ShowMainMenu(const QPoint&) override {}
};

constexpr ViewKind kAllKinds[] = {ViewKind::Time, ViewKind::Fft, ViewKind::Psd, ViewKind::Frf,
                                  ViewKind::Coh,  ViewKind::Crs, ViewKind::Ccr, ViewKind::Acr,
                                  ViewKind::Spg,  ViewKind::Oct, ViewKind::Dmm};

QByteArray Store(CViewBar& page)
{
    QByteArray bytes;
    TextArchive archive;
    archive.OpenBuffer(&bytes, TextArchive::Mode::Store);
    page.SerializePanel(archive);
    archive.Close();
    return bytes;
}

// Loads the text; returns the line that follows the page's block.
QString Load(CViewBar& page, QByteArray text)
{
    TextArchive archive;
    archive.OpenBuffer(&text, TextArchive::Mode::Load);
    page.SerializePanel(archive);
    QString next;
    archive.ReadLine(next);
    return next;
}

std::vector<ViewKind> VisibleViews(const CViewBar& page)
{
    std::vector<ViewKind> visible;
    for (ViewKind kind : kAllKinds) {
        CGraphWnd* view = page.View(kind);
        if (view && view->isVisibleTo(view->parentWidget()))
            visible.push_back(kind);
    }
    return visible;
}

std::vector<ViewKind> LitTabs(const CViewBar& page)
{
    std::vector<ViewKind> lit;
    for (ViewKind kind : kAllKinds) {
        if (page.Tab(kind)->State())
            lit.push_back(kind);
    }
    return lit;
}

class PageTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        CTestView::Log().clear();
        m_frame.window.resize(1000, 600);
        m_frame.window.show();
    }
    std::unique_ptr<CViewBar> MakePage(const ViewFactories& factories)
    {
        auto page = std::make_unique<CViewBar>(&m_frame, &m_frame.window, factories);
        page->LayoutViews(0, 28, 1000, 572);
        page->show();
        return page;
    }

    TestEnvironment m_env;
    FakeFrame m_frame;
};

} // namespace

TEST_F(PageTest, TabStripDisablesTheTabsOfMissingViews)
{
    auto page = MakePage(TestViewsOf({ViewKind::Time, ViewKind::Oct, ViewKind::Dmm}));
    struct Tab {
        ViewKind kind;
        const char* caption;
        int x;
    } strip[] = {{ViewKind::Time, "TIME", 4},   {ViewKind::Fft, "FFT", 38},     {ViewKind::Psd, "PS[D]", 72},
                 {ViewKind::Frf, "FRF", 106},   {ViewKind::Crs, "CRS", 140},    {ViewKind::Coh, "COH", 174},
                 {ViewKind::Acr, "ACR", 208},   {ViewKind::Ccr, "CCR", 242},    {ViewKind::Spg, "SPCTGR", 276},
                 {ViewKind::Oct, "OCTAVE", 310}, {ViewKind::Dmm, "DMM", 344}};
    for (const Tab& tab : strip) {
        CToggleButton* button = page->Tab(tab.kind);
        EXPECT_EQ(button->text(), tab.caption);
        // Dialog units to pixels: x * 6 / 4, y 3 * 13 / 8, 34 x 12 units.
        EXPECT_EQ(button->geometry(), QRect(tab.x * 6 / 4, 4, 51, 19)) << tab.caption;
        const bool exists = page->View(tab.kind) != nullptr;
        EXPECT_EQ(button->isEnabled(), exists) << tab.caption;
    }
    EXPECT_EQ(VisibleViews(*page), std::vector<ViewKind>{ViewKind::Time});
    EXPECT_EQ(LitTabs(*page), std::vector<ViewKind>{ViewKind::Time});

    // A click on a disabled tab changes nothing.
    QTest::mouseClick(page->Tab(ViewKind::Fft), Qt::LeftButton);
    EXPECT_EQ(VisibleViews(*page), std::vector<ViewKind>{ViewKind::Time});
    QTest::mouseClick(page->Tab(ViewKind::Dmm), Qt::LeftButton);
    EXPECT_EQ(VisibleViews(*page), std::vector<ViewKind>{ViewKind::Dmm});
    EXPECT_EQ(LitTabs(*page), std::vector<ViewKind>{ViewKind::Dmm});

    // Without a time view the page opens on its first view.
    auto octaveOnly = MakePage(TestViewsOf({ViewKind::Oct}));
    EXPECT_EQ(VisibleViews(*octaveOnly), std::vector<ViewKind>{ViewKind::Oct});
    // With no views at all nothing is shown and every tab is off and disabled.
    auto empty = MakePage(ViewFactories{});
    EXPECT_TRUE(LitTabs(*empty).empty());
    EXPECT_EQ(empty->ActiveKind(), -1);
    for (ViewKind kind : kAllKinds)
        EXPECT_FALSE(empty->Tab(kind)->isEnabled());
}

TEST_F(PageTest, OneViewAtATimeWithItsPanel)
{
    Ctx().panelWidth = 147;
    m_frame.record.averages = 0;
    auto page = MakePage(AllTestViews());
    EXPECT_EQ(page->geometry(), QRect(147, 572, 853, 28));
    for (ViewKind kind : kAllKinds)
        EXPECT_EQ(page->View(kind)->geometry(), QRect(147, 28, 853, 544));

    CTestView::Log().clear();
    for (ViewKind kind : kAllKinds) {
        QTest::mouseClick(page->Tab(kind), Qt::LeftButton);
        EXPECT_EQ(VisibleViews(*page), std::vector<ViewKind>{kind});
        EXPECT_EQ(LitTabs(*page), std::vector<ViewKind>{kind});
        EXPECT_EQ(page->ActiveKind(), int(kind));
        for (ViewKind other : kAllKinds) {
            QWidget* panel = page->View(other)->Panel();
            EXPECT_EQ(panel->isVisibleTo(&m_frame.window), other == kind);
        }
    }
    // The record-based views analyse when chosen; time, octave and
    // multimeter views take their data on the tick.
    EXPECT_EQ(CTestView::Log(),
              (QStringList{"Time.Show", "FFT.Show", "FFT.Analyse", "PSD.Show", "PSD.Analyse", "FRF.Show",
                           "FRF.Analyse", "COH.Show", "COH.Analyse", "CRS.Show", "CRS.Analyse", "CCR.Show",
                           "CCR.Analyse", "ACR.Show", "ACR.Analyse", "SPG.Show", "SPG.Analyse", "OCT.Show",
                           "DMM.Show"}));
}

TEST_F(PageTest, TickAndBroadcastsReachTheViewsInOrder)
{
    auto page = MakePage(AllTestViews());
    CTestView::Log().clear();
    page->TickViews();
    // The time view draws the capture's records: it has no tick of its own.
    EXPECT_EQ(CTestView::Log(), (QStringList{"OCT.Tick", "DMM.Tick"}));

    CTestView::Log().clear();
    page->RecomputeViews();
    EXPECT_EQ(CTestView::Log(), (QStringList{"Time.Analyse", "FFT.Analyse", "PSD.Analyse", "FRF.Analyse",
                                             "COH.Analyse", "CRS.Analyse", "CCR.Analyse", "ACR.Analyse",
                                             "SPG.Analyse"}));

    CTestView::Log().clear();
    page->ChannelsChanged();
    EXPECT_EQ(CTestView::Log(), QStringList{"OCT.Reinit"});

    // A page without those views forwards nothing and does not fail.
    auto empty = MakePage(ViewFactories{});
    CTestView::Log().clear();
    empty->TickViews();
    empty->RecomputeViews();
    empty->ChannelsChanged();
    EXPECT_TRUE(CTestView::Log().isEmpty());
}

TEST_F(PageTest, SettingsBlockReadsBackAsWritten)
{
    auto page = MakePage(AllTestViews());
    QTest::mouseClick(page->Tab(ViewKind::Crs), Qt::LeftButton);
    auto* fft = static_cast<CTestView*>(page->View(ViewKind::Fft));
    fft->TestPanel()->Selector(CTestPanel::kModeId)->SelectText("C");
    fft->SetFirst(false);
    const QByteArray written = Store(*page);

    QByteArray expected;
    for (ViewKind kind : kAllKinds) {
        expected += QByteArray(CViewBar::BlockName(kind)) + " {\r\n";
        expected += kind == ViewKind::Crs ? "Active:1\r\n" : "Active:0\r\n";
        expected += kind == ViewKind::Fft ? "First:0\r\n" : "First:1\r\n";
        expected += kind == ViewKind::Fft ? "Mode:$C\r\n" : "Mode:$A\r\n";
        expected += "}\r\n";
    }
    EXPECT_EQ(written, expected);

    auto fresh = MakePage(AllTestViews());
    EXPECT_EQ(Load(*fresh, written + "}\r\nHw {\r\n"), "Hw {");
    EXPECT_EQ(Store(*fresh), written);
    EXPECT_EQ(VisibleViews(*fresh), std::vector<ViewKind>{ViewKind::Crs});
    EXPECT_EQ(LitTabs(*fresh), std::vector<ViewKind>{ViewKind::Crs});
}

TEST_F(PageTest, LoadingShowsTheLastActiveViewOrNone)
{
    auto page = MakePage(AllTestViews());
    // Blocks in any order with lines between them; FFT and SPG both active.
    EXPECT_EQ(Load(*page, "SPG {\r\nActive:1\r\nFirst:1\r\n}\r\nstray line\r\n"
                          "FFT {\r\nActive:1\r\nFirst:0\r\nMode:$B\r\n}\r\n}\r\nafter"),
              "after");
    EXPECT_EQ(VisibleViews(*page), std::vector<ViewKind>{ViewKind::Spg});
    EXPECT_EQ(LitTabs(*page), std::vector<ViewKind>{ViewKind::Spg});
    auto* fft = static_cast<CTestView*>(page->View(ViewKind::Fft));
    EXPECT_EQ(fft->TestPanel()->Selector(CTestPanel::kModeId)->CurrentText(), "B");
    EXPECT_FALSE(fft->First());

    // No view active: all hidden, all tabs off.
    EXPECT_EQ(Load(*page, "Time {\r\nActive:0\r\nFirst:1\r\n}\r\n}\r\n"), "");
    EXPECT_TRUE(VisibleViews(*page).empty());
    EXPECT_TRUE(LitTabs(*page).empty());

    // A page without the spectrogram skips its block whole and still reads
    // the blocks after it.
    auto partial = MakePage(TestViewsOf({ViewKind::Time, ViewKind::Oct}));
    EXPECT_EQ(Load(*partial, "SPG {\r\nActive:1\r\nFirst:0\r\nMode:$C\r\n}\r\n"
                             "OCT {\r\nActive:1\r\nFirst:0\r\nMode:$C\r\n}\r\n}\r\nHw {"),
              "Hw {");
    EXPECT_EQ(VisibleViews(*partial), std::vector<ViewKind>{ViewKind::Oct});
}

TEST_F(PageTest, SpectrogramAsksForAutomaticAveraging)
{
    DialogRecorder dialogs;
    auto page = MakePage(AllTestViews());
    m_frame.record.averages = 0;
    QTest::mouseClick(page->Tab(ViewKind::Spg), Qt::LeftButton);
    EXPECT_EQ(m_frame.averagesChanged, 0);
    EXPECT_TRUE(dialogs.Runs().empty());

    QTest::mouseClick(page->Tab(ViewKind::Time), Qt::LeftButton);
    m_frame.record.averages = 4;
    QTest::mouseClick(page->Tab(ViewKind::Spg), Qt::LeftButton);
    ASSERT_EQ(dialogs.Runs().size(), 1u);
    EXPECT_EQ(dialogs.Runs()[0].title, "Attention");
    EXPECT_EQ(m_frame.record.averages, 0);
    EXPECT_EQ(m_frame.averagesChanged, 1);
    EXPECT_EQ(VisibleViews(*page), std::vector<ViewKind>{ViewKind::Spg});
}

// The notice closes itself, the main window takes "Auto", then the
// spectrogram analyses.
TEST_F(PageTest, SpectrogramNoticeClosesItselfBeforeTheViewAnalyses)
{
    DialogRecorder dialogs;
    QString notice;
    dialogs.SetDefaultHandler([&notice](QDialog& dialog) {
        notice = ControlAs<QLabel>(&dialog, CAttentionDlg::kTextId)->text();
        // Closes by itself after its second.
        EXPECT_TRUE(WaitUntil([&dialog] { return !dialog.isVisible(); }));
    });
    m_frame.record.averages = 4;
    auto page = MakePage(AllTestViews());
    CTestView::Log().clear();

    QTest::mouseClick(page->Tab(ViewKind::Spg), Qt::LeftButton);
    ASSERT_EQ(dialogs.Runs().size(), 1u);
    EXPECT_EQ(dialogs.Runs()[0].result, QDialog::Accepted);
    EXPECT_EQ(notice, "Set avg must to auto");
    EXPECT_EQ(m_frame.record.averages, 0);
    EXPECT_EQ(m_frame.averagesChanged, 1);
    EXPECT_EQ(VisibleViews(*page), std::vector<ViewKind>{ViewKind::Spg});
    ASSERT_FALSE(CTestView::Log().isEmpty());
    EXPECT_EQ(CTestView::Log().last(), "SPG.Analyse");

    // Already "Auto": no notice the next time.
    QTest::mouseClick(page->Tab(ViewKind::Time), Qt::LeftButton);
    QTest::mouseClick(page->Tab(ViewKind::Spg), Qt::LeftButton);
    EXPECT_EQ(dialogs.Runs().size(), 1u);
}

TEST_F(PageTest, ChoosingOctaveOrMultimeterDropsTheOctaveClientsUnreadSamples)
{
    ASSERT_EQ(ZQ_SetNrOfChan(1), ZQ_OK);
    ASSERT_EQ(ZQ_SetChanDef(0, 1, "1", "ch1", "V", "", 1e-3, -10, 10, 0, 0, 0), ZQ_OK);
    ASSERT_EQ(ZQ_GetNrOfChan(), 1);
    const int octaveClient = 3;
    auto writeSamples = [](int count) {
        for (int i = 0; i < count; ++i) {
            float value = float(i);
            int bits;
            std::memcpy(&bits, &value, sizeof bits);
            ZQ_WriteChanOneFloatValue(0, &bits);
        }
    };

    auto page = MakePage(AllTestViews());
    ZQ_Register(octaveClient, nullptr);
    for (ViewKind kind : {ViewKind::Oct, ViewKind::Dmm, ViewKind::Fft}) {
        writeSamples(5);
        ASSERT_EQ(ZQ_CheckChanEx(octaveClient, 0), 5);
        QTest::mouseClick(page->Tab(kind), Qt::LeftButton);
        EXPECT_EQ(ZQ_CheckChanEx(octaveClient, 0), kind == ViewKind::Fft ? 5 : 0) << CViewBar::BlockName(kind);
        ZQ_ResetBuffer(octaveClient, -1);
    }
    ZQ_ReleaseWriter();
}

namespace {

// Writes count samples of a 1 kHz sine of 1 Pa rms on channel 0 (channel 1
// silent), 10 ms at a time, each followed by the main window's tick: the
// readers frozen, then the page's views ticking.
void SineTicks(CViewBar& page, double rate, int count, long long& n)
{
    const int perTick = int(rate / 100);
    constexpr double kTwoPi = 6.283185307179586;
    for (int done = 0; done < count; done += perTick) {
        for (int i = 0; i < perTick; ++i, ++n) {
            const float values[2] = {float(std::sqrt(2.0) * std::sin(kTwoPi * 1000.0 * double(n) / rate)), 0.0f};
            for (int c = 0; c < 2; ++c) {
                int bits;
                std::memcpy(&bits, &values[c], sizeof bits);
                ZQ_WriteChanOneFloatValue(c, &bits);
            }
        }
        for (int client : {2, 3, 1})
            ZQ_FreezeBuffers(client);
        page.TickViews();
    }
}

} // namespace

// The page made with the program's own view table: its octave and
// multimeter views read the service on the tick, each while it is shown.
TEST(PageWithProgramViews, OctaveAndMultimeterViewsTakeSamplesOnTheTick)
{
    TestEnvironment env;
    ResetContext();
    const double rate = 48000.0;
    ASSERT_EQ(ZQ_SetNrOfChan(2), ZQ_OK);
    ASSERT_EQ(ZQ_SetChanDef(0, 1, "1", "front", "Pa", "", 1.0 / rate, -10, 10, 0, 0, 0), ZQ_OK);
    ASSERT_EQ(ZQ_SetChanDef(1, 2, "2", "rear", "Pa", "", 1.0 / rate, -10, 10, 0, 0, 0), ZQ_OK);
    ASSERT_EQ(ZQ_GetNrOfChan(), 2);
    StubMainFrame frame;
    frame.channels = {0, 1};
    frame.window.resize(1000, 700);
    {
        CViewBar page(&frame, &frame.window);
        page.LayoutViews(0, 0, 1000, 700);
        auto* octave = qobject_cast<COctView*>(page.View(ViewKind::Oct));
        auto* multimeter = qobject_cast<CDmmView*>(page.View(ViewKind::Dmm));
        ASSERT_NE(octave, nullptr);
        ASSERT_NE(multimeter, nullptr);
        long long n = 0;

        // "Fast" (125 ms): after a second the level has settled.
        octave->OctPanel()->Selector(COctPanel::IdTime)->SelectText(QStringLiteral("Fast"));
        QTest::mouseClick(page.Tab(ViewKind::Oct), Qt::LeftButton);
        SineTicks(page, rate, int(rate), n);
        const OctaveAnalyser& analyser = octave->Analyser(0);
        int band = -1;
        for (int b = 0; b < analyser.BandCount(); ++b)
            if (std::fabs(analyser.Centre(b) - 1000.0) < 1.0)
                band = b;
        ASSERT_GE(band, 0);
        // 1 Pa rms is 94 dB re 20 µPa.
        EXPECT_NEAR(analyser.BandLevels()[size_t(band)], 20.0 * std::log10(1.0 / 20e-6), 0.1);
        EXPECT_EQ(multimeter->Evaluations(), 0) << "a hidden multimeter reads nothing";

        QTest::mouseClick(page.Tab(ViewKind::Dmm), Qt::LeftButton);
        const int evaluations = multimeter->Evaluations();
        SineTicks(page, rate, int(rate), n);
        EXPECT_GT(multimeter->Evaluations(), evaluations);
        EXPECT_NEAR(multimeter->Value(0), 1.0, 1e-3); // rms of the 1 Pa rms sine
        EXPECT_NEAR(multimeter->Value(1), 0.0, 1e-6);
    }
    ZQ_ReleaseWriter();
}
