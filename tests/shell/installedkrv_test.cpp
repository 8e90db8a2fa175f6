// A real KRV run from a folder it cannot write, as an installed one: it
// makes its data folder in $XDG_DATA_HOME, writes nothing beside itself, a
// crash report lands in $XDG_STATE_HOME, and SIGTERM still ends it cleanly.
#include "readonlyfolder.h"
#include "platform/profile.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"
#include "zq.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>

namespace {

class InstalledKrvTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_readOnly = std::make_unique<ReadOnlyFolder>(m_env.ProgramDir(),
                                                      std::vector<std::string>{TestEnvironment::BinDir() + "/krv"},
                                                      256 * 1024 * 1024);
        if (!m_readOnly->Made())
            GTEST_SKIP() << m_readOnly->Reason();
        m_env.SetEnv("XDG_DATA_HOME", m_env.Root() + "/share");
        m_env.SetEnv("XDG_STATE_HOME", m_env.Root() + "/state");
        m_env.SetEnv("KRV_WAVEIN", "sine");
        m_env.SetEnv("VELMOR_SIM_MODULE", "");
        // The hardware setup at start-up makes KRV the service's writer,
        // which tells the test that start-up is over.
        Profile::SetProgramName(QStringLiteral("krv"));
        Profile::WriteInt("Settings", "AutoSetup", 7);
    }

    // Starts the copy and waits until it has defined the sound card's channels.
    bool Start(QProcess& krv)
    {
        krv.setProcessChannelMode(QProcess::ForwardedChannels);
        krv.setWorkingDirectory(QString::fromStdString(m_env.Root()));
        krv.start(QString::fromStdString(m_env.ProgramDir() + "krv"), {});
        return krv.waitForStarted() && WaitUntil([] { return ZQ_GetNrOfChan() == 2; });
    }

    QString Under(const char* relative) const { return QString::fromStdString(m_env.Root()) + relative; }

    TestEnvironment m_env;
    std::unique_ptr<ReadOnlyFolder> m_readOnly;
};

TEST_F(InstalledKrvTest, DataFolderIsMadeInTheUserDataFolder)
{
    QProcess krv;
    ASSERT_TRUE(Start(krv));
    EXPECT_TRUE(QFileInfo(Under("/share/Zentrik/data")).isDir());
    EXPECT_TRUE(QFileInfo(Under("/state/Zentrik")).isDir()) << "made at start-up, before any crash";

    ASSERT_EQ(::kill(pid_t(krv.processId()), SIGTERM), 0);
    ASSERT_TRUE(krv.waitForFinished(20000));
    EXPECT_EQ(krv.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(krv.exitCode(), 0);
    EXPECT_EQ(QDir(QString::fromStdString(m_env.ProgramDir())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"krv"});
}

TEST_F(InstalledKrvTest, CrashReportGoesToTheUserStateFolder)
{
    QProcess krv;
    ASSERT_TRUE(Start(krv));
    ASSERT_EQ(::kill(pid_t(krv.processId()), SIGSEGV), 0);
    ASSERT_TRUE(krv.waitForFinished(20000));
    EXPECT_EQ(krv.exitStatus(), QProcess::CrashExit);
    const QFileInfo log(Under("/state/Zentrik/Korvimo.Elg"));
    EXPECT_TRUE(log.isFile());
    EXPECT_GT(log.size(), 0);
    EXPECT_FALSE(QFileInfo::exists(Under("/Korvimo.Elg"))) << "not in the current directory";
}

} // namespace
