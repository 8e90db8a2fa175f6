#pragma once
// A line-oriented text archive for settings files: lines end in "\r\n" in
// the file, text is Windows-1252 in the file and UTF-8 (QString) in memory.
// Blocks are written as "Name {" ... "}" lines; a reader that owns a block
// reads up to and including its closing "}" line.
//
// One archive either stores or loads, like the file it is opened on.
// UI thread only.

#include <QByteArray>
#include <QString>
#include <memory>

class QIODevice;

class TextArchive {
public:
    enum class Mode { Store, Load };

    TextArchive();
    ~TextArchive();
    TextArchive(const TextArchive&) = delete;
    TextArchive& operator=(const TextArchive&) = delete;

    // Opens a file: Store creates or truncates it, Load reads it. False when
    // the file cannot be opened or is no regular file (a FIFO, a device);
    // the archive then stays closed.
    bool Open(const QString& path, Mode mode);
    // An archive over bytes in memory (for loading a text, or collecting
    // what is stored); the bytes must outlive the archive.
    void OpenBuffer(QByteArray* bytes, Mode mode);
    // Flushes what was stored and closes the file.
    void Close();

    bool IsOpen() const { return m_device != nullptr; }
    bool IsStoring() const { return IsOpen() && m_mode == Mode::Store; }
    bool IsLoading() const { return IsOpen() && m_mode == Mode::Load; }

    // Writes text and the line end "\r\n".
    void WriteLine(const QString& text);
    // "name {" and "}".
    void BeginBlock(const QString& name) { WriteLine(name + QStringLiteral(" {")); }
    void EndBlock() { WriteLine(QStringLiteral("}")); }

    // Reads the next line without its line end ("\r\n", "\n" or a lone
    // "\r"). False at the end of the text, with line cleared.
    bool ReadLine(QString& line);
    // Reads lines up to and including the "}" line that closes the block the
    // archive is in (nested blocks are skipped whole). False if the text
    // ended first.
    bool SkipBlock();

    // True when a line closes a block.
    static bool IsBlockEnd(const QString& line) { return line.startsWith(QLatin1Char('}')); }
    // True when the line starts with key; value gets the rest after the key.
    static bool MatchKey(const QString& line, const QString& key, QString* value = nullptr);

    // The file boundary conversions.
    static QByteArray ToCp1252(const QString& text);
    static QString FromCp1252(const QByteArray& bytes);

private:
    static constexpr int kWriteBuffer = 4096;
    void FlushWrites();

    std::unique_ptr<QIODevice> m_device;
    Mode m_mode = Mode::Load;
    QByteArray m_pending;
};
