// The platform layer: private messages, window timers, persisted values,
// message boxes, run-time library loading and the in-process companion message.
#include "platform/appmessage.h"
#include "platform/companionbus.h"
#include "platform/dynamiclibrary.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "platform/windowtimers.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTimerEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class Receiver : public QWidget {
public:
    std::vector<std::tuple<int, quintptr, qintptr>> messages;
    std::vector<int> timerIds;
    std::vector<quintptr> companion;
    WindowTimers timers{this};

protected:
    bool event(QEvent* event) override
    {
        if (int number = AppMessage::NumberOf(event); number >= 0) {
            auto* message = static_cast<AppMessage*>(event);
            messages.emplace_back(number, message->WParam(), message->LParam());
            message->SetResult(number * 2);
            return true;
        }
        if (event->type() == CompanionMessage::EventType()) {
            companion.push_back(static_cast<CompanionMessage*>(event)->WParam());
            return true;
        }
        return QWidget::event(event);
    }
    void timerEvent(QTimerEvent* event) override { timerIds.push_back(timers.IdOf(event)); }
};

TEST(AppMessages, PostedArriveLaterSentAtOnceWithResult)
{
    Receiver receiver;
    PostAppMessage(&receiver, 105, 7, -3);
    EXPECT_TRUE(receiver.messages.empty());
    QApplication::processEvents();
    ASSERT_EQ(receiver.messages.size(), 1u);
    EXPECT_EQ(receiver.messages[0], std::make_tuple(105, quintptr(7), qintptr(-3)));

    EXPECT_EQ(SendAppMessage(&receiver, 100, 1, 2), 200);
    EXPECT_EQ(receiver.messages.size(), 2u);
    EXPECT_EQ(AppMessage::TypeFor(100), QEvent::Type(QEvent::User + 100));
    EXPECT_EQ(SendAppMessage(nullptr, 100), 0);
}

TEST(WindowTimers, MapOwnIdsAndStop)
{
    Receiver receiver;
    receiver.timers.SetTimer(3, 5);
    receiver.timers.SetTimer(8, 5);
    EXPECT_TRUE(receiver.timers.IsRunning(3));
    auto fired = [&](int id) {
        return std::find(receiver.timerIds.begin(), receiver.timerIds.end(), id) != receiver.timerIds.end();
    };
    EXPECT_TRUE(WaitUntil([&] { return fired(3) && fired(8); }));
    receiver.timers.KillTimer(3);
    receiver.timers.KillTimer(8);
    EXPECT_FALSE(receiver.timers.IsRunning(3));
    ASSERT_FALSE(receiver.timerIds.empty());
    for (int id : receiver.timerIds)
        EXPECT_TRUE(id == 3 || id == 8);
    size_t count = receiver.timerIds.size();
    QTest::qWait(30); // several periods: a stopped timer stays silent however long
    EXPECT_EQ(receiver.timerIds.size(), count);
}

TEST(Profile, ValuesRoundTripInTheirSectionsUnderTheConfigHome)
{
    TestEnvironment env;
    Profile::SetProgramName(QStringLiteral("krv.exe"));
    EXPECT_EQ(Profile::FilePath(), QString::fromStdString(env.ConfigHome()) + "/Zentrik/krv.conf");
    EXPECT_EQ(Profile::GetInt("Settings", "colors", 1), 1);
    EXPECT_EQ(Profile::GetString("Window size", "Rechteck"), QString());
    Profile::WriteInt("Settings", "colors", 2);
    Profile::WriteString("Window size", "Rechteck", "0010 0010 0500 0400");
    EXPECT_EQ(Profile::GetInt("Settings", "colors", 1), 2);
    EXPECT_EQ(Profile::GetString("Window size", "Rechteck"), "0010 0010 0500 0400");
    // A value that is no number reads as the default.
    Profile::WriteString("Settings", "AutoSetup", "x");
    EXPECT_EQ(Profile::GetInt("Settings", "AutoSetup", 0), 0);
    EXPECT_TRUE(QFile::exists(Profile::FilePath()));
}

TEST(MessageBoxes, RecorderCapturesAndAnswers)
{
    MessageBoxRecorder recorder;
    EXPECT_EQ(ShowMessageBox(nullptr, "No Hardware"), IDOK);
    recorder.QueueAnswer(IDNO);
    EXPECT_EQ(ShowMessageBox(nullptr, "Create?", "Folder", MsgIcon::Question, MB_YESNO), IDNO);
    EXPECT_EQ(ShowMessageBox(nullptr, "Again?", "Folder", MsgIcon::Question, MB_YESNO), IDYES);
    ASSERT_EQ(recorder.Boxes().size(), 3u);
    EXPECT_EQ(recorder.Boxes()[0].caption, QApplication::applicationName());
    EXPECT_EQ(recorder.Boxes()[1].caption, "Folder");
    EXPECT_EQ(recorder.Boxes()[1].answer, IDNO);
    EXPECT_EQ(recorder.Texts()[2], "Again?");
}

TEST(DynamicLibrary, LoadsLooksUpAndReportsFailures)
{
    DynamicLibrary library;
    EXPECT_FALSE(library.Open("libdoes-not-exist.so"));
    EXPECT_FALSE(library.Error().empty());
    EXPECT_EQ(library.Symbol("strlen"), nullptr);
    ASSERT_TRUE(library.Open("libc.so.6"));
    EXPECT_NE(library.Symbol("strlen"), nullptr);
    EXPECT_EQ(library.Symbol("no_such_entry_point"), nullptr);
    EXPECT_EQ(library.Symbol(nullptr), nullptr);
}

TEST(CompanionBus, RegisteredIdsAreStableAndBroadcastsReachEveryTopLevelWidget)
{
    CompanionBus& bus = CompanionBus::Instance();
    int id = bus.RegisterMessage("Ostrane");
    EXPECT_GE(id, 0xC000);
    EXPECT_EQ(bus.RegisterMessage("Ostrane"), id);
    EXPECT_NE(bus.RegisterMessage("Other"), id);

    Receiver first, second;
    first.show();
    second.show();
    bus.Broadcast(id, 11, 0);
    bus.Broadcast(id, 12, 0);
    QApplication::processEvents();
    EXPECT_EQ(first.companion, (std::vector<quintptr>{11, 12}));
    EXPECT_EQ(second.companion, (std::vector<quintptr>{11, 12}));
}

} // namespace
