#include "smallfilesystem.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sched.h>
#include <sys/mount.h>

SmallFileSystem::SmallFileSystem(const std::string& folder, size_t bytes) : m_folder(folder)
{
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    if (unshare(CLONE_NEWNS) != 0) {
        m_reason = std::string("no mount namespace: ") + std::strerror(errno);
        return;
    }
    // Keep the mount inside this namespace.
    const std::string options = "size=" + std::to_string(bytes);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("krvtest", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        m_reason = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
        return;
    }
    m_mounted = true;
}

SmallFileSystem::~SmallFileSystem()
{
    if (m_mounted)
        umount2(m_folder.c_str(), MNT_DETACH);
}
