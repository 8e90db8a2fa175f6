// The vrd tool, run as a program on recordings made by CRecordFile.
#include "acquisition/recordfile.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
struct VrdRun {
    int status = -1;
    std::string out; // standard output and error
};

VrdRun Vrd(const std::string& arguments, const std::string& shellPrefix = std::string())
{
    VrdRun run;
    const std::string command = shellPrefix + TestEnvironment::BinDir() + "/vrd " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// Two channels: channel 0 = j, channel 1 = -j / 2.
void Record(CRecordFile& file, const std::string& path, int frames, int blockFrames, bool close = true)
{
    ASSERT_TRUE(file.Prepare(2, blockFrames));
    file.DefineChannel(0, 0, "left", "V", 1.0 / 8000);
    file.DefineChannel(1, 1, "Temp, inner", "\u00B0C", 1.0 / 8000);
    ASSERT_TRUE(file.Open(QString::fromStdString(path)));
    for (int j = 0; j < frames; ++j) {
        file.AppendValue(0, float(j));
        file.AppendValue(1, -float(j) / 2);
    }
    if (close)
        file.Close();
}

class VrdTest : public testing::Test {
protected:
    std::string Path(const char* name) const { return env.Root() + "/" + name; }
    TestEnvironment env;
};

TEST_F(VrdTest, InfoShowsHeadHeaderAndChannels)
{
    CRecordFile file;
    Record(file, Path("a.vrd"), 10000, 4096);
    VrdRun run = Vrd("info " + Path("a.vrd"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("head: \"Vorn64\", header offset 98336"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("block frames: 4096"), std::string::npos);
    EXPECT_NE(run.out.find("frames: 10000"), std::string::npos);
    EXPECT_NE(run.out.find("blocks: 3"), std::string::npos);
    EXPECT_NE(run.out.find("channels: 2"), std::string::npos);
    // Windows-1252 in the file, UTF-8 on the terminal.
    EXPECT_NE(run.out.find("name \"Temp, inner\" unit \"\u00B0C\""), std::string::npos) << run.out;
}

TEST_F(VrdTest, CsvAndWavExportEveryFrame)
{
    CRecordFile file;
    Record(file, Path("b.vrd"), 5000, 4096);
    VrdRun csv = Vrd("csv " + Path("b.vrd") + " " + Path("b.csv"));
    ASSERT_EQ(csv.status, 0) << csv.out;
    const std::string text = ReadAll(Path("b.csv"));
    EXPECT_EQ(text.substr(0, text.find('\n')), "time,left [V],\"Temp, inner [\u00B0C]\"");
    EXPECT_NE(text.find("\n0.000125,1,-0.5\n"), std::string::npos);
    EXPECT_NE(text.find("\n0.624875,4999,-2499.5\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5001);

    VrdRun wav = Vrd("wav " + Path("b.vrd") + " " + Path("b.wav"));
    ASSERT_EQ(wav.status, 0) << wav.out;
    const std::string bytes = ReadAll(Path("b.wav"));
    ASSERT_EQ(bytes.size(), 58u + 5000 * 2 * 4);
    uint16_t tag, channels, bits;
    uint32_t rate, dataBytes;
    std::memcpy(&tag, &bytes[20], 2);
    std::memcpy(&channels, &bytes[22], 2);
    std::memcpy(&rate, &bytes[24], 4);
    std::memcpy(&bits, &bytes[34], 2);
    std::memcpy(&dataBytes, &bytes[54], 4);
    EXPECT_EQ(bytes.compare(0, 4, "RIFF"), 0);
    EXPECT_EQ(bytes.compare(50, 4, "data"), 0);
    EXPECT_EQ(tag, 3);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, 8000u);
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(dataBytes, 40000u);
    float last[2];
    std::memcpy(last, &bytes[bytes.size() - 8], 8);
    EXPECT_EQ(last[0], 4999.0f);
    EXPECT_EQ(last[1], -2499.5f);
}

TEST_F(VrdTest, RecordingKilledMidwayIsReadAndRepaired)
{
    const std::string path = Path("killed.vrd");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CRecordFile file;
        file.Prepare(2, 4096);
        file.DefineChannel(0, 0, "l", "V", 1.0 / 8000);
        file.DefineChannel(1, 1, "r", "V", 1.0 / 8000);
        if (!file.Open(QString::fromStdString(path)))
            _exit(3);
        for (int j = 0; j < 3 * 4096 + 2000; ++j) {
            file.AppendValue(0, float(j));
            file.AppendValue(1, -float(j));
        }
        raise(SIGKILL);
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(std::filesystem::file_size(path), 32u + 3 * 2 * 4096 * 4);

    VrdRun info = Vrd("info " + path);
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("no text header: the recording was never closed (the program ended abnormally)"),
              std::string::npos) << info.out;
    EXPECT_NE(info.out.find("whole blocks: 3 of 2 channels x 4096 frames\nframes: 12288\n"), std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("run \"vrd repair " + path + "\""), std::string::npos) << info.out;

    VrdRun blocks = Vrd("info " + path + " -c 2 -b 4096");
    EXPECT_EQ(blocks.status, 0);
    EXPECT_NE(blocks.out.find("whole blocks: 3 of 2 channels x 4096 frames"), std::string::npos) << blocks.out;
    VrdRun refused = Vrd("csv " + path);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("run \"vrd repair " + path + "\" first"), std::string::npos) << refused.out;
    VrdRun csv = Vrd("csv " + path + " -c 2 -b 4096");
    ASSERT_EQ(csv.status, 0) << csv.out.substr(0, 200);
    EXPECT_NE(csv.out.find("\n12287,12287,-12287\n"), std::string::npos);

    VrdRun repair = Vrd("repair " + path);
    ASSERT_EQ(repair.status, 0) << repair.out;
    EXPECT_EQ(repair.out, "rebuilt the header from " + path + ".hdr: 12288 frames in 3 blocks of 2 channels x 4096 frames\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".hdr"));
    VrdRun whole = Vrd("info " + path);
    EXPECT_NE(whole.out.find("header offset 98336\n"), std::string::npos) << whole.out;
    EXPECT_NE(whole.out.find("frames: 12288\n"), std::string::npos);
    EXPECT_NE(whole.out.find("name \"l\" unit \"V\" pchan 0 clk 0.000125"), std::string::npos) << whole.out;
    VrdRun exported = Vrd("csv " + path);
    EXPECT_NE(exported.out.find("\n1.535875,12287,-12287\n"), std::string::npos);
    EXPECT_EQ(Vrd("repair " + path).out, "the recording is whole; nothing to repair\n");
}

uint64_t HeaderOffsetOf(const std::string& bytes)
{
    uint64_t v = 0;
    for (int i = 15; i >= 8 && bytes.size() >= 16; --i)
        v = v << 8 | (unsigned char)bytes[size_t(i)];
    return v;
}

// A recording made by hand: channels x blockFrames blocks holding frames,
// the header given or the one the writer makes.
struct Synthetic {
    int channels = 1;
    int blockFrames = 4;
    int64_t frames = 0;
    std::string clk = "0.001";

    std::string Header() const
    {
        std::string text = "beginheader:\r\ntyp:real\r\norg:Block" + std::to_string(blockFrames) +
                           "\r\nstarttime:1.02.2024  3:04:05\r\nframes:" + std::to_string(frames) + "\r\nendheader:\r\n";
        for (int i = 0; i < channels; ++i)
            text += "beginchannel:\r\nchannel_offset:" + std::to_string(32 + int64_t(i) * blockFrames * 4) +
                    "\r\nname:c" + std::to_string(i) + "\r\nunit:V\r\npchan:" + std::to_string(i) + "\r\nclk:" + clk +
                    "\r\nendchannel:\r\n";
        return text;
    }
    std::string File(const std::string& header) const
    {
        const int64_t blocks = (frames + blockFrames - 1) / blockFrames;
        std::string bytes(32 + size_t(blocks) * size_t(channels) * size_t(blockFrames) * 4, '\0');
        bytes.replace(0, 6, "Vorn64");
        const uint64_t offset = bytes.size();
        for (int i = 0; i < 8; ++i)
            bytes[size_t(8 + i)] = char(uint8_t(offset >> (8 * i)));
        return bytes + header;
    }
    std::string File() const { return File(Header()); }
};

// One line, "vrd: " and the reason, exit 1.
void ExpectRefused(const VrdRun& run, const std::string& reason, const std::string& what)
{
    EXPECT_EQ(run.status, 1) << what << ": " << run.out;
    EXPECT_EQ(run.out.rfind("vrd: ", 0), 0u) << what << ": " << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << what << ": " << run.out;
    EXPECT_NE(run.out.find(reason), std::string::npos) << what << ": " << run.out;
}

TEST_F(VrdTest, DamagedFilesGetAOneLineReasonNeverACrash)
{
    CRecordFile file;
    Record(file, Path("good.vrd"), 10000, 4096);
    const std::string good = ReadAll(Path("good.vrd"));
    const size_t headerOffset = 32 + 3 * 2 * 4096 * 4;

    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    std::string noMagic = good;
    noMagic[0] = 'X';
    std::string badFrames = good;
    badFrames.replace(badFrames.find("frames:10000"), 12, "frames:99999");
    std::string noOrg = good;
    noOrg.replace(noOrg.find("org:Block4096"), 13, "org:Blocks409");
    std::string dataCut = good.substr(0, 32 + 4096 * 4) + good.substr(headerOffset);
    dataCut[8] = char(uint8_t((32 + 4096 * 4) & 0xFF));
    dataCut[9] = char(uint8_t(((32 + 4096 * 4) >> 8) & 0xFF));
    dataCut[10] = 0;
    std::string pastEnd = good;
    pastEnd[11] = 1;
    // The header holds the start time, so the file's length depends on the
    // date it was made.
    const std::string pastEndMessage = "cut short: the head points at a header at byte 16875552, but the file ends at byte " +
                                       std::to_string(good.size());
    std::string intoData = good;
    intoData[9] = 0;
    std::string intoHead = good;
    std::fill(intoHead.begin() + 8, intoHead.begin() + 16, '\0');
    intoHead[8] = 20;
    std::string badType = good;
    badType.replace(badType.find("typ:real"), 8, "typ:cplx");
    const std::vector<Case> cases = {
        {"empty", "", "shorter than the 32-byte head"},
        {"short", good.substr(0, 20), "shorter than the 32-byte head"},
        {"magic", noMagic, "does not begin with \"Vorn64\""},
        {"frames", badFrames, "cut short: the header's 99999 frames need 25 blocks of 32768 bytes, but the file holds 98304 bytes"},
        {"org", noOrg, "corrupt header: bad block length in line \"org:Blocks409\""},
        {"datacut", dataCut, "cut short: the header's 10000 frames need 3 blocks"},
        {"header cut at its start", good.substr(0, headerOffset + 5), "cut short: the file ends 5 bytes into its header"},
        {"header cut in its head", good.substr(0, headerOffset + 40), "cut short: the header ends before its \"endheader:\""},
        {"header cut in a channel", good.substr(0, good.size() - 20), "channel 1: the header ends before its \"endchannel:\""},
        {"head past the end", pastEnd, pastEndMessage.c_str()},
        {"head into the data", intoData, "points at no header (there is no \"beginheader:\" line)"},
        {"head into the head", intoHead, "its header offset 20 points into the head"},
        {"type", badType, "line \"typ:cplx\": only \"typ:real\""},
    };
    for (const Case& c : cases) {
        const std::string path = Path("bad.vrd");
        WriteAll(path, c.bytes);
        for (const char* command : {"info", "csv", "repair"})
            ExpectRefused(Vrd(std::string(command) + " " + path), c.message, std::string(c.name) + " " + command);
    }

    // Each line of the header missing in turn is named.
    const Synthetic two{2, 4, 6};
    const std::string header = two.Header();
    for (const char* key : {"typ:", "org:Block", "starttime:", "frames:", "endheader:", "channel_offset:", "name:",
                            "unit:", "pchan:", "clk:", "endchannel:"}) {
        const size_t at = header.rfind(std::string("\n") + key) + 1;
        const std::string cut = header.substr(0, at) + header.substr(header.find("\r\n", at) + 2);
        WriteAll(Path("missing.vrd"), two.File(cut));
        const VrdRun run = Vrd("info " + Path("missing.vrd"));
        const std::string name = std::string("\"") + key + "\"";
        ExpectRefused(run, name, key);
    }

    // Cut anywhere in the head, the data or the header, and with bytes of
    // the header overwritten: an answer, never a crash.
    std::vector<size_t> cuts;
    for (size_t n = 0; n < 40; n += 3)
        cuts.push_back(n);
    for (size_t n = 40; n < headerOffset; n += 7919)
        cuts.push_back(n);
    for (size_t n = headerOffset; n < good.size(); n += 23)
        cuts.push_back(n);
    for (size_t n : cuts) {
        WriteAll(Path("cut.vrd"), good.substr(0, n));
        for (const char* command : {"info", "csv"}) {
            VrdRun run = Vrd(std::string(command) + " " + Path("cut.vrd"));
            EXPECT_TRUE(run.status == 0 || run.status == 1) << command << " cut at " << n << ": " << run.status;
        }
    }
    for (size_t n = headerOffset; n < good.size(); n += 13) {
        std::string damaged = good;
        damaged[n] = char(0xFF - damaged[n]);
        WriteAll(Path("cut.vrd"), damaged);
        VrdRun run = Vrd("csv " + Path("cut.vrd") + " " + Path("cut.csv"));
        EXPECT_TRUE(run.status == 0 || run.status == 1) << "byte " << n << ": " << run.status;
    }

    EXPECT_EQ(Vrd("info " + Path("nothere.vrd")).status, 1);
    EXPECT_EQ(Vrd("frobnicate " + Path("good.vrd")).status, 2);
    EXPECT_EQ(Vrd("wav " + Path("good.vrd")).status, 2);
    EXPECT_EQ(Vrd("info " + Path("good.vrd") + " -c 0").status, 2);
    EXPECT_EQ(Vrd("repair " + Path("good.vrd") + " -c 2 -b 4").status, 2);
    EXPECT_EQ(Vrd("--version extra").status, 2);
}

TEST_F(VrdTest, HelpAndVersionSucceed)
{
    const auto help = Vrd("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: vrd info FILE", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("vrd play FILE"), std::string::npos);
    const auto version = Vrd("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("vrd ") && version.out.ends_with("\n")) << version.out;
}

TEST_F(VrdTest, HostileCountsAreBoundedByTheFileSize)
{
    // 4 KiB behind a head that was never closed.
    std::string open(32 + 4096, '\0');
    open.replace(0, 6, "Vorn64");
    WriteAll(Path("open.vrd"), open);
    ExpectRefused(Vrd("info " + Path("open.vrd") + " -c 268435456 -b 1"),
                  "one block of 268435456 channels x 1 frames is 1073741824 bytes, more than the 4096 bytes of data",
                  "channels");
    ExpectRefused(Vrd("csv " + Path("open.vrd") + " -c 1 -b 268435456"), "more than the 4096 bytes of data", "frames");
    VrdRun fits = Vrd("info " + Path("open.vrd") + " -c 1024 -b 1");
    EXPECT_NE(fits.out.find("whole blocks: 1 of 1024 channels x 1 frames"), std::string::npos) << fits.out;

    // Channel offsets and blocks past 2^31 bytes: no overflow, no frames to read.
    Synthetic wide{3, 2147483647, 0};
    WriteAll(Path("wide.vrd"), wide.File());
    VrdRun info = Vrd("info " + Path("wide.vrd"));
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("offset 17179869208\n"), std::string::npos) << info.out;
    Synthetic wideFrames = wide;
    wideFrames.frames = 1;
    WriteAll(Path("wide.vrd"), Synthetic{3, 4, 0}.File(wideFrames.Header()));
    ExpectRefused(Vrd("csv " + Path("wide.vrd")), "the header's 1 frames need 1 blocks of 25769803764 bytes", "wide");

    // A WAV frame is counted in 16 bits: 16383 channels of floats at most.
    const Synthetic many{16384, 1, 2};
    WriteAll(Path("many.vrd"), many.File());
    ExpectRefused(Vrd("wav " + Path("many.vrd") + " " + Path("many.wav")),
                  "a WAV file holds at most 16383 channels of 32-bit samples; the recording has 16384", "wav");
    EXPECT_FALSE(std::filesystem::exists(Path("many.wav")));
    const Synthetic most{16383, 1, 2};
    WriteAll(Path("most.vrd"), most.File());
    EXPECT_EQ(Vrd("wav " + Path("most.vrd") + " " + Path("most.wav")).status, 0);
    EXPECT_EQ(std::filesystem::file_size(Path("most.wav")), 58u + 2 * 16383 * 4);
    Synthetic fast{1, 4, 4, "1e-300"};
    WriteAll(Path("fast.vrd"), fast.File());
    ExpectRefused(Vrd("wav " + Path("fast.vrd") + " " + Path("fast.wav")), "gives no WAV sample rate", "rate");
    const Synthetic wideRate{2000, 1, 1, "1e-6"}; // 8 GB a second
    WriteAll(Path("rate.vrd"), wideRate.File());
    ExpectRefused(Vrd("wav " + Path("rate.vrd") + " " + Path("rate.wav")), "more bytes a second", "byte rate");

    // A 16 MiB header of empty lines: a reason, read in little memory.
    std::string empty = Synthetic{}.File("beginheader:\r\n");
    empty.append((16u << 20) - 14 - 2, '\n');
    WriteAll(Path("empty.vrd"), empty);
    std::string limit;
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    limit = "ulimit -v 262144; ";
#endif
    const VrdRun lines = Vrd("info " + Path("empty.vrd"), limit);
    ExpectRefused(lines, "cut short: the header ends before its \"endheader:\" line", "empty lines");
    std::string longer = empty + "\n\n\n"; // one byte over 16 MiB
    WriteAll(Path("empty.vrd"), longer);
    ExpectRefused(Vrd("info " + Path("empty.vrd"), limit), "more than the 16 MiB a header may take", "too long");
}

TEST_F(VrdTest, CloseCutShortNeverTakesHeaderOrPaddingForSamples)
{
    // Blocks of 16 bytes, far smaller than the header that follows them;
    // the last block holds 3 frames and a padding of one.
    CRecordFile file;
    ASSERT_TRUE(file.Prepare(1, 4));
    file.DefineChannel(0, 0, "x", "V", 0.5);
    const std::string path = Path("tiny.vrd");
    ASSERT_TRUE(file.Open(QString::fromStdString(path)));
    for (int j = 0; j < 11; ++j)
        file.AppendValue(0, float(100 + j));
    file.Close();
    std::string bytes = ReadAll(path);
    ASSERT_EQ(bytes.compare(32 + 3 * 16, 12, "beginheader:"), 0);

    // Killed after the header, before the head pointed at it.
    std::fill(bytes.begin() + 8, bytes.begin() + 16, '\0');
    WriteAll(path, bytes);
    VrdRun info = Vrd("info " + path);
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("frames: 11\nblocks: 3\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("warning: the head does not point at the header"), std::string::npos) << info.out;
    VrdRun csv = Vrd("csv " + path);
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 12) << csv.out;
    EXPECT_NE(csv.out.find("\n5,110\n"), std::string::npos) << csv.out;
    VrdRun repair = Vrd("repair " + path);
    EXPECT_EQ(repair.out, "the header was whole; the head now points at it (11 frames)\n");
    const std::string repaired = ReadAll(path);
    EXPECT_EQ(HeaderOffsetOf(repaired), 32u + 3 * 16);
    EXPECT_EQ(repaired.substr(16), bytes.substr(16));

    // Killed after the padded last block, before the header: the side
    // record's closing line bounds the frames. Blocks of 64 frames, the
    // last with 50.
    const std::string dyingPath = Path("dying.vrd");
    const size_t dataEnd = 32 + 3 * 64 * 4;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CRecordFile dying;
        dying.Prepare(1, 64);
        dying.DefineChannel(0, 0, "x", "V", 0.5);
        if (!dying.Open(QString::fromStdString(dyingPath)))
            _exit(3);
        for (int j = 0; j < 178; ++j)
            dying.AppendValue(0, float(100 + j));
        // The header's write is the first to pass this size (the side
        // record stays below it): SIGXFSZ ends the process there.
        rlimit limit{dataEnd, dataEnd};
        setrlimit(RLIMIT_FSIZE, &limit);
        dying.Close();
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    EXPECT_EQ(std::filesystem::file_size(dyingPath), dataEnd);
    VrdRun open = Vrd("info " + dyingPath);
    EXPECT_NE(open.out.find("whole blocks: 3 of 1 channels x 64 frames\nframes: 178\n"), std::string::npos) << open.out;
    ASSERT_EQ(Vrd("repair " + dyingPath).status, 0);
    const std::string whole = ReadAll(dyingPath);
    ASSERT_EQ(HeaderOffsetOf(whole), dataEnd);
    EXPECT_NE(whole.find("\r\nframes:178\r\n"), std::string::npos);
    const VrdRun values = Vrd("csv " + dyingPath);
    EXPECT_EQ(std::count(values.out.begin(), values.out.end(), '\n'), 179);
    EXPECT_NE(values.out.find("\n88.5,277\n"), std::string::npos) << values.out.substr(values.out.size() - 40);
}

// Channel c of frame j in file f of a killed writer.
float KillCounter(int f, int64_t j, int c) { return float(1 + ((int64_t(f) * 7919 + j) * 3 + c) % (1 << 23)); }

// Records file after file (3 channels, a random number of frames each) in
// folder until killed; writes one byte to ready once the first is open.
[[noreturn]] void RecordUntilKilled(const std::string& folder, int blockFrames, unsigned seed, int ready)
{
    std::mt19937 random(seed);
    CRecordFile file;
    file.Prepare(3, blockFrames);
    for (int c = 0; c < 3; ++c)
        file.DefineChannel(c, c + 1, QString("ch%1").arg(c), "V", 1e-3);
    for (int f = 0;; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "/k%05d.vrd", f);
        if (!file.Open(QString::fromStdString(folder + name)))
            _exit(3);
        if (f == 0 && write(ready, "x", 1) != 1)
            _exit(3);
        const int64_t frames = std::uniform_int_distribution<int64_t>(0, 60000)(random);
        for (int64_t j = 0; j < frames; ++j)
            for (int c = 0; c < 3; ++c)
                file.AppendValue(c, KillCounter(f, j, c));
        file.Close();
    }
}

// A whole recording of file f: the head points at the header behind the
// last block, the header ends the file, every frame it counts is exact.
void ExpectWholeCounterFile(const std::string& path, int f, int blockFrames, const std::string& context)
{
    const std::string bytes = ReadAll(path);
    const uint64_t offset = HeaderOffsetOf(bytes);
    ASSERT_GE(offset, 32u) << context;
    ASSERT_LT(offset, bytes.size()) << context;
    const std::string header = bytes.substr(offset);
    ASSERT_EQ(header.compare(0, 14, "beginheader:\r\n"), 0) << context;
    ASSERT_NE(header.find("\r\norg:Block" + std::to_string(blockFrames) + "\r\n"), std::string::npos) << context;
    const size_t at = header.find("\r\nframes:");
    ASSERT_NE(at, std::string::npos) << context;
    const int64_t frames = std::stoll(header.substr(at + 9, 20));
    const int64_t blocks = (frames + blockFrames - 1) / blockFrames;
    ASSERT_EQ(offset, 32 + uint64_t(blocks) * 3 * uint64_t(blockFrames) * 4) << context;
    ASSERT_EQ(header.size() - header.rfind("endchannel:\r\n"), 13u) << context << ": the header ends the file";
    ASSERT_NE(header.find("name:ch2\r\n"), std::string::npos) << context;
    for (int64_t j = 0; j < frames; ++j)
        for (int c = 0; c < 3; ++c) {
            const size_t pos = 32 + size_t(((j / blockFrames) * 3 + c) * blockFrames + j % blockFrames) * 4;
            float v;
            std::memcpy(&v, bytes.data() + pos, 4);
            ASSERT_EQ(v, KillCounter(f, j, c)) << context << ": frame " << j << " channel " << c;
        }
}

TEST_F(VrdTest, WriterKilledAtAHundredRandomMomentsLeavesRepairableFiles)
{
    std::mt19937 random(20240611);
    std::map<std::string, int> states;
    for (int run = 0; run < 100; ++run) {
        const std::string folder = Path(("run" + std::to_string(run)).c_str());
        std::filesystem::create_directories(folder);
        const int blockFrames = std::vector<int>{5, 64, 1000}[size_t(run % 3)];
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const unsigned seed = unsigned(random());
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            RecordUntilKilled(folder, blockFrames, seed, ready[1]);
        }
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the writer opened its first file";
        close(ready[0]);
        usleep(useconds_t(std::uniform_int_distribution<int>(0, 40000)(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "run " << run << ": " << status;

        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        int last = -1;
        for (const std::string& name : names)
            if (name.size() == 10 && name.compare(6, 4, ".vrd") == 0)
                last = std::max(last, std::stoi(name.substr(1, 5)));
        ASSERT_GE(last, 0) << "run " << run;
        for (int f = 0; f <= last; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "/k%05d.vrd", f);
            const std::string path = folder + name;
            const std::string context = "run " + std::to_string(run) + " " + name;
            if (f == last) {
                // The file the writer had open: vrd must read it without
                // error, say what to do, and repair makes it whole.
                const VrdRun info = Vrd("info " + path);
                ASSERT_EQ(info.status, 0) << context << ": " << info.out;
                const std::string state = info.out.find("never closed") != std::string::npos ? "never closed"
                                          : info.out.find("head does not point") != std::string::npos ? "closing cut"
                                          : std::filesystem::file_size(path) < 32                       ? "no head yet"
                                                                                                   : "closed";
                ++states[state];
                if (state != "closed") {
                    EXPECT_NE(info.out.find("vrd repair"), std::string::npos) << context << ": " << info.out;
                }
                // Killed inside its first block: no whole block to keep, and
                // the bytes there cannot be told from a wrong block length,
                // so repair refuses and leaves both files as they are.
                const std::string before = ReadAll(path);
                const std::string sideBefore = ReadAll(path + ".hdr");
                const VrdRun repair = Vrd("repair " + path);
                const bool inFirstBlock = before.size() > 32 && before.size() - 32 < 3 * size_t(blockFrames) * 4;
                if (inFirstBlock && repair.status != 0) {
                    EXPECT_NE(repair.out.find("ended inside its first block"), std::string::npos) << context;
                    EXPECT_EQ(ReadAll(path), before) << context;
                    EXPECT_EQ(ReadAll(path + ".hdr"), sideBefore) << context;
                    ++states["inside its first block"];
                    continue;
                }
                ASSERT_EQ(repair.status, 0) << context << ": " << repair.out;
            }
            ExpectWholeCounterFile(path, f, blockFrames, context);
            EXPECT_FALSE(std::filesystem::exists(path + ".hdr")) << context;
        }
        // Killed between the next file's side record and its head.
        char next[32];
        std::snprintf(next, sizeof next, "/k%05d.vrd.hdr", last + 1);
        if (std::filesystem::exists(folder + next))
            ++states["side record only"];
        std::filesystem::remove_all(folder);
    }
    std::string seen;
    for (const auto& [state, count] : states)
        seen += state + ": " + std::to_string(count) + "  ";
    std::printf("states of the killed recordings: %s\n", seen.c_str());
    EXPECT_GT(states["never closed"], 10) << seen;
}
// Every name the recording can be reached by, and standard output appended
// onto it: refused before anything is opened for writing.
TEST_F(VrdTest, AnExportNeverOverwritesItsInput)
{
    CRecordFile file;
    const std::string path = Path("input.vrd");
    Record(file, path, 5000, 1024);
    const std::string bytes = ReadAll(path);
    ASSERT_EQ(symlink(path.c_str(), Path("link.vrd").c_str()), 0);
    ASSERT_EQ(symlink("link.vrd", Path("link2.vrd").c_str()), 0);
    std::filesystem::create_directories(Path("sub"));
    struct Case {
        std::string arguments;
        std::string named; // what the refusal names as the output
    };
    const std::vector<Case> cases = {
        {"csv " + path + " " + path, path},
        {"wav " + path + " " + path, path},
        {"csv " + path + " " + Path("link.vrd"), Path("link.vrd")},
        {"wav " + path + " " + Path("link2.vrd"), Path("link2.vrd")},
        {"csv " + path + " " + Path("sub/../input.vrd"), Path("sub/../input.vrd")},
        {"csv " + Path("link.vrd") + " " + path, path},
        // Errors to the pipe, output appended to the recording; "#" ends
        // the command before Vrd's own "2>&1".
        {"csv " + path + " 2>&1 >> " + path + " #", "standard output"},
    };
    for (const Case& c : cases) {
        const VrdRun run = Vrd(c.arguments);
        ExpectRefused(run, c.named + " is the recording ", c.arguments);
        ASSERT_TRUE(ReadAll(path) == bytes) << c.arguments << ": the recording changed";
    }
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link.vrd")));

    // The side record of a recording still open is no output either.
    CRecordFile open;
    Record(open, Path("open.vrd"), 3000, 1024, false);
    const std::string side = ReadAll(Path("open.vrd.hdr"));
    ExpectRefused(Vrd("csv " + Path("open.vrd") + " " + Path("open.vrd.hdr") + " -c 2 -b 1024"),
                  "is the side record of " + Path("open.vrd"), "side record");
    EXPECT_EQ(ReadAll(Path("open.vrd.hdr")), side);
    open.Close();
}

// An export that fails half way (here: the file size limit) leaves the old
// output as it was and no temporary file; one that succeeds replaces the
// file a link points at, keeping the link and the file's mode.
TEST_F(VrdTest, AnExportReplacesItsOutputWholeOrNotAtAll)
{
    CRecordFile file;
    const std::string path = Path("b.vrd");
    Record(file, path, 5000, 4096);
    const std::string out = Path("out/b.csv");
    std::filesystem::create_directories(Path("out"));
    WriteAll(out, "the old export\n");
    ASSERT_EQ(chmod(out.c_str(), 0640), 0);

    // 8 KiB at most: SIGXFSZ ends vrd, or, ignored, the write fails.
    const VrdRun killed = Vrd("csv " + path + " " + out, "ulimit -f 8; ");
    EXPECT_NE(killed.status, 0) << killed.out;
    const VrdRun failed = Vrd("wav " + path + " " + out, "ulimit -f 8; trap '' XFSZ; ");
    ExpectRefused(failed, std::string("writing ") + out + " failed: " + std::strerror(EFBIG), "file size limit");
    EXPECT_EQ(ReadAll(out), "the old export\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("out")), {}), 1) << "a temporary file is left";

    ASSERT_EQ(symlink("out/b.csv", Path("link.csv").c_str()), 0);
    const VrdRun run = Vrd("csv " + path + " " + Path("link.csv"));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link.csv")));
    const std::string text = ReadAll(out);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5001);
    EXPECT_EQ(text, Vrd("csv " + path).out);
    struct stat info {};
    ASSERT_EQ(stat(out.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("out")), {}), 1);
}

// A FIFO is written as it is, not replaced by a file.
TEST_F(VrdTest, AnExportToAFifoStreamsIntoIt)
{
    CRecordFile file;
    const std::string path = Path("c.vrd");
    Record(file, path, 3000, 1024);
    const std::string fifo = Path("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const VrdRun run = Vrd("csv " + path + " " + fifo + "; wait", "cat " + fifo + " > " + Path("got.csv") + " & ");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(ReadAll(Path("got.csv")), Vrd("csv " + path).out);
}

} // namespace
