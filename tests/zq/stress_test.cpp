// A writer thread and a reader thread on one namespace: every block the
// reader gets is a continuous counter consistent across channels, never torn
// or stale, and every sample it misses is counted as lost. Definitions
// replaced under a reading thread leave it consistent texts.

#include "support/testenvironment.h"
#include "zq.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kChannels = 4;
constexpr long long kWrap = 1LL << 24;

// The writer thread writes value by value, or in batches of frames larger
// than the service's in-flight chunk, both in bursts; or in batches as fast
// as it can, so that it keeps overtaking the reader's copies.
enum class Writes { ValueByValue, Batches, FlatOut };

class ZqStress : public ::testing::TestWithParam<Writes> {};

TEST_P(ZqStress, ReaderThreadSeesContinuousUntornCounters)
{
    const bool batches = GetParam() != Writes::ValueByValue;
    const bool pause = GetParam() != Writes::FlatOut;
    TestEnvironment env;
    ASSERT_EQ(ZQ_SetNrOfChan(kChannels), ZQ_OK);
    for (int c = 0; c < kChannels; ++c)
        ASSERT_EQ(ZQ_SetChanDef(c, c + 1, "x", "stress", "V", "+", 1e-5, -1, 1, -1, 1, 0), ZQ_OK);
    ASSERT_EQ(ZQ_GetNrOfChan(), kChannels);
    ZQ_Register(2, nullptr);
    ZQ_Register(3, nullptr);

    const long long total = 3'000'000; // per channel, below 2^24: no wrap
    std::atomic<bool> done{false}, abandon{false};
    std::thread writer([&] {
        constexpr int kBatch = 6000;
        std::vector<float> frames(size_t(kBatch) * kChannels);
        for (long long i = 0; i < total && !abandon.load(std::memory_order_relaxed);) {
            if (batches) {
                const int count = int(std::min<long long>(kBatch, total - i));
                for (int f = 0; f < count; ++f)
                    for (int c = 0; c < kChannels; ++c)
                        frames[size_t(f * kChannels + c)] = float((i + f + c) % kWrap);
                ZQ_WriteFrames(frames.data(), count);
                i += count;
            } else {
                for (int c = 0; c < kChannels; ++c) {
                    float v = float((i + c) % kWrap);
                    ZQ_WriteChanOneFloatValue(c, reinterpret_cast<int*>(&v));
                }
                ++i;
            }
            if (pause && (i % 2048 == 0 || batches)) // bursts, as an acquisition hands samples over
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        done.store(true, std::memory_order_release);
    });
    struct Join {
        std::thread& t;
        std::atomic<bool>& abandon;
        ~Join()
        {
            abandon.store(true);
            t.join();
        }
    } join{writer, abandon};

    std::vector<std::vector<float>> data(kChannels, std::vector<float>(1 << 20));
    long long expected = 0, received = 0, gapSamples = 0, torn = 0, exChecks = 0, dropped = 0;
    bool finalPass = false;
    while (!finalPass) {
        finalPass = done.load(std::memory_order_acquire);
        ZQ_FreezeBuffers(2);
        const int n = ZQ_CheckChan(2, 0);
        ASSERT_GE(n, 0);
        // A block the writer laps during the reads shrinks to its newest
        // part, so each channel may give fewer samples; all end on the
        // block's last frame.
        int got[kChannels];
        for (int c = 0; c < kChannels; ++c) {
            got[c] = ZQ_ReadChan(2, c, reinterpret_cast<unsigned char*>(data[c].data()), n);
            ASSERT_GE(got[c], 0);
            ASSERT_LE(got[c], n);
        }
        for (int i = 0; i < got[0]; ++i) {
            const long long v = (long long)data[0][size_t(i)];
            if (v != expected) {
                // Only forward jumps: the oldest samples were lost.
                ASSERT_GT(v, expected) << "stale or repeated sample";
                gapSamples += v - expected;
            }
            expected = v + 1;
        }
        for (int c = 1; c < kChannels; ++c)
            for (int back = 1; back <= std::min(got[0], got[c]); ++back) {
                const long long v = (long long)data[0][size_t(got[0] - back)];
                if ((long long)data[c][size_t(got[c] - back)] != (v + c) % kWrap)
                    ++torn;
            }
        received += got[0];
        if (n > 0 && got[0] == 0)
            ++dropped; // the writer overtook every attempt to copy the block

        // The reset-relative stream of another client, read at the same time.
        if (ZQ_CheckChanEx(3, 1) > 0) {
            float first[16];
            const int k = ZQ_ReadChanEx(3, 1, reinterpret_cast<unsigned char*>(first), 16, 0);
            for (int i = 1; i < k; ++i)
                ASSERT_EQ((long long)first[i], ((long long)first[i - 1] + 1) % kWrap);
            ++exChecks;
            ZQ_ResetBuffer(3, -1);
        }
    }

    RecordProperty("lost", std::to_string(gapSamples));
    RecordProperty("dropped blocks", std::to_string(dropped));
    RecordProperty("received", std::to_string(received));
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(received + gapSamples, total);
    EXPECT_EQ(ZQ_GetChanLost(2, 0), gapSamples);
    EXPECT_GT(exChecks, 0);
    ZQ_ReleaseWriter();
}

INSTANTIATE_TEST_SUITE_P(Writes, ZqStress,
                         ::testing::Values(Writes::ValueByValue, Writes::Batches, Writes::FlatOut),
                         [](const auto& info) {
                             switch (info.param) {
                             case Writes::ValueByValue: return "ValueByValue";
                             case Writes::Batches: return "Batches";
                             case Writes::FlatOut: break;
                             }
                             return "FlatOut";
                         });

// Definition k: every channel has number k, name "def <k>" and unit
// "u<k>", all of one length, and rate 1000 + k Hz.
void DefineGeneration(int k, int channels)
{
    const std::string name = "def " + std::to_string(k % 10);
    const std::string unit = "u" + std::to_string(k % 10);
    ASSERT_EQ(ZQ_SetNrOfChan(channels), ZQ_OK);
    for (int c = 0; c < channels; ++c)
        ASSERT_EQ(ZQ_SetChanDef(c, k % 10, "x", name.c_str(), unit.c_str(), "+", 1.0 / (1000 + k % 10), -1, 1,
                                -1, 1, 0),
                  ZQ_OK);
}

TEST(ZqRedefinition, TextsAThreadHoldsStayUnchangedWhileAnotherTakesUpNewDefinitions)
{
    TestEnvironment env;
    DefineGeneration(0, 2);
    ASSERT_EQ(ZQ_GetNrOfChan(), 2);
    std::atomic<bool> stop{false};
    std::atomic<long long> changed{0}, checks{0};
    std::thread holder([&] {
        while (!stop.load(std::memory_order_relaxed)) {
            const char* name = ZQ_GetChanName(1);
            const char* unit = ZQ_GetChanUnit(1);
            char nameCopy[64], unitCopy[32];
            std::snprintf(nameCopy, sizeof nameCopy, "%s", name);
            std::snprintf(unitCopy, sizeof unitCopy, "%s", unit);
            // Another thread takes up definitions meanwhile; these stay.
            for (int i = 0; i < 50; ++i)
                if (std::strcmp(name, nameCopy) != 0 || std::strcmp(unit, unitCopy) != 0)
                    ++changed;
            ++checks;
        }
    });
    for (int k = 1; k < 400; ++k) {
        DefineGeneration(k, 2);
        ASSERT_EQ(ZQ_GetNrOfChan(), 2);
        EXPECT_EQ(ZQ_GetChanPChan(1), k % 10);
    }
    stop = true;
    holder.join();
    EXPECT_EQ(changed.load(), 0);
    EXPECT_GT(checks.load(), 0);
    ZQ_ReleaseWriter();
}

TEST(ZqRedefinition, ChannelStatusIsAlwaysOneWholeDefinition)
{
    TestEnvironment env;
    DefineGeneration(0, 3);
    std::atomic<bool> stop{false};
    std::atomic<long long> mixed{0}, whole{0};
    std::thread watcher([&] {
        while (!stop.load(std::memory_order_relaxed)) {
            ZQ_ChanStatus chan;
            if (ZQ_GetChanStatus(2, &chan) != ZQ_OK)
                continue; // being redefined: no answer, never a mixed one
            const int k = chan.chanNumber;
            const bool consistent = k >= 0 && k < 10 && chan.name == "def " + std::to_string(k) &&
                                    chan.unit == "u" + std::to_string(k) &&
                                    chan.sampleInterval == 1.0 / (1000 + k);
            ++(consistent ? whole : mixed);
        }
    });
    for (int k = 1; k < 400; ++k)
        DefineGeneration(k, 3);
    // The last definition stands long enough to be seen whole.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (whole.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
    watcher.join();
    EXPECT_EQ(mixed.load(), 0);
    EXPECT_GT(whole.load(), 0);
    ZQ_ReleaseWriter();
}

} // namespace
