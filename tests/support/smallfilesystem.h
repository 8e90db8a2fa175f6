#pragma once
// A tmpfs of a given size mounted on a folder, in a mount namespace of the
// test process's own, so that a test can fill a real file system. Needs the
// right to make the namespace and mount (root in a container); Mounted()
// is false otherwise and the test skips. Unmounted when destroyed.

#include <string>

class SmallFileSystem {
public:
    SmallFileSystem(const std::string& folder, size_t bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return m_mounted; }
    const std::string& Folder() const { return m_folder; }
    // Why it is not mounted.
    const std::string& Reason() const { return m_reason; }

private:
    std::string m_folder;
    std::string m_reason;
    bool m_mounted = false;
};
