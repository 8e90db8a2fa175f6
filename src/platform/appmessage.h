#pragma once
// Private window messages: one event type per message number above the
// application range (WM_USER = 1024), carrying wParam and lParam.

#include <QEvent>
#include <QtGlobal>

class QObject;

inline constexpr int WM_USER = 1024;

class AppMessage : public QEvent {
public:
    // number: the message's offset above WM_USER (100 is WM_PANEL_NOTIFY).
    AppMessage(int number, quintptr wParam, qintptr lParam);

    static QEvent::Type TypeFor(int number) { return QEvent::Type(QEvent::User + number); }
    // The message number of an event, or -1 when it is no private message.
    static int NumberOf(const QEvent* event);

    int Number() const { return m_number; }
    quintptr WParam() const { return m_wParam; }
    qintptr LParam() const { return m_lParam; }

    // The handler's answer, returned by SendAppMessage.
    qintptr Result() const { return m_result; }
    void SetResult(qintptr result) { m_result = result; }

private:
    int m_number;
    quintptr m_wParam;
    qintptr m_lParam;
    qintptr m_result = 0;
};

// Queues the message for the target; delivered by the event loop. Any thread.
void PostAppMessage(QObject* target, int number, quintptr wParam = 0, qintptr lParam = 0);
// Delivers the message at once and returns the handler's result. UI thread only.
qintptr SendAppMessage(QObject* target, int number, quintptr wParam = 0, qintptr lParam = 0);
