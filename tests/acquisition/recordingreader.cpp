#include "recordingreader.h"

#include <QFile>
#include <cstring>

RecordingReader::RecordingReader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 32 || !bytes.startsWith("Vorn64"))
        return;
    uint32_t headerOffset = 0;
    std::memcpy(&headerOffset, bytes.constData() + 8, 4);
    if (headerOffset < 32 || headerOffset > uint32_t(bytes.size()))
        return;
    const QList<QByteArray> lines = bytes.mid(headerOffset).split('\n');
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (line.startsWith("org:Block"))
            blockFrames = line.mid(9).toInt();
        else if (line.startsWith("frames:"))
            frames = line.mid(7).toLongLong();
        else if (line.startsWith("name:"))
            names.push_back(line.mid(5).toStdString());
    }
    const int count = int(names.size());
    if (blockFrames < 1 || count < 1)
        return;
    channels.assign(count, {});
    for (int c = 0; c < count; ++c) {
        for (int64_t f = 0; f < frames; ++f) {
            const int64_t block = f / blockFrames;
            const int64_t at = 32 + ((block * count + c) * blockFrames + f % blockFrames) * 4;
            if (at + 4 > headerOffset)
                return;
            float value = 0;
            std::memcpy(&value, bytes.constData() + at, 4);
            channels[c].push_back(value);
        }
    }
    ok = true;
}
