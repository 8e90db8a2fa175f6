// vrd: shows, exports and repairs recording files.
//   vrd info FILE [-c CHANNELS -b BLOCKFRAMES]
//   vrd csv FILE [OUT.csv] [-c CHANNELS -b BLOCKFRAMES]
//   vrd wav FILE OUT.wav [-c CHANNELS -b BLOCKFRAMES]
//   vrd repair FILE
//   vrd play FILE [--speed X] [--loop] [--channels LIST] [--from S] [--to S]
// -c and -b read a file that has no text header (its recording was never
// closed); only its whole blocks are read. repair gives such a file its
// header from the side record the writer kept beside it.
//   vrd --help | --version
// Exit 0 on success, 1 with a one-line reason on stderr, 2 for bad usage,
// 3 when play finds the channel buffer service held by another writer.

#include "vrdfile.h"
#include "vrdnumber.h"
#include "vrdoutput.h"
#include "vrdplayer.h"
#include "vrdrepair.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <limits>
#include <string>
#include <vector>

namespace {
// Values read at a time (frames x channels).
constexpr int64_t kChunkValues = 1 << 20;
// A WAV "fmt " chunk counts the bytes of a frame in 16 bits.
constexpr uint64_t kMaxWavChannels = 0xFFFF / sizeof(float);
// vrd play's pace factor; slower than a thousandth would play nothing in
// any time a user waits for.
constexpr double kMinSpeed = 1e-3, kMaxSpeed = 1e6;

constexpr const char* kUsage = "usage: vrd info FILE [-c CHANNELS -b BLOCKFRAMES]\n"
                                "       vrd csv FILE [OUT.csv] [-c CHANNELS -b BLOCKFRAMES]\n"
                                "       vrd wav FILE OUT.wav [-c CHANNELS -b BLOCKFRAMES]\n"
                                "       vrd repair FILE\n"
                                "       vrd play FILE [--speed X] [--loop] [--channels LIST] [--from S] [--to S]\n"
                                "       vrd --help | --version\n";

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

// "--help" and "--version" alone: the usage or the version on stdout.
bool AnswersAboutItself(int argc, char** argv, int& status)
{
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        std::fputs(kUsage, stdout);
    else if (std::strcmp(argv[1], "--version") == 0)
        std::printf("vrd %s\n", KRV_VERSION);
    else
        return false;
    status = 0;
    return true;
}

int Error(const std::string& message)
{
    std::fprintf(stderr, "vrd: %s\n", message.c_str());
    return 1;
}

struct Arguments {
    std::string command;
    std::vector<std::string> files;
    int channels = 0;
    int blockFrames = 0;
};

bool ParseCount(const char* text, int& value)
{
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end || v < 1 || v > (1 << 28))
        return false;
    value = int(v);
    return true;
}

bool Parse(int argc, char** argv, Arguments& args)
{
    if (argc < 2)
        return false;
    args.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-c" || arg == "-b") {
            if (i + 1 >= argc || !ParseCount(argv[++i], arg == "-c" ? args.channels : args.blockFrames))
                return false;
        } else {
            args.files.push_back(arg);
        }
    }
    return !args.files.empty();
}

const char* kNoHeader = "no text header: the recording was never closed (the program ended abnormally)";

int ChunkFrames(const VrdFile& file)
{
    return int(std::max<int64_t>(1, kChunkValues / int64_t(std::max<size_t>(1, file.Channels().size()))));
}

void PrintChannels(const VrdFile& file)
{
    std::printf("channels: %zu\n", file.Channels().size());
    int index = 0;
    for (const VrdFile::Channel& channel : file.Channels())
        std::printf("  %d: name \"%s\" unit \"%s\" pchan %lld clk %g offset %lld\n", index++, channel.name.c_str(),
                    channel.unit.c_str(), (long long)channel.pchan, channel.clk, (long long)channel.offset);
}

int InfoWithoutHeader(VrdFile& file, const Arguments& args)
{
    if (file.BeingWritten())
        std::printf("the recording is open: a running program is writing it\n");
    else
        std::printf("%s\n", kNoHeader);
    std::printf("data: %llu bytes behind the head\n", (unsigned long long)file.DataBytes());
    if (args.channels > 0 && args.blockFrames > 0) {
        std::printf("whole blocks: %lld of %d channels x %d frames\n", (long long)file.WholeBlocks(), args.channels,
                    args.blockFrames);
        std::printf("frames: %lld\n", (long long)file.Frames());
        return 0;
    }
    if (file.SideRecordValid()) {
        std::printf("side record: %s\n", file.SideRecordPath().c_str());
        std::printf("block frames: %d\n", file.BlockFrames());
        std::printf("start time: %s\n", file.StartTime().c_str());
        std::printf("whole blocks: %lld of %zu channels x %d frames\n", (long long)file.WholeBlocks(),
                    file.Channels().size(), file.BlockFrames());
        std::printf("frames: %lld\n", (long long)file.Frames());
        PrintChannels(file);
        if (!file.BeingWritten())
            std::printf("run \"vrd repair %s\" to give it its header from the side record\n", file.Path().c_str());
        return 0;
    }
    if (file.HasSideRecord())
        std::printf("damaged side record: %s\n", file.SideRecordError().c_str());
    std::printf("whole blocks: unknown; give -c CHANNELS -b BLOCKFRAMES to count them\n");
    return 0;
}

int Info(VrdFile& file, const Arguments& args)
{
    if (!file.HasHeader() && args.channels > 0 && args.blockFrames > 0 &&
        !file.AssumeLayout(args.channels, args.blockFrames))
        return Error(file.Error());
    std::printf("head: \"Vorn64\", header offset %llu\n", (unsigned long long)file.HeadOffset());
    std::printf("file size: %llu bytes\n", (unsigned long long)file.FileSize());
    if (!file.HasHeader())
        return InfoWithoutHeader(file, args);
    std::printf("type: %s\n", file.Type().c_str());
    std::printf("block frames: %d\n", file.BlockFrames());
    std::printf("start time: %s\n", file.StartTime().c_str());
    std::printf("frames: %lld\n", (long long)file.Frames());
    std::printf("blocks: %lld\n", (long long)file.WholeBlocks());
    PrintChannels(file);
    for (const std::string& warning : file.Warnings())
        std::printf("warning: %s\n", warning.c_str());
    return 0;
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

double SamplePeriod(const VrdFile& file)
{
    return file.Channels().empty() ? 0.0 : file.Channels().back().clk;
}

int Csv(VrdFile& file, const std::string& out)
{
    VrdOutput output;
    if (!output.Open(out, file.Path()))
        return Error(output.Error());
    std::FILE* stream = output.Stream();
    // Without a sample period (a file without header) the first column is the frame number.
    const double clk = SamplePeriod(file);
    std::fprintf(stream, clk > 0.0 ? "time" : "frame");
    for (const VrdFile::Channel& channel : file.Channels())
        std::fprintf(stream, ",%s", CsvField(channel.unit.empty() ? channel.name : channel.name + " [" + channel.unit + "]").c_str());
    std::fprintf(stream, "\n");
    const size_t channels = file.Channels().size();
    const int chunk = ChunkFrames(file);
    std::vector<float> values;
    for (int64_t first = 0; first < file.Frames(); first += chunk) {
        int count = int(std::min<int64_t>(chunk, file.Frames() - first));
        if (!file.ReadFrames(first, count, values))
            return Error(file.Error());
        for (int j = 0; j < count; ++j) {
            if (clk > 0.0)
                std::fprintf(stream, "%.9g", double(first + j) * clk);
            else
                std::fprintf(stream, "%lld", (long long)(first + j));
            for (size_t c = 0; c < channels; ++c)
                std::fprintf(stream, ",%.9g", double(values[size_t(j) * channels + c]));
            std::fprintf(stream, "\n");
        }
    }
    return output.Commit() ? 0 : Error(output.Error());
}

void Put16(std::vector<unsigned char>& out, uint32_t v)
{
    out.push_back((unsigned char)v);
    out.push_back((unsigned char)(v >> 8));
}

void Put32(std::vector<unsigned char>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutTag(std::vector<unsigned char>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

// 32-bit IEEE float WAV: RIFF, "fmt " (format 3), "fact", "data".
int Wav(VrdFile& file, const std::string& out)
{
    const double clk = SamplePeriod(file);
    if (!(clk > 0.0) || !std::isfinite(clk))
        return Error("the recording has no valid sample period (clk); cannot write a WAV file");
    const double rateValue = std::round(1.0 / clk);
    if (!(rateValue >= 1.0 && rateValue <= 4294967295.0))
        return Error("a sample period of " + std::to_string(clk) + " s gives no WAV sample rate (1 to 4294967295 Hz)");
    const uint64_t rate = uint64_t(rateValue);
    const uint64_t channels = file.Channels().size();
    if (channels > kMaxWavChannels)
        return Error("a WAV file holds at most " + std::to_string(kMaxWavChannels) +
                     " channels of 32-bit samples; the recording has " + std::to_string(channels));
    if (rate * channels * 4 > 0xFFFFFFFFull)
        return Error("the recording's rate and channel count give more bytes a second than a WAV file can state");
    const uint64_t dataBytes = uint64_t(file.Frames()) * channels * 4;
    if (dataBytes > 0xFFFFFFFFull - 64)
        return Error("the recording is too large for one WAV file (over 4 GiB of samples)");
    std::vector<unsigned char> head;
    PutTag(head, "RIFF");
    Put32(head, uint32_t(4 + 26 + 12 + 8 + dataBytes));
    PutTag(head, "WAVE");
    PutTag(head, "fmt ");
    Put32(head, 18);
    Put16(head, 3);
    Put16(head, uint32_t(channels));
    Put32(head, uint32_t(rate));
    Put32(head, uint32_t(rate * channels * 4));
    Put16(head, uint32_t(channels * 4));
    Put16(head, 32);
    Put16(head, 0);
    PutTag(head, "fact");
    Put32(head, 4);
    Put32(head, uint32_t(file.Frames()));
    PutTag(head, "data");
    Put32(head, uint32_t(dataBytes));

    VrdOutput output;
    if (!output.Open(out, file.Path()))
        return Error(output.Error());
    std::FILE* stream = output.Stream();
    bool ok = std::fwrite(head.data(), 1, head.size(), stream) == head.size();
    const int chunk = ChunkFrames(file);
    std::vector<float> values;
    for (int64_t first = 0; ok && first < file.Frames(); first += chunk) {
        int count = int(std::min<int64_t>(chunk, file.Frames() - first));
        if (!file.ReadFrames(first, count, values))
            return Error(file.Error());
        ok = std::fwrite(values.data(), 4, values.size(), stream) == values.size();
    }
    if (!ok)
        return Error("writing " + out + " failed: " + std::strerror(errno));
    return output.Commit() ? 0 : Error(output.Error());
}
const char* kPlayHelp =
    "usage: vrd play FILE [--speed X] [--loop] [--channels LIST] [--from S] [--to S]\n"
    "Publishes a recording into the channel buffer service as its writer, with the\n"
    "recording's channel numbers, names, units and sample intervals, at the\n"
    "recording's pace. A KRV started meanwhile shows it as live channels.\n"
    "  --speed X        pace factor from 0.001 to 1000000 (default 1: real time)\n"
    "  --loop           start again at --from after the end, until stopped\n"
    "  --channels LIST  channel indices as \"vrd info\" lists them, e.g. 0,2-3\n"
    "  --from S, --to S play from S seconds to S seconds of the recording (decimal\n"
    "                   numbers, 0 or more; a time past the end is the end)\n"
    "Stops at the end or on SIGINT/SIGTERM and releases the service.\n"
    "Exit 0 when played, 1 for a file that cannot be played, 2 for bad usage,\n"
    "3 when another program writes into the service.\n";

int PlayUsage(const std::string& reason)
{
    std::fprintf(stderr, "vrd play: %s (see vrd play --help)\n", reason.c_str());
    return 2;
}

// Seconds and factors in the number grammar of the recording header: no
// hexadecimal, "inf" or "nan", nothing behind the number.
bool ParseNumber(const char* text, double& value, double low, double high)
{
    double parsed = 0.0;
    if (!VrdNumber::ParseDecimal(text, parsed) || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

// "0,2-3" -> 0, 2, 3.
bool ParseChannelList(const std::string& text, std::vector<int>& channels)
{
    size_t at = 0;
    while (at <= text.size()) {
        size_t comma = text.find(',', at);
        std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        size_t dash = item.find('-', 1);
        int first = 0, last = 0;
        char* end = nullptr;
        long a = std::strtol(item.c_str(), &end, 10);
        if (end == item.c_str() || (dash == std::string::npos ? *end != 0 : end != item.c_str() + dash) || a < 0 ||
            a >= 4096)
            return false;
        first = last = int(a);
        if (dash != std::string::npos) {
            const char* rest = item.c_str() + dash + 1;
            long b = std::strtol(rest, &end, 10);
            if (end == rest || *end || b < a || b >= 4096)
                return false;
            last = int(b);
        }
        for (int c = first; c <= last; ++c)
            channels.push_back(c);
        if (comma == std::string::npos)
            return true;
        at = comma + 1;
    }
    return false;
}

void OnStopSignal(int) { VrdPlayer::Stop(); }

int Play(int argc, char** argv)
{
    VrdPlayer::Options options;
    std::string path;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kPlayHelp, stdout);
            return 0;
        }
        const bool valued = arg == "--speed" || arg == "--channels" || arg == "--from" || arg == "--to";
        if (valued && i + 1 >= argc)
            return PlayUsage(arg + " needs a value");
        const char* value = valued ? argv[++i] : nullptr;
        if (arg == "--loop")
            options.loop = true;
        else if (arg == "--speed") {
            if (!ParseNumber(value, options.speed, kMinSpeed, kMaxSpeed))
                return PlayUsage(std::string("--speed takes a factor from 0.001 to 1000000, not \"") + value + "\"");
        } else if (arg == "--from" || arg == "--to") {
            if (!ParseNumber(value, arg == "--from" ? options.from : options.to, 0.0, std::numeric_limits<double>::max()))
                return PlayUsage(arg + " takes seconds (0 or more, in decimal), not \"" + value + "\"");
        } else if (arg == "--channels") {
            if (!ParseChannelList(value, options.channels))
                return PlayUsage(std::string("--channels takes indices like 0,2-3, not \"") + value + "\"");
        } else if (!arg.empty() && arg[0] == '-')
            return PlayUsage("unknown option " + arg);
        else if (!path.empty())
            return PlayUsage("one recording at a time");
        else
            path = arg;
    }
    if (path.empty())
        return PlayUsage("no recording given");
    if (options.to >= 0 && options.to <= options.from)
        return PlayUsage("--to must lie after --from");
    VrdFile file;
    if (!file.Load(path))
        return Error(file.Error());
    if (!file.HasHeader())
        return Error(file.BeingWritten() ? "the recording is still being written; play it once it is closed"
                                         : std::string(kNoHeader) + "; run \"vrd repair " + path + "\" first");
    struct sigaction action{};
    action.sa_handler = OnStopSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    VrdPlayer player;
    const int code = player.Play(file, options);
    if (code)
        std::fprintf(stderr, "vrd: %s\n", player.Error().c_str());
    return code;
}

int Repair(VrdFile& file)
{
    std::string report, error;
    if (!RepairVrd(file, report, error))
        return Error(error);
    std::printf("%s\n", report.c_str());
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (int status = 0; AnswersAboutItself(argc, argv, status))
        return status;
    if (argc >= 2 && std::strcmp(argv[1], "play") == 0)
        return Play(argc, argv);
    Arguments args;
    if (!Parse(argc, argv, args))
        return Usage();
    const bool info = args.command == "info", csv = args.command == "csv", wav = args.command == "wav",
               repair = args.command == "repair";
    if ((!info && !csv && !wav && !repair) || (wav && args.files.size() != 2) ||
        (!wav && args.files.size() > (csv ? 2u : 1u)) || (repair && (args.channels || args.blockFrames)))
        return Usage();
    VrdFile file;
    if (!file.Load(args.files[0]))
        return Error(file.Error());
    if (info)
        return Info(file, args);
    if (repair)
        return Repair(file);
    if (!file.HasHeader()) {
        if (args.channels < 1 || args.blockFrames < 1) {
            if (file.SideRecordValid() && !file.BeingWritten())
                return Error(std::string(kNoHeader) + "; run \"vrd repair " + file.Path() +
                             "\" first, or give -c CHANNELS -b BLOCKFRAMES to read its whole blocks");
            return Error(std::string(kNoHeader) + "; give -c CHANNELS -b BLOCKFRAMES to read its whole blocks");
        }
        if (!file.AssumeLayout(args.channels, args.blockFrames))
            return Error(file.Error());
    }
    if (csv)
        return Csv(file, args.files.size() > 1 ? args.files[1] : std::string());
    return Wav(file, args.files[1]);
}
