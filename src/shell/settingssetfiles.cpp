#include "settingssetfiles.h"

#include "context/appcontext.h"
#include "platform/atomicfile.h"
#include "platform/profile.h"
#include "platform/regularfile.h"
#include "platform/textarchive.h"
#include "shell/programfolders.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Makes the folder and its missing parents; false with the system's reason.
bool MakeFolder(const QString& folder, QString* reason)
{
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = folder.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString();
    for (const QString& part : parts) {
        path += part + QLatin1Char('/');
        const QByteArray native = QFile::encodeName(path);
        if (::mkdir(native.constData(), 0777) == 0 || errno == EEXIST)
            continue;
        // A component in the way that is no folder gives ENOTDIR from mkdir
        // of the next one; report what the system says.
        if (reason)
            *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        if (reason)
            *reason = QString::fromLocal8Bit(std::strerror(ENOTDIR));
        return false;
    }
    return true;
}

} // namespace

QString SettingsSetFiles::Folder()
{
    const QString program = Ctx().programDirectory;
    if (ProgramFolders::IsWritable(program))
        return program.endsWith(QLatin1Char('/')) ? program : program + QLatin1Char('/');
    return QFileInfo(Profile::FilePath()).absolutePath() + QLatin1Char('/');
}

QString SettingsSetFiles::PathOf(int set) { return Folder() + QStringLiteral("Set%1.kvs").arg(set); }

SettingsSetFiles::ReadResult SettingsSetFiles::ReadAll(const QString& path, QByteArray* bytes, QString* reason)
{
    bytes->clear();
    RegularFile file;
    if (!file.Open(QFile::encodeName(path).constData(), RegularFile::Access::Read)) {
        if (file.Error() != 0)
            return ReadResult::Unreadable;
        if (reason)
            *reason = QString::fromLocal8Bit(file.Describe(QFile::encodeName(path).toStdString()));
        return ReadResult::NotAFile;
    }
    // One byte more than allowed tells a file at the limit from a larger
    // one, also when the file grows while it is read.
    bytes->resize(qsizetype(kMaxFileBytes + 1));
    qsizetype filled = 0;
    while (filled < bytes->size()) {
        const int64_t n = file.Read(bytes->data() + filled, size_t(bytes->size() - filled));
        if (n <= 0)
            break;
        filled += qsizetype(n);
    }
    bytes->truncate(filled);
    if (bytes->size() > kMaxFileBytes) {
        bytes->clear();
        return ReadResult::TooLarge;
    }
    return ReadResult::Read;
}

bool SettingsSetFiles::ReadName(const QString& path, QString* name)
{
    RegularFile file;
    if (!file.Open(QFile::encodeName(path).constData(), RegularFile::Access::Read))
        return false;
    QByteArray line(kMaxNameLineBytes, Qt::Uninitialized);
    const int64_t read = file.ReadAt(0, line.data(), size_t(line.size()));
    line.truncate(read > 0 ? qsizetype(read) : 0);
    const qsizetype end = line.indexOf('\n');
    if (end >= 0)
        line.truncate(end);
    static const QByteArray kKey = QByteArrayLiteral("Name:");
    if (!line.startsWith(kKey))
        return false;
    line.remove(0, kKey.size());
    line.replace('\r', QByteArray());
    *name = TextArchive::FromCp1252(line);
    return true;
}

bool SettingsSetFiles::Write(const QString& path, const QByteArray& bytes, QString* reason)
{
    if (!MakeFolder(QFileInfo(path).absolutePath(), reason))
        return false;
    return AtomicFile::Write(path, bytes, reason);
}
