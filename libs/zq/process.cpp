#include "process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace zq {

uint64_t ProcessStartTime(int pid)
{
    if (pid <= 0)
        return 0;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[1024];
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0)
        return 0;
    text[got] = '\0';
    // The command name (field 2) may hold spaces and parentheses: the
    // fields after it start behind the last ')'.
    const char* p = std::strrchr(text, ')');
    if (!p || p[1] != ' ')
        return 0;
    p += 2;
    const char state = *p;
    if (state == 'Z' || state == 'X' || state == 'x')
        return 0;
    // p points at field 3; the start time is field 22.
    for (int field = 3; field < 22; ++field) {
        p = std::strchr(p, ' ');
        if (!p)
            return 0;
        ++p;
    }
    return std::strtoull(p, nullptr, 10);
}

bool ProcessAlive(int pid, uint64_t startTime)
{
    if (pid <= 0)
        return false;
    if (pid == SelfPid())
        return startTime == 0 || startTime == SelfStartTime();
    const uint64_t now = ProcessStartTime(pid);
    // A start time of 0 in the segment means the writer is still claiming it.
    return now != 0 && (startTime == 0 || now == startTime);
}

int SelfPid()
{
    // Not cached: a forked child must see its own pid.
    return static_cast<int>(::getpid());
}

uint64_t SelfStartTime()
{
    static thread_local int cachedPid = 0;
    static thread_local uint64_t cachedStart = 0;
    const int pid = SelfPid();
    if (pid != cachedPid) {
        cachedStart = ProcessStartTime(pid);
        cachedPid = pid;
    }
    return cachedStart;
}

uint64_t MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

std::string SegmentName()
{
    const char* env = std::getenv("ZQ_NAME");
    std::string name;
    if (env && *env) {
        name = env;
        while (!name.empty() && name.front() == '/')
            name.erase(name.begin());
        for (char& c : name)
            if (c == '/')
                c = '_';
        if (name.size() > 200)
            name.resize(200);
    }
    if (name.empty())
        name = "krv-zq-" + std::to_string(::getuid());
    return "/" + name;
}

void DebugLine(const std::string& text)
{
    std::fprintf(stderr, "*** %s\n", text.c_str());
    std::fflush(stderr);
}

} // namespace zq
