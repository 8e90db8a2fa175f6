#include "platform/textarchive.h"
#include "support/fifowatchdog.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

#include <QFile>


TEST(TextArchive, FileRoundTripWithCrLfAndCp1252)
{
    TestEnvironment env;
    const QString path = QString::fromStdString(env.Root() + "/set.kvs");
    {
        TextArchive out;
        ASSERT_TRUE(out.Open(path, TextArchive::Mode::Store));
        out.WriteLine("Name:Bench A");
        out.BeginBlock("Hw");
        out.WriteLine(QString::fromUtf8("Unit:m/s² at 20°C € …"));
        out.EndBlock();
    }
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_EQ(raw.readAll(), QByteArray("Name:Bench A\r\nHw {\r\nUnit:m/s\xB2 at 20\xB0"
                                        "C \x80 \x85\r\n}\r\n"));

    TextArchive in;
    ASSERT_TRUE(in.Open(path, TextArchive::Mode::Load));
    QString line;
    ASSERT_TRUE(in.ReadLine(line));
    QString value;
    EXPECT_TRUE(TextArchive::MatchKey(line, "Name:", &value));
    EXPECT_EQ(value, "Bench A");
    ASSERT_TRUE(in.ReadLine(line));
    EXPECT_EQ(line, "Hw {");
    ASSERT_TRUE(in.ReadLine(line));
    EXPECT_EQ(line, QString::fromUtf8("Unit:m/s² at 20°C € …"));
    ASSERT_TRUE(in.ReadLine(line));
    EXPECT_TRUE(TextArchive::IsBlockEnd(line));
    EXPECT_FALSE(in.ReadLine(line));
    EXPECT_TRUE(line.isEmpty());
}

TEST(TextArchive, ReadsAnyLineEndAndUnterminatedLastLine)
{
    QByteArray bytes("a\r\nb\nc\rd");
    TextArchive in;
    in.OpenBuffer(&bytes, TextArchive::Mode::Load);
    QStringList lines;
    QString line;
    while (in.ReadLine(line))
        lines << line;
    EXPECT_EQ(lines, QStringList({"a", "b", "c", "d"}));
}

TEST(TextArchive, SkipBlockPassesNestedBlocks)
{
    QByteArray bytes("x:1\r\nch {\r\nOn:1\r\n}\r\n}\r\nnext\r\n");
    TextArchive in;
    in.OpenBuffer(&bytes, TextArchive::Mode::Load);
    EXPECT_TRUE(in.SkipBlock());
    QString line;
    ASSERT_TRUE(in.ReadLine(line));
    EXPECT_EQ(line, "next");
    EXPECT_FALSE(in.SkipBlock()); // ends before a closing line
}

TEST(TextArchive, UnmappableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(TextArchive::ToCp1252(QString::fromUtf8("Ω→x")), QByteArray("??x"));
    EXPECT_EQ(TextArchive::FromCp1252(QByteArray("\x81\xFF")), QString::fromUtf8("\u0081ÿ"));
}

TEST(TextArchive, MissingFileDoesNotOpen)
{
    TextArchive in;
    EXPECT_FALSE(in.Open("/nonexistent/dir/set.kvs", TextArchive::Mode::Load));
    EXPECT_FALSE(in.IsOpen());
    QString line;
    EXPECT_FALSE(in.ReadLine(line));
}

// A FIFO would block the open until some program writes into it, a device
// would never end: neither is taken, for loading or storing.
TEST(TextArchive, OnlyRegularFilesOpen)
{
    TestEnvironment env;
    FifoWatchdog watchdog(env.Root() + "/fifo.kvs");
    ASSERT_TRUE(watchdog.Made());
    const QString fifo = QString::fromStdString(watchdog.Path());
    for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
        for (TextArchive::Mode mode : {TextArchive::Mode::Load, TextArchive::Mode::Store}) {
            TextArchive archive;
            EXPECT_FALSE(archive.Open(path, mode)) << path.toStdString();
            EXPECT_FALSE(archive.IsOpen());
        }
    }
    watchdog.Finish();
    EXPECT_FALSE(watchdog.Tripped()) << "an open blocked on the FIFO";
}
