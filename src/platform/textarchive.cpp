#include "textarchive.h"

#include "platform/regularfile.h"
#include "platform/windows1252.h"

#include <QBuffer>
#include <QFile>

#include <unistd.h>

TextArchive::TextArchive() = default;
TextArchive::~TextArchive() { Close(); }

bool TextArchive::Open(const QString& path, Mode mode)
{
    Close();
    // Only a regular file: a FIFO or a device in its place would block or
    // never end.
    RegularFile regular;
    const auto access = mode == Mode::Store ? RegularFile::Access::Write : RegularFile::Access::Read;
    if (!regular.Open(QFile::encodeName(path).constData(), access))
        return false;
    auto file = std::make_unique<QFile>();
    const QIODevice::OpenMode flags = mode == Mode::Store ? QIODevice::WriteOnly : QIODevice::ReadOnly;
    const int fd = regular.Release();
    if (!file->open(fd, flags, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    m_device = std::move(file);
    m_mode = mode;
    return true;
}

void TextArchive::OpenBuffer(QByteArray* bytes, Mode mode)
{
    Close();
    auto buffer = std::make_unique<QBuffer>(bytes);
    buffer->open(mode == Mode::Store ? QIODevice::WriteOnly | QIODevice::Truncate
                                     : QIODevice::ReadOnly);
    m_device = std::move(buffer);
    m_mode = mode;
}

void TextArchive::Close()
{
    if (!m_device)
        return;
    if (m_mode == Mode::Store)
        FlushWrites();
    m_device->close();
    m_device.reset();
}

void TextArchive::WriteLine(const QString& text)
{
    if (!IsStoring())
        return;
    m_pending += ToCp1252(text);
    m_pending += "\r\n";
    if (m_pending.size() >= kWriteBuffer)
        FlushWrites();
}

void TextArchive::FlushWrites()
{
    if (!m_pending.isEmpty() && m_device)
        m_device->write(m_pending);
    m_pending.clear();
}

bool TextArchive::ReadLine(QString& line)
{
    line.clear();
    if (!IsLoading() || m_device->atEnd())
        return false;
    QByteArray bytes;
    char c = 0;
    while (m_device->getChar(&c)) {
        if (c == '\n')
            break;
        if (c == '\r') {
            char next = 0;
            if (m_device->peek(&next, 1) == 1 && next == '\n')
                m_device->getChar(&next);
            break;
        }
        bytes += c;
    }
    line = FromCp1252(bytes);
    return true;
}

bool TextArchive::SkipBlock()
{
    int depth = 0;
    QString line;
    while (ReadLine(line)) {
        if (IsBlockEnd(line)) {
            if (depth == 0)
                return true;
            --depth;
        } else if (line.endsWith(QLatin1String(" {"))) {
            ++depth;
        }
    }
    return false;
}

bool TextArchive::MatchKey(const QString& line, const QString& key, QString* value)
{
    if (!line.startsWith(key))
        return false;
    if (value)
        *value = line.mid(key.size());
    return true;
}

QByteArray TextArchive::ToCp1252(const QString& text)
{
    return QByteArray::fromStdString(windows1252::FromUtf8(text.toStdString()));
}

QString TextArchive::FromCp1252(const QByteArray& bytes)
{
    return QString::fromStdString(windows1252::ToUtf8(std::string_view(bytes.constData(), size_t(bytes.size()))));
}
