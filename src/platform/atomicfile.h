#pragma once
// Replacing a file as a whole: the new contents go to a temporary file in
// the same folder, reach the disk (fsync), and are then renamed over the
// old file, so that a crash, a full disk or a failed write at any moment
// leaves either the old file or the complete new one, never a mix.
// Any thread; one writer per path at a time.

#include <QByteArray>
#include <QString>

class AtomicFile {
public:
    // Writes bytes as the file at path. False with the system's reason when
    // any step fails; the old file is then untouched and no temporary file
    // is left behind. A new file gets the mode 0666 less the umask, a
    // replaced one keeps its mode; one that the process may not write is
    // refused (EACCES), as writing it in place would be, and so is anything
    // at path that is no regular file (a FIFO, a socket, a device, a folder).
    static bool Write(const QString& path, const QByteArray& bytes, QString* reason = nullptr);
};
