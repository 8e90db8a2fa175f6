// Path checks, creation and the failure messages of the folder picker.
#include "folders/folderchecks.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <gtest/gtest.h>

using State = CFolderChecks::State;
using Medium = CFolderChecks::Medium;

TEST(FolderChecks, ExamineTellsFoldersFilesAndMissingPathsApart)
{
    TestEnvironment env;
    QString root = QString::fromStdString(env.Root());
    QFile file(root + "/plain");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(CFolderChecks::Examine(root), State::Directory);
    EXPECT_EQ(CFolderChecks::Examine("/"), State::Directory);
    EXPECT_EQ(CFolderChecks::Examine(root + "/plain"), State::File);
    EXPECT_EQ(CFolderChecks::Examine(root + "/none/deeper"), State::Missing);
    EXPECT_EQ(CFolderChecks::Examine(root + "/plain/sub"), State::NotValid);
    EXPECT_EQ(CFolderChecks::Examine(root + "/" + QString(5000, 'x')), State::NotValid);
}

TEST(FolderChecks, CreatePathMakesEveryMissingParent)
{
    TestEnvironment env;
    QString root = QString::fromStdString(env.Root());
    EXPECT_EQ(CFolderChecks::CreatePath(root + "/a/b/c/"), 0);
    EXPECT_TRUE(QDir(root + "/a/b/c").exists());
    EXPECT_EQ(CFolderChecks::CreatePath(root + "/a/b"), 0) << "existing folders are fine";
    QFile file(root + "/a/f");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(CFolderChecks::CreatePath(root + "/a/f"), ENOTDIR);
    EXPECT_EQ(CFolderChecks::CreatePath(root + "/a/f/g"), ENOTDIR);
}

TEST(FolderChecks, FileSystemTypeOfTheDeepestMount)
{
    const QString table =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "30 22 0:40 / /media/cd rw - iso9660 /dev/sr0 ro\n"
        "31 22 0:41 / /mnt/net\\040share rw shared:5 - cifs //server/share rw\n"
        "32 22 0:42 / /mnt/nfs rw - nfs4 server:/export rw\n"
        "33 32 0:43 / /mnt/nfs/local rw - tmpfs tmpfs rw\n"
        "34 22 0:44 / /home/u/remote rw - fuse.sshfs u@host: rw\n";
    struct Case {
        const char* path;
        const char* type;
        Medium medium;
    } cases[] = {
        {"/home/u", "ext4", Medium::Local},
        {"/media/cd/music", "iso9660", Medium::Optical},
        {"/media/cdrom", "ext4", Medium::Local},
        {"/mnt/net share/x", "cifs", Medium::Network},
        {"/mnt/nfs", "nfs4", Medium::Network},
        {"/mnt/nfs/local/x", "tmpfs", Medium::Local},
        {"/home/u/remote/data", "fuse.sshfs", Medium::Network},
    };
    for (const Case& c : cases) {
        QString type = CFolderChecks::FileSystemType(c.path, table);
        EXPECT_EQ(type, c.type) << c.path;
        EXPECT_EQ(CFolderChecks::MediumOfType(type), c.medium) << c.path;
    }
    EXPECT_EQ(CFolderChecks::MediumOf(QString::fromStdString(TestEnvironment().Root()) + "/not/there"),
              Medium::Local);
}

TEST(FolderChecks, FailureTextsFollowTheReasonAndTheMedium)
{
    EXPECT_EQ(CFolderChecks::CreateFailureText(EROFS, Medium::Optical, false),
              "You cannot create this folder\nas the CD ROM medium is read-only.");
    EXPECT_EQ(CFolderChecks::CreateFailureText(EROFS, Medium::Local, false),
              "You cannot create this folder.\nThe medium may be write-protected.");
    EXPECT_EQ(CFolderChecks::CreateFailureText(EROFS, Medium::Network, true),
              "You cannot create this folder.\nThe medium may be write-protected.");
    EXPECT_EQ(CFolderChecks::CreateFailureText(EACCES, Medium::Network, false),
              "You do not have permission to create\nthis folder on the network.");
    EXPECT_EQ(CFolderChecks::CreateFailureText(EACCES, Medium::Local, false),
              "You do not have permission\nto create this folder.");
    EXPECT_EQ(CFolderChecks::CreateFailureText(ENOSPC, Medium::Local, true),
              "You do not have permission or\notherwise cannot create this folder.");
}
