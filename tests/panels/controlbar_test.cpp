// The main bar: the analysis selectors with their lists and defaults, the
// main window operations they call with the chosen values, the settings lines in their orders (a
// loaded line acting at once), and the channel selectors after a refill.
#include "panels/controlbar.h"

#include "acquisition/hwmanager.h"
#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "context/channelsource.h"
#include "context/mainframe.h"
#include "platform/textarchive.h"
#include "support/testenvironment.h"
#include "widgets/selectorbutton.h"
#include "widgets/togglebutton.h"
#include "zq.h"

#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

class LoggingFrame : public MainFrame {
public:
    QWidget window;
    AnalysisRecord record;
    CHwManager hardware;
    QStringList log;

    QWidget* Window() override { return &window; }
    AnalysisRecord& Record() override { return record; }
    CHwManager& Hardware() override { return hardware; }
    void SetPageCount(int count) override { log << QStringLiteral("Pages %1").arg(count); }
    int PageCount() const override { return 1; }
    void RunStop() override { log << "RunStop"; }
    void SingleShot() override { log << "SingleShot"; }
    void PointsChanged(int points) override { log << QStringLiteral("Points %1").arg(points); }
    void AveragesChanged(int averages) override { log << QStringLiteral("Averages %1").arg(averages); }
    void OverlapChanged(int percent) override { log << QStringLiteral("Overlap %1").arg(percent); }
    void RescaleAllViews() override { log << "Rescale"; }
    void NotifyAnalysis() override {}
    void ChannelsChosen() override { log << "Channels"; }
    void AutoSetup() override { log << "AutoSetup"; }
    void RefreshChannels() override {}
    void ShowMainMenu(const QPoint&) override {}
};

// Channels numbered on their hardware from firstNumber on; logs the resets.
class NumberedChannels : public ChannelSource {
public:
    int count = 0;
    int firstNumber = 0;
    QStringList resets;

    int ChannelCount() override { return count; }
    const char* Name(int) override { return ""; }
    const char* Unit(int) override { return ""; }
    double SampleInterval(int) override { return 0; }
    int ChannelNumber(int channel) override { return firstNumber + channel; }
    void RegisterClient(int, void*) override {}
    void ResetClient(int client, int channel) override { resets << QStringLiteral("%1:%2").arg(client).arg(channel); }
    void Freeze(int) override {}
    int Available(int, int) override { return 0; }
    int Read(int, int, float*, int) override { return 0; }
    long long Lost(int, int) override { return 0; }
};

class ControlBarTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        frame = std::make_unique<LoggingFrame>();
        bar = new CControlBar(frame.get(), &frame->window);
        frame->log.clear();
    }
    void TearDown() override { ZQ_ReleaseWriter(); }
    CSelectorButton& Sel(int id) { return *bar->Selector(id); }

    TestEnvironment env;
    std::unique_ptr<LoggingFrame> frame;
    CControlBar* bar = nullptr;
};

TEST_F(ControlBarTest, SelectorsHoldTheirListsAndDefaults)
{
    EXPECT_EQ(Sel(CControlBar::IdViews).Items(), (QStringList{"1", "2", "3", "4", "6"}));
    EXPECT_EQ(Sel(CControlBar::IdViews).CurrentText(), "1");
    EXPECT_EQ(bar->PointsChoice(), 1024);
    EXPECT_EQ(bar->AveragesChoice(), 1);
    EXPECT_EQ(bar->OverlapChoice(), 50);
    EXPECT_EQ(Sel(CControlBar::IdAverages).Items().first(), "Auto");
    EXPECT_EQ(Sel(CControlBar::IdOverlap).Items().last(), "95%");
}

TEST_F(ControlBarTest, ChoicesCallTheMainWindow)
{
    Sel(CControlBar::IdPoints).SelectText("4096");
    emit Sel(CControlBar::IdPoints).clicked();
    Sel(CControlBar::IdAverages).SelectKey(0, true); // "Auto"
    Sel(CControlBar::IdOverlap).SelectText("75%");
    emit Sel(CControlBar::IdOverlap).clicked();
    Sel(CControlBar::IdViews).SelectText("6");
    emit Sel(CControlBar::IdViews).clicked();
    EXPECT_EQ(frame->log, (QStringList{"Points 4096", "Averages 0", "Overlap 75", "Pages 6"}));
    EXPECT_EQ(bar->PointsChoice(), 4096);
    EXPECT_EQ(bar->AveragesChoice(), 0);
    EXPECT_EQ(bar->OverlapChoice(), 75);
}

TEST_F(ControlBarTest, TheMainWindowHearsTheInitialAveragesOnce)
{
    LoggingFrame fresh;
    CControlBar another(&fresh, &fresh.window);
    EXPECT_EQ(fresh.log, QStringList{"Averages 1"});
}

TEST_F(ControlBarTest, AutoScaleAndAutoAveragingGoThroughTheMainWindow)
{
    frame->window.show();
    QTest::mouseClick(bar->Control(CControlBar::IdAuto), Qt::LeftButton);
    EXPECT_EQ(frame->log, QStringList{"Rescale"});

    frame->log.clear();
    Sel(CControlBar::IdAverages).SelectText("8");
    bar->ChooseAutoAveraging();
    EXPECT_EQ(Sel(CControlBar::IdAverages).CurrentText(), "Auto");
    EXPECT_EQ(frame->log, QStringList{"Averages 0"});
}

TEST_F(ControlBarTest, SettingsLinesWrittenInOrderAndLoadedLinesActAtOnce)
{
    QByteArray bytes;
    {
        TextArchive archive;
        archive.OpenBuffer(&bytes, TextArchive::Mode::Store);
        bar->SerializePanel(archive);
        archive.Close();
    }
    EXPECT_EQ(QString::fromLatin1(bytes), "Views:$1\r\nFFTpts:$1024\r\nAvgCnt:$1\r\nOvl:$50%\r\n");

    QByteArray text = "Views:$4\r\nFFTpts:$2048\r\nAvgCnt:$Auto\r\nOvl:$0%\r\n}\r\nNext\r\n";
    TextArchive archive;
    archive.OpenBuffer(&text, TextArchive::Mode::Load);
    bar->SerializePanel(archive);
    QString next;
    archive.ReadLine(next);
    EXPECT_EQ(next, "Next");
    EXPECT_EQ(frame->log, (QStringList{"Pages 4", "Points 2048", "Averages 0", "Overlap 0"}));
    EXPECT_EQ(bar->PointsChoice(), 2048);
    EXPECT_EQ(bar->AveragesChoice(), 0);
    EXPECT_EQ(bar->OverlapChoice(), 0);
}

TEST_F(ControlBarTest, RefillKeepsOrSetsTheChannelChoices)
{
    ZQ_SetNrOfChan(1);
    ZQ_SetChanDef(0, 3, "3", "In", "V", "+", 1e-4, -1, 1, -99, 99, 0);
    bar->RefillChannelSelectors();
    EXPECT_EQ(bar->Channel1()->CurrentText(), "3");
    EXPECT_EQ(bar->Channel2()->CurrentText(), "nc");

    ZQ_SetNrOfChan(4);
    for (int i = 0; i < 4; ++i) {
        const QByteArray number = QByteArray::number(i + 1);
        ZQ_SetChanDef(i, i + 1, number.constData(), "In", "V", "+", 1e-4, -1, 1, -99, 99, 0);
    }
    bar->RefillChannelSelectors();
    bar->Channel1()->SelectText("3");
    bar->Channel2()->SelectText("4");
    bar->RefillChannelSelectors();
    EXPECT_EQ(bar->Channel1()->CurrentText(), "3");
    EXPECT_EQ(bar->Channel2()->CurrentText(), "4");
}

TEST_F(ControlBarTest, RefillReadsTheChannelSourceAndEmptiesEachReaderClient)
{
    NumberedChannels channels;
    channels.count = 3;
    channels.firstNumber = 7;
    SetChannels(&channels);
    bar->RefillChannelSelectors();
    SetChannels(nullptr);
    EXPECT_EQ(bar->Channel1()->Items(), (QStringList{"nc", "7", "8", "9"}));
    EXPECT_EQ(bar->Channel1()->CurrentText(), "7");
    EXPECT_EQ(bar->Channel2()->CurrentText(), "8");
    EXPECT_EQ(channels.resets, (QStringList{"2:-1", "3:-1", "1:-1"}));
}

} // namespace
