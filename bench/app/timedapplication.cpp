#include "timedapplication.h"

#include <QElapsedTimer>
#include <QEvent>

TimedApplication::TimedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TimedApplication::StartMeasuring()
{
    m_dispatchMs.clear();
    m_slow.clear();
    m_measuring = true;
}

void TimedApplication::StopMeasuring() { m_measuring = false; }

bool TimedApplication::notify(QObject* receiver, QEvent* event)
{
    if (m_depth > 0)
        return QApplication::notify(receiver, event);
    QElapsedTimer timer;
    timer.start();
    ++m_depth;
    // Counted back down on every way out, an exception included.
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{m_depth};
    const int type = event->type();
    const bool handled = QApplication::notify(receiver, event);
    if (!m_measuring)
        return handled;
    const double ms = double(timer.nsecsElapsed()) * 1e-6;
    m_dispatchMs.push_back(ms);
    if (ms > 16.0)
        m_slow.push_back(QStringLiteral("%1 ms event %2 to %3 \"%4\"")
                             .arg(ms, 0, 'f', 1)
                             .arg(type)
                             .arg(receiver ? receiver->metaObject()->className() : "?")
                             .arg(receiver ? receiver->objectName() : QString())
                             .toStdString());
    return handled;
}
