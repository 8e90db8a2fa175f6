// The time view: the capture settings its panel gives, and the rms readout
// between two cursors over a record.
#include "views/timeview.h"

#include "acquisition/hwmanager.h"
#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "context/mainframe.h"
#include "platform/appmessage.h"
#include "platform/messagebox.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"
#include "views/paneldlg.h"
#include "views/timepanel.h"
#include "widgets/cursorwnd.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>

namespace {

class FakeFrame : public MainFrame {
public:
    QWidget window;
    AnalysisRecord record;
    CHwManager hardware;
    int notified = 0;
    int channels[2] = {0, 1};
    std::function<void()> onNotify;

    QWidget* Window() override { return &window; }
    AnalysisRecord& Record() override { return record; }
    CHwManager& Hardware() override { return hardware; }
    void SetPageCount(int) override {}
    int PageCount() const override { return 1; }
    void RunStop() override
    {
        record.run = record.run ? 0 : 1;
        record.single = 0;
    }
    void SingleShot() override {}
    void PointsChanged(int) override {}
    void AveragesChanged(int) override {}
    void OverlapChanged(int) override {}
    void NotifyAnalysis() override
    {
        ++notified;
        if (onNotify)
            onNotify();
    }
    void ChannelsChosen() override {}
    void AutoSetup() override {}
    void RefreshChannels() override {}
    int ChosenChannel(int slot) const override { return slot == 0 || slot == 1 ? channels[slot] : -1; }
    void ShowMainMenu(const QPoint&) override {}
};

// Channels 0 … count-1 at one sample interval, written from this process.
void Define(int count, double dt)
{
    ZQ_SetNrOfChan(count);
    for (int i = 0; i < count; ++i) {
        const QByteArray number = QByteArray::number(i + 1);
        ZQ_SetChanDef(i, i + 1, number.constData(), ("In " + number).constData(), "V", "+", dt, -10, 10, -99, 99,
                      0);
    }
    ASSERT_EQ(ZQ_GetNrOfChan(), count);
    // Client 2 takes the samples written from here on.
}

class TimeViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        frame = std::make_unique<FakeFrame>();
        view = std::make_unique<CTimeView>(frame.get(), &frame->window);
        view->Create();
    }
    void TearDown() override
    {
        view.reset();
        frame.reset();
        ZQ_ReleaseWriter();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    CSelectorButton& Sel(int id) { return *view->TimePanel()->Selector(id); }
    void Set(int id, const char* text) { Sel(id).SelectText(QString::fromLatin1(text)); }
    void Notify(int code) { SendAppMessage(view.get(), WM_PANEL_NOTIFY, quintptr(code), 0); }
    // Trigger "Level" with a band level ± window.
    void LevelTrigger(int slope, double level, double window)
    {
        Sel(CTimePanel::IdTrg).SelectKey(CTimePanel::TriggerLevel, false);
        Sel(CTimePanel::IdSlope).SelectKey(slope, false);
        Sel(CTimePanel::IdLevel).SetNumeric(0.05, level);
        Sel(CTimePanel::IdWindow).SetNumeric(0.05, window);
    }
    TestEnvironment env;
    std::unique_ptr<FakeFrame> frame;
    std::unique_ptr<CTimeView> view;
};

TEST_F(TimeViewTest, PanelGivesTheCaptureItsSettings)
{
    Define(2, 1.0 / 44100);
    Set(CTimePanel::IdXDiv, "0.1s");
    Set(CTimePanel::IdPos, "25%");
    LevelTrigger(CTimePanel::SlopeFalling, 0.3, 0.05);
    Sel(CTimePanel::IdTrgSrc).SelectKey(1, false);
    const CaptureSettings settings = view->CaptureSettingsNow();
    EXPECT_DOUBLE_EQ(settings.timePerDivision, 0.1);
    EXPECT_EQ(settings.triggerPercent, 25);
    EXPECT_EQ(settings.trigger, CaptureSettings::TriggerLevel);
    EXPECT_EQ(settings.slope, CaptureSettings::SlopeFalling);
    EXPECT_EQ(settings.source, 1);
    EXPECT_DOUBLE_EQ(settings.level, 0.3);
    EXPECT_DOUBLE_EQ(settings.halfWindow, 0.05);
    // The panel's keys are the capture's.
    EXPECT_EQ(int(CTimePanel::TriggerAuto), int(CaptureSettings::TriggerAuto));
    EXPECT_EQ(int(CTimePanel::SlopeWindow), int(CaptureSettings::SlopeWindow));
}

TEST_F(TimeViewTest, RmsBetweenTwoCursors)
{
    // Whole periods of a sine: amplitude / sqrt 2; a constant 2 V: 2.
    std::vector<float> sine(400);
    for (int k = 0; k < 400; ++k)
        sine[size_t(k)] = float(3.0 * std::sin(2 * std::numbers::pi * k / 40.0));
    EXPECT_NEAR(CTimeView::RmsBetween(sine.data(), 40, 360), 3.0 / std::sqrt(2.0), 1e-5);
    std::vector<float> two(50, 2.0f);
    EXPECT_DOUBLE_EQ(CTimeView::RmsBetween(two.data(), 3, 47), 2.0);

    // Through the view: a record of 2 V on "Ch1", the sine on "Ch2".
    Define(2, 1e-3);
    Set(CTimePanel::IdXDiv, "0.05s");  // 500 samples
    std::vector<float> a(500, 2.0f), b(500);
    for (int k = 0; k < 500; ++k)
        b[size_t(k)] = float(3.0 * std::sin(2 * std::numbers::pi * k / 25.0));
    auto capture = std::make_shared<CaptureRecord>();
    capture->samples = {a, b};
    capture->length = 500;
    capture->sampleInterval = 1e-3;
    frame->record.capture = capture;
    view->resize(900, 600);
    view->Show(true);
    view->Analyse();
    QApplication::processEvents();
    view->grab(); // paint once: the transforms are set

    const QRect plot = view->PlotRect();
    auto click = [&](double x) {
        const QPoint at(view->XTransform().Pixel(x), plot.center().y());
        QTest::mousePress(view.get(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, at);
    };
    click(0.05);
    click(0.45);
    ASSERT_EQ(view->CursorCount(), 2);
    EXPECT_NEAR(view->CursorRms(0), 2.0, 1e-6);
    // About 16 periods with a partial one at the ends.
    EXPECT_NEAR(view->CursorRms(1), 3.0 / std::sqrt(2.0), 0.05);
}

} // namespace
