// The capture engine: record length and pre-trigger from the settings, the
// slope machine, rings, the three trigger modes against a writer in this
// process (exact blocks) and against zq-gen in another process, single
// shot, countdown across ticks, a dt change, and trigger recordings read
// back by vrd.
#include "capturefixture.h"
#include "support/waituntil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <cmath>
#include <functional>
#include <optional>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <vector>

namespace {

TEST_F(CaptureEngineTest, RecordLengthAndPreTriggerFollowTimeBaseAndPosition)
{
    Define(2, 1.0 / 44100);
    TimeBase(0.1, 25);
    Block({0.0f});
    EXPECT_EQ(engine.RecordLength(), 44100);
    EXPECT_EQ(engine.PreTrigger(), 11025);
    EXPECT_EQ(engine.PostTrigger(), 44100 - 11025);
    EXPECT_EQ(engine.Countdown(), -1);
    EXPECT_EQ(engine.RingOf(1).capacity, 44100);

    // A new time base takes effect at the next tick.
    TimeBase(0.001, 25);
    Block({0.0f});
    EXPECT_EQ(engine.RecordLength(), 441);
    // 0.01 s at 50 kHz is 500 samples, not 499 for a rounding error.
    EXPECT_EQ(CCaptureEngine::RecordLengthFor(0.001, 2e-5), 500);
}

TEST(CaptureSlope, RisingFallingAndWindowMachines)
{
    // "+" with level 0, window 0.1: below -0.1, above -0.1, then above 0.1.
    int state = 0;
    const float lo = -0.1f, hi = 0.1f;
    EXPECT_FALSE(CCaptureEngine::SlopeStep(1, 0.5f, lo, hi, state));
    EXPECT_EQ(state, 0); // high first: nothing
    EXPECT_FALSE(CCaptureEngine::SlopeStep(1, -0.2f, lo, hi, state));
    EXPECT_EQ(state, 1);
    EXPECT_FALSE(CCaptureEngine::SlopeStep(1, -0.05f, lo, hi, state));
    EXPECT_EQ(state, 2);
    EXPECT_FALSE(CCaptureEngine::SlopeStep(1, -0.2f, lo, hi, state)); // back below: armed again
    EXPECT_EQ(state, 1);
    EXPECT_FALSE(CCaptureEngine::SlopeStep(1, 0.0f, lo, hi, state));
    EXPECT_FALSE(CCaptureEngine::SlopeStep(1, 0.1f, lo, hi, state)); // not above hi
    EXPECT_TRUE(CCaptureEngine::SlopeStep(1, 0.15f, lo, hi, state));

    // On a sine the "+" trigger comes on the rising zero crossing's way up.
    state = 0;
    int trigger = -1;
    for (int i = 0; i < 200 && trigger < 0; ++i)
        if (CCaptureEngine::SlopeStep(1, float(std::sin(2 * std::numbers::pi * i / 100.0)), lo, hi, state))
            trigger = i;
    // First below -0.1 at i = 51, above -0.1 at i = 99, above 0.1 at i = 102.
    EXPECT_EQ(trigger, 102);

    state = 0;
    EXPECT_FALSE(CCaptureEngine::SlopeStep(0, -0.5f, lo, hi, state));
    EXPECT_FALSE(CCaptureEngine::SlopeStep(0, 0.5f, lo, hi, state));
    EXPECT_FALSE(CCaptureEngine::SlopeStep(0, 0.0f, lo, hi, state));
    EXPECT_TRUE(CCaptureEngine::SlopeStep(0, -0.2f, lo, hi, state));

    state = 0;
    EXPECT_FALSE(CCaptureEngine::SlopeStep(2, 0.5f, lo, hi, state));
    EXPECT_FALSE(CCaptureEngine::SlopeStep(2, 0.0f, lo, hi, state));
    EXPECT_EQ(state, 1);
    EXPECT_TRUE(CCaptureEngine::SlopeStep(2, -0.1f, lo, hi, state)); // the band's edge counts as leaving
}

TEST(CaptureRing, AppendWrapsAndReadsTheNewestInOrder)
{
    CCaptureEngine::Ring ring;
    ring.capacity = 5;
    ring.data.assign(6, -7.0f); // one sentinel behind the capacity
    const float a[] = {1, 2, 3}, b[] = {4, 5, 6, 7};
    CCaptureEngine::RingAppend(ring, a, 3);
    EXPECT_EQ(CCaptureEngine::Valid(ring), 3);
    CCaptureEngine::RingAppend(ring, b, 4);
    EXPECT_TRUE(ring.filled);
    EXPECT_EQ(ring.length, 2);
    float out[5];
    CCaptureEngine::RingReadLast(ring, out, 5);
    EXPECT_EQ(std::vector<float>(out, out + 5), (std::vector<float>{3, 4, 5, 6, 7}));
    CCaptureEngine::RingReadLast(ring, out, 2);
    EXPECT_EQ(std::vector<float>(out, out + 2), (std::vector<float>{6, 7}));
    const float c[] = {10, 11, 12, 13, 14, 15, 16};
    CCaptureEngine::RingAppend(ring, c, 7); // more than the capacity: the last five stay
    EXPECT_EQ(ring.length, 0);
    CCaptureEngine::RingReadLast(ring, out, 5);
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

class CaptureTrigger : public CaptureEngineTest, public testing::WithParamInterface<int> {};

TEST_P(CaptureTrigger, TriggerTenSamplesBeforeBlockEndFinishesNinetySamplesLater)
{
    Define(2, 1e-4);
    TimeBase(0.001, GetParam()); // 100 samples
    LevelTrigger(CaptureSettings::SlopeRising, 0.0, 0.1);
    Apply();
    const int pre = engine.PreTrigger(), post = engine.PostTrigger();
    ASSERT_EQ(pre + post, 100);
    EXPECT_EQ(pre, GetParam());

    const std::vector<float> values = RampBlock();
    ASSERT_LE(values[189], 0.1f);
    ASSERT_GT(values[190], 0.1f);

    // The band is taken after each block's scan: a first block sets it.
    Block(std::vector<float>(100, -1.0f));
    Block(values);
    EXPECT_FLOAT_EQ(engine.LowerLevel(), -0.1f);
    EXPECT_FLOAT_EQ(engine.UpperLevel(), 0.1f);
    EXPECT_EQ(engine.Countdown(), 190 + post - 200);
    EXPECT_EQ(notified, 0);
    if (post - 10 > 40) {
        Block(std::vector<float>(40, 1.0f));
        EXPECT_EQ(engine.Countdown(), post - 10 - 40);
        EXPECT_EQ(notified, 0);
    }
    Block(std::vector<float>(100, 1.0f));
    ASSERT_EQ(notified, 1);
    EXPECT_EQ(engine.Countdown(), -1);
    const CaptureRecord& r = *engine.Latest();
    EXPECT_EQ(r.length, 100);
    EXPECT_EQ(r.Channels(), 2);
    EXPECT_EQ(r.startOffset, pre);
    EXPECT_DOUBLE_EQ(r.sampleInterval, 1e-4);
    EXPECT_EQ(r.sequence, 1u);
    EXPECT_EQ(r.Name(1), "In 2");
    EXPECT_EQ(r.Unit(0), "V");
    // Channel 1 carries the sample number: the trigger sits at the pre-trigger index.
    const std::vector<float> numbers = Capture(1);
    EXPECT_EQ(numbers[size_t(pre)], 100.0f + 190.0f);
    for (int i = 1; i < 100; ++i)
        ASSERT_EQ(numbers[size_t(i)], numbers[size_t(i) - 1] + 1.0f);
    EXPECT_FLOAT_EQ(Capture(0)[size_t(pre)], values[190]);
}

INSTANTIATE_TEST_SUITE_P(PreTrigger, CaptureTrigger, testing::Values(0, 25));

TEST_F(CaptureEngineTest, FreeRunningRecordsFollowEachOtherWithoutGap)
{
    Define(2, 1e-4);
    TimeBase(0.001);
    Apply();
    for (int b = 0; b < 7; ++b)
        Block(std::vector<float>(70, 0.0f)); // 490 samples: four records
    ASSERT_EQ(records.size(), 4u);
    // Each published record keeps its samples while the engine fills the next.
    for (size_t r = 0; r < records.size(); ++r) {
        EXPECT_EQ(records[r]->sequence, r + 1);
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(records[r]->samples[1][size_t(i)], float(r * 100 + size_t(i)));
    }
    EXPECT_EQ(CCaptureEngine::Valid(engine.RingOf(0)), 90);

    // A block holding more than two records delivers each of them.
    Block(std::vector<float>(250, 0.0f));
    ASSERT_EQ(records.size(), 7u);
    EXPECT_EQ(records[6]->samples[1][99], 699.0f);
}

TEST_F(CaptureEngineTest, TheNextRecordIsSizedWhileTheRingsFillAndCompletingItOnlyCopies)
{
    Define(2, 1e-4);
    TimeBase(0.001); // records of 100 samples
    Apply();
    Block(std::vector<float>(30, 0.0f));
    Block(std::vector<float>(30, 0.0f));
    ASSERT_TRUE(engine.SpareReady());
    const float* spare0 = engine.SpareData(0);
    const float* spare1 = engine.SpareData(1);
    Block(std::vector<float>(50, 0.0f)); // completes the first record
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->samples[0].data(), spare0);
    EXPECT_EQ(records[0]->samples[1].data(), spare1);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(records[0]->samples[1][size_t(i)], float(i));

    // A longer record after a change of the time base is sized again first.
    TimeBase(0.002);
    Apply();
    EXPECT_FALSE(engine.SpareReady());
    Apply();
    EXPECT_TRUE(engine.SpareReady());
}

TEST_F(CaptureEngineTest, SingleShotStopsAfterOneRecord)
{
    Define(2, 1e-4);
    TimeBase(0.001);
    Apply();
    single = true;
    Block(std::vector<float>(250, 0.0f)); // two and a half records' worth
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(Capture(1)[0], 0.0f);
    EXPECT_EQ(Capture(1)[99], 99.0f);
}

TEST_F(CaptureEngineTest, SampleIntervalChangeEmptiesTheRings)
{
    Define(2, 1e-4);
    TimeBase(0.001);
    Block(std::vector<float>(50, 0.0f));
    EXPECT_EQ(engine.RecordLength(), 100);
    EXPECT_EQ(CCaptureEngine::Valid(engine.RingOf(0)), 50);
    Define(2, 2e-4);
    Block(std::vector<float>(30, 0.0f));
    EXPECT_EQ(engine.RecordLength(), 50);
    EXPECT_EQ(CCaptureEngine::Valid(engine.RingOf(0)), 30);
    EXPECT_EQ(CCaptureEngine::Valid(engine.RingOf(1)), 30);
    EXPECT_EQ(notified, 0);
}

TEST_F(CaptureEngineTest, AutoTriggerFindsTheMiddleOfTheSignal)
{
    Define(2, 1e-4);
    TimeBase(0.001, 25);
    settings.trigger = CaptureSettings::TriggerAuto;
    settings.slope = CaptureSettings::SlopeRising;
    Apply();
    std::vector<float> values(100);
    for (int k = 0; k < 100; ++k)
        values[size_t(k)] = float(3.0 + 2.0 * std::sin(2 * std::numbers::pi * (k + 0.5) / 25.0));
    Block(values); // no history yet: armed, level still 0
    Block(values); // level set to the middle, 3
    EXPECT_NEAR(engine.LowerLevel(), 3.0, 0.05);
    EXPECT_EQ(engine.UpperLevel(), engine.LowerLevel());
    for (int b = 0; b < 4; ++b)
        Block(values);
    ASSERT_GE(notified, 1);
    // The machine steps above the middle, the next sample completes it.
    const std::vector<float> c = Capture(0);
    const int pre = engine.Latest()->startOffset;
    EXPECT_EQ(pre, 25);
    EXPECT_LT(c[size_t(pre) - 2], engine.LowerLevel());
    EXPECT_GT(c[size_t(pre) - 1], engine.LowerLevel());
}

TEST_F(CaptureEngineTest, TriggerRecordingEqualsTheCaptureAndAFailedOpenIsToldOnce)
{
    Define(2, 1e-4);
    const QString folder = QString::fromStdString(env.DataDir()) + "/trg/";
    QDir().mkpath(folder);
    Ctx().chosenDataPath = folder;
    TimeBase(0.001, 25);
    LevelTrigger(CaptureSettings::SlopeRising, 0.0, 0.1);
    Apply();
    engine.SetRecording(true);
    Block(std::vector<float>(100, -1.0f));
    Block(RampBlock());
    Block(std::vector<float>(100, 1.0f));
    ASSERT_EQ(notified, 1);
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

    // A folder that cannot take the file: the records are still published,
    // the failure is told once.
    QFile blocker(folder + "blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Ctx().chosenDataPath = folder + "blocker/";
    int told = 0;
    for (int r = 0; r < 3; ++r) {
        Block(RampBlock());
        Block(std::vector<float>(100, 1.0f));
        if (const std::optional<QString> failure = engine.TakeOpenFailure()) {
            ++told;
            EXPECT_TRUE(failure->startsWith(folder + "blocker/"));
        }
    }
    EXPECT_EQ(notified, 4);
    EXPECT_EQ(told, 1);
}

// zq-gen in another process.
class CaptureWriterTest : public CaptureEngineTest {
protected:
    void StartWriter(const QStringList& arguments, int channels)
    {
        writer.setProgram(QString::fromStdString(TestEnvironment::BinDir() + "/zq-gen"));
        writer.setArguments(arguments);
        writer.start();
        ASSERT_TRUE(writer.waitForStarted());
        ASSERT_TRUE(WaitUntil([channels] { return ZQ_GetNrOfChan() == channels; }));
    }
    // Ticks whenever samples have arrived, until count records or the deadline.
    void Run(int count, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (notified < count && timer.elapsed() < timeoutMs) {
            ZQ_FreezeBuffers(kTimeClient);
            if (ZQ_CheckChan(kTimeClient, 0) > 0)
                engine.Tick(settings, false);
            else
                QThread::yieldCurrentThread();
        }
    }
    void TearDown() override
    {
        writer.terminate();
        writer.waitForFinished(5000);
        CaptureEngineTest::TearDown();
    }
    QProcess writer;
};

TEST_F(CaptureWriterTest, FreeRunningRecordsAreTheNextRunsOfTheCounter)
{
    StartWriter({"-n", "24", "-r", "50000", "-s", "counter", "-q"}, 24);
    TimeBase(0.001);
    ZQ_ResetBuffer(kTimeClient, -1);
    int bad = 0;
    double next = -1.0;
    onRecord = [&](const CaptureRecord& r) {
        if (r.length != 500 || r.Channels() != 24) {
            ++bad;
            return;
        }
        const double first = r.samples[0][0];
        if (next >= 0.0 && first != next)
            ++bad;
        next = first + 500;
        for (int c = 0; c < 24; ++c)
            for (int i = 0; i < 500; ++i)
                if (r.samples[size_t(c)][size_t(i)] != float(first + c + i))
                    ++bad;
    };
    Run(220, 120000);
    EXPECT_GE(notified, 200);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(ZQ_GetChanLost(kTimeClient, 0), 0);
}

TEST_F(CaptureWriterTest, LevelTriggerOnASquareWaveStartsEachRecordAtThePreTriggerIndex)
{
    StartWriter({"-n", "2", "-r", "50000", "-s", "square", "-f", "100", "-a", "1", "-q"}, 2);
    TimeBase(0.001, 25); // 500 samples, one period
    LevelTrigger(CaptureSettings::SlopeRising, 0.0, 0.5);
    ZQ_ResetBuffer(kTimeClient, -1);
    int bad = 0;
    onRecord = [&](const CaptureRecord& r) {
        const int pre = r.startOffset;
        const float* v = r.samples[0].data();
        // The rising edge just before the trigger, high at the trigger.
        const bool low = v[pre - 1] < -0.5f || v[pre - 2] < -0.5f;
        if (pre != 125 || r.length != 500 || !(v[pre] > 0.5f) || !low)
            ++bad;
    };
    Run(20, 60000);
    EXPECT_GE(notified, 20);
    EXPECT_EQ(bad, 0);
}

} // namespace
