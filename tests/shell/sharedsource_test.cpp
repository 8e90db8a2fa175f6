// KRV started while another program publishes channels: it shows them at
// once, says "Quorel" on "Setup", and neither defines nor writes channels.
#include "panels/controlbar.h"
#include "widgets/selectorbutton.h"
#include "platform/companionbus.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "context/appcontext.h"
#include "shell/wndkrv.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"
#include "zq.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <memory>

namespace {

class SharedSourceTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        Profile::SetProgramName(QStringLiteral("krv"));
        Ctx().companionMessage = CompanionBus::Instance().RegisterMessage(QStringLiteral("Ostrane"));
        m_generator.setProgram(QString::fromStdString(TestEnvironment::BinDir() + "/zq-gen"));
        m_generator.setArguments({"-n", "4", "-r", "5000", "--prefix", "Other", "-q"});
        m_generator.start();
        ASSERT_TRUE(m_generator.waitForStarted());
        ASSERT_TRUE(WaitUntil([] { return ZQ_GetNrOfChan() == 4; }));
    }

    void TearDown() override
    {
        m_generator.terminate();
        m_generator.waitForFinished(5000);
    }

    TestEnvironment m_env;
    MessageBoxRecorder m_boxes;
    QProcess m_generator;
};

TEST_F(SharedSourceTest, ChannelsOfTheOtherProgramAreShownAndLeftAlone)
{
    auto window = std::make_unique<CWndKRV>();
    window->resize(800, 600);
    window->Create();
    EXPECT_TRUE(Ctx().sharedSource);
    EXPECT_EQ(window->Bar()->SetupCaption(), "Quorel");

    const CSelectorButton& ch1 = *window->Bar()->Channel1();
    ASSERT_EQ(ch1.Items().size(), 5);
    EXPECT_EQ(ch1.Items()[0], "nc");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ch1.Items()[i + 1], QString::number(ZQ_GetChanPChan(i)));
    }
    EXPECT_EQ(ch1.CurrentIndex(), 1);
    EXPECT_EQ(ch1.CurrentKey(), 0);
    EXPECT_EQ(window->Bar()->Channel2()->CurrentIndex(), 2);

    // Ticks and an auto setup leave the other program's channels as they are.
    for (int i = 0; i < 10; ++i)
        window->Tick();
    window->AutoSetup();
    for (int i = 0; i < 10; ++i)
        window->Tick();
    EXPECT_EQ(ZQ_GetNrOfChan(), 4);
    EXPECT_STREQ(ZQ_GetChanName(0), "Other 1");

    ZQ_WriterStatus status{};
    ASSERT_EQ(ZQ_GetWriterStatus(&status), ZQ_OK);
    EXPECT_EQ(status.writerPid, int(m_generator.processId()));
    EXPECT_TRUE(status.writerAlive);

    // The readers keep receiving the other program's samples.
    window->close();
    ZQ_FreezeBuffers(2);
    EXPECT_TRUE(WaitUntil([] {
        ZQ_FreezeBuffers(2);
        return ZQ_CheckChan(2, 0) > 0;
    }));
}

} // namespace

namespace {

// Samples of channel 0 the other program has written.
long long Written()
{
    ZQ_ChanStatus status{};
    return ZQ_GetChanStatus(0, &status) == ZQ_OK ? status.written : 0;
}

// Samples client holds at a freeze once more than 1500 were written since
// the previous one, with or without a reset just before the freeze.
int PendingAfter(int client, const std::function<void()>& beforeFreeze)
{
    ZQ_FreezeBuffers(client);
    const long long start = Written();
    EXPECT_TRUE(WaitUntil([&] { return Written() - start > 1500; }));
    beforeFreeze();
    ZQ_FreezeBuffers(client);
    return ZQ_CheckChan(client, 0);
}

TEST_F(SharedSourceTest, RunAfterStopAndSingleShotDropUnreadSamples)
{
    auto window = std::make_unique<CWndKRV>();
    window->Create();
    window->close(); // no ticks: they would freeze the clients themselves

    window->RunStop(); // stopped
    EXPECT_GT(PendingAfter(2, [] {}), 500);
    for (int client : {2, 3, 1}) {
        window->RunStop(); // stopped -> running resets 2, 3 and 1
        window->RunStop(); // and back to stopped for the next client
        EXPECT_LT(PendingAfter(client, [&] { window->RunStop(); }), 500) << client;
        window->RunStop();
    }

    // Single shot resets the time views' client only.
    EXPECT_LT(PendingAfter(2, [&] { window->SingleShot(); }), 500);
    EXPECT_GT(PendingAfter(3, [&] { window->SingleShot(); }), 500);
}

} // namespace
