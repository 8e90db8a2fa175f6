#pragma once
// The application: start-up (persisted-values key, companion message,
// program and data folders, the main window) and the message loop.
// SIGTERM, SIGINT and SIGHUP end it as closing the main window does: the
// window closes, the loop ends, and deleting the window closes a recording,
// writes the options and the placement and releases the channel service.

#include <QApplication>
#include <memory>

class CWndKRV;
class TerminationSignals;

class CKrvApp : public QApplication {
    Q_OBJECT
public:
    CKrvApp(int& argc, char** argv);
    ~CKrvApp() override;

    // Everything up to the shown main window; then exec() runs the loop.
    void InitInstance();
    CWndKRV* MainWindow() const { return m_mainWindow.get(); }

    // The folder of the executable with its trailing '/'.
    static QString ProgramDirectory();
    // Makes the data directory (and its missing parents) unless something
    // of that name exists; tells the user when no such folder exists
    // afterwards.
    static void MakeDataDirectory();
    // Makes the folder of the crash log and hands its path to the crash
    // reporter, which keeps it in a buffer of its own for the signal handler.
    static void PrepareCrashLog(const QString& path);

private:
    void EndOnSignal();

    TerminationSignals* m_signals = nullptr;
    bool m_ending = false;
    std::unique_ptr<CWndKRV> m_mainWindow;
};
