#include "profile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
QString& Company()
{
    static QString company = QStringLiteral("Zentrik");
    return company;
}

QString& ProgramName()
{
    static QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', -1);
    return program;
}

QString ConfigHome()
{
    QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
    if (!xdg.isEmpty())
        return QString::fromLocal8Bit(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
}

QString Key(const QString& section, const QString& key) { return section + '/' + key; }
} // namespace

void Profile::SetRegistryKey(const QString& company) { Company() = company; }

void Profile::SetProgramName(const QString& program) { ProgramName() = program.section('.', 0, 0); }

QString Profile::FilePath()
{
    return ConfigHome() + '/' + Company() + '/' + ProgramName() + QStringLiteral(".conf");
}

int Profile::GetInt(const QString& section, const QString& key, int defaultValue)
{
    QSettings settings(FilePath(), QSettings::IniFormat);
    bool ok = false;
    int value = settings.value(Key(section, key)).toInt(&ok);
    return ok ? value : defaultValue;
}

void Profile::WriteInt(const QString& section, const QString& key, int value)
{
    QSettings settings(FilePath(), QSettings::IniFormat);
    settings.setValue(Key(section, key), value);
}

QString Profile::GetString(const QString& section, const QString& key, const QString& defaultValue)
{
    QSettings settings(FilePath(), QSettings::IniFormat);
    return settings.value(Key(section, key), defaultValue).toString();
}

void Profile::WriteString(const QString& section, const QString& key, const QString& value)
{
    QSettings settings(FilePath(), QSettings::IniFormat);
    settings.setValue(Key(section, key), value);
}
