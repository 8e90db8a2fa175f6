#include "krvapp.h"

#include "platform/companionbus.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "platform/terminationsignals.h"
#include "context/appcontext.h"
#include "crash/crashreport.h"
#include "shell/programfolders.h"
#include "shell/wndkrv.h"

#include <QDir>
#include <QFile>
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
        QDir().mkpath(data);
    if (!QFileInfo(data).isDir())
        ShowMessageBox(nullptr, QStringLiteral("No data path: %1\nRecording data to media is impossible").arg(data));
}

void CKrvApp::PrepareCrashLog(const QString& path)
{
    // The signal handler only opens the file; its folder must exist before.
    const QString folder = path.left(path.lastIndexOf('/') + 1);
    if (!folder.isEmpty())
        QDir().mkpath(folder);
    CCrashReport::SetLogPath(QFile::encodeName(path).constData());
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
    const QString company = QStringLiteral("Zentrik");
    Profile::SetRegistryKey(company);
    Profile::SetProgramName(QStringLiteral("krv"));
    Ctx().companionMessage = CompanionBus::Instance().RegisterMessage(QStringLiteral("Ostrane"));
    Ctx().programDirectory = ProgramDirectory();
    PrepareCrashLog(ProgramFolders::CrashLogPath(Ctx().programDirectory, company));
    Ctx().dataDirectory = ProgramFolders::DataDirectory(Ctx().programDirectory, company);
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
