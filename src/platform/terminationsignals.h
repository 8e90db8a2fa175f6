#pragma once
// SIGTERM, SIGINT and SIGHUP as a request to end the program in order: the
// signal handler only writes the signal's number into a pipe, which the
// event loop watches, so the request arrives as the Requested signal on the
// UI thread, where closing windows and files is safe.
//
// Once a request was made, a further signal of these three ends the process
// at once with the default action (a user pressing Ctrl+C twice, a stuck
// shutdown).

#include <QObject>

class QSocketNotifier;

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; the previous ones come back on destruction.
    // One instance at a time; needs a QCoreApplication. UI thread only.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or a handler could not be set up (the signals
    // then keep their previous behaviour).
    bool IsActive() const { return m_active; }

signals:
    // UI thread: the first of the signals arrived (its number).
    void Requested(int signalNumber);

private:
    void OnReadable();

    QSocketNotifier* m_notifier = nullptr;
    bool m_active = false;
};
