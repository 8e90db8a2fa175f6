#pragma once
// Where the four settings set files live and how they are read and written
// as a whole. A set file is "Set<n>.kvs" in the program directory, or, when
// that directory cannot be written (an installed program), in the profile
// folder $XDG_CONFIG_HOME/Zentrik/; saving and loading use the same rule.
// The text inside is the main window's concern. UI thread only.

#include <QByteArray>
#include <QString>

class SettingsSetFiles {
public:
    static constexpr int kSetCount = 4;
    // The largest file taken for a set. A set of six pages with every view
    // and 24 channels is some tens of kilobytes; anything beyond this is not
    // a set, and reading it would only stall the program.
    static constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
    // The most of the first line that is read for the set's name.
    static constexpr int kMaxNameLineBytes = 256;

    // The folder of the set files, ending in '/'.
    static QString Folder();
    // The file of set 1 .. 4.
    static QString PathOf(int set);

    enum class ReadResult { Read, Unreadable, TooLarge, NotAFile };
    // The whole file; Unreadable when it is missing or cannot be opened,
    // NotAFile (with the reason) when it is a FIFO, a device, a directory or
    // anything else that is no regular file: those are never read, as a FIFO
    // would hold the program until some other program writes into it.
    static ReadResult ReadAll(const QString& path, QByteArray* bytes, QString* reason = nullptr);
    // The name of the set in the file's first line "Name:<name>" (line end
    // removed); false, name unchanged, when the file cannot be read, is no
    // regular file or its first line is no name line.
    static bool ReadName(const QString& path, QString* name);
    // Replaces the file with bytes in one step (the folder made first when
    // missing); false with the reason when that failed, the old file kept.
    static bool Write(const QString& path, const QByteArray& bytes, QString* reason);
};
