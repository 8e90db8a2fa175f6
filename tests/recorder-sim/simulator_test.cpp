#include "acquisition/recorderapi.h"
#include "platform/messagebox.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace {

class SimulatorTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_env.SetEnv("KRV_RECORDER_LIB", TestEnvironment::BinDir() + "/libVelmor4API.so");
        m_env.SetEnv("VELMOR_SIM_CALIBRATION_MS", "40");
        ASSERT_EQ(LoadRecorderApi("Velmor4API.dll", m_api), 0);
    }
    int Init(const char* model)
    {
        m_env.SetEnv("VELMOR_SIM_MODULE", model);
        return m_api.VelInit();
    }

    TestEnvironment m_env;
    MessageBoxRecorder m_boxes;
    RecorderApi m_api;
};

TEST_F(SimulatorTest, ModelsByTypeAndOptions)
{
    EXPECT_EQ(Init(""), 0);
    EXPECT_EQ(Init("Halvek"), 1);
    EXPECT_EQ(m_api.VelGetModuleType(0), 4);
    EXPECT_EQ(m_api.VelGetChannelOptions(0, 0) & (1 << 29), 0);
    Init("HalvekDC");
    EXPECT_EQ(m_api.VelGetModuleType(0), 4);
    EXPECT_NE(m_api.VelGetChannelOptions(0, 0) & (1 << 29), 0);
    Init("Morsil");
    EXPECT_EQ(m_api.VelGetModuleType(0), 1);
    EXPECT_EQ(m_api.VelGetChannelOptions(0, 0) & (1 << 30), 0);
    EXPECT_EQ(m_api.VelGetChannelActive(0, 5), 1);
    EXPECT_EQ(m_api.VelSetChannelActive(0, 6, 1), -1); // six channels only
}

TEST_F(SimulatorTest, SettingsReadBack)
{
    Init("Pendra");
    m_api.VelSetChannelActive(0, 2, 0);
    m_api.VelSetInpRange(0, 2, 0.05);
    m_api.VelSetIEPE(0, 2, 1);
    m_api.VelSetHPFilter(0, 2, 2);
    m_api.VelSetLPFilter(0, 2, 3);
    m_api.VelSetPolPower(0, 2, 1);
    m_api.VelSetPreampPower(0, 2, 1);
    m_api.VelSetRPM(0, 2, 1, 30, 250);
    m_api.VelSetSampleRate(20000);
    m_api.VelSetDataWidth(0, 32);
    EXPECT_EQ(m_api.VelGetChannelActive(0, 2), 0);
    EXPECT_DOUBLE_EQ(m_api.VelGetInpRange(0, 2), 0.05);
    EXPECT_EQ(m_api.VelGetIEPE(0, 2), 1);
    EXPECT_EQ(m_api.VelGetHPFilter(0, 2), 2);
    EXPECT_EQ(m_api.VelGetLPFilter(0, 2), 3);
    EXPECT_EQ(m_api.VelGetPolPower(0, 2), 1);
    EXPECT_EQ(m_api.VelGetPreampPower(0, 2), 1);
    int mode = 0, percent = 0, usec = 0;
    m_api.VelGetRPM(0, 2, &mode, &percent, &usec);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(percent, 30);
    EXPECT_EQ(usec, 250);
    EXPECT_EQ(m_api.VelGetSampleRate(), 20000);
    EXPECT_EQ(m_api.VelGetDataWidth(0), 32);
    // Other channels keep their defaults.
    EXPECT_DOUBLE_EQ(m_api.VelGetInpRange(0, 3), 10.0);
    EXPECT_EQ(m_api.VelGetIEPE(0, 3), 0);
}

TEST_F(SimulatorTest, SampleCountFollowsRealTime)
{
    Init("Halvek");
    m_api.VelSetSampleRate(10000);
    int64_t count = -1;
    m_api.VelGetBufferState64(&count);
    EXPECT_EQ(count, 0); // not sampling
    // The clock starts before the sampling and the pause follows it: the
    // count lies between the two however the threads are scheduled.
    const auto start = std::chrono::steady_clock::now();
    m_api.VelStartSampling();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    m_api.VelGetBufferState64(&count);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(count, 900);
    EXPECT_LE(count, int64_t(elapsed * 10000) + 10);
    m_api.VelStopSampling();
}

TEST_F(SimulatorTest, ChannelsCarryDistinctSinesWithinRange)
{
    Init("Halvek");
    const int rate = 10000;
    m_api.VelSetSampleRate(rate);
    const int n = 2000;
    std::vector<int32_t> a(n), b(n);
    // Samples from 2^32 - 100 on: the start is handed over in two halves.
    const uint64_t first = (uint64_t(1) << 32) - 100;
    m_api.VelStoreSamples64(uint32_t(first), uint32_t(first >> 32), n);
    m_api.VelGetChannel(0, 0, a.data());
    m_api.VelGetChannel(0, 4, b.data());
    double peakA = 0, peakB = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double((first + i) % rate) / rate;
        EXPECT_NEAR(a[i], 0.9 * 2147483647.0 * std::sin(2 * M_PI * 50 * t), 2.0);
        peakA = std::max(peakA, std::abs(double(a[i])));
        peakB = std::max(peakB, std::abs(double(b[i])));
    }
    EXPECT_GT(peakA, peakB);
    EXPECT_LT(peakA, 2147483647.0);

    // Channel 3 carries its sine plus noise of at most 5 % of full scale.
    std::vector<int32_t> c(n);
    m_api.VelGetChannel(0, 3, c.data());
    double deviation = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double((first + i) % rate) / rate;
        const double d = c[i] - 0.81 * 2147483647.0 * std::sin(2 * M_PI * 125 * t);
        EXPECT_LE(std::abs(d), 0.05 * 2147483648.0);
        deviation += d * d;
    }
    // Uniform noise: rms = 5 % / sqrt(3) of full scale.
    EXPECT_NEAR(std::sqrt(deviation / n) / 2147483648.0, 0.05 / std::sqrt(3.0), 0.003);
}

TEST_F(SimulatorTest, TachoLineOnPulseInput)
{
    Init("Halvek");
    const int rate = 10000;
    m_api.VelSetSampleRate(rate);
    m_api.VelSetRPM(0, 23, 1, 50, 100);
    const int n = 4000;
    std::vector<int32_t> words(n);
    m_api.VelStoreSamples64(0, 0, n);
    m_api.VelGetChannel(0, 23, words.data());
    // Rising edges of the line, most significant bit first.
    std::vector<int64_t> edges;
    int previous = 0;
    for (int i = 0; i < n; ++i) {
        for (int bit = 31; bit >= 0; --bit) {
            const int level = (uint32_t(words[i]) >> bit) & 1u;
            if (level && !previous)
                edges.push_back(int64_t(i) * 32 + (31 - bit));
            previous = level;
        }
    }
    ASSERT_GE(edges.size(), 3u);
    const int64_t period = edges[1] - edges[0];
    EXPECT_EQ(period, std::llround(32.0 * rate * 60.0 / 1980.0)); // 1980 rpm on channel 23
    EXPECT_EQ(edges[2] - edges[1], period);
}

TEST_F(SimulatorTest, CalibrationStaysActiveForAWhile)
{
    m_env.SetEnv("VELMOR_SIM_CALIBRATION_MS", "1000");
    Init("Halvek");
    EXPECT_EQ(m_api.VelCalibrationActive(0, 3, 0), 0);
    const auto start = std::chrono::steady_clock::now();
    m_api.VelCalibrate(0, 3, 0);
    EXPECT_EQ(m_api.VelCalibrationActive(0, 3, 0), 1);
    EXPECT_EQ(m_api.VelCalibrationActive(0, 4, 0), 0);
    ASSERT_TRUE(WaitUntil([this] { return m_api.VelCalibrationActive(0, 3, 0) == 0; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

} // namespace
