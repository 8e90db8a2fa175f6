#include "cleaner.h"

#include "layout.h"
#include "mapping.h"
#include "readerslots.h"

#include <cstring>
#include <dirent.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/mman.h>
#include <unistd.h>

namespace zq {

namespace {

constexpr const char* kShmFolder = "/dev/shm";

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

int Cleaner::Run()
{
    DIR* folder = ::opendir(kShmFolder);
    if (!folder)
        return -1;
    int removed = 0;
    const uid_t self = ::geteuid();
    while (const dirent* entry = ::readdir(folder)) {
        const std::string file = entry->d_name;
        struct stat st {};
        if (file == "." || file == ".." || file.compare(0, m_prefix.size(), m_prefix) != 0 ||
            ::fstatat(::dirfd(folder), file.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != self)
            continue;
        const std::string name = "/" + file;
        if (EndsWith(file, ".readers")) {
            if (ReaderSlots::RemoveUnused(name)) {
                Removed(name, "reader table nobody uses");
                ++removed;
            }
        } else if (RemoveDeadSegment(name)) {
            ++removed;
        }
    }
    ::closedir(folder);
    return removed;
}

bool Cleaner::RemoveDeadSegment(const std::string& name)
{
    Mapping segment;
    if (!segment.OpenObject(name, false) || segment.ObjectSize() < kPoolOffset)
        return false;
    // Only a channel segment of this library: its magic and layout version.
    uint32_t head[2] = {};
    if (::pread(segment.Fd(), head, sizeof head, 0) != sizeof head || head[0] != kMagic)
        return false;
    // A live writer holds the lock for as long as it writes.
    if (::flock(segment.Fd(), LOCK_EX | LOCK_NB) != 0 || segment.Unlinked())
        return false;
    int32_t pid = 0;
    ::pread(segment.Fd(), &pid, sizeof pid, offsetof(Header, writerPid));
    if (::shm_unlink(name.c_str()) != 0)
        return false;
    Removed(name, pid > 0 ? "channel segment of writer " + std::to_string(pid) + ", which died"
                          : "channel segment without a writer");
    return true;
}

void Cleaner::Removed(const std::string& name, const std::string& what)
{
    if (m_report)
        m_report((kShmFolder + name).c_str(), what.c_str(), m_user);
}

} // namespace zq
