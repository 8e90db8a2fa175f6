#include "krvapp.h"

#include "platform/companionbus.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "platform/terminationsignals.h"
#include "context/appcontext.h"
#include "crash/crashreport.h"
#include "shell/wndkrv.h"

#include <QDir>
#include <QFileInfo>
#include <csignal>

CKrvApp::CKrvApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("KRV"));
}

CKrvApp::~CKrvApp() = default;

QString CKrvApp::ProgramDirectory()
{
    QString path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (path.isEmpty())
        path = applicationFilePath();
    return path.left(path.lastIndexOf('/') + 1);
}

void CKrvApp::MakeDataDirectory()
{
    const QString data = Ctx().dataDirectory;
    if (!QFileInfo::exists(data))
        QDir().mkdir(data);
    if (!QFileInfo(data).isDir())
        ShowMessageBox(nullptr, QStringLiteral("No data path: %1\nRecording data to media is impossible").arg(data));
}

void CKrvApp::InitInstance()
{
    // From the start: a request during a start-up box is taken as well.
    m_signals = new TerminationSignals(this);
    connect(m_signals, &TerminationSignals::Requested, this, &CKrvApp::EndOnSignal);
    // A recording that reaches the file size limit gets a failed write
    // (EFBIG), which stops it with its whole blocks kept, instead of the
    // signal ending the program with the recording unclosed.
    std::signal(SIGXFSZ, SIG_IGN);
    Profile::SetRegistryKey(QStringLiteral("Zentrik"));
    Profile::SetProgramName(QStringLiteral("krv"));
    Ctx().companionMessage = CompanionBus::Instance().RegisterMessage(QStringLiteral("Ostrane"));
    CCrashReport::SetLogPath("Korvimo.Elg");
    Ctx().programDirectory = ProgramDirectory();
    Ctx().dataDirectory = Ctx().programDirectory + QStringLiteral("data");
    MakeDataDirectory();

    m_mainWindow = std::make_unique<CWndKRV>();
    m_mainWindow->setGeometry(100, 100, 900, 600);
    m_mainWindow->Create();
    m_mainWindow->show();
    // A request that came during start-up ended its loops only; the main
    // loop must not start after it.
    if (m_ending)
        QMetaObject::invokeMethod(this, &QCoreApplication::quit, Qt::QueuedConnection);
}

void CKrvApp::EndOnSignal()
{
    m_ending = true;
    // An open modal dialog or box is cancelled first, so that its loop ends.
    for (QWidget* widget : topLevelWidgets()) {
        if (widget->isModal() && widget->isVisible())
            widget->close();
    }
    if (m_mainWindow)
        m_mainWindow->close();
    QCoreApplication::exit(0);
}
