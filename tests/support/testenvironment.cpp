#include "testenvironment.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>

namespace fs = std::filesystem;

TestEnvironment::TestEnvironment()
{
    std::string pattern = (fs::temp_directory_path() / "krv-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    m_root = pattern;
    fs::create_directories(ConfigHome());
    fs::create_directories(ProgramDir());
    static std::atomic<int> counter{0};
    m_zqName = "krvtest-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    SetEnv("XDG_CONFIG_HOME", ConfigHome());
    SetEnv("ZQ_NAME", m_zqName);
}

TestEnvironment::~TestEnvironment()
{
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second.first)
            setenv(it->first.c_str(), it->second.second.c_str(), 1);
        else
            unsetenv(it->first.c_str());
    }
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
    // The channel buffer segments of this namespace, should a writer or a
    // reader of the test have left them.
    shm_unlink(("/" + m_zqName).c_str());
    shm_unlink(("/" + m_zqName + ".readers").c_str());
}

void TestEnvironment::SetEnv(const std::string& name, const std::string& value)
{
    const char* old = std::getenv(name.c_str());
    m_saved.push_back({name, {old != nullptr, old ? old : ""}});
    setenv(name.c_str(), value.c_str(), 1);
}

std::string TestEnvironment::BinDir()
{
    const char* dir = std::getenv("KRV_BIN_DIR");
    if (dir && *dir)
        return dir;
    return fs::read_symlink("/proc/self/exe").parent_path().string();
}
