// Replacing a file in one step: the new contents or the old, never a mix,
// and nothing left beside it.
#include "platform/atomicfile.h"
#include "support/smallfilesystem.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FilesIn(const QString& folder)
{
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    files.sort();
    return files;
}

} // namespace

TEST(AtomicFile, ReplacesTheWholeFileAndKeepsItsMode)
{
    TestEnvironment env;
    const QString folder = QString::fromStdString(env.Root());
    const QString path = folder + QStringLiteral("/set.kvs");
    ASSERT_TRUE(AtomicFile::Write(path, "first\r\n"));
    EXPECT_EQ(Read(path), "first\r\n");
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0640), 0);

    // Shorter contents leave no tail of the longer ones.
    ASSERT_TRUE(AtomicFile::Write(path, "2\r\n"));
    EXPECT_EQ(Read(path), "2\r\n");
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    // A file that was empty before, and empty contents.
    ASSERT_TRUE(AtomicFile::Write(path, QByteArray()));
    EXPECT_EQ(Read(path), QByteArray());
    EXPECT_EQ(FilesIn(folder), (QStringList{"set.kvs"}));
}

TEST(AtomicFile, FailureKeepsTheOldFileAndLeavesNothingBehind)
{
    TestEnvironment env;
    const QString folder = QString::fromStdString(env.Root());
    // The name is taken by a folder: the rename cannot replace it.
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("taken/inner")));
    QString reason;
    EXPECT_FALSE(AtomicFile::Write(folder + QStringLiteral("/taken"), "x", &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_TRUE(FilesIn(folder).isEmpty()) << FilesIn(folder).join(' ').toStdString();

    // A file made read-only is not replaced (root may write any file).
    if (geteuid() != 0) {
        const QString kept = folder + QStringLiteral("/kept.kvs");
        ASSERT_TRUE(AtomicFile::Write(kept, "old"));
        ASSERT_EQ(chmod(QFile::encodeName(kept).constData(), 0444), 0);
        EXPECT_FALSE(AtomicFile::Write(kept, "new", &reason));
        EXPECT_EQ(reason, QString::fromLocal8Bit(std::strerror(EACCES)));
        EXPECT_EQ(Read(kept), "old");
        QFile::remove(kept);
    }

    // A FIFO, and a link to one, keep their names: some other program may
    // be about to open them.
    const QString fifo = folder + QStringLiteral("/fifo.kvs");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString link = folder + QStringLiteral("/link.kvs");
    ASSERT_TRUE(QFile::link(fifo, link));
    EXPECT_FALSE(AtomicFile::Write(fifo, "x", &reason));
    EXPECT_EQ(reason, "It is a FIFO, not a regular file.");
    EXPECT_FALSE(AtomicFile::Write(link, "x", &reason));
    EXPECT_EQ(reason, "It is a link to a FIFO, not a regular file.");
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(link).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    // A folder that does not exist.
    EXPECT_FALSE(AtomicFile::Write(folder + QStringLiteral("/missing/set.kvs"), "x", &reason));
    EXPECT_EQ(reason, QString::fromLocal8Bit(std::strerror(ENOENT)));
}

TEST(AtomicFile, FullDiskKeepsTheOldFile)
{
    TestEnvironment env;
    SmallFileSystem disk(env.Root() + "/disk", 64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    const QString folder = QString::fromStdString(disk.Folder());
    const QString path = folder + QStringLiteral("/set.kvs");
    const QByteArray old(10000, 'o');
    ASSERT_TRUE(AtomicFile::Write(path, old));

    // 64 KiB disk, 10000 bytes used: 60000 more do not fit beside them.
    QString reason;
    EXPECT_FALSE(AtomicFile::Write(path, QByteArray(60000, 'n'), &reason));
    EXPECT_EQ(reason, QString::fromLocal8Bit(std::strerror(ENOSPC)));
    EXPECT_EQ(Read(path), old);
    EXPECT_EQ(FilesIn(folder), (QStringList{"set.kvs"}));
    // With the room back the replacement goes through.
    EXPECT_TRUE(AtomicFile::Write(path, QByteArray(40000, 'n')));
    EXPECT_EQ(Read(path), QByteArray(40000, 'n'));
}
