#include "atomicfile.h"

#include "regularfile.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(QString* reason, int error)
{
    if (reason)
        *reason = QString::fromLocal8Bit(std::strerror(error));
    return false;
}

// A fresh name beside the target: ".<name>.<pid>-<n>", hidden like an
// editor's backup and unique within the process.
QByteArray TemporaryName(const QString& path, int attempt)
{
    static std::atomic<unsigned> counter{0};
    const QFileInfo info(path);
    const QString name = QStringLiteral(".%1.%2-%3-%4")
                             .arg(info.fileName())
                             .arg(::getpid())
                             .arg(counter.fetch_add(1))
                             .arg(attempt);
    return QFile::encodeName(info.absolutePath() + QLatin1Char('/') + name);
}

bool WriteAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// The rename itself is an entry of the folder: it survives a power loss
// only once the folder is on disk too.
void SyncFolder(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool AtomicFile::Write(const QString& path, const QByteArray& bytes, QString* reason)
{
    const QByteArray target = QFile::encodeName(path);
    // The rename would take the name from whatever holds it: a FIFO or a
    // socket that another program listens on, a device node, a folder.
    // Only a regular file (or a link to one) is replaced.
    bool throughLink = false;
    const FileKind kind = RegularFile::Inspect(target.constData(), &throughLink);
    if (kind != FileKind::Regular && kind != FileKind::Missing) {
        if (reason)
            *reason = QStringLiteral("It is %1%2, not a regular file.")
                          .arg(throughLink ? QStringLiteral("a link to ") : QString(),
                               QString::fromLatin1(RegularFile::KindName(kind)));
        return false;
    }
    // A file its owner made read-only stays as it is, as it would for a
    // write in place: the rename alone would not ask.
    if (::access(target.constData(), F_OK) == 0 && ::access(target.constData(), W_OK) != 0)
        return Fail(reason, errno);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = TemporaryName(path, attempt);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return Fail(reason, errno);
    }
    if (fd < 0)
        return Fail(reason, EEXIST);

    struct stat old {};
    if (::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);

    int error = 0;
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        return Fail(reason, error);
    }
    SyncFolder(path);
    return true;
}
