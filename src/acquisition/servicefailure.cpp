#include "servicefailure.h"

#include "zq.h"

#include <QFile>

namespace {
// The command name of a process ("" when it cannot be read).
QString ProgramOf(int pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

QString HolderText()
{
    ZQ_WriterStatus status{};
    if (ZQ_GetWriterStatus(&status) != ZQ_OK || status.writerPid <= 0)
        return QStringLiteral("another program");
    const QString program = ProgramOf(status.writerPid);
    if (program.isEmpty())
        return QStringLiteral("process %1").arg(status.writerPid);
    return QStringLiteral("process %1 (%2)").arg(status.writerPid).arg(program);
}
} // namespace

QString ServiceFailureText(int result)
{
    switch (result) {
    case ZQ_E_BUSY:
        return QStringLiteral("Cannot define the channels: %1 publishes channels in the channel buffer service.\n"
                              "End it and press Setup again, or restart KRV to show its channels.")
            .arg(HolderText());
    case ZQ_E_SEGMENT:
        return QStringLiteral("Cannot define the channels: the channel buffer service cannot be opened.\n"
                              "The shared memory (/dev/shm) may be full: free some and press Setup again.");
    default:
        return QStringLiteral("Cannot define the channels: the channel buffer service refused them (error %1).")
            .arg(result);
    }
}
