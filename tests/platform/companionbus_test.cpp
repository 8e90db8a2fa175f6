// The companion message between processes: a second process broadcasts over
// the session bus and this one receives it; its own broadcasts arrive once.
#include "platform/companionbus.h"

#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
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

bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QTest::qWait(10);
    return done();
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

    QProcess sender;
    sender.start(QCoreApplication::applicationFilePath(), {"--broadcast", "11"});
    ASSERT_TRUE(sender.waitForFinished(20000));
    EXPECT_EQ(sender.exitCode(), 0);
    EXPECT_TRUE(WaitFor([&] { return !listener.codes.empty(); }, 5000));
    EXPECT_EQ(listener.codes, std::vector<quintptr>{11});

    listener.codes.clear();
    bus.Broadcast(id, 13, 0);
    QTest::qWait(300);
    EXPECT_EQ(listener.codes, std::vector<quintptr>{13});
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
        QDBusConnection::sessionBus().interface(); // flush the outgoing signal
        QTest::qWait(100);
        return bus.HasSessionBus() ? 0 : 3;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
