#include "writerprocess.h"

#include "support/testenvironment.h"
#include "support/waituntil.h"
#include "zq.h"

WriterProcess::WriterProcess(int channels, double rate, const QString& unit)
{
    const QString program = QString::fromStdString(TestEnvironment::BinDir()) + QStringLiteral("/oct_test_writer");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, {QString::number(channels), QString::number(rate, 'g', 17), unit});
    if (!m_process.waitForStarted(10000) || !m_process.waitForReadyRead(10000))
        return;
    if (m_process.readLine().trimmed() != "ready")
        return;
    // The definition is in the service once the writer says so; take it up.
    m_ready = WaitUntil([channels] { return ZQ_GetNrOfChan() == channels; });
}

WriterProcess::~WriterProcess()
{
    m_process.write("quit\n");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(2000);
}

bool WriterProcess::Command(const QByteArray& line)
{
    m_process.write(line + '\n');
    while (!m_process.canReadLine())
        if (!m_process.waitForReadyRead(20000))
            return false;
    return m_process.readLine().trimmed() == "ok";
}

bool WriterProcess::Sine(double frequency, double peak, int count)
{
    return Command(QByteArray("sine ") + QByteArray::number(frequency, 'g', 17) + ' '
                   + QByteArray::number(peak, 'g', 17) + ' ' + QByteArray::number(count));
}

bool WriterProcess::Noise(double rms, int count)
{
    return Command(QByteArray("noise ") + QByteArray::number(rms, 'g', 17) + ' ' + QByteArray::number(count));
}

bool WriterProcess::Zero(int count) { return Command(QByteArray("zero ") + QByteArray::number(count)); }
