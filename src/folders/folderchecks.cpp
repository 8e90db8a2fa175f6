#include "folderchecks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <sys/stat.h>

namespace {

// Mount points in mountinfo escape space, tab, newline and backslash as
// three octal digits.
QString UnescapeMountPath(const QString& field)
{
    QString out;
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field.mid(i + 1, 3).toInt(nullptr, 8) > 0) {
            out += QChar(field.mid(i + 1, 3).toInt(nullptr, 8));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool IsUnder(const QString& path, const QString& mountPoint)
{
    if (mountPoint == QLatin1String("/"))
        return true;
    return path == mountPoint || path.startsWith(mountPoint + QLatin1Char('/'));
}

// The path itself when it exists, else its nearest existing parent.
QString ExistingAncestor(const QString& path)
{
    QString current = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!current.isEmpty() && !QFileInfo::exists(current)) {
        int slash = current.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return QStringLiteral("/");
        current.truncate(slash);
    }
    return QFileInfo(current).canonicalFilePath().isEmpty() ? current : QFileInfo(current).canonicalFilePath();
}

} // namespace

CFolderChecks::State CFolderChecks::Examine(const QString& path)
{
    QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (stat(native.constData(), &info) == 0)
        return S_ISDIR(info.st_mode) ? State::Directory : State::File;
    switch (errno) {
    case ENOENT:
    case EACCES: return State::Missing;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL: return State::NotValid;
    default: return State::DriveInvalid; // EIO, ESTALE, ENOTCONN, EHOSTDOWN, …
    }
}

int CFolderChecks::CreatePath(const QString& path)
{
    QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current;
    for (const QString& part : parts) {
        current += QLatin1Char('/') + part;
        QByteArray native = QFile::encodeName(current);
        if (mkdir(native.constData(), 0777) == 0)
            continue;
        int error = errno;
        struct stat info {};
        if (error == EEXIST && stat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode))
            continue;
        return error == EEXIST ? ENOTDIR : error;
    }
    return 0;
}

QString CFolderChecks::FileSystemType(const QString& path, const QString& mountInfo)
{
    QString best, bestType;
    const QStringList lines = mountInfo.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        // id parent major:minor root mount-point options [optional…] - type source super-options
        QStringList fields = line.split(QLatin1Char(' '));
        int separator = fields.indexOf(QStringLiteral("-"));
        if (fields.size() < 5 || separator < 0 || separator + 1 >= fields.size())
            continue;
        QString mountPoint = UnescapeMountPath(fields[4]);
        // Later entries mount over earlier ones at the same place.
        if (IsUnder(path, mountPoint) && mountPoint.size() >= best.size()) {
            best = mountPoint;
            bestType = fields[separator + 1];
        }
    }
    return bestType;
}

CFolderChecks::Medium CFolderChecks::MediumOfType(const QString& type)
{
    static const char* const optical[] = {"iso9660", "udf"};
    static const char* const network[] = {"nfs",  "nfs4",       "cifs",           "smb3",         "smbfs",
                                          "afs",  "ceph",       "glusterfs",      "ncpfs",        "9p",
                                          "fuse.sshfs", "sshfs", "fuse.glusterfs", "fuse.davfs2", "davfs"};
    for (const char* name : optical)
        if (type == QLatin1String(name))
            return Medium::Optical;
    for (const char* name : network)
        if (type == QLatin1String(name))
            return Medium::Network;
    return Medium::Local;
}

CFolderChecks::Medium CFolderChecks::MediumOf(const QString& path)
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return Medium::Local;
    return MediumOfType(FileSystemType(ExistingAncestor(path), QString::fromLocal8Bit(table.readAll())));
}

QString CFolderChecks::CreateFailureText(int error, Medium medium, bool fromFolderField)
{
    if (error == EROFS) {
        if (medium == Medium::Optical)
            return QStringLiteral("You cannot create this folder\nas the CD ROM medium is read-only.");
        return QStringLiteral("You cannot create this folder.\nThe medium may be write-protected.");
    }
    if (medium == Medium::Network)
        return QStringLiteral("You do not have permission to create\nthis folder on the network.");
    if (fromFolderField)
        return QStringLiteral("You do not have permission or\notherwise cannot create this folder.");
    return QStringLiteral("You do not have permission\nto create this folder.");
}
