#pragma once
// Makes a folder unwritable for the test process and the programs it starts,
// as /usr/bin is for a user: for root (who writes into any folder) a small
// file system mounted there and then remounted read-only, for anyone else
// the folder's write permission taken away. Files to be found in the folder
// are copied in before. Restored when destroyed.

#include "support/smallfilesystem.h"

#include <memory>
#include <string>
#include <vector>

class ReadOnlyFolder {
public:
    ReadOnlyFolder(const std::string& folder, const std::vector<std::string>& filesToCopy, size_t bytes);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool Made() const { return m_made; }
    // Why it could not be made.
    const std::string& Reason() const { return m_reason; }

private:
    std::string m_folder;
    std::unique_ptr<SmallFileSystem> m_mount;
    std::string m_reason;
    bool m_made = false;
};
