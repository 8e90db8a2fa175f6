// zq-stat: shows the channel buffer service of a namespace: the writer, its
// channels and every reader client's position and loss count.

#include "zq.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintUsage(FILE* out)
{
    std::fputs("Usage: zq-stat [OPTION]...\n"
               "Shows the channel buffer service: the writer's pid and liveness, the\n"
               "channels and every reader client's position and loss count.\n"
               "\n"
               "      --name NAME   namespace to show (default: ZQ_NAME, else one per user)\n"
               "      --clean       remove from /dev/shm, in every namespace of this user, the\n"
               "                    channel segments of writers that died and the reader tables\n"
               "                    no process uses, and print each one removed; with --name,\n"
               "                    only those whose name begins with NAME\n"
               "  -h, --help        show this help\n"
               "\n"
               "Exit status: 0 ok, 1 no segment in the namespace (or /dev/shm cannot be\n"
               "read with --clean), 2 bad arguments.\n",
               out);
}

void PrintChannels(int count)
{
    std::printf("channels: %d\n", count);
    if (count == 0)
        return;
    std::printf("  %5s %6s %-24s %-8s %12s %10s %14s\n", "index", "number", "name", "unit", "rate/Hz",
                "ring", "written");
    for (int i = 0; i < count; ++i) {
        ZQ_ChanStatus chan;
        if (ZQ_GetChanStatus(i, &chan) != ZQ_OK)
            continue;
        std::printf("  %5d %6d %-24s %-8s %12.6g %10lld %14lld\n", i, chan.chanNumber, chan.name, chan.unit,
                    1.0 / chan.sampleInterval, chan.capacity, chan.written);
    }
}

void PrintReaders(int count)
{
    int shown = 0;
    for (int slot = 0; slot < ZQ_MAX_READER_SLOTS; ++slot) {
        ZQ_ReaderStatus reader;
        if (ZQ_GetReaderStatus(slot, &reader) != 1)
            continue;
        if (shown++ == 0)
            std::printf("readers:\n");
        std::printf("  pid %d (%s) client %d generation %u\n", reader.pid, reader.alive ? "alive" : "dead",
                    reader.client, reader.generation);
        for (int c = 0; c < count; ++c)
            std::printf("    channel %2d position %14lld lost %12lld\n", c, reader.position[c], reader.lost[c]);
    }
    if (shown == 0)
        std::printf("readers: none\n");
}

void PrintRemoved(const char* path, const char* what, void*)
{
    std::printf("removed %s (%s)\n", path, what);
}

int Clean(const char* prefix)
{
    const int removed = ZQ_CleanStale(prefix, PrintRemoved, nullptr);
    if (removed < 0) {
        std::fprintf(stderr, "zq-stat: cannot list /dev/shm\n");
        return kExitFailure;
    }
    std::printf("%d removed\n", removed);
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    bool clean = false;
    const char* name = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            PrintUsage(stdout);
            return kExitOk;
        }
        if (arg == "--clean") {
            clean = true;
            continue;
        }
        if (arg == "--name") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "zq-stat: option '--name' needs a value\n");
                return kExitUsage;
            }
            name = argv[++i];
            setenv("ZQ_NAME", name, 1);
            continue;
        }
        std::fprintf(stderr, "zq-stat: unknown option '%s'\nTry 'zq-stat --help'.\n", arg.c_str());
        return kExitUsage;
    }

    if (clean)
        return Clean(name);
    ZQ_WriterStatus status;
    if (ZQ_GetWriterStatus(&status) != ZQ_OK || !status.segmentPresent) {
        std::printf("segment: %s (none)\n", status.segmentName);
        PrintReaders(0);
        return kExitFailure;
    }
    std::printf("segment: %s\n", status.segmentName);
    if (status.writerPid == 0)
        std::printf("writer: none\n");
    else if (status.heartbeatAge >= 0)
        std::printf("writer: pid %d (%s), heartbeat %.3f s ago\n", status.writerPid,
                    status.writerAlive ? "alive" : "dead", status.heartbeatAge);
    else
        std::printf("writer: pid %d (%s)\n", status.writerPid, status.writerAlive ? "alive" : "dead");
    std::printf("generation: %u%s\n", status.generation, status.generation & 1u ? " (being defined)" : "");
    const int count = status.writerAlive ? status.nrOfChan : 0;
    PrintChannels(count);
    PrintReaders(count);
    return kExitOk;
}
