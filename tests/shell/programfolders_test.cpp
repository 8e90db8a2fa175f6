// Where KRV puts its data folder and crash log: beside the program when it
// may write there (a build folder), in the user's XDG folders when not (an
// installed program).
#include "readonlyfolder.h"
#include "shell/programfolders.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

namespace {

class ProgramFoldersTest : public testing::Test {
protected:
    QString ProgramDir() const { return QString::fromStdString(m_env.ProgramDir()); }
    QString Under(const char* relative) const { return QString::fromStdString(m_env.Root()) + relative; }

    TestEnvironment m_env;
};

TEST_F(ProgramFoldersTest, WritableProgramFolderKeepsEverythingBesideIt)
{
    m_env.SetEnv("XDG_DATA_HOME", m_env.Root() + "/share");
    m_env.SetEnv("XDG_STATE_HOME", m_env.Root() + "/state");
    EXPECT_TRUE(ProgramFolders::IsWritable(ProgramDir()));
    EXPECT_EQ(ProgramFolders::DataDirectory(ProgramDir(), "Zentrik"), ProgramDir() + "data");
    EXPECT_EQ(ProgramFolders::CrashLogPath(ProgramDir(), "Zentrik"), "Korvimo.Elg");
}

TEST_F(ProgramFoldersTest, UnwritableProgramFolderUsesTheUserFolders)
{
    ReadOnlyFolder readOnly(m_env.ProgramDir(), {}, 64 * 1024);
    if (!readOnly.Made())
        GTEST_SKIP() << readOnly.Reason();
    EXPECT_FALSE(ProgramFolders::IsWritable(ProgramDir()));

    m_env.SetEnv("XDG_DATA_HOME", m_env.Root() + "/share");
    m_env.SetEnv("XDG_STATE_HOME", m_env.Root() + "/state");
    EXPECT_EQ(ProgramFolders::DataDirectory(ProgramDir(), "Zentrik"), Under("/share/Zentrik/data"));
    EXPECT_EQ(ProgramFolders::CrashLogPath(ProgramDir(), "Zentrik"), Under("/state/Zentrik/Korvimo.Elg"));

    // Unset or relative (which the XDG rules say to ignore): below $HOME.
    m_env.SetEnv("HOME", m_env.Root() + "/home");
    m_env.SetEnv("XDG_DATA_HOME", "");
    m_env.SetEnv("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(ProgramFolders::DataDirectory(ProgramDir(), "Zentrik"), Under("/home/.local/share/Zentrik/data"));
    EXPECT_EQ(ProgramFolders::CrashLogPath(ProgramDir(), "Zentrik"),
              Under("/home/.local/state/Zentrik/Korvimo.Elg"));
}

TEST_F(ProgramFoldersTest, EmptyOrMissingProgramFolderIsNotWritable)
{
    EXPECT_FALSE(ProgramFolders::IsWritable(""));
    EXPECT_FALSE(ProgramFolders::IsWritable(Under("/nothere/")));
}

} // namespace
