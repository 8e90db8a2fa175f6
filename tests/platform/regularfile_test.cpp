// Opening only regular files: every kind a folder can hold, directly and
// through a symbolic link, for reading, writing and appending.
#include "platform/regularfile.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A listening-less Unix socket bound at path, for as long as it lives.
class BoundSocket {
public:
    explicit BoundSocket(const std::string& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        m_bound = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~BoundSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool Bound() const { return m_bound; }

private:
    int m_fd;
    bool m_bound = false;
};

class RegularFileTest : public testing::Test {
protected:
    std::string Path(const std::string& name) const { return env.Root() + "/" + name; }
    // A symbolic link beside the target named "link-to-<name>".
    std::string LinkTo(const std::string& target)
    {
        const std::string link = Path("link-to-" + target.substr(target.rfind('/') + 1));
        ::unlink(link.c_str());
        EXPECT_EQ(::symlink(target.c_str(), link.c_str()), 0);
        return link;
    }
    TestEnvironment env;
};

TEST_F(RegularFileTest, OnlyRegularFilesOpenAndEveryOtherKindIsNamed)
{
    // Short names: a socket path has room for about a hundred bytes.
    const std::string regular = Path("r");
    std::ofstream(regular) << "twelve bytes";
    const std::string directory = Path("d");
    ASSERT_EQ(::mkdir(directory.c_str(), 0755), 0);
    const std::string fifo = Path("f");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string socketPath = Path("s");
    BoundSocket socket(socketPath);
    ASSERT_TRUE(socket.Bound()) << socketPath;

    struct Case {
        std::string path;
        FileKind kind;
        const char* said; // what the refusal says after the path
    } cases[] = {
        {regular, FileKind::Regular, ""},
        {directory, FileKind::Directory, " is a directory, not a regular file"},
        {fifo, FileKind::Fifo, " is a FIFO, not a regular file"},
        {"/dev/null", FileKind::CharacterDevice, " is a character device, not a regular file"},
        {"/dev/zero", FileKind::CharacterDevice, " is a character device, not a regular file"},
        {socketPath, FileKind::Socket, " is a socket, not a regular file"},
    };
    for (const Case& c : cases) {
        for (bool viaLink : {false, true}) {
            const std::string path = viaLink ? LinkTo(c.path) : c.path;
            SCOPED_TRACE(path);
            EXPECT_EQ(RegularFile::Inspect(path.c_str()), c.kind);
            for (RegularFile::Access access :
                 {RegularFile::Access::Read, RegularFile::Access::Append, RegularFile::Access::Write}) {
                if (access == RegularFile::Access::Write && c.kind == FileKind::Regular)
                    continue; // would truncate the file the other cases read
                RegularFile file;
                const bool opened = file.Open(path.c_str(), access);
                EXPECT_EQ(opened, c.kind == FileKind::Regular) << int(access);
                EXPECT_EQ(file.Kind(), c.kind);
                if (opened) {
                    EXPECT_EQ(file.Describe(path), "");
                    continue;
                }
                EXPECT_FALSE(file.IsOpen());
                EXPECT_EQ(file.Error(), 0) << "refused for its kind, before the system was asked";
                const std::string link = viaLink ? " is a link to" : " is";
                const std::string expected = path + link + std::string(c.said).substr(3);
                EXPECT_EQ(file.Describe(path), expected);
            }
        }
    }
    RegularFile file;
    ASSERT_TRUE(file.Open(LinkTo(regular).c_str(), RegularFile::Access::Read));
    EXPECT_EQ(file.Size(), 12);
    char bytes[32] = {};
    EXPECT_EQ(file.ReadAt(7, bytes, sizeof bytes), 5);
    EXPECT_STREQ(bytes, "bytes");
}

TEST_F(RegularFileTest, MissingFilesAreCreatedForWritingAndNamedForReading)
{
    const std::string path = Path("new.txt");
    RegularFile reader;
    EXPECT_FALSE(reader.Open(path.c_str(), RegularFile::Access::Read));
    EXPECT_EQ(reader.Kind(), FileKind::Missing);
    EXPECT_EQ(reader.Error(), ENOENT);
    EXPECT_EQ(reader.Describe(path), "cannot open " + path + ": " + std::strerror(ENOENT));

    // A dangling link is missing too; writing through it makes its target.
    const std::string target = Path("target.txt");
    const std::string link = LinkTo(target);
    EXPECT_EQ(RegularFile::Inspect(link.c_str()), FileKind::Missing);
    {
        RegularFile writer;
        ASSERT_TRUE(writer.Open(link.c_str(), RegularFile::Access::Append, 0600)) << writer.Describe(link);
        ASSERT_EQ(::write(writer.Fd(), "abc", 3), 3);
    }
    {
        RegularFile appender;
        ASSERT_TRUE(appender.Open(target.c_str(), RegularFile::Access::Append));
        ASSERT_EQ(::write(appender.Fd(), "def", 3), 3);
    }
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u) << "created with the mode asked for";
    EXPECT_EQ(info.st_size, 6);
    {
        RegularFile truncating;
        ASSERT_TRUE(truncating.Open(target.c_str(), RegularFile::Access::Write));
        EXPECT_EQ(truncating.Size(), 0);
    }
    EXPECT_EQ(RegularFile::Inspect(target.c_str()), FileKind::Regular);
    EXPECT_FALSE(reader.Open("", RegularFile::Access::Read));
}

} // namespace
