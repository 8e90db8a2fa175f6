// The channel buffer service within one process: this process is the
// writer and reads through its own clients, as KRV does.

#include "support/testenvironment.h"
#include "zq.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

class ZqCore : public ::testing::Test {
protected:
    void TearDown() override { ZQ_ReleaseWriter(); }

    // n channels at the given sample interval, named "ch<i>" with unit "V".
    void Define(int n, double interval = 1.0 / 50000)
    {
        ASSERT_EQ(ZQ_SetNrOfChan(n), ZQ_OK);
        for (int i = 0; i < n; ++i) {
            const std::string name = "ch" + std::to_string(i);
            ASSERT_EQ(ZQ_SetChanDef(i, i + 1, std::to_string(i + 1).c_str(), name.c_str(), "V", "+",
                                    interval, -10, 10, -99, 99, 0),
                      ZQ_OK);
        }
    }

    // Frames 'from' .. 'from + frames - 1'; channel c carries frame + 1000 * c.
    void WriteFrames(int n, int from, int frames)
    {
        for (int f = from; f < from + frames; ++f)
            for (int c = 0; c < n; ++c) {
                float v = float(f + 1000 * c);
                ASSERT_EQ(ZQ_WriteChanOneFloatValue(c, reinterpret_cast<int*>(&v)), ZQ_OK);
            }
    }

    static std::vector<float> Read(ZQCLIENT client, int channel, int count)
    {
        std::vector<float> out(size_t(count) + 1, -1.0f); // one sentinel past the end
        const int got = ZQ_ReadChan(client, channel, reinterpret_cast<unsigned char*>(out.data()), count);
        for (int i = std::max(got, 0); i < count; ++i)
            EXPECT_EQ(out[size_t(i)], 0.0f) << "not cleared: " << i;
        EXPECT_EQ(out.back(), -1.0f) << "written past the requested count";
        out.resize(got > 0 ? size_t(got) : 0);
        return out;
    }

    static std::vector<float> Ramp(int from, int count, int offset = 0)
    {
        std::vector<float> v;
        for (int i = 0; i < count; ++i)
            v.push_back(float(from + i + offset));
        return v;
    }

    TestEnvironment m_env;
};

TEST_F(ZqCore, DefinitionIsVisibleOnlyOnceComplete)
{
    EXPECT_EQ(ZQ_GetNrOfChan(), 0);
    ASSERT_EQ(ZQ_SetNrOfChan(2), ZQ_OK);
    ASSERT_EQ(ZQ_SetChanDef(0, 7, "7", "Mic Left", "V", "+", 1.0 / 44100, -1, 1, -1, 1, 0), ZQ_OK);
    EXPECT_EQ(ZQ_GetNrOfChan(), 0);
    float v = 1.0f;
    EXPECT_EQ(ZQ_WriteChanOneFloatValue(0, reinterpret_cast<int*>(&v)), ZQ_E_NOCHANNEL);
    ASSERT_EQ(ZQ_SetChanDef(1, 9, "9", "Mic Right", "m/s\xC2\xB2", "+", 1.0 / 44100, -1, 1, -1, 1, 0), ZQ_OK);

    EXPECT_EQ(ZQ_GetNrOfChan(), 2);
    EXPECT_STREQ(ZQ_GetChanName(0), "Mic Left");
    EXPECT_STREQ(ZQ_GetChanUnit(1), "m/s\xC2\xB2");
    EXPECT_DOUBLE_EQ(ZQ_GetChanClkrate(0), 1.0 / 44100);
    EXPECT_EQ(ZQ_GetChanPChan(0), 7);
    EXPECT_EQ(ZQ_GetChanPChan(1), 9);
    // Bad indices: never null, clear results.
    EXPECT_STREQ(ZQ_GetChanName(2), "");
    EXPECT_STREQ(ZQ_GetChanName(-1), "");
    EXPECT_STREQ(ZQ_GetChanUnit(64), "");
    EXPECT_EQ(ZQ_GetChanClkrate(5), 0.0);
    EXPECT_EQ(ZQ_GetChanPChan(2), ZQ_E_NOCHANNEL);
    EXPECT_EQ(ZQ_GetChanPChan(-3), ZQ_E_ARGUMENT);
}

TEST_F(ZqCore, FreezeGivesEveryReadTheSameNewestSamples)
{
    ZQ_Register(2, nullptr);
    Define(3);
    WriteFrames(3, 0, 100);
    ASSERT_EQ(ZQ_FreezeBuffers(2), ZQ_OK);
    WriteFrames(3, 100, 50); // arrives after the freeze: belongs to the next block
    EXPECT_EQ(ZQ_CheckChan(2, 0), 100);
    EXPECT_EQ(Read(2, 1, 100), Ramp(0, 100, 1000));
    EXPECT_EQ(Read(2, 1, 100), Ramp(0, 100, 1000)); // a second page gets the same block
    EXPECT_EQ(Read(2, 2, 10), Ramp(90, 10, 2000));  // a short read takes the newest samples
    EXPECT_EQ(Read(2, 0, 500), Ramp(0, 100));       // a long read takes the block only...
    std::vector<float> tail(200, -1.0f);
    EXPECT_EQ(ZQ_ReadChan(2, 0, reinterpret_cast<unsigned char*>(tail.data()), 150), 100);
    EXPECT_EQ(tail[100], 0.0f); // ...and clears the rest of the count
    EXPECT_EQ(tail[149], 0.0f);
    EXPECT_EQ(tail[150], -1.0f);

    ASSERT_EQ(ZQ_FreezeBuffers(2), ZQ_OK);
    EXPECT_EQ(ZQ_CheckChan(2, 2), 50);
    EXPECT_EQ(Read(2, 0, 50), Ramp(100, 50));
    ASSERT_EQ(ZQ_FreezeBuffers(2), ZQ_OK);
    EXPECT_EQ(ZQ_CheckChan(2, 0), 0);
    EXPECT_EQ(Read(2, 0, 10).size(), 0u);
}

TEST_F(ZqCore, ClientsAreIndependent)
{
    for (ZQCLIENT c : {2, 3, 1})
        ZQ_Register(c, nullptr);
    Define(1);
    WriteFrames(1, 0, 30);
    ZQ_FreezeBuffers(2);
    WriteFrames(1, 30, 20);
    ZQ_FreezeBuffers(3);
    ZQ_FreezeBuffers(1);
    EXPECT_EQ(ZQ_CheckChan(2, 0), 30);
    EXPECT_EQ(ZQ_CheckChan(3, 0), 50);
    EXPECT_EQ(Read(1, 0, 50), Ramp(0, 50));
    ZQ_FreezeBuffers(2);
    EXPECT_EQ(Read(2, 0, 100), Ramp(30, 20));
}

TEST_F(ZqCore, ResetDropsUnreadSamples)
{
    ZQ_Register(2, nullptr);
    Define(2);
    WriteFrames(2, 0, 40);
    ASSERT_EQ(ZQ_ResetBuffer(2, -1), ZQ_OK);
    WriteFrames(2, 40, 5);
    ZQ_FreezeBuffers(2);
    EXPECT_EQ(ZQ_CheckChan(2, 0), 5);
    EXPECT_EQ(Read(2, 1, 5), Ramp(40, 5, 1000));

    // Resetting one channel leaves the others' unread samples.
    WriteFrames(2, 45, 10);
    ASSERT_EQ(ZQ_ResetBuffer(2, 1), ZQ_OK);
    ZQ_FreezeBuffers(2);
    EXPECT_EQ(ZQ_CheckChan(2, 0), 10);
    EXPECT_EQ(ZQ_CheckChan(2, 1), 0);
    EXPECT_EQ(ZQ_ResetBuffer(2, 2), ZQ_E_NOCHANNEL);
}

TEST_F(ZqCore, ExCountsFromTheResetWithoutFreeze)
{
    Define(1);
    WriteFrames(1, 0, 20);
    ASSERT_EQ(ZQ_ResetBuffer(2, -1), ZQ_OK);
    EXPECT_EQ(ZQ_CheckChanEx(2, 0), 0);
    WriteFrames(1, 20, 30);
    EXPECT_EQ(ZQ_CheckChanEx(2, 0), 30);
    std::vector<float> out(101, -1.0f);
    EXPECT_EQ(ZQ_ReadChanEx(2, 0, reinterpret_cast<unsigned char*>(out.data()), 10, 0), 10);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 10), Ramp(20, 10));
    EXPECT_EQ(out[10], -1.0f);
    // Reading does not consume: the count still runs from the reset.
    WriteFrames(1, 50, 5);
    EXPECT_EQ(ZQ_CheckChanEx(2, 0), 35);
    EXPECT_EQ(ZQ_ReadChanEx(2, 0, reinterpret_cast<unsigned char*>(out.data()), 100, 0), 35);
    EXPECT_EQ(out[34], 54.0f);
    EXPECT_EQ(out[35], 0.0f);
    EXPECT_EQ(out[100], -1.0f);
    // The frozen stream of the same client is untouched by Ex reads.
    ZQ_FreezeBuffers(2);
    EXPECT_EQ(ZQ_CheckChan(2, 0), 35);
}

TEST_F(ZqCore, ReaderBehindLosesOnlyTheOldestAndCountsThem)
{
    ZQ_Register(2, nullptr);
    Define(1, 1.0 / 1000); // a ring of the minimum length
    WriteFrames(1, 0, 10);
    ZQ_FreezeBuffers(2);
    EXPECT_EQ(ZQ_GetChanLost(2, 0), 0);

    const int behind = 3 * 131072; // three rings' worth without a freeze
    WriteFrames(1, 10, behind);
    ZQ_FreezeBuffers(2);
    const int block = ZQ_CheckChan(2, 0);
    EXPECT_GT(block, 131072 / 2);
    EXPECT_LT(block, 131072);
    EXPECT_EQ(ZQ_GetChanLost(2, 0), behind - block);
    const std::vector<float> got = Read(2, 0, block);
    ASSERT_EQ(int(got.size()), block);
    // The newest samples, in order, ending at the last one written.
    EXPECT_EQ(got.front(), float(10 + behind - block));
    EXPECT_EQ(got.back(), float(10 + behind - 1));
    for (size_t i = 1; i < got.size(); ++i)
        ASSERT_EQ(got[i], got[i - 1] + 1.0f) << i;

    // After the loss the stream continues without a gap.
    WriteFrames(1, 10 + behind, 7);
    ZQ_FreezeBuffers(2);
    EXPECT_EQ(Read(2, 0, 7), Ramp(10 + behind, 7));
}

TEST_F(ZqCore, FrozenBlockOverwrittenBeforeTheReadIsShortenedNotTorn)
{
    ZQ_Register(2, nullptr);
    Define(1, 1.0 / 1000);
    WriteFrames(1, 0, 100000);
    ZQ_FreezeBuffers(2);
    ASSERT_EQ(ZQ_CheckChan(2, 0), 100000);
    WriteFrames(1, 100000, 100000); // the writer laps the frozen block
    const std::vector<float> got = Read(2, 0, 100000);
    ASSERT_FALSE(got.empty());
    EXPECT_LT(got.size(), 100000u);
    EXPECT_EQ(got.back(), 99999.0f);
    for (size_t i = 1; i < got.size(); ++i)
        ASSERT_EQ(got[i], got[i - 1] + 1.0f) << i;
    EXPECT_EQ(ZQ_GetChanLost(2, 0), 100000 - int(got.size()));
}

TEST_F(ZqCore, RedefinitionRestartsReadersAtTheNewDefinition)
{
    ZQ_Register(2, nullptr);
    Define(2);
    WriteFrames(2, 0, 10);
    ZQ_FreezeBuffers(2);
    WriteFrames(2, 10, 10);

    Define(1, 1.0 / 1000);
    float v = 5.0f;
    EXPECT_EQ(ZQ_WriteChanOneFloatValue(1, reinterpret_cast<int*>(&v)), ZQ_E_NOCHANNEL);
    // The block frozen under the old definition is gone, not mixed in.
    EXPECT_EQ(Read(2, 0, 10).size(), 0u);
    WriteFrames(1, 500, 3);
    ZQ_FreezeBuffers(2);
    EXPECT_EQ(ZQ_GetNrOfChan(), 1);
    EXPECT_EQ(ZQ_CheckChan(2, 1), 0);
    EXPECT_EQ(Read(2, 0, 10), Ramp(500, 3));
    EXPECT_DOUBLE_EQ(ZQ_GetChanClkrate(0), 1.0 / 1000);
}

TEST_F(ZqCore, HalfWrittenFrameStaysForTheNextBlock)
{
    ZQ_Register(2, nullptr);
    Define(3);
    WriteFrames(3, 0, 4);
    float v = 4.0f;
    ZQ_WriteChanOneFloatValue(0, reinterpret_cast<int*>(&v)); // frame 4 begun, not finished
    ZQ_FreezeBuffers(2);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(ZQ_CheckChan(2, c), 4) << c;
    for (int c = 1; c < 3; ++c) {
        float w = float(4 + 1000 * c);
        ZQ_WriteChanOneFloatValue(c, reinterpret_cast<int*>(&w));
    }
    ZQ_FreezeBuffers(2);
    EXPECT_EQ(Read(2, 0, 1), Ramp(4, 1));
    EXPECT_EQ(Read(2, 2, 1), Ramp(4, 1, 2000));
}

TEST_F(ZqCore, WriteFramesEqualsValueByValueAcrossTheRingEnd)
{
    ZQ_Register(2, nullptr);
    Define(3, 1.0 / 1000); // rings of 131072 samples
    float none = 0;
    EXPECT_EQ(ZQ_WriteFrames(nullptr, 1), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_WriteFrames(&none, -1), ZQ_E_ARGUMENT);
    WriteFrames(3, 0, 131072 - 5000); // the batch below wraps around the ring end
    ZQ_FreezeBuffers(2);
    const int frames = 10000;
    std::vector<float> batch;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < 3; ++c)
            batch.push_back(float(131072 - 5000 + f + 1000 * c));
    ASSERT_EQ(ZQ_WriteFrames(batch.data(), frames), frames);
    ZQ_FreezeBuffers(2);
    ASSERT_EQ(ZQ_CheckChan(2, 0), frames);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(Read(2, c, frames), Ramp(131072 - 5000, frames, 1000 * c)) << c;
    ZQ_ReleaseWriter();
    EXPECT_EQ(ZQ_WriteFrames(batch.data(), 1), ZQ_E_NOCHANNEL);
}

TEST_F(ZqCore, BadInputGivesErrorsAndWritesNothing)
{
    EXPECT_EQ(ZQ_SetChanDef(0, 1, "1", "a", "V", "+", 1e-3, 0, 0, 0, 0, 0), ZQ_E_SEQUENCE);
    EXPECT_EQ(ZQ_SetNrOfChan(ZQ_MAX_CHANNELS + 1), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_SetNrOfChan(-1), ZQ_E_ARGUMENT);
    ASSERT_EQ(ZQ_SetNrOfChan(1), ZQ_OK);
    EXPECT_EQ(ZQ_SetChanDef(1, 1, "1", "a", "V", "+", 1e-3, 0, 0, 0, 0, 0), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_SetChanDef(-1, 1, "1", "a", "V", "+", 1e-3, 0, 0, 0, 0, 0), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_SetChanDef(0, 1, "1", nullptr, "V", "+", 1e-3, 0, 0, 0, 0, 0), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_SetChanDef(0, 1, "1", "a", "V", "+", 0.0, 0, 0, 0, 0, 0), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_SetChanDef(0, 1, "1", "a", "V", "+", NAN, 0, 0, 0, 0, 0), ZQ_E_ARGUMENT);
    const std::string longName(300, 'x');
    ASSERT_EQ(ZQ_SetChanDef(0, 1, "1", longName.c_str(), "V", "+", 1e-3, 0, 0, 0, 0, 0), ZQ_OK);
    ASSERT_EQ(ZQ_GetNrOfChan(), 1);
    EXPECT_EQ(std::strlen(ZQ_GetChanName(0)), 63u); // cut to the field, still terminated

    float v = 1.0f;
    EXPECT_EQ(ZQ_WriteChanOneFloatValue(0, nullptr), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_WriteChanOneFloatValue(-1, reinterpret_cast<int*>(&v)), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_WriteChanOneFloatValue(64, reinterpret_cast<int*>(&v)), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_WriteChanOneFloatValue(1, reinterpret_cast<int*>(&v)), ZQ_E_NOCHANNEL);

    unsigned char buffer[64];
    for (ZQCLIENT bad : {0, -1, ZQ_MAX_CLIENTS}) {
        EXPECT_EQ(ZQ_Register(bad, nullptr), ZQ_E_ARGUMENT);
        EXPECT_EQ(ZQ_FreezeBuffers(bad), ZQ_E_ARGUMENT);
        EXPECT_EQ(ZQ_ResetBuffer(bad, -1), ZQ_E_ARGUMENT);
        EXPECT_EQ(ZQ_CheckChan(bad, 0), ZQ_E_ARGUMENT);
        EXPECT_EQ(ZQ_ReadChan(bad, 0, buffer, 1), ZQ_E_ARGUMENT);
        EXPECT_EQ(ZQ_CheckChanEx(bad, 0), ZQ_E_ARGUMENT);
        EXPECT_EQ(ZQ_ReadChanEx(bad, 0, buffer, 1, 0), ZQ_E_ARGUMENT);
    }
    ZQ_FreezeBuffers(2);
    EXPECT_EQ(ZQ_ResetBuffer(2, -2), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_ResetBuffer(2, 64), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_CheckChan(2, -1), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_CheckChan(2, 64), ZQ_E_ARGUMENT);
    // A channel the definition lacks has no samples: callers that only test
    // for 0 stay safe.
    EXPECT_EQ(ZQ_CheckChan(2, 1), 0);
    EXPECT_EQ(ZQ_CheckChan(5, 0), 0); // never frozen
    EXPECT_EQ(ZQ_ReadChan(2, 0, nullptr, 1), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_ReadChan(2, 0, buffer, -1), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_ReadChan(2, 1, buffer, 1), 0);
    EXPECT_EQ(ZQ_ReadChanEx(2, 0, nullptr, 1, 0), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_ReadChanEx(2, 0, buffer, -5, 0), ZQ_E_ARGUMENT);
    EXPECT_EQ(ZQ_CheckChanEx(2, 3), 0);
    EXPECT_EQ(ZQ_ReadChanEx(2, 3, buffer, 1, 0), 0);
    EXPECT_EQ(ZQ_GetChanLost(2, 99), ZQ_E_ARGUMENT);
}

TEST_F(ZqCore, ReleasedWriterLeavesNoChannels)
{
    Define(2);
    EXPECT_EQ(ZQ_GetNrOfChan(), 2);
    ASSERT_EQ(ZQ_ReleaseWriter(), ZQ_OK);
    EXPECT_EQ(ZQ_GetNrOfChan(), 0);
    EXPECT_STREQ(ZQ_GetChanName(0), "");
    ZQ_WriterStatus status;
    ASSERT_EQ(ZQ_GetWriterStatus(&status), ZQ_OK);
    EXPECT_EQ(status.writerPid, 0);
    // The next definition takes the namespace again.
    Define(1);
    EXPECT_EQ(ZQ_GetNrOfChan(), 1);
}

TEST_F(ZqCore, WriterFollowsAChangeOfNamespace)
{
    Define(2);
    {
        TestEnvironment other; // another ZQ_NAME while the writer holds the first
        Define(1);
        EXPECT_EQ(ZQ_GetNrOfChan(), 1);
    }
    // Back in the first namespace: the writer gave it up when it moved.
    EXPECT_EQ(ZQ_GetNrOfChan(), 0);
    Define(3);
    EXPECT_EQ(ZQ_GetNrOfChan(), 3);
}

TEST_F(ZqCore, NameAndUnitStayAsTheyWereUntilAskedAgain)
{
    Define(2);
    ASSERT_EQ(ZQ_GetNrOfChan(), 2);
    const char* name = ZQ_GetChanName(1);
    const char* unit = ZQ_GetChanUnit(1);
    ASSERT_EQ(ZQ_SetNrOfChan(2), ZQ_OK);
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(ZQ_SetChanDef(i, i, "0", "new", "Pa", "+", 1e-3, -1, 1, -1, 1, 0), ZQ_OK);
    ASSERT_EQ(ZQ_GetNrOfChan(), 2); // takes up the new definition
    EXPECT_STREQ(ZQ_GetChanName(0), "new");
    EXPECT_STREQ(name, "ch1");
    EXPECT_STREQ(unit, "V");
    EXPECT_STREQ(ZQ_GetChanName(1), "new");
    EXPECT_STREQ(ZQ_GetChanUnit(1), "Pa");
}

TEST_F(ZqCore, RingsHoldTwoSecondsUpToTheHighestRate)
{
    ZQ_Register(2, nullptr);
    Define(1, 1.0 / 1000); // a small segment, mapped by this process's reader
    WriteFrames(1, 0, 10);
    ZQ_FreezeBuffers(2);
    EXPECT_EQ(Read(2, 0, 10), Ramp(0, 10));

    // Rates whose 2 s exceed what the smaller definition needed: the segment
    // grows, and the reader follows it to the rings at its far end.
    const double rates[] = {44100, 300000, 1000000, 1 / ZQ_MIN_INTERVAL};
    ASSERT_EQ(ZQ_SetNrOfChan(4), ZQ_OK);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(ZQ_SetChanDef(i, i + 1, "1", "fast", "V", "+", 1 / rates[i], -1, 1, -1, 1, 0), ZQ_OK);
    ASSERT_EQ(ZQ_GetNrOfChan(), 4);
    for (int i = 0; i < 4; ++i) {
        ZQ_ChanStatus chan;
        ASSERT_EQ(ZQ_GetChanStatus(i, &chan), ZQ_OK);
        EXPECT_GE(double(chan.capacity) / rates[i], 2.0) << rates[i];
        EXPECT_LT(double(chan.capacity) / rates[i], 4.0) << rates[i] << " Hz: a power of two past 2 s";
    }
    ZQ_FreezeBuffers(2);
    const int frames = 3000;
    WriteFrames(4, 0, frames);
    ZQ_FreezeBuffers(2);
    EXPECT_EQ(Read(2, 3, frames), Ramp(0, frames, 3000));

    // Faster than a ring of 2 s can be promised for: refused.
    ASSERT_EQ(ZQ_SetNrOfChan(1), ZQ_OK);
    EXPECT_EQ(ZQ_SetChanDef(0, 1, "1", "a", "V", "+", ZQ_MIN_INTERVAL / 2, -1, 1, -1, 1, 0), ZQ_E_ARGUMENT);
}

// A slow writer shows a fresh heartbeat: it beats by the clock, not once in
// many thousand samples.
TEST_F(ZqCore, HeartbeatOfAOneKilohertzWriterFollowsTheClock)
{
    using Clock = std::chrono::steady_clock;
    Define(1, 1.0 / 1000);
    auto beatTime = [] { // when the writer last beat, in seconds of Clock
        ZQ_WriterStatus status{};
        EXPECT_EQ(ZQ_GetWriterStatus(&status), ZQ_OK);
        return std::chrono::duration<double>(Clock::now().time_since_epoch()).count() - status.heartbeatAge;
    };
    const double defined = beatTime();
    // Samples at the pace of the clock, 1 per ms, until the beat moves on.
    const auto start = Clock::now();
    int written = 0;
    while (beatTime() < defined + 0.02 && Clock::now() < start + std::chrono::seconds(30)) {
        const auto due = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        for (; written < due; ++written) {
            float v = 0;
            ZQ_WriteChanOneFloatValue(0, reinterpret_cast<int*>(&v));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GE(beatTime(), defined + 0.02);
    // Renewed once 50 ms of samples went by; a second is generous for a slow machine.
    EXPECT_LT(written, 1000);
}

TEST_F(ZqCore, SixtyFourChannelsAtTheHighestRateFit)
{
    Define(ZQ_MAX_CHANNELS, 1.0 / 200000);
    EXPECT_EQ(ZQ_GetNrOfChan(), ZQ_MAX_CHANNELS);
    ZQ_ChanStatus chan;
    ASSERT_EQ(ZQ_GetChanStatus(63, &chan), ZQ_OK);
    EXPECT_GE(chan.capacity * (1.0 / 200000), 2.0);
    ASSERT_EQ(ZQ_GetChanStatus(0, &chan), ZQ_OK);
    EXPECT_EQ(chan.capacity, 524288);
}

} // namespace
