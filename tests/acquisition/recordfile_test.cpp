#include "acquisition/recordfile.h"
#include "context/appcontext.h"
#include "support/smallfilesystem.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/resource.h>
#include <string>
#include <vector>

namespace {
std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint64_t HeaderOffset(const std::string& bytes)
{
    uint64_t v = 0;
    for (int i = 15; i >= 8; --i)
        v = v << 8 | (unsigned char)bytes[size_t(i)];
    return v;
}

float FloatAt(const std::string& bytes, size_t offset)
{
    float v;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

class RecordFileTest : public testing::Test {
protected:
    std::string Path(const char* name) const { return env.Root() + "/" + name; }
    TestEnvironment env;
};

TEST_F(RecordFileTest, ContinuousRecordingWritesWholeBlocksAndHeader)
{
    CRecordFile file;
    ASSERT_TRUE(file.Prepare(2, 4096));
    file.DefineChannel(0, 0, "Mic left", "V", 1.0 / 44100);
    file.DefineChannel(1, 1, "Mic Right", "V", 1.0 / 44100);
    const std::string path = Path("c.vrd");
    ASSERT_TRUE(file.Open(QString::fromStdString(path)));
    for (int j = 0; j < 10000; ++j) {
        file.AppendValue(0, float(j));
        file.AppendValue(1, float(-j));
    }
    file.Close();
    EXPECT_FALSE(file.IsRecording());
    EXPECT_EQ(file.Frames(), 10000);

    const std::string bytes = ReadAll(path);
    ASSERT_GT(bytes.size(), 32u);
    EXPECT_EQ(bytes.compare(0, 6, "Vorn64"), 0);
    EXPECT_EQ(bytes[6], 0);
    EXPECT_EQ(bytes[7], 0);
    for (int i = 16; i < 32; ++i)
        EXPECT_EQ(bytes[size_t(i)], 0) << i;
    const size_t blockBytes = 2 * 4096 * 4;
    const uint64_t offset = HeaderOffset(bytes);
    EXPECT_EQ(offset, 32 + 3 * blockBytes);
    EXPECT_EQ(bytes.compare(offset, 14, "beginheader:\r\n"), 0);

    // Block b, channel i at 32 + (b * 2 + i) * 4096 * 4.
    for (int j : {0, 4095, 4096, 8191, 8192, 9999}) {
        const size_t b = size_t(j / 4096), k = size_t(j % 4096);
        EXPECT_EQ(FloatAt(bytes, 32 + (b * 2 + 0) * 4096 * 4 + k * 4), float(j)) << j;
        EXPECT_EQ(FloatAt(bytes, 32 + (b * 2 + 1) * 4096 * 4 + k * 4), float(-j)) << j;
    }
    // The unused tail of the last block (1808 valid frames) is zero.
    for (size_t k = 1808; k < 4096; k += 97) {
        EXPECT_EQ(FloatAt(bytes, 32 + (2 * 2 + 0) * 4096 * 4 + k * 4), 0.0f);
        EXPECT_EQ(FloatAt(bytes, 32 + (2 * 2 + 1) * 4096 * 4 + k * 4), 0.0f);
    }

    const std::string header = bytes.substr(offset);
    static const QRegularExpression startTime("^starttime:\\d{1,2}\\.\\d\\d\\.\\d{4} [ \\d]\\d:\\d\\d:\\d\\d$");
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < header.size();) {
        size_t end = header.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
        lines.push_back(header.substr(pos, end - pos));
        pos = end + 2;
    }
    const std::vector<std::string> expected = {
        "beginheader:", "typ:real", "org:Block4096", "", "frames:10000", "endheader:",
        "beginchannel:", "channel_offset:32", "name:Mic left", "unit:V", "pchan:0", "clk:2.26757e-05", "endchannel:",
        "beginchannel:", "channel_offset:16416", "name:Mic Right", "unit:V", "pchan:1", "clk:2.26757e-05",
        "endchannel:"};
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == 3)
            EXPECT_TRUE(startTime.match(QString::fromStdString(lines[i])).hasMatch()) << lines[i];
        else
            EXPECT_EQ(lines[i], expected[i]) << i;
    }
}

TEST_F(RecordFileTest, TriggerRecordingIsOneBlockPerChannel)
{
    CRecordFile file;
    ASSERT_TRUE(file.Prepare(2, 1000));
    file.DefineChannel(0, 3, "a", "Pa", 1e-3);
    file.DefineChannel(1, 5, "b", "m/s\u00B2", 1e-3);
    const std::string path = Path("t.vrd");
    ASSERT_TRUE(file.Open(QString::fromStdString(path)));
    std::vector<float> a(1000), b(1000);
    for (int j = 0; j < 1000; ++j) {
        a[size_t(j)] = 0.5f * float(j);
        b[size_t(j)] = -2.0f * float(j);
    }
    file.WriteChannelBlock(a.data(), 1000);
    file.WriteChannelBlock(b.data(), 1000);
    file.Close();

    const std::string bytes = ReadAll(path);
    EXPECT_EQ(HeaderOffset(bytes), 32u + 8000u);
    EXPECT_EQ(FloatAt(bytes, 32 + 999 * 4), 499.5f);
    EXPECT_EQ(FloatAt(bytes, 4032 + 1 * 4), -2.0f);
    const std::string header = bytes.substr(8032);
    EXPECT_NE(header.find("org:Block1000\r\n"), std::string::npos);
    EXPECT_NE(header.find("frames:1000\r\n"), std::string::npos);
    EXPECT_NE(header.find("channel_offset:32\r\n"), std::string::npos);
    EXPECT_NE(header.find("channel_offset:4032\r\n"), std::string::npos);
    EXPECT_NE(header.find("pchan:5\r\n"), std::string::npos);
    EXPECT_NE(header.find("clk:0.001\r\n"), std::string::npos);
    // The unit is stored in Windows-1252: "²" is the single byte 0xB2.
    EXPECT_NE(header.find("unit:m/s\xB2\r\n"), std::string::npos);
}

TEST_F(RecordFileTest, EmptyRecordingHoldsHeadAndHeaderOnly)
{
    CRecordFile file;
    ASSERT_TRUE(file.Prepare(3, 4096));
    const std::string path = Path("e.vrd");
    ASSERT_TRUE(file.Open(QString::fromStdString(path)));
    file.Close();
    const std::string bytes = ReadAll(path);
    EXPECT_EQ(HeaderOffset(bytes), 32u);
    EXPECT_EQ(bytes.compare(32, 12, "beginheader:"), 0);
    EXPECT_NE(bytes.find("frames:0\r\n"), std::string::npos);
    EXPECT_EQ(file.Frames(), 0);
}

TEST_F(RecordFileTest, OpenIsRefusedWithoutChannelsOrFolder)
{
    CRecordFile file;
    EXPECT_FALSE(file.Open(QString::fromStdString(Path("none.vrd"))));
    ASSERT_TRUE(file.Prepare(0, 4096));
    EXPECT_FALSE(file.Open(QString::fromStdString(Path("none.vrd"))));
    EXPECT_FALSE(std::filesystem::exists(Path("none.vrd")));

    ASSERT_TRUE(file.Prepare(1, 16));
    EXPECT_FALSE(file.Open(QString::fromStdString(Path("missing/folder/x.vrd"))));
    EXPECT_FALSE(file.IsRecording());
    file.AppendValue(0, 1.0f); // ignored while closed
    file.Close();               // nothing open: no effect
}

// A path naming a device that refuses every write (like /dev/full) fails to
// open, and the device node is left where it is: only a file the recording
// made itself is ever removed.
TEST_F(RecordFileTest, FailedOpenNeverRemovesADevice)
{
    const std::string device = Path("full.vrd");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot make a device node here";
    CRecordFile file;
    ASSERT_TRUE(file.Prepare(1, 16));
    EXPECT_FALSE(file.Open(QString::fromStdString(device)));
    struct stat st {};
    ASSERT_EQ(::lstat(device.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_FALSE(file.IsRecording());
}

TEST_F(RecordFileTest, PrepareWhileOpenIsRefusedAndLeavesTheLayout)
{
    CRecordFile file;
    ASSERT_TRUE(file.Prepare(2, 8));
    const std::string path = Path("p.vrd");
    ASSERT_TRUE(file.Open(QString::fromStdString(path)));
    for (int j = 0; j < 10; ++j)
        for (int c = 0; c < 2; ++c)
            file.AppendValue(c, float(j));
    EXPECT_FALSE(file.Prepare(3, 16));
    EXPECT_EQ(file.ChannelCount(), 2);
    EXPECT_EQ(file.BlockFrames(), 8);
    file.Close();
    const std::string bytes = ReadAll(path);
    EXPECT_EQ(HeaderOffset(bytes), 32u + 2 * 2 * 8 * 4);
    EXPECT_NE(bytes.find("frames:10\r\n"), std::string::npos);
    EXPECT_FALSE(file.Prepare(-1, 8));
    EXPECT_FALSE(file.Prepare(2, 0));
    EXPECT_TRUE(file.Prepare(3, 16));
}

TEST_F(RecordFileTest, ReopenStartsFreshAndDestructorCloses)
{
    const std::string first = Path("1.vrd"), second = Path("2.vrd");
    {
        CRecordFile file;
        ASSERT_TRUE(file.Prepare(1, 4));
        ASSERT_TRUE(file.Open(QString::fromStdString(first)));
        for (int j = 0; j < 9; ++j)
            file.AppendValue(0, float(j));
        file.Close();
        ASSERT_TRUE(file.Open(QString::fromStdString(second)));
        // Until closed, the head names no header.
        EXPECT_EQ(HeaderOffset(ReadAll(second)), 0u);
        file.AppendValue(0, 7.0f);
    } // destroyed while recording
    EXPECT_EQ(HeaderOffset(ReadAll(first)), 32u + 3 * 16);
    const std::string bytes = ReadAll(second);
    EXPECT_EQ(HeaderOffset(bytes), 32u + 16);
    EXPECT_EQ(FloatAt(bytes, 32), 7.0f);
    EXPECT_NE(bytes.find("frames:1\r\n"), std::string::npos);
}

// Channel c of frame j: a counter no padding or header byte can imitate.
float Counter(int64_t j, int c) { return float(1 + (j * 2 + c) % (1 << 23)); }

// Checks a closed recording of two counter channels: head, whole blocks,
// frame count; returns the frames.
int64_t CheckCounterFile(const std::string& bytes, int blockFrames)
{
    const uint64_t offset = HeaderOffset(bytes);
    EXPECT_GE(offset, 32u);
    if (offset < 32 || offset >= bytes.size())
        return -1;
    EXPECT_EQ(bytes.compare(offset, 14, "beginheader:\r\n"), 0);
    const size_t at = bytes.find("frames:", offset);
    const int64_t frames = at == std::string::npos ? -1 : std::stoll(bytes.substr(at + 7, 20));
    const uint64_t blockBytes = 2 * uint64_t(blockFrames) * 4;
    const int64_t blocks = (frames + blockFrames - 1) / blockFrames;
    EXPECT_EQ(offset, 32 + uint64_t(blocks) * blockBytes);
    for (int64_t j = 0; j < frames; ++j)
        for (int c = 0; c < 2; ++c) {
            const size_t pos = 32 + size_t(((j / blockFrames) * 2 + c) * blockFrames + j % blockFrames) * 4;
            if (FloatAt(bytes, pos) != Counter(j, c)) {
                ADD_FAILURE() << "frame " << j << " channel " << c;
                return frames;
            }
        }
    return frames;
}

// Appends counter frames until the writer stops (or limit frames).
int64_t RecordUntilStopped(CRecordFile& file, int64_t limit)
{
    int64_t j = 0;
    for (; j < limit && file.IsRecording(); ++j)
        for (int c = 0; c < 2; ++c)
            file.AppendValue(c, Counter(j, c));
    return j;
}

TEST_F(RecordFileTest, SideRecordHoldsTheHeaderWhileTheFileIsOpen)
{
    CRecordFile file;
    ASSERT_TRUE(file.Prepare(2, 64));
    file.DefineChannel(0, 0, "left\r\nside", "V", 1e-3);
    file.DefineChannel(1, 1, "right", "\u00B0C", 1e-3);
    const std::string path = Path("s.vrd");
    ASSERT_TRUE(file.Open(QString::fromStdString(path)));
    EXPECT_EQ(CRecordFile::SideRecordPath(QString::fromStdString(path)).toStdString(), path + ".hdr");
    const std::string side = ReadAll(path + ".hdr");
    EXPECT_EQ(side.compare(0, 14, "beginheader:\r\n"), 0);
    EXPECT_NE(side.find("\r\nframes:0\r\n"), std::string::npos);
    EXPECT_NE(side.find("\r\nname:left  side\r\n"), std::string::npos) << "a line break would end the line";
    EXPECT_NE(side.find("\r\nunit:\xB0" "C\r\n"), std::string::npos);

    // A second writer of the same recording is refused while the first lives.
    CRecordFile other;
    ASSERT_TRUE(other.Prepare(1, 8));
    EXPECT_FALSE(other.Open(QString::fromStdString(path)));

    RecordUntilStopped(file, 100);
    file.Close();
    EXPECT_FALSE(std::filesystem::exists(path + ".hdr"));
    const std::string bytes = ReadAll(path);
    EXPECT_EQ(CheckCounterFile(bytes, 64), 100);
    // The header is the side record's text with the final frame count.
    std::string expected = side;
    expected.replace(expected.find("frames:0"), 8, "frames:100");
    EXPECT_EQ(bytes.substr(HeaderOffset(bytes)), expected);
}

TEST_F(RecordFileTest, FullFileSystemStopsTheRecordingAndKeepsItsWholeBlocks)
{
    SmallFileSystem disk(Path("small"), 64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    CRecordFile file;
    ASSERT_TRUE(file.Prepare(2, 1000)); // 8000-byte blocks
    file.DefineChannel(0, 0, "a", "V", 1e-4);
    file.DefineChannel(1, 1, "b", "V", 1e-4);
    const std::string path = disk.Folder() + "/full.vrd";
    ASSERT_TRUE(file.Open(QString::fromStdString(path)));
    const int64_t appended = RecordUntilStopped(file, 1000000);
    ASSERT_FALSE(file.IsRecording()) << "a 64 KiB file system cannot hold " << appended << " frames";
    EXPECT_TRUE(file.Failed());
    const QString message = file.FailureMessage();
    EXPECT_TRUE(message.contains(QString::fromStdString(path))) << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromLocal8Bit(std::strerror(ENOSPC)))) << message.toStdString();

    // Every whole block that fitted is kept, closed with its header.
    const std::string bytes = ReadAll(path);
    const int64_t frames = CheckCounterFile(bytes, 1000);
    EXPECT_EQ(frames, file.Frames());
    EXPECT_GE(frames, 5000) << "at least five blocks fit in 64 KiB";
    EXPECT_EQ(frames % 1000, 0);
    EXPECT_TRUE(message.contains(QString("The %1 frames recorded until then are kept in the file.").arg(frames)))
        << message.toStdString();
    EXPECT_FALSE(std::filesystem::exists(path + ".hdr"));

    // Closing the stopped recording changes nothing; the next Open starts afresh.
    file.Close();
    EXPECT_EQ(ReadAll(path), bytes);
    std::filesystem::remove(path);
    ASSERT_TRUE(file.Open(QString::fromStdString(path)));
    EXPECT_FALSE(file.Failed());
    file.Close();
}

TEST_F(RecordFileTest, HeaderWithoutRoomLeavesTheSideRecordForARepair)
{
    // The file may grow to its last whole block and no further.
    const int blockFrames = 512;
    const rlim_t limit = 32 + 3 * 2 * blockFrames * 4;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < limit)
        GTEST_SKIP() << "file size limit too low";
    CRecordFile file;
    ASSERT_TRUE(file.Prepare(2, blockFrames));
    file.DefineChannel(0, 0, "a", "V", 1e-4);
    file.DefineChannel(1, 1, "b", "V", 1e-4);
    const std::string path = Path("limited.vrd");
    ASSERT_TRUE(file.Open(QString::fromStdString(path)));
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = limit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    RecordUntilStopped(file, 1000000);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_TRUE(file.Failed());
    EXPECT_EQ(file.Frames(), 3 * blockFrames);
    EXPECT_TRUE(file.FailureMessage().contains(QString::fromLocal8Bit(std::strerror(EFBIG))));
    EXPECT_TRUE(file.FailureMessage().contains("no header yet: run \"vrd repair " + QString::fromStdString(path)))
        << file.FailureMessage().toStdString();
    const std::string bytes = ReadAll(path);
    EXPECT_EQ(bytes.size(), size_t(limit));
    EXPECT_EQ(HeaderOffset(bytes), 0u);
    EXPECT_NE(ReadAll(path + ".hdr").find("\r\nclosing:1536\r\n"), std::string::npos);
}

TEST_F(RecordFileTest, DeletingTheFileStopsTheRecording)
{
    CRecordFile file;
    ASSERT_TRUE(file.Prepare(2, 100));
    const std::string path = Path("gone/d.vrd");
    std::filesystem::create_directories(Path("gone"));
    ASSERT_TRUE(file.Open(QString::fromStdString(path)));
    RecordUntilStopped(file, 150);
    std::filesystem::remove_all(Path("gone"));
    RecordUntilStopped(file, 1000);
    EXPECT_FALSE(file.IsRecording());
    EXPECT_EQ(file.FailureMessage(),
              QString("Recording stopped: %1 was deleted while it was being written.").arg(QString::fromStdString(path)));
}

TEST_F(RecordFileTest, SamplePeriodIsWrittenWithAPointInAnyLocale)
{
    // A locale with a decimal comma, made for this test if the system has none.
    const std::string locales = Path("locale");
    env.SetEnv("LOCPATH", locales);
    std::filesystem::create_directories(locales);
    const std::string make = "localedef -i de_DE -f UTF-8 " + locales + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0 || !std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%g", 0.5);
    CRecordFile file;
    ASSERT_TRUE(file.Prepare(1, 8));
    file.DefineChannel(0, 0, "a", "V", 2.5e-5);
    ASSERT_TRUE(file.Open(QString::fromStdString(Path("l.vrd"))));
    file.Close();
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_STREQ(probe, "0,5") << "the locale has a decimal comma";
    EXPECT_NE(ReadAll(Path("l.vrd")).find("\r\nclk:2.5e-05\r\n"), std::string::npos);
}

TEST_F(RecordFileTest, FileNamesAreUtcWithMillisecondsInTheDataFolder)
{
    ResetContext();
    Ctx().programDirectory = QString::fromStdString(env.ProgramDir());
    CRecordFile file;
    const QDateTime before = QDateTime::currentDateTimeUtc();
    const QString plain = file.MakeFileName(false);
    const QString trigger = file.MakeFileName(true);
    static const QRegularExpression name("^(.*/)(\\d{8}_\\d{6}_\\d{3})(_trg)?\\.vrd$");
    auto match = name.match(plain);
    ASSERT_TRUE(match.hasMatch()) << plain.toStdString();
    EXPECT_EQ(match.captured(1).toStdString(), env.ProgramDir() + "data/");
    EXPECT_TRUE(match.captured(3).isEmpty());
    const QDateTime stamp = QDateTime::fromString(match.captured(2), "yyyyMMdd_HHmmss_zzz");
    ASSERT_TRUE(stamp.isValid());
    QDateTime utc(stamp.date(), stamp.time(), Qt::UTC);
    EXPECT_LE(std::abs(utc.msecsTo(before)), 2000);
    EXPECT_TRUE(trigger.endsWith("_trg.vrd"));

    Ctx().chosenDataPath = "/somewhere/else";
    EXPECT_TRUE(file.MakeFileName(false).startsWith("/somewhere/else/"));
    ResetContext();
}

// The same samples recorded twice, value by value (AppendValue per channel,
// frame by frame) and in runs (AppendFrames); polls of random lengths cross
// the block boundaries.
class TwoWayRecording {
public:
    TwoWayRecording(int channels, int blockFrames, const std::string& byValuePath, const std::string& byRunPath)
        : m_recorded(size_t(channels)), m_channels(channels), m_byValuePath(byValuePath), m_byRunPath(byRunPath),
          m_rows(size_t(channels))
    {
        for (CRecordFile* file : {&m_byValue, &m_byRun}) {
            file->Prepare(channels, blockFrames);
            for (int c = 0; c < channels; ++c)
                file->DefineChannel(c, c + 1, QString("ch%1").arg(c), "V", 1.0 / 50000);
        }
    }

    bool Open()
    {
        return m_byValue.Open(QString::fromStdString(m_byValuePath)) &&
               m_byRun.Open(QString::fromStdString(m_byRunPath));
    }
    void Close()
    {
        m_byValue.Close();
        m_byRun.Close();
    }
    // One poll of frames random samples, given to both files.
    void Poll(int frames)
    {
        std::uniform_real_distribution<float> sample(-1000.0f, 1000.0f);
        std::vector<const float*> starts;
        for (auto& row : m_rows) {
            row.resize(size_t(frames));
            for (float& v : row)
                v = sample(m_random);
            starts.push_back(row.data());
        }
        for (int j = 0; j < frames; ++j)
            for (int c = 0; c < m_channels; ++c)
                m_byValue.AppendValue(c, m_rows[size_t(c)][size_t(j)]);
        m_byRun.AppendFrames(starts, frames);
        if (m_byRun.IsRecording())
            for (int c = 0; c < m_channels; ++c)
                m_recorded[size_t(c)].insert(m_recorded[size_t(c)].end(), m_rows[size_t(c)].begin(), m_rows[size_t(c)].end());
    }
    // Polls of random lengths, from 1 up to a few blocks, some exactly one block.
    void RandomPolls(int count, int blockFrames)
    {
        std::uniform_int_distribution<int> length(1, 3 * blockFrames + 1);
        for (int i = 0; i < count; ++i)
            Poll(i % 5 == 3 ? blockFrames : length(m_random));
    }

    CRecordFile& ByValue() { return m_byValue; }
    CRecordFile& ByRun() { return m_byRun; }
    // What the recording by runs was given while it recorded, per channel.
    std::vector<std::vector<float>> m_recorded;

private:
    int m_channels;
    std::string m_byValuePath, m_byRunPath;
    CRecordFile m_byValue, m_byRun;
    std::mt19937 m_random{20261208};
    std::vector<std::vector<float>> m_rows;
};

// The start time is that of each Open, which may fall on either side of a
// second: its digits are blanked out, every other byte compared.
std::string WithoutStartTime(std::string bytes)
{
    const size_t at = bytes.find("\r\nstarttime:");
    if (at != std::string::npos)
        for (size_t i = at + 12; i < bytes.size() && bytes[i] != '\r'; ++i)
            bytes[i] = 'x';
    return bytes;
}

// Channel c, frame j of a recording at 32 + (b * channels + c) * blockFrames * 4.
void ExpectLayout(const std::string& bytes, const std::vector<std::vector<float>>& recorded, int channels,
                  int blockFrames)
{
    for (int c = 0; c < channels; ++c)
        for (size_t j = 0; j < recorded[size_t(c)].size(); ++j) {
            const size_t b = j / size_t(blockFrames), k = j % size_t(blockFrames);
            const size_t pos = 32 + ((b * size_t(channels) + size_t(c)) * size_t(blockFrames) + k) * 4;
            ASSERT_EQ(FloatAt(bytes, pos), recorded[size_t(c)][j]) << "channel " << c << " frame " << j;
        }
}

TEST_F(RecordFileTest, RunsGiveTheSameFileAsValueByValue)
{
    const struct {
        int channels;
        int blockFrames;
    } cases[] = {{1, 64}, {2, 100}, {2, 4096}, {24, 64}, {24, 4096}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, blocks of " << c.blockFrames);
        const std::string byValue = Path("value.vrd"), byRun = Path("run.vrd");
        TwoWayRecording both(c.channels, c.blockFrames, byValue, byRun);
        both.RandomPolls(3, c.blockFrames); // before the recording: nothing kept
        // Started inside a poll: the poll's first part goes nowhere.
        both.Poll(c.blockFrames / 3);
        ASSERT_TRUE(both.Open());
        both.Poll(c.blockFrames / 2 + 1);
        both.RandomPolls(12, c.blockFrames);
        both.Poll(0);
        EXPECT_EQ(WithoutStartTime(ReadAll(byValue + ".hdr")), WithoutStartTime(ReadAll(byRun + ".hdr")));
        const int64_t frames = int64_t(both.m_recorded[0].size());
        if (frames % c.blockFrames == 0) // stop inside a block
            both.Poll(1);
        both.Close();
        EXPECT_EQ(both.ByRun().Frames(), int64_t(both.m_recorded[0].size()));
        EXPECT_NE(both.ByRun().Frames() % c.blockFrames, 0);
        both.Poll(c.blockFrames + 5); // after the recording: nothing kept

        const std::string run = ReadAll(byRun);
        ASSERT_EQ(WithoutStartTime(ReadAll(byValue)), WithoutStartTime(run));
        ExpectLayout(run, both.m_recorded, c.channels, c.blockFrames);
        EXPECT_FALSE(std::filesystem::exists(byRun + ".hdr"));
    }
}

// Stopped on the last frame of a block: the full block is written by
// Close, not by a flush of its own, in both ways alike.
TEST_F(RecordFileTest, RunsEndingOnABlockBoundaryGiveTheSameFile)
{
    const std::string byValue = Path("value.vrd"), byRun = Path("run.vrd");
    TwoWayRecording both(3, 50, byValue, byRun);
    ASSERT_TRUE(both.Open());
    both.Poll(120);
    both.Poll(30);
    both.Close();
    EXPECT_EQ(both.ByRun().Frames(), 150);
    const std::string run = ReadAll(byRun);
    ASSERT_EQ(WithoutStartTime(ReadAll(byValue)), WithoutStartTime(run));
    EXPECT_EQ(HeaderOffset(run), 32u + 3 * 3 * 50 * 4);
}

// A write that fails stops both recordings at the same block, with the
// same side record (its closing line) for a repair.
TEST_F(RecordFileTest, RunsStopOnAFailedWriteAsValueByValueDoes)
{
    const int blockFrames = 256, channels = 2;
    const rlim_t limit = 32 + 3 * channels * blockFrames * 4;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < limit)
        GTEST_SKIP() << "file size limit too low";
    const std::string byValue = Path("value.vrd"), byRun = Path("run.vrd");
    TwoWayRecording both(channels, blockFrames, byValue, byRun);
    ASSERT_TRUE(both.Open());
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = limit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    both.RandomPolls(10, blockFrames);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(both.ByRun().IsRecording());
    EXPECT_TRUE(both.ByRun().Failed());
    EXPECT_EQ(both.ByRun().Frames(), 3 * blockFrames);
    EXPECT_EQ(both.ByValue().Frames(), 3 * blockFrames);
    EXPECT_EQ(ReadAll(byValue), ReadAll(byRun));
    const std::string side = ReadAll(byRun + ".hdr");
    EXPECT_NE(side.find("\r\nclosing:768\r\n"), std::string::npos) << side;
    EXPECT_EQ(WithoutStartTime(ReadAll(byValue + ".hdr")), WithoutStartTime(side));
}

// Opening truncates: a name taken by a recording, or by the side record of
// one being written, is never handed out again.
TEST_F(RecordFileTest, TakenNamesAreNotReused)
{
    const QString base = QString::fromStdString(Path("20261208_101010_123_trg.vrd"));
    EXPECT_EQ(CRecordFile::FreePath(base), base);
    QFile(base).open(QIODevice::WriteOnly);
    const QString second = CRecordFile::FreePath(base);
    EXPECT_EQ(second, QString::fromStdString(Path("20261208_101010_123_trg_2.vrd")));
    QFile(CRecordFile::SideRecordPath(second)).open(QIODevice::WriteOnly);
    EXPECT_EQ(CRecordFile::FreePath(base), QString::fromStdString(Path("20261208_101010_123_trg_3.vrd")));
}
} // namespace
