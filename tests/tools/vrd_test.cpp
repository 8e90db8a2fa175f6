// The vrd tool, run as a program on recordings made by CRecordFile.
#include "acquisition/recordfile.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
struct VrdRun {
    int status = -1;
    std::string out; // standard output and error
};

VrdRun Vrd(const std::string& arguments)
{
    VrdRun run;
    const std::string command = TestEnvironment::BinDir() + "/vrd " + arguments + " 2>&1";
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

TEST_F(VrdTest, RecordingKilledMidwayKeepsItsWholeBlocks)
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
    EXPECT_NE(info.out.find("-c CHANNELS -b BLOCKFRAMES"), std::string::npos);

    VrdRun blocks = Vrd("info " + path + " -c 2 -b 4096");
    EXPECT_EQ(blocks.status, 0);
    EXPECT_NE(blocks.out.find("whole blocks: 3 of 2 channels x 4096 frames"), std::string::npos) << blocks.out;
    EXPECT_NE(blocks.out.find("frames: 12288"), std::string::npos);

    VrdRun refused = Vrd("csv " + path);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("no text header"), std::string::npos);
    VrdRun csv = Vrd("csv " + path + " -c 2 -b 4096");
    ASSERT_EQ(csv.status, 0) << csv.out.substr(0, 200);
    EXPECT_NE(csv.out.find("\n12287,12287,-12287\n"), std::string::npos);
}

TEST_F(VrdTest, DamagedFilesGetAClearErrorNeverACrash)
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
    const std::vector<Case> cases = {
        {"empty", "", "shorter than the 32-byte head"},
        {"short", good.substr(0, 20), "shorter than the 32-byte head"},
        {"magic", noMagic, "does not begin with \"Vorn64\""},
        {"frames", badFrames, "truncated or corrupt"},
        {"org", noOrg, "corrupt header"},
        {"datacut", dataCut, "truncated or corrupt"},
    };
    for (const Case& c : cases) {
        const std::string path = Path("bad.vrd");
        WriteAll(path, c.bytes);
        for (const char* command : {"info", "csv"}) {
            VrdRun run = Vrd(std::string(command) + " " + path);
            EXPECT_EQ(run.status, 1) << c.name << ": " << run.out;
            EXPECT_NE(run.out.find(c.message), std::string::npos) << c.name << ": " << run.out;
        }
    }

    // A header cut off at its start reads as a file without header.
    WriteAll(Path("cut.vrd"), good.substr(0, headerOffset + 5));
    VrdRun cut = Vrd("info " + Path("cut.vrd"));
    EXPECT_EQ(cut.status, 0);
    EXPECT_NE(cut.out.find("no text header"), std::string::npos);

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

    EXPECT_EQ(Vrd("info " + Path("missing.vrd")).status, 1);
    EXPECT_EQ(Vrd("frobnicate " + Path("good.vrd")).status, 2);
    EXPECT_EQ(Vrd("wav " + Path("good.vrd")).status, 2);
    EXPECT_EQ(Vrd("info " + Path("good.vrd") + " -c 0").status, 2);
}
} // namespace
