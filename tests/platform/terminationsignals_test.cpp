// SIGTERM, SIGINT and SIGHUP reach the event loop as a request; a second
// signal after a request ends the process at once.
#include "platform/terminationsignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <vector>

namespace {

std::vector<int> RequestsAfterRaising(TerminationSignals& handler, int signalNumber)
{
    std::vector<int> received;
    QObject::connect(&handler, &TerminationSignals::Requested, [&received](int number) { received.push_back(number); });
    EXPECT_EQ(raise(signalNumber), 0);
    // Not from inside the signal handler: only the event loop passes it on.
    EXPECT_TRUE(received.empty());
    QElapsedTimer timer;
    timer.start();
    while (received.empty() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    return received;
}

TEST(TerminationSignals, EachSignalArrivesOnceThroughTheEventLoop)
{
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(number);
        TerminationSignals handler;
        ASSERT_TRUE(handler.IsActive());
        EXPECT_EQ(RequestsAfterRaising(handler, number), std::vector<int>{number});
    }
    // The handlers before them are back.
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current{};
        ASSERT_EQ(sigaction(number, nullptr, &current), 0);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << number;
    }
}

TEST(TerminationSignalsDeathTest, ASecondSignalEndsTheProcessAtOnce)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TerminationSignals handler;
            raise(SIGINT); // the request, never taken: the loop does not run
            raise(SIGTERM);
            std::exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
}

} // namespace
