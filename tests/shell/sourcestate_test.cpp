// The state of a shared source on screen, with real writer processes: a
// writer that ends is written on every view with the time since; a new
// writer clears every view and legend at once; the status line counts the
// samples the program's reader clients lost exactly as the service does.
#include "panels/controlbar.h"
#include "panels/statusline.h"
#include "panels/viewbar.h"
#include "platform/companionbus.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "context/appcontext.h"
#include "context/channelsource.h"
#include "shell/wndkrv.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"
#include "views/graphwnd.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

class SourceStateTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        Profile::SetProgramName(QStringLiteral("krv"));
        Ctx().companionMessage = CompanionBus::Instance().RegisterMessage(QStringLiteral("Ostrane"));
    }
    void TearDown() override
    {
        window.reset();
        for (QProcess* writer : {&first, &second}) {
            writer->terminate();
            writer->waitForFinished(5000);
        }
    }
    void Start(QProcess& writer, QStringList arguments)
    {
        writer.setProgram(QString::fromStdString(TestEnvironment::BinDir() + "/zq-gen"));
        writer.setArguments(arguments << "-q");
        writer.start();
        ASSERT_TRUE(writer.waitForStarted());
    }
    void MakeWindow()
    {
        window = std::make_unique<CWndKRV>();
        window->resize(1000, 700);
        window->Create();
        // No timer ticks while the tests wait: they tick themselves.
        window->close();
    }
    CGraphWnd* View(ViewKind kind) const { return window->Page(0)->View(kind); }
    // Ticks until the time view has published a record.
    bool TickUntilRecord()
    {
        return WaitUntil([this] {
            window->Tick();
            return window->Record().capture != nullptr;
        });
    }

    TestEnvironment env;
    MessageBoxRecorder boxes;
    QProcess first, second;
    std::unique_ptr<CWndKRV> window;
};

TEST_F(SourceStateTest, AnEndedWriterIsWrittenOnEveryViewAndANewOneClearsThemAll)
{
    Start(first, {"-n", "2", "-r", "5000", "--prefix", "Old"});
    ASSERT_TRUE(WaitUntil([] { return ZQ_GetNrOfChan() == 2; }));
    MakeWindow();
    ASSERT_TRUE(Ctx().sharedSource);
    window->Page(0)->SelectView(ViewKind::Fft);
    ASSERT_TRUE(TickUntilRecord());
    ASSERT_TRUE(WaitUntil([this] {
        window->Tick();
        return View(ViewKind::Fft)->PointCount() > 0;
    }));
    EXPECT_TRUE(View(ViewKind::Fft)->Data().Notice().isEmpty());

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(5000));
    ASSERT_TRUE(WaitUntil([this] {
        window->WatchSource();
        return View(ViewKind::Fft)->Data().Notice().startsWith(QStringLiteral("source ended"));
    }));
    for (ViewKind kind : {ViewKind::Time, ViewKind::Fft, ViewKind::Spg, ViewKind::Dmm}) {
        EXPECT_TRUE(View(kind)->Data().Notice().contains(QRegularExpression(QStringLiteral("^source ended \\d+ s ago$"))))
            << View(kind)->Data().Notice().toStdString();
        EXPECT_TRUE(View(kind)->Data().Stale());
    }
    EXPECT_GT(View(ViewKind::Fft)->PointCount(), 0); // the last picture stays, veiled

    Start(second, {"-n", "3", "-r", "5000", "--prefix", "New"});
    ASSERT_TRUE(WaitUntil([this] {
        window->WatchSource();
        return View(ViewKind::Fft)->PointCount() == 0;
    }));
    for (int kind = 0; kind < kViewKindCount; ++kind) {
        CGraphWnd* view = View(ViewKind(kind));
        EXPECT_FALSE(view->Data().Notice().startsWith(QStringLiteral("source ended"))) << kind;
        if (ViewKind(kind) != ViewKind::Oct && ViewKind(kind) != ViewKind::Dmm) {
            EXPECT_EQ(view->PointCount(), 0) << kind;
            EXPECT_EQ(view->ActiveSlotCount(), 0) << kind; // no legends of the old channels
        }
    }
    EXPECT_EQ(window->Bar()->Channel1()->Items().size(), 4); // "nc" and the new three
    EXPECT_EQ(Channels().NameText(0), "New 1");

    // The new writer's first record replaces the notice.
    ASSERT_TRUE(WaitUntil([this] {
        window->Tick();
        return View(ViewKind::Fft)->PointCount() > 0;
    }));
    EXPECT_TRUE(View(ViewKind::Fft)->Data().Notice().isEmpty());
}

// Samples of channel 0 the writer has written, and the ring's length.
ZQ_ChanStatus ChannelStatus()
{
    ZQ_ChanStatus status{};
    ZQ_GetChanStatus(0, &status);
    return status;
}

// What the service counts as lost by this process's reader clients.
long long ServiceLost()
{
    const int pid = int(QCoreApplication::applicationPid());
    const int channels = ZQ_GetNrOfChan();
    long long lost = 0;
    for (int slot = 0; slot < ZQ_MAX_READER_SLOTS; ++slot) {
        ZQ_ReaderStatus reader{};
        if (ZQ_GetReaderStatus(slot, &reader) != 1 || reader.pid != pid)
            continue;
        for (int c = 0; c < channels; ++c)
            lost += reader.lost[c];
    }
    return lost;
}

TEST_F(SourceStateTest, StatusLineCountsTheSamplesTheReadersLostAsTheServiceDoes)
{
    Start(first, {"-n", "2", "-r", "200000", "--prefix", "Fast"});
    ASSERT_TRUE(WaitUntil([] { return ZQ_GetNrOfChan() == 2; }));
    MakeWindow();
    window->Tick();
    window->UpdateStatus();
    EXPECT_EQ(window->StatusLine()->Facts().lost, 0);
    EXPECT_FALSE(window->StatusLine()->Alarmed());

    // No ticks while the writer fills more than the whole ring: the readers
    // fall behind and lose the oldest samples.
    const ZQ_ChanStatus start = ChannelStatus();
    ASSERT_GT(start.capacity, 0);
    ASSERT_TRUE(WaitUntil([&] { return ChannelStatus().written > start.written + start.capacity * 3 / 2; }));
    window->Tick();
    window->UpdateStatus();
    const long long lost = window->StatusLine()->Facts().lost;
    EXPECT_GT(lost, 0);
    EXPECT_EQ(lost, ServiceLost());
    EXPECT_TRUE(window->StatusLine()->Alarmed());
    EXPECT_TRUE(window->StatusLine()->LossText().startsWith(QStringLiteral("lost %1").arg(lost)));

    QTest::mouseClick(window->StatusLine(), Qt::LeftButton, {}, QPoint(20, 8));
    EXPECT_FALSE(window->StatusLine()->Alarmed());
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("KRV \u2014 Quorel")));
}

} // namespace
