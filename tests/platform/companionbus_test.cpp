// The companion message between processes: a second process broadcasts over
// the session bus and this one receives it; its own broadcasts arrive once.
#include "platform/companionbus.h"
#include "support/waituntil.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class Listener : public QWidget {
public:
    std::vector<quintptr> codes;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == CompanionMessage::EventType()) {
            codes.push_back(static_cast<CompanionMessage*>(event)->WParam());
            return true;
        }
        return QWidget::event(event);
    }
};

// A call and its reply: the bus daemon handles a connection's messages in
// order, so everything this process sent before has been routed once the
// reply is here, and any signal routed back to this process came before it.
void RoundTripToTheBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.interface()->isServiceRegistered(bus.baseService());
}

// Starts this program as a second process that broadcasts code.
void BroadcastFromAnotherProcess(quintptr code)
{
    QProcess sender;
    sender.start(QCoreApplication::applicationFilePath(), {"--broadcast", QString::number(code)});
    ASSERT_TRUE(sender.waitForFinished(20000));
    EXPECT_EQ(sender.exitCode(), 0);
}

TEST(CompanionBusAcrossProcesses, AnotherProgramsBroadcastArrivesAndOwnArrivesOnce)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus";
    CompanionBus& bus = CompanionBus::Instance();
    int id = bus.RegisterMessage("Ostrane");
    ASSERT_TRUE(bus.HasSessionBus());
    Listener listener;
    listener.show();

    BroadcastFromAnotherProcess(11);
    EXPECT_TRUE(WaitUntil([&] { return !listener.codes.empty(); }));
    EXPECT_EQ(listener.codes, std::vector<quintptr>{11});

    // Our own broadcast comes back over the bus before the reply to a later
    // call, and before another process's broadcast that starts after it:
    // once that one is here, so would a second copy of ours be.
    listener.codes.clear();
    bus.Broadcast(id, 13, 0);
    RoundTripToTheBus();
    BroadcastFromAnotherProcess(14);
    EXPECT_TRUE(WaitUntil([&] { return listener.codes.size() >= 2; }));
    EXPECT_EQ(listener.codes, (std::vector<quintptr>{13, 14}));
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--broadcast") {
        CompanionBus& bus = CompanionBus::Instance();
        int id = bus.RegisterMessage("Ostrane");
        bus.Broadcast(id, QByteArray(argv[2]).toULongLong(), 0);
        RoundTripToTheBus(); // the signal has left before the process ends
        return bus.HasSessionBus() ? 0 : 3;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
