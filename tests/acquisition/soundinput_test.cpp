#include "acquisition/soundinput.h"
#include "platform/messagebox.h"
#include "platform/waveinsimulated.h"
#include "support/alsaconfig.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Collects the hand-over as the manager's tick would, checking that the
// frames are the simulated ramp (left n, right -n, 16-bit wrap) without gaps.
struct RampReader {
    int64_t frames = 0;
    int64_t errors = 0;
    int64_t firstFrame = -1;
    int64_t checkedFrames = INT64_MAX; // frames past this are not checked
    // With a reader that may fall behind (a loaded machine), the hand-over
    // drops what does not fit: the ramp then resumes at the start of a later
    // device buffer of gapFrames frames, which is counted as a gap, not as
    // an error.
    int gapFrames = 0;
    int64_t gaps = 0;
    int64_t skippedFrames = 0;

    void Take(CSoundInput& input)
    {
        std::span<const int16_t> values = input.TakeHandover();
        EXPECT_EQ(values.size() % 2, 0u);
        for (size_t i = 0; i + 1 < values.size(); i += 2) {
            if (firstFrame < 0)
                firstFrame = uint16_t(values[i]);
            int64_t n = firstFrame + skippedFrames + frames;
            if (n < checkedFrames && !IsRampFrame(values, i, n) && IsLaterBufferStart(values, i)) {
                const int64_t skipped = uint16_t(uint16_t(values[i]) - uint16_t(n));
                skippedFrames += skipped;
                n += skipped;
                ++gaps;
            }
            if (n < checkedFrames && !IsRampFrame(values, i, n))
                ++errors;
            ++frames;
        }
    }

private:
    static bool IsRampFrame(std::span<const int16_t> values, size_t i, int64_t n)
    {
        return values[i] == int16_t(uint16_t(n)) && values[i + 1] == int16_t(uint16_t(-n));
    }
    // A frame of the ramp that starts a device buffer (the buffers start at
    // the first frame read, a multiple of gapFrames on from it).
    bool IsLaterBufferStart(std::span<const int16_t> values, size_t i) const
    {
        const int fromFirst = uint16_t(uint16_t(values[i]) - uint16_t(firstFrame));
        return gapFrames > 0 && values[i + 1] == int16_t(-values[i]) && fromFirst % gapFrames == 0;
    }
};

// Counts the values the capture thread offers the hand-over, kept or
// dropped, so that a test can wait until the buffers it let the device fill
// have been through it.
class CountingSoundInput : public CSoundInput {
public:
    // Stops first, so that the capture thread never calls into a half-destroyed object.
    ~CountingSoundInput() override { Stop(); }
    void Append(const int16_t* samples, int count) override
    {
        CSoundInput::Append(samples, count);
        m_offered.fetch_add(count, std::memory_order_acq_rel);
    }
    int64_t Offered() const { return m_offered.load(std::memory_order_acquire); }

private:
    std::atomic<int64_t> m_offered{0};
};

// Lets the "manual" device produce frames more, starting at a buffer
// boundary, and waits until every frame is in a device buffer and every
// buffer they filled has been offered to the hand-over.
void Feed(CountingSoundInput& input, int frames)
{
    const int64_t target = input.Offered() + int64_t(frames / 4096) * 8192;
    WaveInSimulated::Advance(frames);
    ASSERT_TRUE(WaitUntil([&] { return WaveInSimulated::PendingFrames() == 0 && input.Offered() >= target; }));
}

class SoundInputTest : public testing::Test {
protected:
    QStringList ProcessedTexts()
    {
        QCoreApplication::processEvents(); // boxes posted by the capture thread
        QStringList texts;
        for (const QString& text : recorder.Texts())
            texts << text;
        return texts;
    }
    TestEnvironment env;
    MessageBoxRecorder recorder;
};

TEST_F(SoundInputTest, NoDeviceSaysSoAndStartsNothing)
{
    for (const char* backend : {"none", "alsa"}) {
        if (std::string(backend) == "alsa")
            AlsaConfig::Use(env, "empty"); // only "null", which is no capture device
        else
            env.SetEnv("KRV_WAVEIN", backend);
        recorder.Clear();
        CSoundInput input;
        QStringList names;
        EXPECT_EQ(input.EnumerateDevices(names), 0) << backend;
        EXPECT_TRUE(names.isEmpty());
        input.SelectDevice(0);
        EXPECT_EQ(input.Start(), 0);
        EXPECT_EQ(ProcessedTexts(), QStringList{"No Sound Device"}) << backend;
        EXPECT_EQ(input.State(), CSoundInput::Closed);
        EXPECT_EQ(input.TakeHandover().size(), 0u);
        input.Stop(); // nothing open: nothing happens
    }
}

TEST_F(SoundInputTest, BusyAlsaDeviceReportsAllocatedThenCannotOpen)
{
    AlsaConfig::Use(env, "busy");
    CSoundInput input;
    input.SelectDevice(0);
    EXPECT_EQ(input.Start(), 4);
    EXPECT_EQ(ProcessedTexts(),
              (QStringList{" Specified resource is already allocated.", "Cannot Open Sound Input Device!"}));
    // The thread waits in the opening state; destruction still ends it.
    EXPECT_EQ(input.State(), CSoundInput::Opening);
}

// A wave file that cannot be played: the box after the open error's own
// text names the file and what is wrong with it.
TEST_F(SoundInputTest, WaveFileThatCannotBePlayedIsNamedWithItsReason)
{
    const std::string cut = env.Root() + "/cut.wav";
    // The header ends two bytes into the 16 of its fmt chunk.
    const std::string header("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0", 22);
    std::ofstream(cut, std::ios::binary) << header;
    const std::string missing = env.Root() + "/missing.wav";
    struct Case {
        std::string path;
        int result;
        QString openText;
        std::string reason;
    } cases[] = {
        {"/dev/zero", 6, " No device driver is present. ", "/dev/zero is a character device, not a regular file"},
        {missing, 6, " No device driver is present. ", "cannot open " + missing + ": No such file or directory"},
        {cut, 32, " Attempted to open with an unsupported waveform-audio format. ", cut + " ends inside its fmt chunk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        recorder.Clear();
        env.SetEnv("KRV_WAVEIN", "wav:" + c.path);
        CSoundInput input;
        input.SelectDevice(0);
        EXPECT_EQ(input.Start(), c.result);
        EXPECT_EQ(ProcessedTexts(),
                  (QStringList{c.openText, "Cannot Open Sound Input Device!\n" + QString::fromStdString(c.reason)}));
        EXPECT_EQ(input.State(), CSoundInput::Opening);
    }
}

TEST_F(SoundInputTest, UnselectedDeviceIsOutOfRange)
{
    env.SetEnv("KRV_WAVEIN", "ramp");
    CSoundInput unselected; // device -1 until selected
    EXPECT_EQ(unselected.Start(), 2);
    EXPECT_EQ(ProcessedTexts(), (QStringList{"Cannot determine sound card capabilities !",
                                             " Specified device identifier is out of range. ",
                                             "Cannot Open Sound Input Device!"}));
}

TEST_F(SoundInputTest, SimulatedDeviceDeliversFramesInRealTimeWithoutGaps)
{
    env.SetEnv("KRV_WAVEIN", "ramp");
    CSoundInput input;
    QStringList names;
    EXPECT_EQ(input.EnumerateDevices(names), 1);
    EXPECT_EQ(names, QStringList{"Simulated ramp"});
    input.SelectDevice(0);
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(input.Start(), 0);
    EXPECT_EQ(input.State(), CSoundInput::Capturing);
    EXPECT_EQ(input.ProductName(), "Simulated ramp");
    RampReader reader;
    // A second of frames arrives however loaded the machine is, and never
    // sooner than the device's clock allows.
    EXPECT_TRUE(WaitUntil([&] {
        reader.Take(input);
        return reader.frames >= 44100;
    }));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(reader.errors, 0);
    EXPECT_EQ(reader.firstFrame, 0);
    EXPECT_LE(reader.frames, int64_t(44100 * seconds) + 1000);
    // Whole buffers of 4096 frames.
    EXPECT_EQ(reader.frames % 4096, 0);
    input.Stop();
    EXPECT_EQ(input.State(), CSoundInput::Closed);
    reader.Take(input); // what the stop returned
    EXPECT_EQ(reader.errors, 0);
    EXPECT_TRUE(ProcessedTexts().isEmpty());
}

TEST_F(SoundInputTest, FullHandoverDropsFurtherBuffersWhole)
{
    env.SetEnv("KRV_WAVEIN", "manual");
    CountingSoundInput input;
    input.SelectDevice(0);
    ASSERT_EQ(input.Start(), 0);
    Feed(input, 15 * 4096);
    // 12 buffers of 8192 values and 1696 of the 13th fit; 14 and 15 are dropped.
    EXPECT_EQ(input.HandoverCount(), CSoundInput::kHandoverValues);
    RampReader reader;
    reader.Take(input);
    EXPECT_EQ(reader.frames, 50000);
    EXPECT_EQ(reader.errors, 0);
    EXPECT_EQ(input.HandoverCount(), 0);

    Feed(input, 4096);
    std::span<const int16_t> next = input.TakeHandover();
    ASSERT_EQ(next.size(), 8192u);
    EXPECT_EQ(next[0], int16_t(uint16_t(15 * 4096)));
    input.Stop();
}

TEST_F(SoundInputTest, StopHandsOverWhatTheDeviceReturnsOnceEach)
{
    env.SetEnv("KRV_WAVEIN", "manual");
    CountingSoundInput input;
    input.SelectDevice(0);
    ASSERT_EQ(input.Start(), 0);
    Feed(input, 4096 + 1000);
    EXPECT_EQ(input.HandoverCount(), 8192);
    input.Stop(); // returns buffer 1 holding 1000 frames, then the empty buffer 0
    RampReader reader;
    reader.Take(input);
    EXPECT_EQ(reader.frames, 5096);
    EXPECT_EQ(reader.errors, 0);
    EXPECT_EQ(input.State(), CSoundInput::Closed);
    EXPECT_EQ(input.TakeHandover().size(), 0u);

    // A new start after the stop captures again from a fresh device.
    ASSERT_EQ(input.Start(), 0);
    Feed(input, 4096);
    EXPECT_EQ(input.TakeHandover().size(), 8192u);
}

// Stop returns once the capture thread has handed over what the device
// returned: right after it the hand-over holds every frame captured, also
// in quick start and stop cycles.
TEST_F(SoundInputTest, EveryStopHandsOverTheFramesTheDeviceHeld)
{
    env.SetEnv("KRV_WAVEIN", "manual");
    CountingSoundInput input;
    input.SelectDevice(0);
    std::mt19937 random(9);
    for (int cycle = 0; cycle < 20; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_EQ(input.Start(), 0);
        // One whole buffer, handed over while capturing, and part of the next.
        const int frames = 4096 + 1 + int(random() % 4095);
        Feed(input, frames);
        input.Stop();
        EXPECT_EQ(input.State(), CSoundInput::Closed);
        RampReader reader;
        reader.Take(input);
        EXPECT_EQ(reader.frames, frames);
        EXPECT_EQ(reader.errors, 0);
    }
}

TEST_F(SoundInputTest, TwoInstancesKeepTheirOwnWakeUps)
{
    env.SetEnv("KRV_WAVEIN", "ramp");
    CSoundInput first, second;
    first.SelectDevice(0);
    second.SelectDevice(0);
    ASSERT_EQ(first.Start(), 0);
    ASSERT_EQ(second.Start(), 0);
    RampReader a, b;
    a.gapFrames = b.gapFrames = first.BufferValues() / 2;
    // Were one to take the other's wake-ups, it would stall on a full buffer.
    EXPECT_TRUE(WaitUntil([&] {
        a.Take(first);
        b.Take(second);
        return a.frames >= 44100 && b.frames >= 44100;
    }));
    EXPECT_EQ(a.errors + b.errors, 0);
}

TEST_F(SoundInputTest, StartAfterAFailedStartReusesTheWaitingThread)
{
    env.SetEnv("KRV_WAVEIN", "busy");
    CountingSoundInput input;
    input.SelectDevice(0);
    EXPECT_EQ(input.Start(), 4);
    env.SetEnv("KRV_WAVEIN", "manual");
    ASSERT_EQ(input.Start(), 0);
    Feed(input, 4096);
    RampReader reader;
    reader.Take(input);
    EXPECT_EQ(reader.frames, 4096);
    EXPECT_EQ(reader.errors, 0);
}

TEST_F(SoundInputTest, AlsaCaptureThroughTheFilePlugin)
{
    const std::string raw = env.Root() + "/in.raw";
    {
        std::ofstream out(raw, std::ios::binary);
        for (int n = 0; n < 3 * 4096; ++n) {
            int16_t frame[2] = {int16_t(n), int16_t(-n)};
            out.write(reinterpret_cast<const char*>(frame), 4);
        }
    }
    AlsaConfig::Use(env, "file", raw);
    CSoundInput input;
    QStringList names;
    EXPECT_EQ(input.EnumerateDevices(names), 2);
    EXPECT_EQ(names, (QStringList{"Test file input", "Second input"}));
    input.SelectDevice(0);
    ASSERT_EQ(input.Start(), 0);
    RampReader reader;
    reader.checkedFrames = 3 * 4096; // the file plugin gives silence after the file's end
    EXPECT_TRUE(WaitUntil([&] {
        reader.Take(input);
        return reader.frames >= 2 * 4096;
    }));
    EXPECT_EQ(reader.firstFrame, 0);
    EXPECT_EQ(reader.errors, 0) << "frames read " << reader.frames;
    input.Stop();
}

// Two threads: the capture side appends a counting sequence in device-sized
// pieces, the UI side takes the hand-over as on the tick. Nothing is lost,
// repeated or torn (run this under ThreadSanitizer too).
TEST(SoundInputHandover, AppendAndTakeFromTwoThreads)
{
    CSoundInput input;
    constexpr int64_t kTotal = 4'000'000;
    std::atomic<bool> done{false};
    std::thread capture([&] {
        std::vector<int16_t> chunk(8192);
        int64_t next = 0;
        while (next < kTotal) {
            if (input.HandoverCount() > CSoundInput::kHandoverValues - 8192) {
                std::this_thread::yield();
                continue;
            }
            const int count = int(std::min<int64_t>(1 + next % 8191, kTotal - next));
            for (int i = 0; i < count; ++i)
                chunk[size_t(i)] = int16_t(uint16_t(next + i));
            input.Append(chunk.data(), count);
            next += count;
        }
        done.store(true, std::memory_order_release);
    });
    int64_t received = 0, errors = 0;
    for (;;) {
        const bool finished = done.load(std::memory_order_acquire);
        for (int16_t v : input.TakeHandover()) {
            if (v != int16_t(uint16_t(received)))
                ++errors;
            ++received;
        }
        if (finished)
            break;
    }
    capture.join();
    for (int16_t v : input.TakeHandover()) {
        if (v != int16_t(uint16_t(received)))
            ++errors;
        ++received;
    }
    EXPECT_EQ(received, kTotal);
    EXPECT_EQ(errors, 0);
}
} // namespace
