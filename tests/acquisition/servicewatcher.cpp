// Reader process for the calibration test: watches the channel buffer
// service as another program on the machine would, until SIGTERM.
//
//   service_watcher CLIENT OUTFILE
//
// Every 5 ms: is the writer there (live process, channels defined)? Then
// freeze, the length of channel 0, and every channel with that length,
// appended to OUTFILE frame by frame (one float per channel). A new
// definition starts a new section of the file: a header of two ints, -1 and
// the channel count. Prints on exit
// "polls P gone G defining D sections S frames F lost L": G counts the polls
// after the first live one that found no writer process, D those that found
// the writer in the middle of a new definition.

#include "zq.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnTerm(int) { g_stop = 1; }

enum class Writer { Gone, Defining, Live };

// A writer whose process runs but whose new definition is not complete yet
// is defining, not gone: readers see its channels again once it is.
Writer WriterState()
{
    ZQ_WriterStatus status{};
    if (ZQ_GetWriterStatus(&status) != ZQ_OK || status.writerPid == 0 || !status.writerAlive)
        return Writer::Gone;
    return ZQ_GetNrOfChan() > 0 ? Writer::Live : Writer::Defining;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    std::signal(SIGTERM, OnTerm);
    const int client = std::atoi(argv[1]);
    FILE* out = std::fopen(argv[2], "wb");
    if (!out)
        return 2;

    constexpr int kMaxBlock = 1 << 20;
    std::vector<std::vector<float>> data;
    long long polls = 0, gone = 0, defining = 0, sections = 0, frames = 0;
    // Losses of earlier definitions, and of the current one (counted by the
    // service since that definition).
    long long lostBefore = 0, lostNow = 0;
    unsigned generation = ~0u;
    bool seen = false;
    int channels = 0;
    std::printf("watching\n");
    std::fflush(stdout);
    while (!g_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ++polls;
        const Writer state = WriterState();
        if (state != Writer::Live) {
            if (seen)
                ++(state == Writer::Gone ? gone : defining);
            continue;
        }
        ZQ_WriterStatus status{};
        ZQ_GetWriterStatus(&status);
        // The writer may have begun a new definition since WriterState():
        // the generation is odd until that definition is complete.
        if (status.generation % 2 != 0) {
            if (seen)
                ++defining;
            continue;
        }
        if (!seen || status.generation != generation) {
            lostBefore += lostNow;
            lostNow = 0;
            seen = true;
            generation = status.generation;
            channels = ZQ_GetNrOfChan();
            ZQ_Register(client, nullptr);
            data.assign(size_t(channels), std::vector<float>(size_t{kMaxBlock}));
            const int header[2] = {-1, channels};
            std::fwrite(header, sizeof header, 1, out);
            ++sections;
        }
        ZQ_FreezeBuffers(client);
        int n = ZQ_CheckChan(client, 0);
        if (n <= 0)
            continue;
        n = std::min(n, kMaxBlock);
        for (int c = 0; c < channels; ++c)
            ZQ_ReadChan(client, c, reinterpret_cast<unsigned char*>(data[size_t(c)].data()), n);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c)
                std::fwrite(&data[size_t(c)][size_t(i)], sizeof(float), 1, out);
        frames += n;
        lostNow = 0;
        for (int c = 0; c < channels; ++c)
            lostNow += std::max(0LL, ZQ_GetChanLost(client, c));
    }
    std::fclose(out);
    std::printf("polls %lld gone %lld defining %lld sections %lld frames %lld lost %lld\n", polls, gone, defining,
                sections, frames, lostBefore + lostNow);
    return 0;
}
