// A calibration that takes seconds, watched by another process reading the
// channel buffer service: the writer never goes away, nothing is lost, the
// tick keeps running, and the channels resume without torn or repeated
// frames.
#include "acquisition/calibrationdlg.h"
#include "acquisition/channelsetupdlg.h"
#include "acquisition/hwmanager.h"
#include "acquisition/recordermodule.h"
#include "context/appcontext.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "setupdialogdriver.h"
#include "simcontrol.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"
#include "zq.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kChannels = 24;

// One definition's frames as the watcher wrote them.
struct Section {
    int channels = 0;
    std::vector<float> values; // frame by frame
    long long Frames() const { return channels > 0 ? (long long)values.size() / channels : 0; }
    float At(long long frame, int channel) const { return values[size_t(frame * channels + channel)]; }
};

std::vector<Section> ReadSections(const QString& path)
{
    QFile file(path);
    std::vector<Section> sections;
    if (!file.open(QIODevice::ReadOnly))
        return sections;
    const QByteArray bytes = file.readAll();
    for (qsizetype at = 0; at + 4 <= bytes.size(); at += 4) {
        int word;
        std::memcpy(&word, bytes.constData() + at, 4);
        if (word == -1 && at + 8 <= bytes.size()) {
            sections.emplace_back();
            std::memcpy(&sections.back().channels, bytes.constData() + at + 4, 4);
            at += 4;
            continue;
        }
        if (sections.empty())
            break;
        float value;
        std::memcpy(&value, &word, 4);
        sections.back().values.push_back(value);
    }
    return sections;
}

// The sample numbers of a section's frames: each frame must be some sample
// n of every channel at once (value = the simulator's word n × scale), and
// n must go up by one from frame to frame. Returns the first n, or -1 with
// the reason in *fault.
long long ContiguousFrom(const Section& section, const SimControl& sim, const std::vector<double>& scales,
                         long long searchLimit, std::string* fault)
{
    auto frameIs = [&](long long frame, long long n) {
        for (int c = 0; c < section.channels; ++c)
            if (section.At(frame, c) != float(sim.Sample(c, n) * scales[size_t(c)]))
                return false;
        return true;
    };
    long long first = -1;
    for (long long n = 0; n < searchLimit && first < 0; ++n)
        if (frameIs(0, n))
            first = n;
    if (first < 0) {
        *fault = "the first frame is no sample of the module";
        return -1;
    }
    for (long long f = 1; f < section.Frames(); ++f)
        if (!frameIs(f, first + f)) {
            *fault = "frame " + std::to_string(f) + " is not sample " + std::to_string(first + f);
            return -1;
        }
    return first;
}

unsigned WriterGeneration()
{
    ZQ_WriterStatus status{};
    ZQ_GetWriterStatus(&status);
    return status.generation;
}

// How far the reader process pid has read channel 0 of the definition of
// that generation (samples since it was defined), or -1 when it has not
// read it yet.
long long ReaderPosition(qint64 pid, unsigned generation)
{
    for (int slot = 0; slot < ZQ_MAX_READER_SLOTS; ++slot) {
        ZQ_ReaderStatus status{};
        if (ZQ_GetReaderStatus(slot, &status) == 1 && status.pid == pid && status.generation == generation)
            return status.position[0];
    }
    return -1;
}

TEST(CalibrationWatched, WriterStaysLiveTickRunsAndChannelsResumeContiguous)
{
    TestEnvironment env;
    ResetContext();
    env.SetEnv("VELMOR_SIM_MODULE", "Halvek");
    env.SetEnv("VELMOR_SIM_CALIBRATION_MS", "100");
    MessageBoxRecorder boxes;
    DialogRecorder dialogs;
    CHwManager manager;
    ASSERT_TRUE(manager.ChooseModule());
    auto* module = dynamic_cast<CRecorderModule*>(manager.Module());
    ASSERT_NE(module, nullptr);
    const SimControl sim;
    ASSERT_TRUE(sim.Valid());

    // Every channel as the module has it: nothing to calibrate.
    dialogs.SetDefaultHandler(
        [](QDialog& dialog) { SetupDialogDriver::Accept(dynamic_cast<CChannelSetupDlg&>(dialog)); });
    ASSERT_TRUE(module->Configure(true));
    ASSERT_EQ(module->ActiveCount(), kChannels);
    auto scales = [module] {
        std::vector<double> s;
        for (int c = 0; c < kChannels; ++c)
            s.push_back(module->ScaleAt(c));
        return s;
    };
    const std::vector<double> scalesBefore = scales();

    // The main window's 10 ms tick; each tick notes whether the calibration
    // dialog was running.
    std::vector<qint64> tickTimes;
    std::vector<bool> tickCalibrating;
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        tickTimes.push_back(clock.elapsed());
        tickCalibrating.push_back(CCalibrationDlg::Running() != nullptr);
        manager.Poll();
    });
    tick.start(10);

    const QString output = QString::fromStdString(env.Root() + "/watched.f32");
    QProcess watcher;
    watcher.start(QString::fromStdString(TestEnvironment::BinDir() + "/service_watcher"), {"1", output});
    ASSERT_TRUE(watcher.waitForReadyRead(10000)) << "the watcher did not start";
    // Half a second of samples in the watcher's hands before the calibration.
    const long long rate = 10000;
    const unsigned generationBefore = WriterGeneration();
    ASSERT_TRUE(WaitUntil([&] { return ReaderPosition(watcher.processId(), generationBefore) >= 0; }));
    const long long watchedFrom = ReaderPosition(watcher.processId(), generationBefore);
    ASSERT_TRUE(WaitUntil(
        [&] { return ReaderPosition(watcher.processId(), generationBefore) >= watchedFrom + rate / 2; }));

    // New ranges on three channels: those three calibrate, one after the other.
    dialogs.SetDefaultHandler([](QDialog& dialog) {
        auto& setup = dynamic_cast<CChannelSetupDlg&>(dialog);
        for (int ch : {0, 9, 18})
            setup.Records()[size_t(ch)].Range = 4;
        SetupDialogDriver::Accept(setup);
    });
    const qint64 calibrationStart = clock.elapsed();
    ASSERT_TRUE(module->Configure(true));
    const qint64 calibrationEnd = clock.elapsed();
    const std::vector<double> scalesAfter = scales();
    ASSERT_NE(scalesAfter[0], scalesBefore[0]);
    // More than half a second of the new definition read by the watcher.
    const unsigned generationAfter = WriterGeneration();
    ASSERT_NE(generationAfter, generationBefore);
    ASSERT_TRUE(WaitUntil([&] { return ReaderPosition(watcher.processId(), generationAfter) >= rate * 6 / 10; }));
    tick.stop();
    watcher.terminate();
    ASSERT_TRUE(watcher.waitForFinished(10000));

    // Each of the three channels settles for a second.
    EXPECT_GE(calibrationEnd - calibrationStart, 3000);
    // The tick went on while the calibration dialog ran: no pause as long
    // as the second that each channel waits (a loaded machine may still hold
    // the process back for a while). The setup dialog before it is driven
    // by the test without a loop of its own, so its time does not count.
    qint64 longestPause = 0;
    int ticksDuring = 0;
    qint64 firstDuring = -1, lastDuring = -1;
    for (size_t i = 0; i < tickTimes.size(); ++i) {
        if (!tickCalibrating[i])
            continue;
        ++ticksDuring;
        if (firstDuring < 0)
            firstDuring = tickTimes[i];
        lastDuring = tickTimes[i];
        if (i > 0 && tickCalibrating[i - 1])
            longestPause = std::max(longestPause, tickTimes[i] - tickTimes[i - 1]);
    }
    EXPECT_GE(lastDuring - firstDuring, 2 * 1000) << "ticks through most of the three settle times";
    EXPECT_GT(ticksDuring, (lastDuring - firstDuring) / 10 / 3);
    EXPECT_LT(longestPause, 1000);

    // The watcher's view: always a live writer, no sample lost.
    const QString summary = QString::fromLatin1(watcher.readAllStandardOutput());
    long long polls = -1, gone = -1, defining = -1, sections = -1, frames = -1, lost = -1;
    ASSERT_EQ(std::sscanf(summary.section('\n', 1, 1).toLatin1().constData(),
                          "polls %lld gone %lld defining %lld sections %lld frames %lld lost %lld", &polls, &gone,
                          &defining, &sections, &frames, &lost),
              6)
        << summary.toStdString();
    // The new definition is written before the calibration and is complete
    // while it runs: a reader may catch it unfinished (polls of 5 ms), but
    // not for the seconds the calibration takes.
    EXPECT_LT(defining * 5, (calibrationEnd - calibrationStart) / 4) << summary.toStdString();
    EXPECT_EQ(gone, 0);
    EXPECT_EQ(lost, 0);

    // Before: the samples up to the stop; after: the new definition, from
    // the restart on, every frame the next sample of every channel.
    const std::vector<Section> parts = ReadSections(output);
    ASSERT_EQ(parts.size(), 2u) << "one definition before the calibration, one after";
    ASSERT_EQ(parts[0].channels, kChannels);
    ASSERT_EQ(parts[1].channels, kChannels);
    EXPECT_GE(parts[0].Frames(), rate * 4 / 10);
    EXPECT_GE(parts[1].Frames(), rate * 5 / 10);
    std::string fault;
    EXPECT_GE(ContiguousFrom(parts[0], sim, scalesBefore, 30 * rate, &fault), 0) << fault;
    EXPECT_EQ(ContiguousFrom(parts[1], sim, scalesAfter, 30 * rate, &fault), 0) << fault;
    EXPECT_TRUE(boxes.Boxes().empty());
    ZQ_ReleaseWriter();
}

} // namespace
