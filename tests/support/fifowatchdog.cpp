#include "support/fifowatchdog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FifoWatchdog::FifoWatchdog(std::string path, std::chrono::seconds deadline) : m_path(std::move(path))
{
    m_made = ::mkfifo(m_path.c_str(), 0644) == 0;
    if (m_made)
        m_thread = std::thread([this, deadline] { Watch(deadline); });
}

FifoWatchdog::~FifoWatchdog() { Finish(); }

void FifoWatchdog::Finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void FifoWatchdog::Watch(std::chrono::seconds deadline)
{
    std::unique_lock lock(m_mutex);
    if (m_cv.wait_for(lock, deadline, [this] { return m_finished; }))
        return;
    m_tripped = true;
    // Opening both ends (Linux allows O_RDWR on a FIFO) releases an open
    // blocked on either; closing them ends a blocked read (end of data) or
    // write (EPIPE).
    while (!m_cv.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_finished; })) {
        const int fd = ::open(m_path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }
}
