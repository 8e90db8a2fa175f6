#pragma once
// What the scenarios of the whole-program benchmark share: running the
// event loop for a while, and percentiles of the measured times.

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <vector>

// Runs the event loop for ms milliseconds, sleeping between events as the
// program's own loop does (a loop of processEvents calls would spin).
inline void RunEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// p from 0 (least) to 1 (greatest); 0 for no values.
inline double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

// Runs the event loop until condition holds or deadlineMs has passed, checking
// after every batch of events (and at least every 20 ms); true when it held.
template <class Condition> bool RunEventLoopUntil(Condition condition, int deadlineMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    check.start(20);
    QTimer::singleShot(deadlineMs, &loop, &QEventLoop::quit);
    if (!condition())
        loop.exec();
    return condition();
}
