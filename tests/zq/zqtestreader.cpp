// Reader process for the multi-process tests: reads client <client> every
// 5 ms as a KRV view does (freeze, length of channel 0, every channel with
// that length) until it holds <frames> frames of zq-gen's counter signal.
//
//   zq_test_reader CLIENT FRAMES TIMEOUT_S [STALL_S [OUTFILE]]
//
// STALL_S: after the first block, read nothing until the writer has written
// more than a ring beyond it (to fall behind), for at most STALL_S seconds.
// OUTFILE: every frame's channel values as raw floats.
// Prints "frames F first V channels C consistent 0|1 gaps G gapsamples S lost L"
// and exits 0 when the frames arrived, 1 on timeout.
//
//   zq_test_reader claim CLIENTS AT_NS HOLD_S
//
// Waits until CLOCK_REALTIME reaches AT_NS, registers clients 1 .. CLIENTS
// (each takes a reader slot), prints "claimed" and stays HOLD_S seconds.
//
//   zq_test_reader register CLIENT
//
// Registers the client, freezes and reads it once, prints "register R"
// with ZQ_Register's result and exits 0.

#include "zq.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

namespace {

constexpr long long kWrap = 1LL << 24;
// Larger than any ring, so that every sample the service kept is read and
// a gap is exactly what the service lost.
constexpr int kMaxBlock = 1 << 20;

long long Next(long long v) { return (v + 1) % kWrap; }

int Claim(int clients, long long atNs, double hold)
{
    timespec at{};
    at.tv_sec = time_t(atNs / 1000000000);
    at.tv_nsec = long(atNs % 1000000000);
    clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &at, nullptr);
    for (int client = 1; client <= clients; ++client)
        ZQ_Register(client, nullptr);
    std::printf("claimed\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::duration<double>(hold));
    return 0;
}

// Waits until channel 0's writer is more than a ring (and a margin) past
// where it was, or timeout seconds passed.
void FallBehind(double timeout)
{
    ZQ_ChanStatus chan{};
    if (ZQ_GetChanStatus(0, &chan) != ZQ_OK)
        return;
    const long long target = chan.written + chan.capacity + chan.capacity / 8;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
    while (std::chrono::steady_clock::now() < deadline && ZQ_GetChanStatus(0, &chan) == ZQ_OK &&
           chan.written < target)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "register") == 0) {
        const int client = std::atoi(argv[2]);
        const int result = ZQ_Register(client, nullptr);
        float sample = 0;
        ZQ_FreezeBuffers(client);
        ZQ_ReadChan(client, 0, reinterpret_cast<unsigned char*>(&sample), 1);
        std::printf("register %d\n", result);
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "claim") == 0)
        return Claim(std::atoi(argv[2]), std::atoll(argv[3]), std::atof(argv[4]));
    if (argc < 4)
        return 2;
    const int client = std::atoi(argv[1]);
    const long long frames = std::atoll(argv[2]);
    const double timeout = std::atof(argv[3]);
    const double stall = argc > 4 ? std::atof(argv[4]) : 0.0;
    FILE* out = argc > 5 ? std::fopen(argv[5], "wb") : nullptr;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration<double>(timeout);
    while (ZQ_GetNrOfChan() == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const int channels = ZQ_GetNrOfChan();
    if (channels == 0) {
        std::printf("no channels\n");
        return 1;
    }
    ZQ_Register(client, nullptr);

    std::vector<std::vector<float>> data(size_t(channels), std::vector<float>(size_t{kMaxBlock}));
    long long got = 0, first = -1, expected = -1, gaps = 0, gapSamples = 0;
    bool consistent = true;
    bool stalled = false;
    while (got < frames && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ZQ_FreezeBuffers(client);
        int n = ZQ_CheckChan(client, 0);
        if (n <= 0)
            continue;
        if (n > kMaxBlock)
            n = kMaxBlock;
        for (int c = 0; c < channels; ++c)
            if (ZQ_ReadChan(client, c, reinterpret_cast<unsigned char*>(data[size_t(c)].data()), n) != n)
                consistent = false;
        for (int i = 0; i < n; ++i) {
            const long long v = (long long)data[0][size_t(i)];
            if (first < 0)
                first = v;
            else if (v != expected) {
                ++gaps;
                gapSamples += (v - expected + kWrap) % kWrap;
            }
            expected = Next(v);
            for (int c = 1; c < channels; ++c)
                if ((long long)data[size_t(c)][size_t(i)] != (v + c) % kWrap)
                    consistent = false;
            if (out)
                for (int c = 0; c < channels; ++c)
                    std::fwrite(&data[size_t(c)][size_t(i)], sizeof(float), 1, out);
        }
        got += n;
        if (!stalled && stall > 0) {
            stalled = true;
            FallBehind(stall);
        }
    }
    if (out)
        std::fclose(out);
    std::printf("frames %lld first %lld channels %d consistent %d gaps %lld gapsamples %lld lost %lld\n", got,
                first, channels, consistent ? 1 : 0, gaps, gapSamples, ZQ_GetChanLost(client, 0));
    return got >= frames ? 0 : 1;
}
