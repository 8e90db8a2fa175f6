#pragma once
// Removes what the service left in /dev/shm that nothing uses any more: the
// channel segments of writers that died and reader tables no process has
// open, of every namespace of this user. Recognises its objects by name,
// length and magic, and judges use by the locks their users hold (see
// layout.h), never by pids alone.

#include <string>
#include <utility>

namespace zq {

class Cleaner {
public:
    using Report = void (*)(const char* path, const char* what, void* user);

    // Only objects whose name (without the leading '/') begins with prefix.
    Cleaner(std::string prefix, Report report, void* user)
        : m_prefix(std::move(prefix)), m_report(report), m_user(user)
    {
    }

    // Objects removed, or -1 when /dev/shm cannot be listed.
    int Run();

private:
    bool RemoveDeadSegment(const std::string& name);
    void Removed(const std::string& name, const std::string& what);

    std::string m_prefix;
    Report m_report;
    void* m_user;
};

} // namespace zq
