#include "textarchive.h"

#include <QBuffer>
#include <QFile>

namespace {
// Unicode code points of the Windows-1252 bytes 0x80..0x9F; 0 where the
// byte is unassigned (those bytes decode to the same C1 code point).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char EncodeCp1252(char32_t code)
{
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
        return static_cast<char>(code);
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] != 0 && kCp1252High[i] == code)
            return static_cast<char>(0x80 + i);
        if (kCp1252High[i] == 0 && code == char32_t(0x80 + i))
            return static_cast<char>(0x80 + i);
    }
    return '?';
}
} // namespace

TextArchive::TextArchive() = default;
TextArchive::~TextArchive() { Close(); }

bool TextArchive::Open(const QString& path, Mode mode)
{
    Close();
    auto file = std::make_unique<QFile>(path);
    const QIODevice::OpenMode flags =
        mode == Mode::Store ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::ReadOnly;
    if (!file->open(flags))
        return false;
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
    QByteArray bytes;
    bytes.reserve(text.size());
    for (char32_t code : text.toUcs4())
        bytes += EncodeCp1252(code);
    return bytes;
}

QString TextArchive::FromCp1252(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if (b >= 0x80 && b < 0xA0 && kCp1252High[b - 0x80] != 0)
            text += QChar(kCp1252High[b - 0x80]);
        else
            text += QChar(b);
    }
    return text;
}
