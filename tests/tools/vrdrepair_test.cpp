// vrd repair, run as a program on recordings whose writer CRecordFile was
// killed: a side record that does not fit the data, and a full disk, leave
// the recording and its side record byte for byte as they were.
#include "acquisition/recordfile.h"
#include "support/smallfilesystem.h"
#include "support/testenvironment.h"
#include "vrdprogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Channel c of frame j holds j + c / 4.
void RecordAndDie(const std::string& path, int channels, int blockFrames, int frames)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CRecordFile file;
        file.Prepare(channels, blockFrames);
        for (int c = 0; c < channels; ++c)
            file.DefineChannel(c, c + 1, QString("ch%1").arg(c), "V", 1.0 / 8000);
        if (!file.Open(QString::fromStdString(path)))
            _exit(3);
        for (int j = 0; j < frames; ++j)
            for (int c = 0; c < channels; ++c)
                file.AppendValue(c, float(j) + float(c) / 4);
        raise(SIGKILL);
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
}

void Replace(std::string& text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

// Refused with exit 1, one line naming the reason, nothing touched.
void ExpectRefusedUntouched(const std::string& path, const std::string& reason, const std::string& what)
{
    const std::string data = VrdProgram::Read(path), side = VrdProgram::Read(path + ".hdr");
    const VrdProgram::Result repair = VrdProgram::Run("repair " + path);
    EXPECT_EQ(repair.status, 1) << what << ": " << repair.out;
    EXPECT_EQ(std::count(repair.out.begin(), repair.out.end(), '\n'), 1) << what << ": " << repair.out;
    EXPECT_NE(repair.out.find(reason), std::string::npos) << what << ": " << repair.out;
    EXPECT_TRUE(VrdProgram::Read(path) == data) << what << ": the recording changed";
    EXPECT_TRUE(VrdProgram::Read(path + ".hdr") == side) << what << ": the side record changed";
}

TEST(VrdRepairTest, ASideRecordThatDoesNotFitTheDataIsRefusedAndNothingTouched)
{
    TestEnvironment env;
    const std::string path = env.Root() + "/killed.vrd";
    // 2 channels, 10 whole blocks of 1024 frames (81952 bytes), 500 frames unwritten.
    RecordAndDie(path, 2, 1024, 10 * 1024 + 500);
    ASSERT_EQ(std::filesystem::file_size(path), 32u + 10 * 2 * 1024 * 4);
    const std::string side = VrdProgram::Read(path + ".hdr");

    // Another block length, the channel offsets left as they were.
    std::string longer = side;
    Replace(longer, "org:Block1024\r\n", "org:Block1048576\r\n");
    VrdProgram::Write(path + ".hdr", longer);
    ExpectRefusedUntouched(path, "channel 1's channel_offset 4128 is not that of blocks of 1048576 frames",
                           "block length");

    // Another block length with offsets to match: one block would be larger
    // than the whole data.
    std::string consistent = longer;
    Replace(consistent, "channel_offset:4128\r\n", "channel_offset:" + std::to_string(32 + 1048576 * 4) + "\r\n");
    VrdProgram::Write(path + ".hdr", consistent);
    ExpectRefusedUntouched(path, "one block of 2 channels x 1048576 frames is 8388608 bytes, more than the 81920",
                           "blocks larger than the data");

    // A closing count that leaves nine whole blocks unaccounted for.
    VrdProgram::Write(path + ".hdr", side + "closing:700\r\n");
    ExpectRefusedUntouched(path, "its closing count of 700 frames fills 1 blocks, but the file holds 10 whole blocks",
                           "closing count");

    // Its own side record repairs it.
    VrdProgram::Write(path + ".hdr", side);
    const VrdProgram::Result repair = VrdProgram::Run("repair " + path);
    ASSERT_EQ(repair.status, 0) << repair.out;
    EXPECT_NE(repair.out.find("10240 frames in 10 blocks of 2 channels x 1024 frames"), std::string::npos)
        << repair.out;
    EXPECT_FALSE(std::filesystem::exists(path + ".hdr"));
}

// A writer killed while its first block was going to disk leaves part of
// that block: no whole block to keep, and its bytes cannot be told from a
// side record with a wrong block length, so repair refuses and keeps them.
TEST(VrdRepairTest, AFirstBlockCutShortIsRefusedAndKept)
{
    TestEnvironment env;
    const std::string path = env.Root() + "/torn.vrd";
    RecordAndDie(path, 3, 1000, 1500);
    ASSERT_EQ(std::filesystem::file_size(path), 32u + 3 * 1000 * 4);
    std::filesystem::resize_file(path, 4096); // the write torn at a page
    ExpectRefusedUntouched(path, "ended inside its first block", "first block cut short");
}

// Fills the file system: a file grown until the disk is full.
void Fill(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string page(4096, 'f');
    while (::write(fd, page.data(), page.size()) > 0) {}
    while (::write(fd, page.data(), 1) > 0) {}
    EXPECT_EQ(errno, ENOSPC);
    ::close(fd);
}

TEST(VrdRepairTest, OnAFullDiskRepairSaysSoAndPutsBackWhatItOverwrote)
{
    TestEnvironment env;
    SmallFileSystem disk(env.Root() + "/disk", 64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    // One block of 991 frames of one channel (3964 bytes) and 100 bytes of
    // a partial block behind it end the file on a page: the header, longer
    // than those 100 bytes, overwrites them and needs a page more.
    const std::string path = disk.Folder() + "/full.vrd";
    RecordAndDie(path, 1, 991, 991 + 300);
    std::string partial(100, '\0');
    for (size_t i = 0; i < partial.size(); ++i)
        partial[i] = char(0xA0 + i % 16);
    {
        std::string bytes = VrdProgram::Read(path);
        ASSERT_EQ(bytes.size(), 32u + 3964);
        VrdProgram::Write(path, bytes + partial);
    }
    const std::string data = VrdProgram::Read(path), side = VrdProgram::Read(path + ".hdr");
    ASSERT_EQ(data.size(), 4096u);
    ASSERT_GT(side.size(), partial.size());
    Fill(disk.Folder() + "/filler");

    const VrdProgram::Result full = VrdProgram::Run("repair " + path);
    EXPECT_EQ(full.status, 1) << full.out;
    EXPECT_NE(full.out.find(std::string("writing ") + path + " failed: " + std::strerror(ENOSPC) +
                            "; the recording and its side record are as they were"),
              std::string::npos)
        << full.out;
    EXPECT_TRUE(VrdProgram::Read(path) == data) << "the recording changed";
    EXPECT_TRUE(VrdProgram::Read(path + ".hdr") == side) << "the side record changed";

    // With room again the repair keeps the whole block and drops the partial one.
    std::filesystem::remove(disk.Folder() + "/filler");
    const VrdProgram::Result repair = VrdProgram::Run("repair " + path);
    ASSERT_EQ(repair.status, 0) << repair.out;
    EXPECT_NE(repair.out.find("991 frames in 1 blocks"), std::string::npos) << repair.out;
    EXPECT_FALSE(std::filesystem::exists(path + ".hdr"));
    const VrdProgram::Result csv = VrdProgram::Run("csv " + path);
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 992);
    EXPECT_NE(csv.out.find("\n0.12375,990\n"), std::string::npos) << csv.out.substr(csv.out.size() - 60);
}
} // namespace
