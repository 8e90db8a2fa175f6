// The text archive on arbitrary bytes, as a settings set file may hold them.
// Every line read, stored again, gives back exactly the bytes it was read
// from (the Windows-1252 conversion loses nothing), the lines cover the
// whole text, and skipping blocks ends at a closing line or the text's end.

#include "platform/textarchive.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "text archive: %s\n", what);
    std::abort();
}

// The end of the line starting at pos (before its line end) and the start
// of the next one: "\r\n", "\n" and a lone "\r" each end a line.
qsizetype LineEnd(const QByteArray& bytes, qsizetype pos, qsizetype* next)
{
    const qsizetype size = bytes.size();
    qsizetype end = pos;
    while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
        ++end;
    *next = end;
    if (end < size && bytes[end] == '\n')
        *next = end + 1;
    else if (end < size) // '\r', alone or before '\n'
        *next = end + 1 < size && bytes[end + 1] == '\n' ? end + 2 : end + 1;
    return end;
}

QByteArray Stored(const QString& line)
{
    QByteArray bytes;
    TextArchive out;
    out.OpenBuffer(&bytes, TextArchive::Mode::Store);
    out.WriteLine(line);
    out.Close();
    return bytes;
}

void CheckLines(QByteArray& bytes)
{
    TextArchive in;
    in.OpenBuffer(&bytes, TextArchive::Mode::Load);
    QString line;
    QString value;
    qsizetype pos = 0;
    while (in.ReadLine(line)) {
        if (pos >= bytes.size())
            Fail("a line past the end of the text");
        qsizetype next = 0;
        const qsizetype end = LineEnd(bytes, pos, &next);
        if (Stored(line) != bytes.mid(pos, end - pos) + "\r\n")
            Fail("a line stored again differs from its bytes");
        if (TextArchive::MatchKey(line, QStringLiteral("Name:"), &value) && value.size() != line.size() - 5)
            Fail("a key's value is not the rest of its line");
        if (TextArchive::IsBlockEnd(line) != line.startsWith(QLatin1Char('}')))
            Fail("a block end that does not start with '}'");
        pos = next;
    }
    if (pos != bytes.size())
        Fail("the lines do not cover the text");
    if (!line.isEmpty())
        Fail("the read after the end leaves a line");
}

// As a settings set reader walks a file: every block that opens is skipped
// whole; each skip ends at a closing line or the end of the text.
void CheckBlocks(QByteArray& bytes)
{
    TextArchive in;
    in.OpenBuffer(&bytes, TextArchive::Mode::Load);
    QString line;
    while (in.ReadLine(line)) {
        if (line.endsWith(QLatin1String(" {")) && !in.SkipBlock() && in.ReadLine(line))
            Fail("a skip that failed before the end of the text");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CheckLines(bytes);
    CheckBlocks(bytes);
    return 0;
}
