// The service in a /dev/shm that is full: a small tmpfs mounted over
// /dev/shm in a mount namespace of this test process (inherited by the
// programs it starts). Every user gets ZQ_E_SEGMENT and a message naming
// /dev/shm, never SIGBUS: this process as writer and reader, KRV's hardware
// setup, zq-gen and a reader process.

#include "acquisition/hwmanager.h"
#include "acquisition/soundinput.h"
#include "context/appcontext.h"
#include "platform/messagebox.h"
#include "support/smallfilesystem.h"
#include "support/testenvironment.h"
#include "zq.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Outcome {
    bool exited = false; // a normal exit, not a signal
    int code = -1;
    std::string out, err;
};

Outcome RunTool(const std::string& program, const QStringList& args)
{
    QProcess process;
    process.start(QString::fromStdString(TestEnvironment::BinDir() + "/" + program), args);
    Outcome o;
    if (!process.waitForFinished(60000))
        return o;
    o.exited = process.exitStatus() == QProcess::NormalExit;
    o.code = process.exitCode();
    o.out = process.readAllStandardOutput().toStdString();
    o.err = process.readAllStandardError().toStdString();
    return o;
}

std::vector<std::string> ShmFiles()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm"))
        names.push_back(entry.path().filename().string());
    return names;
}

class ZqFullShm : public testing::Test {
protected:
    ZqFullShm() { ResetContext(); }
    ~ZqFullShm() override
    {
        ZQ_ReleaseWriter();
        ResetContext();
    }

    // KRV's start and setup: the three reader clients, then the sound card's
    // channel definition. Returns the boxes the user saw.
    std::vector<QString> KrvSetup()
    {
        m_env.SetEnv("KRV_WAVEIN", "manual");
        m_env.SetEnv("VELMOR_SIM_MODULE", "");
        for (ZQCLIENT client : {2, 3, 1})
            ZQ_Register(client, nullptr);
        MessageBoxRecorder boxes;
        CHwManager manager;
        manager.ChooseModule();
        EXPECT_FALSE(manager.DefineChannels(true));
        EXPECT_TRUE(manager.FailureReported());
        EXPECT_NE(manager.Sound(), nullptr);
        if (manager.Sound()) {
            EXPECT_NE(manager.Sound()->State(), CSoundInput::Capturing);
        }
        ZQ_FreezeBuffers(2);
        EXPECT_EQ(ZQ_CheckChan(2, 0), 0);
        return boxes.Texts();
    }

    TestEnvironment m_env;
};

TEST_F(ZqFullShm, NoRoomForTheHeaderOrTheReaderTable)
{
    SmallFileSystem shm("/dev/shm", 4096);
    if (!shm.Mounted())
        GTEST_SKIP() << shm.Reason();

    testing::internal::CaptureStderr();
    EXPECT_EQ(ZQ_SetNrOfChan(1), ZQ_E_SEGMENT);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("*** zq: "), std::string::npos) << err;
    EXPECT_NE(err.find("/dev/shm cannot hold " + m_env.ZqName() + " ("), std::string::npos) << err;
    EXPECT_NE(err.find(" KiB of shared memory needed)"), std::string::npos) << err;
    EXPECT_EQ(ZQ_SetChanDef(0, 1, "1", "a", "V", "+", 1e-3, -1, 1, -1, 1, 0), ZQ_E_SEQUENCE);

    testing::internal::CaptureStderr();
    EXPECT_EQ(ZQ_Register(2, nullptr), ZQ_E_SEGMENT);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("/dev/shm cannot hold " + m_env.ZqName() + ".readers"), std::string::npos) << err;
    // The client reads all the same: no channels, no crash.
    EXPECT_EQ(ZQ_FreezeBuffers(2), ZQ_OK);
    EXPECT_EQ(ZQ_GetNrOfChan(), 0);
    EXPECT_EQ(ShmFiles(), std::vector<std::string>{}) << "failed attempts leave nothing behind";

    const Outcome gen = RunTool("zq-gen", {"-n", "1", "-r", "1000", "-c", "100", "-q"});
    EXPECT_TRUE(gen.exited) << "zq-gen died of a signal";
    EXPECT_EQ(gen.code, 1);
    EXPECT_NE(gen.err.find("/dev/shm"), std::string::npos) << gen.err;

    const Outcome reader = RunTool("zq_test_reader", {"register", "2"});
    EXPECT_TRUE(reader.exited) << "the reader died of a signal";
    EXPECT_EQ(reader.code, 0);
    EXPECT_EQ(reader.out, "register " + std::to_string(ZQ_E_SEGMENT) + "\n");

    const std::vector<QString> boxes = KrvSetup();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].contains("/dev/shm")) << boxes[0].toStdString();
    EXPECT_EQ(ShmFiles(), std::vector<std::string>{});
}

// Room for the header and the reader table, not for the rings of two
// sound card channels (512 KiB each).
TEST_F(ZqFullShm, NoRoomForTheRings)
{
    SmallFileSystem shm("/dev/shm", 1024 * 1024);
    if (!shm.Mounted())
        GTEST_SKIP() << shm.Reason();

    const Outcome one = RunTool("zq-gen", {"-n", "1", "-r", "1000", "-c", "100", "-q"});
    EXPECT_TRUE(one.exited);
    EXPECT_EQ(one.code, 0) << one.err;
    const Outcome three = RunTool("zq-gen", {"-n", "3", "-r", "1000", "-c", "100", "-q"});
    EXPECT_TRUE(three.exited) << "zq-gen died of a signal";
    EXPECT_EQ(three.code, 1);
    EXPECT_NE(three.err.find("/dev/shm"), std::string::npos) << three.err;

    const std::vector<QString> boxes = KrvSetup();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].contains("/dev/shm")) << boxes[0].toStdString();
    EXPECT_EQ(ZQ_GetNrOfChan(), 0);

    const Outcome reader = RunTool("zq_test_reader", {"register", "4"});
    EXPECT_TRUE(reader.exited);
    EXPECT_EQ(reader.out, "register 0\n");
}

} // namespace
