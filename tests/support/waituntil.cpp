#include "waituntil.h"

#include <QCoreApplication>
#include <QtCore/qtestsupport_core.h>
#include <QThread>

#include <thread>

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline)
{
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        return QTest::qWaitFor(condition, int(deadline.count()));
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
