#include "acquisition/hwmanager.h"
#include "acquisition/hwmodule.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "recordingreader.h"
#include "context/appcontext.h"
#include "simcontrol.h"
#include "support/testenvironment.h"
#include "zq.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// volts per raw count of the 10 V range
constexpr double kCount10V = 10.0 / 2147483647.5;

class HwModuleTest : public testing::Test {
protected:
    HwModuleTest()
    {
        ResetContext();
        m_env.SetEnv("VELMOR_SIM_MODULE", "Halvek");
        m_manager.ChooseModule();
        m_module = m_manager.Module();
    }
    ~HwModuleTest() override
    {
        if (m_sim.SetManualClock)
            m_sim.SetManualClock(0);
        ZQ_ReleaseWriter();
    }

    // A recording of the active positions, opened.
    void OpenRecording(int positions)
    {
        CRecordFile& recording = m_manager.RecordFile();
        ASSERT_TRUE(recording.Prepare(positions, 4096));
        for (int k = 0; k < positions; ++k)
            recording.DefineChannel(k, k + 1, QString("p%1").arg(k), "V", m_module->SamplePeriod());
        m_path = QString::fromStdString(m_env.Root() + "/module.vrd");
        ASSERT_TRUE(recording.Open(m_path));
    }
    void StartManualClock()
    {
        ASSERT_TRUE(m_sim.Valid());
        m_sim.SetManualClock(1);
        m_module->Start();
    }
    RecordingReader CloseRecording()
    {
        m_manager.RecordFile().Close();
        return RecordingReader(m_path);
    }

    TestEnvironment m_env;
    MessageBoxRecorder m_boxes;
    DialogRecorder m_dialogs; // accepts every channel setup as shown
    CHwManager m_manager;
    CHwModule* m_module = nullptr;
    SimControl m_sim;
    QString m_path;
};

TEST_F(HwModuleTest, AtMost8192PerPollNoneLostOrRepeated)
{
    ASSERT_NE(m_module, nullptr);
    m_module->SetSampleRate(50000);
    m_module->AddActive(3, kCount10V, 0.0);
    m_module->AddActive(0, 2 * kCount10V, 0.25);
    OpenRecording(2);
    ASSERT_EQ(ZQ_SetNrOfChan(2), ZQ_OK);
    for (int k = 0; k < 2; ++k)
        ZQ_SetChanDef(k, k + 1, "", "p", "V", "+", 1.0 / 50000, -10, 10, -99, 99, 0);
    ZQ_Register(2, nullptr);
    ZQ_ResetBuffer(2, -1);
    StartManualClock();

    m_manager.Poll(); // nothing acquired yet
    EXPECT_EQ(ZQ_CheckChanEx(2, 0), 0);
    EXPECT_EQ(m_module->SamplesTaken(), 0);
    m_sim.Advance(20000);
    m_manager.Poll();
    EXPECT_EQ(m_module->SamplesTaken(), 8192);
    m_manager.Poll();
    EXPECT_EQ(m_module->SamplesTaken(), 16384);
    m_sim.Advance(100);
    m_manager.Poll();
    EXPECT_EQ(m_module->SamplesTaken(), 20100);
    m_manager.Poll();
    EXPECT_EQ(m_module->SamplesTaken(), 20100);

    ASSERT_EQ(ZQ_CheckChanEx(2, 1), 20100);
    std::vector<float> service(20100);
    ZQ_ReadChanEx(2, 1, reinterpret_cast<unsigned char*>(service.data()), 20100, 0);

    const RecordingReader file = CloseRecording();
    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.frames, 20100);
    EXPECT_EQ(service, file.channels[1]);
    for (int64_t n = 0; n < file.frames; ++n) {
        ASSERT_EQ(file.channels[0][n], float(double(m_sim.Sample(3, n)) * kCount10V)) << n;
        ASSERT_EQ(file.channels[1][n], float(double(m_sim.Sample(0, n)) * (2 * kCount10V) + 0.25)) << n;
    }
}

// Every channel of the largest module, polls of many lengths: the
// recording, opened between polls and closed inside a block, holds each
// sample at its frame, across the blocks of 4096 frames.
TEST_F(HwModuleTest, TwentyFourChannelsAcrossBlocksFromOpenToClose)
{
    ASSERT_NE(m_module, nullptr);
    m_module->SetSampleRate(50000);
    for (int k = 0; k < CHwModule::kMaxChannels; ++k)
        m_module->AddActive(CHwModule::kMaxChannels - 1 - k, (1 + k % 3) * kCount10V, 0.125 * k);
    ASSERT_EQ(ZQ_SetNrOfChan(CHwModule::kMaxChannels), ZQ_OK);
    for (int k = 0; k < CHwModule::kMaxChannels; ++k)
        ZQ_SetChanDef(k, k + 1, "", "p", "V", "+", 1.0 / 50000, -10, 10, -99, 99, 0);
    StartManualClock();
    m_sim.Advance(700);
    m_manager.Poll(); // before the recording: not in it
    const int64_t first = m_module->SamplesTaken();
    OpenRecording(CHwModule::kMaxChannels);
    for (int frames : {1, 1023, 1025, 4096, 8192, 2047, 333}) {
        m_sim.Advance(frames);
        m_manager.Poll();
    }
    const RecordingReader file = CloseRecording();
    m_sim.Advance(100);
    m_manager.Poll(); // after the recording: not in it

    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.frames, 16717);
    ASSERT_EQ(file.channels.size(), size_t(CHwModule::kMaxChannels));
    for (int k = 0; k < CHwModule::kMaxChannels; ++k) {
        const int channel = CHwModule::kMaxChannels - 1 - k;
        for (int64_t n = 0; n < file.frames; ++n)
            ASSERT_EQ(file.channels[size_t(k)][size_t(n)],
                      float(double(m_sim.Sample(channel, first + n)) * ((1 + k % 3) * kCount10V) + 0.125 * k))
                << "position " << k << " frame " << n;
    }
}

TEST_F(HwModuleTest, IdleModuleIsNotPolled)
{
    m_module->AddActive(0, kCount10V, 0.0);
    OpenRecording(1);
    ASSERT_TRUE(m_sim.Valid());
    m_sim.SetManualClock(1);
    m_sim.Advance(500); // sampling never started, module not running
    m_manager.Poll();
    EXPECT_FALSE(m_module->IsRunning());
    EXPECT_EQ(CloseRecording().frames, 0);
}

TEST_F(HwModuleTest, PulseDecoderCases)
{
    HwChanSetup& ch = m_module->Channel(23);
    ch.CntAcr = 1;
    m_module->ResetPulseDecoders();
    EXPECT_EQ(m_module->PulsePeriod(23), 65535); // before any period

    // An edge on the very first bit after the reset: a period of 0.
    m_module->DecodePulseWord(23, 0x80000000u);
    EXPECT_EQ(m_module->PulsePeriod(23), 0);

    // One rising edge every 1000 samples = 32000 line samples.
    m_module->ResetPulseDecoders();
    for (int s = 0; s <= 3000; ++s)
        m_module->DecodePulseWord(23, s % 1000 == 0 ? 0x80000000u : 0u);
    EXPECT_EQ(m_module->PulsePeriod(23), 32000);

    // A line staying high across all-ones words is one pulse.
    m_module->ResetPulseDecoders();
    m_module->DecodePulseWord(23, 0x0000FFFFu); // edge at bit 16: period 16
    m_module->DecodePulseWord(23, 0xFFFFFFFFu);
    m_module->DecodePulseWord(23, 0xFFFFFFFFu);
    m_module->DecodePulseWord(23, 0x00000001u); // next edge 16 + 64 + 31 bits later
    EXPECT_EQ(m_module->PulsePeriod(23), 111);

    // CntAcr 2: a period completes at every second edge and spans both pulses.
    ch.CntAcr = 2;
    m_module->ResetPulseDecoders();
    m_module->DecodePulseWord(23, 0x80008000u); // edges at 0 and 16
    EXPECT_EQ(m_module->PulsePeriod(23), 16);
    m_module->DecodePulseWord(23, 0x80008000u); // edges at 32 and 48
    EXPECT_EQ(m_module->PulsePeriod(23), 32);
    m_module->DecodePulseWord(23, 0x80000000u); // edge at 64
    EXPECT_EQ(m_module->PulsePeriod(23), 32);
}

TEST_F(HwModuleTest, PulseDecoderSurvivesCorruptSetupAndStandstill)
{
    HwChanSetup& ch = m_module->Channel(23);
    // Edges per period below 1, as a corrupt settings set may give: each
    // edge completes a period, as with 1.
    for (int edges : {0, -1, INT_MIN}) {
        ch.CntAcr = edges;
        m_module->ResetPulseDecoders();
        for (int s = 0; s <= 2000; ++s)
            m_module->DecodePulseWord(23, s % 1000 == 0 ? 0x80000000u : 0u);
        EXPECT_EQ(m_module->PulsePeriod(23), 32000) << edges;
    }

    // A shaft standing still for longer than an int of line samples (about
    // two hours at 10 kHz): the period is as long as it can be, never negative.
    ch.CntAcr = 1;
    m_module->ResetPulseDecoders();
    m_module->DecodePulseWord(23, 0x80000000u);
    for (int s = 0; s < (1 << 26) + 1000; ++s)
        m_module->DecodePulseWord(23, 0u);
    m_module->DecodePulseWord(23, 0x80000000u);
    EXPECT_GT(m_module->PulsePeriod(23), INT_MAX - 64);
}

TEST_F(HwModuleTest, PulseChannelDeliversRpm)
{
    // The simulator's tacho on channel 23: 1980 rpm, one pulse a
    // revolution, high for the first quarter of each period.
    const int rate = 10000;
    RecorderApi& api = Vel();
    api.VelSetSampleRate(rate);
    api.VelSetRPM(0, 23, 1, 50, 100);
    m_module->SetSampleRate(rate);
    HwChanSetup& ch = m_module->Channel(23);
    ch.Input = 1;
    ch.Teeth = 1;
    ch.CntAcr = 1;
    const double factor = ch.PulseFactor(rate);
    m_module->AddActive(23, factor, 0.0);
    m_module->ResetPulseDecoders();
    OpenRecording(1);
    StartManualClock();
    m_sim.Advance(2 * rate);
    m_manager.Poll();
    m_manager.Poll();
    m_manager.Poll();
    const RecordingReader file = CloseRecording();
    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.frames, 2 * rate);
    const std::vector<float>& rpm = file.channels[0];
    EXPECT_EQ(rpm[0], -1.0f); // the line rises on the first bit: period 0
    const int64_t periodBits = std::llround(32.0 * rate * 60.0 / 1980.0);
    // Until the second edge the first (zero) period holds.
    EXPECT_EQ(rpm[periodBits / 32 - 1], -1.0f);
    EXPECT_NEAR(rpm.back(), 1980.0, 1980.0 * 1e-3);
    EXPECT_FLOAT_EQ(rpm.back(), float(factor / periodBits));
}

TEST_F(HwModuleTest, FirstPulseValueIsScaleOver65535)
{
    HwChanSetup& ch = m_module->Channel(5);
    ch.Input = 1;
    m_module->AddActive(5, 65535.0 * 3.0, 0.0);
    m_module->ResetPulseDecoders();
    OpenRecording(1);
    StartManualClock();
    // Channel 5 is analog in the simulator: its words are sine counts, so
    // sample 0 (sin 0 = 0) is an all-zero word: no edge yet.
    ASSERT_EQ(m_sim.Sample(5, 0), 0);
    m_sim.Advance(1);
    m_manager.Poll();
    const RecordingReader file = CloseRecording();
    ASSERT_EQ(file.frames, 1);
    EXPECT_FLOAT_EQ(file.channels[0][0], 3.0f);
}

} // namespace

namespace {

TEST(HwChanSetup, PhysicalScalingFromText)
{
    HwChanSetup ch;
    EXPECT_DOUBLE_EQ(ch.Gain(), 1.0); // defaults deliver volts
    EXPECT_DOUBLE_EQ(ch.Offset(), 0.0);
    ch.a = "9.81";
    ch.atV = "0.5";
    ch.b = " -2.5e-1 g";
    EXPECT_DOUBLE_EQ(ch.Gain(), 19.62);
    EXPECT_DOUBLE_EQ(ch.Offset(), -0.25);
    ch.atV = "0";
    EXPECT_DOUBLE_EQ(ch.Gain(), 1.0);
    ch.atV = "volts";
    EXPECT_DOUBLE_EQ(ch.Gain(), 1.0);
    ch.atV = "+2";
    ch.a = "abc";
    EXPECT_DOUBLE_EQ(ch.Gain(), 0.0);
    EXPECT_DOUBLE_EQ(HwChanSetup::TextToDouble("1.5k"), 1.5);
}

TEST(HwChanSetup, PulseFactorGivesRpm)
{
    // One rising edge every 1000 samples at 10 kHz with 60 teeth: 10 rpm.
    HwChanSetup ch;
    ch.CntAcr = 1;
    ch.Teeth = 60;
    EXPECT_DOUBLE_EQ(ch.PulseFactor(10000), 320000.0);
    EXPECT_DOUBLE_EQ(ch.PulseFactor(10000) / 32000, 10.0);
    ch.CntAcr = 2;
    EXPECT_DOUBLE_EQ(ch.PulseFactor(10000) / 64000, 10.0);
    ch.Teeth = 0;
    EXPECT_DOUBLE_EQ(ch.PulseFactor(10000), 2 * 10000 * 1920.0);
}

} // namespace
