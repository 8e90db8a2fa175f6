#include "regularfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int OpenFlags(RegularFile::Access access)
{
    // O_NOCTTY: a terminal swapped in after the check never becomes ours.
    const int common = O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    switch (access) {
    case RegularFile::Access::Read: return O_RDONLY | common;
    case RegularFile::Access::Write: return O_WRONLY | O_CREAT | O_TRUNC | common;
    case RegularFile::Access::Append: return O_WRONLY | O_CREAT | O_APPEND | common;
    }
    return O_RDONLY | common;
}

} // namespace

FileKind RegularFile::KindOf(mode_t mode) noexcept
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Directory;
    if (S_ISFIFO(mode))
        return FileKind::Fifo;
    if (S_ISCHR(mode))
        return FileKind::CharacterDevice;
    if (S_ISBLK(mode))
        return FileKind::BlockDevice;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    return FileKind::Unknown;
}

const char* RegularFile::KindName(FileKind kind) noexcept
{
    switch (kind) {
    case FileKind::Missing: return "missing";
    case FileKind::Regular: return "a regular file";
    case FileKind::Directory: return "a directory";
    case FileKind::Fifo: return "a FIFO";
    case FileKind::CharacterDevice: return "a character device";
    case FileKind::BlockDevice: return "a block device";
    case FileKind::Socket: return "a socket";
    case FileKind::Unknown: break;
    }
    return "of an unknown kind";
}

FileKind RegularFile::Inspect(const char* path, bool* throughLink) noexcept
{
    struct stat info {};
    if (throughLink)
        *throughLink = ::lstat(path, &info) == 0 && S_ISLNK(info.st_mode);
    if (::stat(path, &info) != 0)
        return FileKind::Missing;
    return KindOf(info.st_mode);
}

bool RegularFile::Open(const char* path, Access access, mode_t mode) noexcept
{
    Close();
    m_kind = FileKind::Missing;
    m_throughLink = false;
    m_error = 0;
    if (!path || !*path)
        return Refuse(FileKind::Missing, ENOENT);

    m_kind = Inspect(path, &m_throughLink);
    if (m_kind != FileKind::Regular && m_kind != FileKind::Missing)
        return Refuse(m_kind, 0);

    int fd;
    do {
        fd = ::open(path, OpenFlags(access), mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Refuse(m_kind, errno);

    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return Refuse(m_kind, error);
    }
    m_kind = KindOf(info.st_mode);
    if (m_kind != FileKind::Regular) {
        ::close(fd);
        return Refuse(m_kind, 0);
    }
    m_fd = fd;
    m_size = int64_t(info.st_size);
    return true;
}

bool RegularFile::Refuse(FileKind kind, int error) noexcept
{
    m_kind = kind;
    m_error = error;
    return false;
}

void RegularFile::Close() noexcept
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
}

int RegularFile::Release() noexcept
{
    const int fd = m_fd;
    m_fd = -1;
    m_size = 0;
    return fd;
}

int64_t RegularFile::ReadAt(int64_t offset, void* dest, size_t bytes) const noexcept
{
    auto* out = static_cast<char*>(dest);
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::pread(m_fd, out + done, bytes - done, off_t(offset + int64_t(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += size_t(n);
    }
    return int64_t(done);
}

int64_t RegularFile::Read(void* dest, size_t bytes) const noexcept
{
    for (;;) {
        const ssize_t n = ::read(m_fd, dest, bytes);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

std::string RegularFile::Describe(const std::string& path) const
{
    if (IsOpen())
        return {};
    if (m_error == 0) {
        const std::string link = m_throughLink ? "a link to " : "";
        return path + " is " + link + KindName(m_kind) + ", not a regular file";
    }
    char buffer[256];
    // The GNU strerror_r returns the text, which need not be in buffer.
    const char* text = ::strerror_r(m_error, buffer, sizeof buffer);
    return "cannot open " + path + ": " + text;
}
