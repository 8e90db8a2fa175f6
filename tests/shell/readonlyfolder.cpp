#include "readonlyfolder.h"

#include <filesystem>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

ReadOnlyFolder::ReadOnlyFolder(const std::string& folder, const std::vector<std::string>& filesToCopy,
                               size_t bytes)
    : m_folder(folder)
{
    if (geteuid() == 0) {
        m_mount = std::make_unique<SmallFileSystem>(folder, bytes);
        if (!m_mount->Mounted()) {
            m_reason = m_mount->Reason();
            return;
        }
    }
    std::error_code error;
    for (const std::string& file : filesToCopy) {
        if (!fs::copy_file(file, fs::path(folder) / fs::path(file).filename(), error)) {
            m_reason = "cannot copy " + file + ": " + error.message();
            return;
        }
    }
    const bool done = m_mount ? mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0
                              : chmod(folder.c_str(), 0555) == 0;
    if (!done) {
        m_reason = "cannot make " + folder + " read-only";
        return;
    }
    m_made = true;
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (!m_mount)
        chmod(m_folder.c_str(), 0755);
}
