// The time view's capture: record length and pre-trigger from the panel,
// the slope machine, rings, the three trigger modes against a writer in this
// process (exact blocks) and against zq-gen in another process, single
// shot, countdown across ticks, a dt change, trigger recordings read back by
// vrd, and the rms readout between two cursors.
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
    ZQ_ResetBuffer(CTimeView::kClient, -1);
    ZQ_FreezeBuffers(CTimeView::kClient);
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
    // Writes frames (channel 0 from values, channel 1 the running sample
    // number), freezes client 2 and runs one tick.
    void Block(const std::vector<float>& values)
    {
        std::vector<float> frames;
        for (float v : values) {
            frames.push_back(v);
            frames.push_back(float(m_written++));
        }
        ZQ_WriteFrames(frames.data(), int(values.size()));
        ZQ_FreezeBuffers(CTimeView::kClient);
        view->Tick();
    }
    std::vector<float> Capture(int channel) const
    {
        const AnalysisRecord& r = frame->record;
        return std::vector<float>(r.captureArea[channel], r.captureArea[channel] + r.captureLength);
    }

    TestEnvironment env;
    std::unique_ptr<FakeFrame> frame;
    std::unique_ptr<CTimeView> view;
    long m_written = 0;
};

TEST_F(TimeViewTest, RecordLengthAndPreTriggerFollowTimeBaseAndPosition)
{
    Define(2, 1.0 / 44100);
    Set(CTimePanel::IdXDiv, "0.1s");
    Set(CTimePanel::IdPos, "25%");
    view->Reinit();
    EXPECT_EQ(view->RecordLength(), 44100);
    EXPECT_EQ(view->PreTrigger(), 11025);
    EXPECT_EQ(view->PostTrigger(), 44100 - 11025);
    EXPECT_EQ(view->Countdown(), -1);
    EXPECT_EQ(view->Ring(1).capacity, 44100);

    // The time base notification takes the new value at once.
    Set(CTimePanel::IdXDiv, "0.001s");
    Notify(PanelXScale);
    EXPECT_EQ(view->RecordLength(), 441);
}

TEST(TimeViewSlope, RisingFallingAndWindowMachines)
{
    // "+" with level 0, window 0.1: below -0.1, above -0.1, then above 0.1.
    int state = 0;
    const float lo = -0.1f, hi = 0.1f;
    EXPECT_FALSE(CTimeView::SlopeStep(1, 0.5f, lo, hi, state));
    EXPECT_EQ(state, 0); // high first: nothing
    EXPECT_FALSE(CTimeView::SlopeStep(1, -0.2f, lo, hi, state));
    EXPECT_EQ(state, 1);
    EXPECT_FALSE(CTimeView::SlopeStep(1, -0.05f, lo, hi, state));
    EXPECT_EQ(state, 2);
    EXPECT_FALSE(CTimeView::SlopeStep(1, -0.2f, lo, hi, state)); // back below: armed again
    EXPECT_EQ(state, 1);
    EXPECT_FALSE(CTimeView::SlopeStep(1, 0.0f, lo, hi, state));
    EXPECT_FALSE(CTimeView::SlopeStep(1, 0.1f, lo, hi, state)); // not above hi
    EXPECT_TRUE(CTimeView::SlopeStep(1, 0.15f, lo, hi, state));

    // On a sine the "+" trigger comes on the rising zero crossing's way up.
    state = 0;
    int trigger = -1;
    for (int i = 0; i < 200 && trigger < 0; ++i)
        if (CTimeView::SlopeStep(1, float(std::sin(2 * std::numbers::pi * i / 100.0)), lo, hi, state))
            trigger = i;
    // First below -0.1 at i = 51, above -0.1 at i = 99, above 0.1 at i = 102.
    EXPECT_EQ(trigger, 102);

    state = 0;
    EXPECT_FALSE(CTimeView::SlopeStep(0, -0.5f, lo, hi, state));
    EXPECT_FALSE(CTimeView::SlopeStep(0, 0.5f, lo, hi, state));
    EXPECT_FALSE(CTimeView::SlopeStep(0, 0.0f, lo, hi, state));
    EXPECT_TRUE(CTimeView::SlopeStep(0, -0.2f, lo, hi, state));

    state = 0;
    EXPECT_FALSE(CTimeView::SlopeStep(2, 0.5f, lo, hi, state));
    EXPECT_FALSE(CTimeView::SlopeStep(2, 0.0f, lo, hi, state));
    EXPECT_EQ(state, 1);
    EXPECT_TRUE(CTimeView::SlopeStep(2, -0.1f, lo, hi, state)); // the band's edge counts as leaving
}

TEST(TimeViewRing, AppendWrapsAndReadsTheNewestInOrder)
{
    CGraphWnd::Trace ring;
    ring.capacity = 5;
    ring.data.assign(6, -7.0f); // one sentinel behind the capacity
    const float a[] = {1, 2, 3}, b[] = {4, 5, 6, 7};
    CTimeView::RingAppend(ring, a, 3);
    EXPECT_EQ(CTimeView::Valid(ring), 3);
    CTimeView::RingAppend(ring, b, 4);
    EXPECT_TRUE(ring.filled);
    EXPECT_EQ(ring.length, 2);
    float out[5];
    CTimeView::RingReadLast(ring, out, 5);
    EXPECT_EQ(std::vector<float>(out, out + 5), (std::vector<float>{3, 4, 5, 6, 7}));
    CTimeView::RingReadLast(ring, out, 2);
    EXPECT_EQ(std::vector<float>(out, out + 2), (std::vector<float>{6, 7}));
    const float c[] = {10, 11, 12, 13, 14, 15, 16};
    CTimeView::RingAppend(ring, c, 7); // more than the capacity: the last five stay
    EXPECT_EQ(ring.length, 0);
    CTimeView::RingReadLast(ring, out, 5);
    EXPECT_EQ(std::vector<float>(out, out + 5), (std::vector<float>{12, 13, 14, 15, 16}));
    EXPECT_EQ(ring.data[5], -7.0f);
}

// A ramp crossing the band: -1 up to sample 184, then 0.05 a sample from
// -0.125 at sample 185; "+" with level 0 and window 0.1 goes above -0.1 at
// sample 186 (-0.075) and completes at the first sample above 0.1: sample
// 190 (0.125), ten samples before the block's end.
std::vector<float> RampBlock()
{
    std::vector<float> values(200, -1.0f);
    for (int k = 185; k < 200; ++k)
        values[size_t(k)] = float(-0.125 + 0.05 * (k - 185));
    return values;
}

class TimeViewTrigger : public TimeViewTest, public testing::WithParamInterface<int> {};

TEST_P(TimeViewTrigger, TriggerTenSamplesBeforeBlockEndFinishesNinetySamplesLater)
{
    Define(2, 1e-4);
    Set(CTimePanel::IdXDiv, "0.001s"); // 100 samples
    Set(CTimePanel::IdPos, GetParam() == 0 ? "0%" : "25%");
    LevelTrigger(CTimePanel::SlopeRising, 0.0, 0.1);
    view->Reinit();
    const int pre = view->PreTrigger(), post = view->PostTrigger();
    ASSERT_EQ(pre + post, 100);
    EXPECT_EQ(pre, GetParam());

    const std::vector<float> values = RampBlock();
    ASSERT_LE(values[189], 0.1f);
    ASSERT_GT(values[190], 0.1f);

    // The band is taken after each block's scan: a first block sets it.
    Block(std::vector<float>(100, -1.0f));
    Block(values);
    EXPECT_FLOAT_EQ(view->LowerLevel(), -0.1f);
    EXPECT_FLOAT_EQ(view->UpperLevel(), 0.1f);
    EXPECT_EQ(view->Countdown(), 190 + post - 200);
    EXPECT_EQ(frame->notified, 0);
    if (post - 10 > 40) {
        Block(std::vector<float>(40, 1.0f));
        EXPECT_EQ(view->Countdown(), post - 10 - 40);
        EXPECT_EQ(frame->notified, 0);
    }
    Block(std::vector<float>(100, 1.0f));
    ASSERT_EQ(frame->notified, 1);
    EXPECT_EQ(view->Countdown(), -1);
    const AnalysisRecord& r = frame->record;
    EXPECT_EQ(r.captureLength, 100);
    EXPECT_EQ(r.captureChannels, 2);
    EXPECT_EQ(r.captureWord, pre);
    EXPECT_DOUBLE_EQ(r.captureTime, 1e-4);
    // Channel 1 carries the sample number: the trigger sits at the pre-trigger index.
    const std::vector<float> numbers = Capture(1);
    EXPECT_EQ(numbers[size_t(pre)], 100.0f + 190.0f);
    for (int i = 1; i < 100; ++i)
        ASSERT_EQ(numbers[size_t(i)], numbers[size_t(i) - 1] + 1.0f);
    EXPECT_FLOAT_EQ(Capture(0)[size_t(pre)], values[190]);
}

INSTANTIATE_TEST_SUITE_P(PreTrigger, TimeViewTrigger, testing::Values(0, 25));

TEST_F(TimeViewTest, FreeRunningRecordsFollowEachOtherWithoutGap)
{
    Define(2, 1e-4);
    Set(CTimePanel::IdXDiv, "0.001s");
    view->Reinit();
    std::vector<std::vector<float>> records;
    frame->onNotify = [&] { records.push_back(Capture(1)); };
    for (int b = 0; b < 7; ++b)
        Block(std::vector<float>(70, 0.0f)); // 490 samples: four records
    ASSERT_EQ(records.size(), 4u);
    for (size_t r = 0; r < records.size(); ++r)
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(records[r][size_t(i)], float(r * 100 + size_t(i)));
    EXPECT_EQ(CTimeView::Valid(view->Ring(0)), 90);

    // A block holding more than two records delivers each of them.
    Block(std::vector<float>(250, 0.0f));
    ASSERT_EQ(records.size(), 7u);
    EXPECT_EQ(records[6][99], 699.0f);
}

TEST_F(TimeViewTest, SingleShotStopsAfterOneRecord)
{
    Define(2, 1e-4);
    Set(CTimePanel::IdXDiv, "0.001s");
    view->Reinit();
    frame->record.single = 1;
    Block(std::vector<float>(250, 0.0f));
    EXPECT_EQ(frame->notified, 1);
    EXPECT_EQ(frame->record.run, 0);
    Block(std::vector<float>(250, 0.0f));
    EXPECT_EQ(frame->notified, 1);
    EXPECT_EQ(Capture(1)[0], 0.0f);
}

TEST_F(TimeViewTest, SampleIntervalChangeEmptiesTheRings)
{
    Define(2, 1e-4);
    Set(CTimePanel::IdXDiv, "0.001s");
    Block(std::vector<float>(50, 0.0f));
    EXPECT_EQ(view->RecordLength(), 100);
    EXPECT_EQ(CTimeView::Valid(view->Ring(0)), 50);
    Define(2, 2e-4);
    Block(std::vector<float>(30, 0.0f));
    EXPECT_EQ(view->RecordLength(), 50);
    EXPECT_EQ(CTimeView::Valid(view->Ring(0)), 30);
    EXPECT_EQ(CTimeView::Valid(view->Ring(1)), 30);
    EXPECT_EQ(frame->notified, 0);
}

TEST_F(TimeViewTest, AutoTriggerFindsTheMiddleOfTheSignal)
{
    Define(2, 1e-4);
    Set(CTimePanel::IdXDiv, "0.001s");
    Set(CTimePanel::IdPos, "25%");
    Sel(CTimePanel::IdTrg).SelectKey(CTimePanel::TriggerAuto, false);
    Sel(CTimePanel::IdSlope).SelectKey(CTimePanel::SlopeRising, false);
    view->Reinit();
    std::vector<float> values(100);
    for (int k = 0; k < 100; ++k)
        values[size_t(k)] = float(3.0 + 2.0 * std::sin(2 * std::numbers::pi * (k + 0.5) / 25.0));
    Block(values); // no history yet: armed, level still 0
    Block(values); // level set to the middle, 3
    EXPECT_NEAR(view->LowerLevel(), 3.0, 0.05);
    EXPECT_EQ(view->UpperLevel(), view->LowerLevel());
    for (int b = 0; b < 4; ++b)
        Block(values);
    ASSERT_GE(frame->notified, 1);
    // The machine steps above the middle, the next sample completes it.
    const std::vector<float> c = Capture(0);
    const int pre = frame->record.captureWord;
    EXPECT_EQ(pre, 25);
    EXPECT_LT(c[size_t(pre) - 2], view->LowerLevel());
    EXPECT_GT(c[size_t(pre) - 1], view->LowerLevel());
}

TEST_F(TimeViewTest, TriggerRecordingEqualsTheCaptureAndAFailedOpenIsToldOnce)
{
    MessageBoxRecorder boxes;
    Define(2, 1e-4);
    const QString folder = QString::fromStdString(env.DataDir()) + "/trg/";
    QDir().mkpath(folder);
    Ctx().chosenDataPath = folder;
    Set(CTimePanel::IdXDiv, "0.001s");
    Set(CTimePanel::IdPos, "25%");
    LevelTrigger(CTimePanel::SlopeRising, 0.0, 0.1);
    view->Reinit();
    frame->record.recording = 1;
    Block(std::vector<float>(100, -1.0f));
    Block(RampBlock());
    Block(std::vector<float>(100, 1.0f));
    ASSERT_EQ(frame->notified, 1);
    const QStringList files = QDir(folder).entryList({"*_trg.vrd"}, QDir::Files);
    ASSERT_EQ(files.size(), 1);

    QProcess vrd;
    vrd.start(QString::fromStdString(TestEnvironment::BinDir() + "/vrd"), {"csv", folder + files[0]});
    ASSERT_TRUE(vrd.waitForFinished(30000));
    ASSERT_EQ(vrd.exitCode(), 0) << vrd.readAllStandardError().toStdString();
    const QStringList lines = QString::fromLatin1(vrd.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 101);
    const std::vector<float> c0 = Capture(0), c1 = Capture(1);
    for (int i = 0; i < 100; ++i) {
        const QStringList fields = lines[i + 1].split(',');
        ASSERT_EQ(fields.size(), 3);
        ASSERT_EQ(fields[1].toFloat(), c0[size_t(i)]) << i;
        ASSERT_EQ(fields[2].toFloat(), c1[size_t(i)]) << i;
    }

    // A folder that cannot take the file: the records still reach the
    // analysis, the user is told once.
    QFile blocker(folder + "blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Ctx().chosenDataPath = folder + "blocker/";
    for (int r = 0; r < 3; ++r) {
        Block(RampBlock());
        Block(std::vector<float>(100, 1.0f));
    }
    EXPECT_EQ(frame->notified, 4);
    QApplication::processEvents();
    EXPECT_EQ(boxes.Boxes().size(), 1u);
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
    view->Reinit();
    ASSERT_EQ(view->RecordLength(), 500);
    AnalysisRecord& r = frame->record;
    std::vector<float> a(500, 2.0f), b(500);
    for (int k = 0; k < 500; ++k)
        b[size_t(k)] = float(3.0 * std::sin(2 * std::numbers::pi * k / 25.0));
    r.captureArea[0] = a.data();
    r.captureArea[1] = b.data();
    r.captureLength = 500;
    r.captureChannels = 2;
    r.captureTime = 1e-3;
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
    r.captureArea[0] = r.captureArea[1] = nullptr;
    r.captureLength = 0;
}

// zq-gen in another process: the counter on 24 channels at 50 kHz.
class TimeViewWriterTest : public TimeViewTest {
protected:
    void StartWriter(const QStringList& arguments, int channels)
    {
        writer.setProgram(QString::fromStdString(TestEnvironment::BinDir() + "/zq-gen"));
        writer.setArguments(arguments);
        writer.start();
        ASSERT_TRUE(writer.waitForStarted());
        ASSERT_TRUE(WaitUntil([channels] { return ZQ_GetNrOfChan() == channels; }));
    }
    // Ticks every 10 ms until count records or the timeout.
    void Run(int count, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (frame->notified < count && timer.elapsed() < timeoutMs) {
            QTest::qWait(10);
            ZQ_FreezeBuffers(CTimeView::kClient);
            view->Tick();
        }
    }
    void TearDown() override
    {
        writer.terminate();
        writer.waitForFinished(5000);
        TimeViewTest::TearDown();
    }
    QProcess writer;
};

TEST_F(TimeViewWriterTest, FreeRunningRecordsAreTheNextRunsOfTheCounter)
{
    StartWriter({"-n", "24", "-r", "50000", "-s", "counter", "-q"}, 24);
    Set(CTimePanel::IdXDiv, "0.001s");
    ZQ_ResetBuffer(CTimeView::kClient, -1);
    int bad = 0;
    double next = -1.0;
    frame->onNotify = [&] {
        const AnalysisRecord& r = frame->record;
        if (r.captureLength != 500 || r.captureChannels != 24) {
            ++bad;
            return;
        }
        const double first = r.captureArea[0][0];
        if (next >= 0.0 && first != next)
            ++bad;
        next = first + 500;
        for (int c = 0; c < 24; ++c)
            for (int i = 0; i < 500; ++i)
                if (r.captureArea[c][i] != float(first + c + i))
                    ++bad;
    };
    Run(220, 120000);
    EXPECT_GE(frame->notified, 200);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(ZQ_GetChanLost(CTimeView::kClient, 0), 0);
}

TEST_F(TimeViewWriterTest, LevelTriggerOnASquareWaveStartsEachRecordAtThePreTriggerIndex)
{
    StartWriter({"-n", "2", "-r", "50000", "-s", "square", "-f", "100", "-a", "1", "-q"}, 2);
    Set(CTimePanel::IdXDiv, "0.001s"); // 500 samples, one period
    Set(CTimePanel::IdPos, "25%");
    LevelTrigger(CTimePanel::SlopeRising, 0.0, 0.5);
    ZQ_ResetBuffer(CTimeView::kClient, -1);
    int bad = 0;
    frame->onNotify = [&] {
        const AnalysisRecord& r = frame->record;
        const int pre = r.captureWord;
        const float* v = r.captureArea[0];
        // The rising edge just before the trigger, high at the trigger.
        const bool low = v[pre - 1] < -0.5f || v[pre - 2] < -0.5f;
        if (pre != 125 || r.captureLength != 500 || !(v[pre] > 0.5f) || !low)
            ++bad;
    };
    Run(20, 60000);
    EXPECT_GE(frame->notified, 20);
    EXPECT_EQ(bad, 0);
}

} // namespace
