// SIGTERM, SIGINT and SIGHUP end a real KRV as closing its window does: the
// recording is closed with its header, the options and the placement are
// written, and the channel buffer service is released.
#include "platform/profile.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"
#include "zq.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <csignal>

namespace {

class TerminationTest : public testing::Test {
protected:
    void SetUp() override
    {
        Profile::SetProgramName(QStringLiteral("krv"));
        m_env.SetEnv("KRV_WAVEIN", "sine");
        m_env.SetEnv("VELMOR_SIM_MODULE", "");
        // The hardware setup at start-up makes KRV the service's writer.
        Profile::WriteInt("Settings", "AutoSetup", 7);
    }

    static QString Bin(const char* name) { return QString::fromStdString(TestEnvironment::BinDir() + "/" + name); }

    // Waits until KRV has defined the two sound card channels.
    static bool WaitForSoundChannels()
    {
        return WaitUntil([] { return ZQ_GetNrOfChan() == 2; });
    }

    // Samples of channel 0 that KRV has written into the service.
    static long long SamplesWritten()
    {
        ZQ_ChanStatus status{};
        return ZQ_GetChanStatus(0, &status) == ZQ_OK ? status.written : 0;
    }

    static void Stop(QProcess& krv, int signalNumber)
    {
        ASSERT_EQ(::kill(pid_t(krv.processId()), signalNumber), 0);
        ASSERT_TRUE(krv.waitForFinished(20000));
        EXPECT_EQ(krv.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(krv.exitCode(), 0);
    }

    // The service segment is gone, not merely left by a dead writer.
    static void ExpectServiceReleased()
    {
        EXPECT_EQ(ZQ_GetNrOfChan(), 0);
        ZQ_WriterStatus status{};
        ASSERT_EQ(ZQ_GetWriterStatus(&status), ZQ_OK);
        EXPECT_EQ(status.segmentPresent, 0);
    }

    TestEnvironment m_env;
};

TEST_F(TerminationTest, EachSignalWritesTheOptionsAndReleasesTheService)
{
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        Profile::WriteString("Window size", "Rechteck", "");
        Profile::WriteInt("Settings", "AutoSetup", 7);
        QProcess krv;
        krv.setProcessChannelMode(QProcess::ForwardedChannels);
        krv.start(Bin("krv"), {});
        ASSERT_TRUE(krv.waitForStarted());
        ASSERT_TRUE(WaitForSoundChannels());
        Stop(krv, signalNumber);
        ExpectServiceReleased();
        // Written as at a close: the options as KRV holds them (any non-zero
        // auto setup is 1) and the window's placement.
        EXPECT_EQ(Profile::GetInt("Settings", "AutoSetup", -1), 1);
        EXPECT_EQ(Profile::GetInt("Settings", "colors", -1), 1);
        EXPECT_FALSE(Profile::GetString("Window size", "Rechteck", "").isEmpty());
    }
}

// "vrd info" of a recording: the values it prints, by key.
struct Info {
    int exitCode = -1;
    QString text;
    long long Number(const QString& key) const
    {
        const QRegularExpressionMatch match =
            QRegularExpression("^" + QRegularExpression::escape(key) + R"(: (\d+))",
                               QRegularExpression::MultilineOption)
                .match(text);
        return match.hasMatch() ? match.captured(1).toLongLong() : -1;
    }
};

Info VrdInfo(const QString& path)
{
    QProcess vrd;
    vrd.setProcessChannelMode(QProcess::MergedChannels);
    vrd.start(QString::fromStdString(TestEnvironment::BinDir() + "/vrd"), {"info", path});
    Info info;
    if (!vrd.waitForFinished(20000))
        return info;
    info.exitCode = vrd.exitCode();
    info.text = QString::fromLocal8Bit(vrd.readAll());
    return info;
}

TEST_F(TerminationTest, SigtermClosesARecordingWithItsHeader)
{
    QProcess krv;
    krv.setProcessChannelMode(QProcess::SeparateChannels);
    krv.start(Bin("shell_recordingkrv"), {QString::fromStdString(m_env.Root())});
    ASSERT_TRUE(krv.waitForStarted());
    ASSERT_TRUE(krv.waitForReadyRead(20000));
    const QString line = QString::fromLocal8Bit(krv.readLine()).trimmed();
    ASSERT_TRUE(line.startsWith("recording ")) << line.toStdString();
    const QString path = line.mid(10);
    EXPECT_TRUE(path.startsWith(QString::fromStdString(m_env.Root())));
    // Every frame written into the service from now on is recorded too.
    const long long writtenAtStart = SamplesWritten();
    ASSERT_TRUE(WaitUntil([&] { return SamplesWritten() - writtenAtStart > 3 * 4096; }));
    Stop(krv, SIGTERM);
    ExpectServiceReleased();

    const Info info = VrdInfo(path);
    ASSERT_EQ(info.exitCode, 0) << info.text.toStdString();
    EXPECT_FALSE(info.text.contains("warning")) << info.text.toStdString();
    const long long frames = info.Number("frames");
    const long long blockFrames = info.Number("block frames");
    const long long channels = info.Number("channels");
    EXPECT_EQ(channels, 2);
    ASSERT_GT(blockFrames, 0);
    EXPECT_GT(frames, 4096) << info.text.toStdString();
    // The header sits right behind the blocks that hold the frames.
    const long long blocks = (frames + blockFrames - 1) / blockFrames;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(16);
    ASSERT_EQ(head.size(), 16);
    long long headerOffset = 0;
    for (int i = 15; i >= 8; --i)
        headerOffset = headerOffset * 256 + (unsigned char)head[i];
    EXPECT_EQ(headerOffset, 32 + blocks * channels * blockFrames * 4);
    EXPECT_EQ(info.Number("blocks"), blocks);
}

} // namespace
