#pragma once
// "Attention": a message that closes itself. The dialog shows its text
// centred on the scheme's panel background; with a time-out above 0 it
// closes after that many milliseconds as if OK had been pressed (window
// timer 8). Its OK and Cancel buttons exist but are not shown: Enter and
// Escape still answer it. UI thread only.

#include "platform/windowtimers.h"

#include <QDialog>

class CAttentionDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 155;
    static constexpr int kTextId = 1083;
    static constexpr int kTimeoutTimer = 8;

    CAttentionDlg(QWidget* owner, const QString& text, int timeoutMs);

    // Runs the dialog modally at once and returns its result.
    static int Show(QWidget* owner, const QString& text, int timeoutMs);

    const QString& Text() const { return m_text; }
    int TimeoutMs() const { return m_timeoutMs; }

protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QString m_text;
    int m_timeoutMs;
    WindowTimers m_timers;
};
