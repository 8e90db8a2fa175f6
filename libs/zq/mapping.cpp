#include "mapping.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zq {

bool Mapping::OpenExisting(const std::string& name, Mode mode, size_t minSize)
{
    Close();
    m_name = name;
    const int flags = (mode == Mode::ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    m_fd = ::shm_open(name.c_str(), flags, 0);
    if (m_fd < 0) {
        m_error = name + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || size_t(st.st_size) < minSize) {
        m_error = name + ": segment is incomplete";
        Close();
        return false;
    }
    return MapFd(mode, size_t(st.st_size));
}

bool Mapping::OpenObject(const std::string& name, bool create)
{
    Close();
    m_name = name;
    m_fd = ::shm_open(name.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (m_fd < 0) {
        m_error = name + ": " + std::strerror(errno);
        return false;
    }
    m_mode = Mode::ReadWrite;
    return true;
}

bool Mapping::Reserve(size_t size)
{
    const int err = ::posix_fallocate(m_fd, 0, off_t(size));
    if (err == EOPNOTSUPP || err == EINVAL) {
        // No reservation on this file system: growing is all we can do.
        struct stat st {};
        if (::fstat(m_fd, &st) != 0 || (size_t(st.st_size) < size && ::ftruncate(m_fd, off_t(size)) != 0)) {
            m_error = m_name + ": cannot size the segment: " + std::strerror(errno);
            return false;
        }
    } else if (err != 0) {
        m_error = "/dev/shm cannot hold " + m_name.substr(1) + " (" + SizeText(size) +
                  " of shared memory needed): " + std::strerror(err);
        return false;
    }
    if (!m_base)
        return MapFd(Mode::ReadWrite, std::max(size, ObjectSize()));
    return Remap();
}

size_t Mapping::ObjectSize() const
{
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? size_t(st.st_size) : 0;
}

bool Mapping::Unlinked() const
{
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 && st.st_nlink == 0;
}

bool Mapping::Remap()
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        m_error = std::string("fstat: ") + std::strerror(errno);
        return false;
    }
    return size_t(st.st_size) <= m_size || MapAgain(size_t(st.st_size));
}

bool Mapping::MapAgain(size_t size)
{
    const int prot = m_mode == Mode::ReadOnly ? PROT_READ : PROT_READ | PROT_WRITE;
    void* base = ::mmap(nullptr, size, prot, MAP_SHARED, m_fd, 0);
    if (base == MAP_FAILED) {
        m_error = std::string("mmap: ") + std::strerror(errno);
        return false;
    }
    ::munmap(m_base, m_size);
    m_base = base;
    m_size = size;
    return true;
}

bool Mapping::MapFd(Mode mode, size_t size)
{
    const int prot = mode == Mode::ReadOnly ? PROT_READ : PROT_READ | PROT_WRITE;
    void* base = ::mmap(nullptr, size, prot, MAP_SHARED, m_fd, 0);
    if (base == MAP_FAILED) {
        m_error = std::string("mmap: ") + std::strerror(errno);
        Close();
        return false;
    }
    m_base = base;
    m_size = size;
    m_mode = mode;
    return true;
}

void Mapping::Close()
{
    if (m_base)
        ::munmap(m_base, m_size);
    if (m_fd >= 0)
        ::close(m_fd);
    m_base = nullptr;
    m_size = 0;
    m_fd = -1;
}

std::string SizeText(size_t bytes)
{
    if (bytes < (size_t(10) << 20))
        return std::to_string((bytes + 1023) >> 10) + " KiB";
    return std::to_string((bytes + (size_t(1) << 20) - 1) >> 20) + " MiB";
}

} // namespace zq
