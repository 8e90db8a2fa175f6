#include "windowtimers.h"

#include <QObject>
#include <QTimerEvent>

WindowTimers::WindowTimers(QObject* owner) : m_owner(owner) {}

WindowTimers::~WindowTimers()
{
    for (int qtId : std::as_const(m_qtIds))
        m_owner->killTimer(qtId);
}

void WindowTimers::SetTimer(int id, int periodMs)
{
    KillTimer(id);
    int qtId = m_owner->startTimer(periodMs, Qt::PreciseTimer);
    if (qtId != 0)
        m_qtIds.insert(id, qtId);
}

void WindowTimers::KillTimer(int id)
{
    auto it = m_qtIds.find(id);
    if (it == m_qtIds.end())
        return;
    m_owner->killTimer(it.value());
    m_qtIds.erase(it);
}

int WindowTimers::IdOf(const QTimerEvent* event) const
{
    for (auto it = m_qtIds.cbegin(); it != m_qtIds.cend(); ++it)
        if (it.value() == event->timerId())
            return it.key();
    return -1;
}
