#include "programfolders.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

bool ProgramFolders::IsWritable(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

QString ProgramFolders::DataDirectory(const QString& programDirectory, const QString& company)
{
    if (IsWritable(programDirectory))
        return programDirectory + QStringLiteral("data");
    return DataHome() + '/' + company + QStringLiteral("/data");
}

QString ProgramFolders::CrashLogPath(const QString& programDirectory, const QString& company)
{
    if (IsWritable(programDirectory))
        return QString::fromLatin1(kCrashLogName);
    return StateHome() + '/' + company + '/' + QString::fromLatin1(kCrashLogName);
}

QString ProgramFolders::DataHome() { return BaseFolder("XDG_DATA_HOME", QStringLiteral("/.local/share")); }

QString ProgramFolders::StateHome() { return BaseFolder("XDG_STATE_HOME", QStringLiteral("/.local/state")); }

QString ProgramFolders::BaseFolder(const char* variable, const QString& defaultBelowHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (value.startsWith('/'))
        return value;
    return QDir::homePath() + defaultBelowHome;
}
