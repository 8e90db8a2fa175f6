#include "timedapplication.h"

#include <QElapsedTimer>

TimedApplication::TimedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TimedApplication::StartMeasuring()
{
    m_dispatchMs.clear();
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
    const bool handled = QApplication::notify(receiver, event);
    if (m_measuring)
        m_dispatchMs.push_back(double(timer.nsecsElapsed()) * 1e-6);
    return handled;
}
