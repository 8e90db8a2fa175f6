// The simulated wave input's WAV file: streamed sample for sample across the
// loop, and every file it cannot play refused at open with its reason,
// without blocking on a FIFO or reading a device without end.
#include "platform/waveevent.h"
#include "platform/wavein.h"
#include "platform/wavfile.h"
#include "support/fifowatchdog.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

void Put16(std::string& bytes, uint16_t v) { bytes.append({char(v & 0xFF), char(v >> 8)}); }
void Put32(std::string& bytes, uint32_t v)
{
    Put16(bytes, uint16_t(v));
    Put16(bytes, uint16_t(v >> 16));
}

// The bytes of a 16-bit PCM file of the given samples (interleaved), with a
// "LIST" chunk of odd size before the data to be skipped with its pad byte.
std::string WavBytes(int channels, const std::vector<int16_t>& samples)
{
    std::string fmt, bytes;
    Put16(fmt, 1);
    Put16(fmt, uint16_t(channels));
    Put32(fmt, 48000);
    Put32(fmt, uint32_t(48000 * 2 * channels));
    Put16(fmt, uint16_t(2 * channels));
    Put16(fmt, 16);
    const std::string list = "INFOx";
    const uint32_t dataBytes = uint32_t(2 * samples.size());
    bytes = "RIFF";
    Put32(bytes, uint32_t(4 + 8 + fmt.size() + 8 + list.size() + 1 + 8 + dataBytes));
    bytes += "WAVEfmt ";
    Put32(bytes, uint32_t(fmt.size()));
    bytes += fmt + "LIST";
    Put32(bytes, uint32_t(list.size()));
    bytes += list + '\0' + "data";
    Put32(bytes, dataBytes);
    for (int16_t s : samples)
        Put16(bytes, uint16_t(s));
    return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

WAVEFORMATEX StereoFormat()
{
    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 176400;
    return format;
}

struct OpenResult {
    MMRESULT result;
    std::string reason;
};

// Opens the simulated device on KRV_WAVEIN=wav:path and closes it again.
OpenResult OpenWav(TestEnvironment& env, const std::string& path)
{
    env.SetEnv("KRV_WAVEIN", "wav:" + path);
    WaveEvent event;
    WAVEFORMATEX format = StereoFormat();
    HWAVEIN device = nullptr;
    const MMRESULT result = waveInOpen(&device, 0, &format, &event, 0, CALLBACK_EVENT);
    OpenResult open{result, waveInOpenFailureReason()};
    if (device)
        waveInClose(device);
    return open;
}

constexpr int kThrew = 99;

// Runs body in a child process and returns its exit code (kThrew for an
// exception, such as running out of memory); -1 when it was
// killed by a signal or still ran after the deadline. The child's address
// space is bounded (outside the sanitizers, which reserve their own), so a
// body that reads without end fails fast instead of taking the machine's
// memory.
int ExitCodeInChild(const std::function<int()>& body, std::chrono::seconds deadline)
{
    const pid_t child = fork();
    if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // 512 MB beyond what the process maps already.
        unsigned long pages = 0;
        if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%lu", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        const rlim_t bytes = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(512) << 20);
        const rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_AS, &limit);
#endif
        // Nothing may leave the child but _exit: the test program's own
        // handlers would go on running the other tests in it.
        try {
            _exit(body());
        } catch (...) {
            _exit(kThrew);
        }
    }
    const auto end = std::chrono::steady_clock::now() + deadline;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class WavFileTest : public testing::Test {
protected:
    std::string Path(const std::string& name) const { return env.Root() + "/" + name; }
    TestEnvironment env;
};

// Distinct values for every sample of a file of frames frames.
std::vector<int16_t> Ramp(int channels, int frames)
{
    std::vector<int16_t> samples;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            samples.push_back(int16_t(c == 0 ? 3 * f + 1 : -5 * f - 2));
    return samples;
}

TEST_F(WavFileTest, SamplesArriveExactlyAcrossTheLoopInPiecesOfAnySize)
{
    // 3001 frames: neither a multiple of the read buffer nor of the pieces.
    constexpr int kFrames = 3001;
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const std::vector<int16_t> samples = Ramp(channels, kFrames);
        const std::string path = Path("ramp.wav");
        WriteFile(path, WavBytes(channels, samples));
        WavFile file;
        std::string error;
        ASSERT_EQ(file.Open(path, &error), WavFile::OpenResult::Opened) << error;
        EXPECT_EQ(file.Format().Frames(), uint64_t(kFrames));
        EXPECT_EQ(file.Format().rate, 48000u);

        int64_t frame = 0;
        std::vector<int16_t> piece(2 * 2600 + 2);
        for (int size : {1, 511, 2600, 1024, 2, 2600, 7, 2600}) {
            std::fill(piece.begin(), piece.end(), int16_t(0x5A5A));
            file.ReadStereo(piece.data(), size);
            for (int i = 0; i < size; ++i, ++frame) {
                const size_t source = size_t(frame % kFrames) * size_t(channels);
                ASSERT_EQ(piece[2 * size_t(i)], samples[source]) << frame;
                ASSERT_EQ(piece[2 * size_t(i) + 1], samples[source + (channels == 2 ? 1 : 0)]) << frame;
            }
            EXPECT_EQ(piece[2 * size_t(size)], 0x5A5A) << "written past the frames asked for";
        }
        EXPECT_GT(frame, 3 * kFrames);
    }
}

TEST_F(WavFileTest, DeviceDeliversTheFileFrameForFrame)
{
    constexpr int kFrames = 3001;
    const std::vector<int16_t> samples = Ramp(2, kFrames);
    const std::string path = Path("stereo.wav");
    WriteFile(path, WavBytes(2, samples));
    env.SetEnv("KRV_WAVEIN", "wav:" + path);

    WaveEvent event;
    WAVEFORMATEX format = StereoFormat();
    HWAVEIN device = nullptr;
    ASSERT_EQ(waveInOpen(&device, 0, &format, &event, 0, CALLBACK_EVENT), MMSYSERR_NOERROR);
    std::vector<int16_t> data(8192);
    WAVEHDR header;
    header.lpData = reinterpret_cast<char*>(data.data());
    header.dwBufferLength = uint32_t(2 * data.size());
    ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(header.dwFlags.load() & WHDR_DONE) && std::chrono::steady_clock::now() < deadline)
        event.WaitFor(50);
    ASSERT_TRUE(header.dwFlags.load() & WHDR_DONE);
    waveInReset(device);
    waveInClose(device);
    for (size_t i = 0; i < data.size(); ++i)
        ASSERT_EQ(data[i], samples[i % samples.size()]) << "value " << i;
}

TEST_F(WavFileTest, FilesThatCannotBePlayedAreRefusedWithTheirReason)
{
    const std::string good = WavBytes(2, Ramp(2, 100));
    auto patched = [&good](size_t at, const std::string& bytes) {
        std::string copy = good;
        copy.replace(at, bytes.size(), bytes);
        return copy;
    };
    std::string hugeData;
    Put32(hugeData, 0x7FFFFFF0);
    std::string shortData;
    Put32(shortData, 1);
    std::string bits24;
    Put16(bits24, 24);
    const size_t dataSizeAt = good.size() - 400 - 4;
    struct Case {
        const char* name;
        std::string bytes;
        MMRESULT result;
        std::string reason; // after the path and a blank
    } cases[] = {
        {"empty.wav", "", WAVERR_BADFORMAT, "is too short for a RIFF/WAVE header"},
        {"cut-header.wav", good.substr(0, 30), WAVERR_BADFORMAT, "ends inside its fmt chunk"},
        {"cut-before-data.wav", good.substr(0, 36), WAVERR_BADFORMAT, "has no data chunk"},
        {"text.wav", "just some text, no sound at all", WAVERR_BADFORMAT, "is no RIFF/WAVE file"},
        {"claims-more.wav", patched(dataSizeAt, hugeData), WAVERR_BADFORMAT,
         "has a data chunk of 2147483632 bytes, but only 400 bytes follow its header"},
        {"no-frame.wav", patched(dataSizeAt, shortData).substr(0, dataSizeAt + 5), WAVERR_BADFORMAT,
         "holds no samples"},
        {"24-bit.wav", patched(34, bits24), WAVERR_BADFORMAT,
         "holds 2 channel(s) of 24 bits in format 1; only 16-bit PCM mono or stereo is supported"},
        {"data-first.wav", patched(12, "data"), WAVERR_BADFORMAT, "has no fmt chunk before its data chunk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Path(c.name);
        WriteFile(path, c.bytes);
        const OpenResult open = OpenWav(env, path);
        EXPECT_EQ(open.result, c.result);
        EXPECT_EQ(open.reason, path + " " + c.reason);
    }

    const OpenResult missing = OpenWav(env, Path("missing.wav"));
    EXPECT_EQ(missing.result, MMSYSERR_NODRIVER);
    EXPECT_EQ(missing.reason, "cannot open " + Path("missing.wav") + ": " + std::strerror(ENOENT));
    const OpenResult folder = OpenWav(env, env.Root());
    EXPECT_EQ(folder.result, MMSYSERR_NODRIVER);
    EXPECT_EQ(folder.reason, env.Root() + " is a directory, not a regular file");

    WriteFile(Path("good.wav"), good);
    EXPECT_EQ(OpenWav(env, Path("good.wav")).result, MMSYSERR_NOERROR);
    EXPECT_EQ(OpenWav(env, Path("good.wav")).reason, "");
}

// A FIFO would block the open until some program writes into it.
TEST_F(WavFileTest, FifoIsRefusedWithoutBlocking)
{
    FifoWatchdog fifo(Path("fifo.wav"));
    ASSERT_TRUE(fifo.Made());
    const OpenResult open = OpenWav(env, fifo.Path());
    fifo.Finish();
    EXPECT_FALSE(fifo.Tripped()) << "the open blocked on the FIFO";
    EXPECT_EQ(open.result, MMSYSERR_NODRIVER);
    EXPECT_EQ(open.reason, fifo.Path() + " is a FIFO, not a regular file");
}

// /dev/zero never ends: reading it whole would take all memory. Run in a
// child, so that a build that tries fails instead of taking the machine.
TEST_F(WavFileTest, EndlessDeviceIsRefusedAtOnce)
{
    const int code = ExitCodeInChild(
        [this] {
            const OpenResult open = OpenWav(env, "/dev/zero");
            if (open.result != MMSYSERR_NODRIVER)
                return 1;
            return open.reason == "/dev/zero is a character device, not a regular file" ? 0 : 2;
        },
        std::chrono::seconds(20));
    EXPECT_EQ(code, 0) << "99: out of memory; -1: killed, or still reading after the deadline";
}

} // namespace
