#include "support/alsaconfig.h"
#include "platform/waveevent.h"
#include "platform/wavein.h"
#include "platform/waveinalsa.h"
#include "platform/waveinsimulated.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {
constexpr unsigned kBufferBytes = 16384; // 4096 stereo frames

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

std::string CapsName(unsigned id)
{
    WAVEINCAPSA caps;
    if (waveInGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR)
        return "<error>";
    return caps.szPname;
}

// Two prepared and queued buffers on an open device.
struct Capture {
    WaveEvent event;
    HWAVEIN device = nullptr;
    std::vector<char> data[2] = {std::vector<char>(kBufferBytes), std::vector<char>(kBufferBytes)};
    WAVEHDR headers[2];

    MMRESULT Open(unsigned id = 0)
    {
        WAVEFORMATEX format = StereoFormat();
        return waveInOpen(&device, id, &format, &event, 0, CALLBACK_EVENT);
    }
    void Queue(int i)
    {
        headers[i].lpData = data[i].data();
        headers[i].dwBufferLength = kBufferBytes;
        headers[i].dwFlags = 0;
        ASSERT_EQ(waveInPrepareHeader(device, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(headers[i].dwFlags.load(), WHDR_PREPARED);
        ASSERT_EQ(waveInAddBuffer(device, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    bool WaitDone(int i, int timeoutMs = 3000)
    {
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            if (headers[i].dwFlags.load() & WHDR_DONE)
                return true;
            event.WaitFor(50);
        }
        return headers[i].dwFlags.load() & WHDR_DONE;
    }
    int16_t Value(int i, size_t index) const
    {
        int16_t v;
        std::memcpy(&v, data[i].data() + 2 * index, 2);
        return v;
    }
    ~Capture()
    {
        if (device) {
            waveInReset(device);
            waveInClose(device);
        }
    }
};

class WaveInTest : public testing::Test {
protected:
    TestEnvironment env;
};

TEST_F(WaveInTest, AlsaListsCapturePcmsWithDefaultFirst)
{
    AlsaConfig::Use(env, "file", "/dev/null");
    ASSERT_EQ(waveInGetNumDevs(), 2u);
    EXPECT_EQ(CapsName(0), "Test file input");
    EXPECT_EQ(CapsName(1), "Second input");
    WAVEINCAPSA caps;
    EXPECT_EQ(waveInGetDevCapsA(2, &caps, sizeof caps), MMSYSERR_BADDEVICEID);

    AlsaConfig::Use(env, "empty");
    EXPECT_EQ(waveInGetNumDevs(), 0u) << "\"null\" is no capture device";
}

TEST_F(WaveInTest, AlsaCapturesTheFilePluginsInput)
{
    // 10000 frames: left = n, right = -n.
    const std::string raw = env.Root() + "/in.raw";
    {
        std::ofstream out(raw, std::ios::binary);
        for (int16_t n = 0; n < 10000; ++n) {
            int16_t frame[2] = {n, int16_t(-n)};
            out.write(reinterpret_cast<const char*>(frame), 4);
        }
    }
    AlsaConfig::Use(env, "file", raw);
    Capture capture;
    ASSERT_EQ(capture.Open(), MMSYSERR_NOERROR);
    capture.Queue(0);
    capture.Queue(1);
    ASSERT_EQ(waveInStart(capture.device), MMSYSERR_NOERROR);
    ASSERT_TRUE(capture.WaitDone(0));
    ASSERT_TRUE(capture.WaitDone(1));
    for (int b = 0; b < 2; ++b) {
        EXPECT_EQ(capture.headers[b].dwBytesRecorded, kBufferBytes);
        for (size_t f = 0; f < 4096; f += 111) {
            const int n = b * 4096 + int(f);
            EXPECT_EQ(capture.Value(b, 2 * f), n) << b << "/" << f;
            EXPECT_EQ(capture.Value(b, 2 * f + 1), -n);
        }
    }
    EXPECT_EQ(waveInStop(capture.device), MMSYSERR_NOERROR);
}

TEST_F(WaveInTest, AlsaNullCaptureRunsInRealTime)
{
    AlsaConfig::Use(env, "null");
    Capture capture;
    ASSERT_EQ(capture.Open(), MMSYSERR_NOERROR);
    capture.Queue(0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(waveInStart(capture.device), MMSYSERR_NOERROR);
    ASSERT_TRUE(capture.WaitDone(0));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 0.08) << "4096 frames take 93 ms";
    EXPECT_EQ(capture.Value(0, 100), 0);
}

TEST_F(WaveInTest, AlsaBusyDeviceIsAlreadyAllocated)
{
    AlsaConfig::Use(env, "busy");
    ASSERT_EQ(waveInGetNumDevs(), 1u);
    Capture capture;
    EXPECT_EQ(capture.Open(), MMSYSERR_ALLOCATED);
    EXPECT_EQ(capture.device, nullptr);
}

TEST(WaveInAlsaMapping, AlsaErrorsBecomeWaveInputResults)
{
    EXPECT_EQ(WaveInAlsa::MapError(0), MMSYSERR_NOERROR);
    EXPECT_EQ(WaveInAlsa::MapError(-EBUSY), MMSYSERR_ALLOCATED);
    EXPECT_EQ(WaveInAlsa::MapError(-EAGAIN), MMSYSERR_ALLOCATED);
    EXPECT_EQ(WaveInAlsa::MapError(-ENOENT), MMSYSERR_NODRIVER);
    EXPECT_EQ(WaveInAlsa::MapError(-ENODEV), MMSYSERR_NODRIVER);
    EXPECT_EQ(WaveInAlsa::MapError(-ENOMEM), MMSYSERR_NOMEM);
    EXPECT_EQ(WaveInAlsa::MapError(-EINVAL), WAVERR_BADFORMAT);
    EXPECT_EQ(WaveInAlsa::MapError(-EIO), MMSYSERR_ERROR);
}

TEST_F(WaveInTest, HeadersFollowThePrepareQueueDoneCycle)
{
    env.SetEnv("KRV_WAVEIN", "manual");
    ASSERT_EQ(waveInGetNumDevs(), 1u);
    Capture capture;
    ASSERT_EQ(capture.Open(), MMSYSERR_NOERROR);

    WAVEHDR unprepared;
    unprepared.lpData = capture.data[0].data();
    unprepared.dwBufferLength = kBufferBytes;
    EXPECT_EQ(waveInAddBuffer(capture.device, &unprepared, sizeof(WAVEHDR)), WAVERR_UNPREPARED);

    capture.Queue(0);
    capture.Queue(1);
    EXPECT_EQ(capture.headers[0].dwFlags.load(), WHDR_PREPARED | WHDR_INQUEUE);
    EXPECT_EQ(waveInUnprepareHeader(capture.device, &capture.headers[0], sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInAddBuffer(capture.device, &capture.headers[0], sizeof(WAVEHDR)), WAVERR_STILLPLAYING);

    ASSERT_EQ(waveInStart(capture.device), MMSYSERR_NOERROR);
    WaveInSimulated::Advance(4096 + 100);
    ASSERT_TRUE(capture.WaitDone(0));
    EXPECT_EQ(capture.headers[0].dwFlags.load(), WHDR_PREPARED | WHDR_DONE);
    EXPECT_EQ(capture.headers[0].dwBytesRecorded, kBufferBytes);
    EXPECT_EQ(capture.Value(0, 2 * 4095), 4095);
    EXPECT_EQ(capture.Value(0, 2 * 4095 + 1), -4095);

    // Let the device take the 100 frames into buffer 1, then stop: the
    // buffer being filled comes back done with what it holds.
    ASSERT_TRUE(WaitUntil([] { return WaveInSimulated::PendingFrames() == 0; }));
    EXPECT_FALSE(capture.headers[1].dwFlags.load() & WHDR_DONE);
    ASSERT_EQ(waveInStop(capture.device), MMSYSERR_NOERROR);
    EXPECT_EQ(capture.headers[1].dwFlags.load(), WHDR_PREPARED | WHDR_DONE);
    EXPECT_EQ(capture.headers[1].dwBytesRecorded, 400u);
    EXPECT_EQ(capture.Value(1, 0), 4096);

    // Reset returns queued buffers done, even empty ones.
    capture.headers[0].dwFlags = 0;
    ASSERT_EQ(waveInPrepareHeader(capture.device, &capture.headers[0], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(capture.device, &capture.headers[0], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInReset(capture.device), MMSYSERR_NOERROR);
    EXPECT_EQ(capture.headers[0].dwFlags.load(), WHDR_PREPARED | WHDR_DONE);
    EXPECT_EQ(capture.headers[0].dwBytesRecorded, 0u);
    EXPECT_EQ(waveInUnprepareHeader(capture.device, &capture.headers[0], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(capture.headers[0].dwFlags.load(), WHDR_DONE);
}

TEST_F(WaveInTest, OpenChecksItsArguments)
{
    env.SetEnv("KRV_WAVEIN", "sine");
    WaveEvent event;
    HWAVEIN device = nullptr;
    WAVEFORMATEX format = StereoFormat();
    EXPECT_EQ(waveInOpen(&device, 0, &format, nullptr, 0, CALLBACK_EVENT), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveInOpen(&device, 1, &format, &event, 0, CALLBACK_EVENT), MMSYSERR_BADDEVICEID);
    WAVEFORMATEX mono = format;
    mono.nChannels = 1;
    mono.nBlockAlign = 2;
    mono.nAvgBytesPerSec = 88200;
    EXPECT_EQ(waveInOpen(&device, 0, &mono, &event, 0, CALLBACK_EVENT), WAVERR_BADFORMAT);
    WAVEFORMATEX inconsistent = format;
    inconsistent.nBlockAlign = 3;
    EXPECT_EQ(waveInOpen(&device, 0, &inconsistent, &event, 0, CALLBACK_EVENT), WAVERR_BADFORMAT);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(waveInStart(nullptr), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInClose(nullptr), MMSYSERR_INVALHANDLE);

    for (const char* none : {"none", "bogus"}) {
        env.SetEnv("KRV_WAVEIN", none);
        EXPECT_EQ(waveInGetNumDevs(), 0u) << none;
    }
    env.SetEnv("KRV_WAVEIN", "busy");
    EXPECT_EQ(waveInGetNumDevs(), 1u);
    EXPECT_EQ(waveInOpen(&device, 0, &format, &event, 0, CALLBACK_EVENT), MMSYSERR_ALLOCATED);
}

TEST_F(WaveInTest, SimulatedSineAndNoiseHaveTheAskedLevels)
{
    env.SetEnv("KRV_WAVEIN", "sine:441:0.25");
    EXPECT_EQ(CapsName(0), "Simulated sine");
    Capture sine;
    ASSERT_EQ(sine.Open(), MMSYSERR_NOERROR);
    sine.Queue(0);
    ASSERT_EQ(waveInStart(sine.device), MMSYSERR_NOERROR);
    ASSERT_TRUE(sine.WaitDone(0));
    const double amplitude = 0.25 * 32767;
    for (size_t n = 0; n < 4096; ++n) {
        const double expected = amplitude * std::sin(2 * M_PI * 441.0 * double(n) / 44100.0);
        ASSERT_NEAR(sine.Value(0, 2 * n), expected, 1.0) << n;
        ASSERT_NEAR(sine.Value(0, 2 * n + 1), expected / 2, 1.0) << n;
    }

    env.SetEnv("KRV_WAVEIN", "noise:0.1");
    Capture noise;
    ASSERT_EQ(noise.Open(), MMSYSERR_NOERROR);
    noise.Queue(0);
    ASSERT_EQ(waveInStart(noise.device), MMSYSERR_NOERROR);
    ASSERT_TRUE(noise.WaitDone(0));
    double sum = 0, squares = 0;
    for (size_t i = 0; i < 8192; ++i) {
        const double v = noise.Value(0, i);
        ASSERT_LE(std::abs(v), 0.1 * 32767 + 1);
        sum += v;
        squares += v * v;
    }
    // Uniform in [-A, A]: mean 0, rms A / sqrt(3).
    EXPECT_NEAR(sum / 8192, 0.0, 100.0);
    EXPECT_NEAR(std::sqrt(squares / 8192), 0.1 * 32767 / std::sqrt(3.0), 100.0);
}

TEST_F(WaveInTest, SimulatedWavFileIsPlayedAndLooped)
{
    // A mono 16-bit file of 3000 samples: 7 * k.
    const std::string path = env.Root() + "/tone.wav";
    {
        std::ofstream out(path, std::ios::binary);
        auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
        auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
        out.write("RIFF", 4);
        u32(36 + 6000);
        out.write("WAVEfmt ", 8);
        u32(16);
        u16(1);
        u16(1);
        u32(22050);
        u32(44100);
        u16(2);
        u16(16);
        out.write("data", 4);
        u32(6000);
        for (int k = 0; k < 3000; ++k)
            u16(uint16_t(7 * k));
    }
    env.SetEnv("KRV_WAVEIN", "wav:" + path);
    Capture capture;
    ASSERT_EQ(capture.Open(), MMSYSERR_NOERROR);
    capture.Queue(0);
    ASSERT_EQ(waveInStart(capture.device), MMSYSERR_NOERROR);
    ASSERT_TRUE(capture.WaitDone(0));
    for (size_t f : {size_t(0), size_t(2999), size_t(3000), size_t(4095)}) {
        EXPECT_EQ(capture.Value(0, 2 * f), int16_t(7 * (f % 3000))) << f;
        EXPECT_EQ(capture.Value(0, 2 * f + 1), int16_t(7 * (f % 3000))) << f;
    }

    env.SetEnv("KRV_WAVEIN", "wav:" + env.Root() + "/missing.wav");
    Capture missing;
    EXPECT_EQ(missing.Open(), MMSYSERR_NODRIVER);
}
} // namespace
