#pragma once
// Window timers addressed by their own ids (3 for the main tick, 8, ...),
// mapped onto QObject timers of the owning object.

#include <QHash>

class QObject;
class QTimerEvent;

class WindowTimers {
public:
    explicit WindowTimers(QObject* owner);
    ~WindowTimers();
    WindowTimers(const WindowTimers&) = delete;
    WindowTimers& operator=(const WindowTimers&) = delete;

    // Starts (or restarts) timer id with the period in milliseconds. UI thread only.
    void SetTimer(int id, int periodMs);
    void KillTimer(int id);
    bool IsRunning(int id) const { return m_qtIds.contains(id); }
    // The window timer id behind a timer event of the owner, or -1.
    int IdOf(const QTimerEvent* event) const;

private:
    QObject* m_owner;
    QHash<int, int> m_qtIds; // window timer id -> Qt timer id
};
