#pragma once
// A private world for one test: a temporary folder holding the config home,
// the program and data folders, and a channel buffer namespace of its own.
// Restores the environment it changed when destroyed.

#include <string>
#include <vector>

class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    const std::string& Root() const { return m_root; }
    std::string ConfigHome() const { return m_root + "/config"; }
    std::string ProgramDir() const { return m_root + "/program/"; }
    std::string DataDir() const { return m_root + "/program/data"; }
    const std::string& ZqName() const { return m_zqName; }

    // Sets an environment variable until the environment is destroyed.
    void SetEnv(const std::string& name, const std::string& value);

    // The folder with krv, the tools and the libraries of this build.
    static std::string BinDir();

private:
    std::string m_root;
    std::string m_zqName;
    std::vector<std::pair<std::string, std::pair<bool, std::string>>> m_saved;
};
