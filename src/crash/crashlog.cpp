#include "crashlog.h"

#include "crash/safeformat.h"
#include "platform/regularfile.h"

#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

bool CCrashLog::Open(const char* path)
{
    Close();
    if (!path || !*path)
        return false;
    // Only a regular file: opening a FIFO for writing would wait for a
    // reader, in the middle of a crash, and a device is no log.
    RegularFile file;
    if (!file.Open(path, RegularFile::Access::Append, 0644))
        return false;
    m_fd = file.Release();
    while (flock(m_fd, LOCK_EX) < 0 && errno == EINTR) {
    }
    return true;
}

void CCrashLog::Close()
{
    if (m_fd < 0)
        return;
    fsync(m_fd); // the report reaches the disk even if the machine goes down with the process
    flock(m_fd, LOCK_UN);
    close(m_fd);
    m_fd = -1;
}

void CCrashLog::Write(const char* format, ...)
{
    if (m_fd < 0)
        return;
    char line[kLineSize];
    va_list args;
    va_start(args, format);
    std::size_t length = SafeFormatV(line, sizeof line, format, args);
    va_end(args);
    const char* p = line;
    while (length > 0) {
        ssize_t written = write(m_fd, p, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        p += written;
        length -= static_cast<std::size_t>(written);
    }
}
