#pragma once
// The application: start-up (persisted-values key, companion message,
// program and data folders, the main window) and the message loop.

#include <QApplication>
#include <memory>

class CWndKRV;

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
    // Makes programDirectory + "data" unless something of that name exists;
    // tells the user when no such folder exists afterwards.
    static void MakeDataDirectory();

private:
    std::unique_ptr<CWndKRV> m_mainWindow;
};
