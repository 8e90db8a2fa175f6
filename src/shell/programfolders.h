#pragma once
// Where KRV keeps what it writes, depending on how it runs. Run from a
// folder it may write (a build folder, an unpacked copy) it keeps
// everything beside the executable: the data folder "data", the settings
// sets, and the crash log in the current directory. An installed KRV
// (/usr/bin is not writable for the user) uses the user's folders of the
// XDG base directory rules instead: data below $XDG_DATA_HOME/<company>/,
// the crash log in $XDG_STATE_HOME/<company>/. The profile is always in
// $XDG_CONFIG_HOME/<company>/.

#include <QString>

class ProgramFolders {
public:
    static constexpr const char* kCrashLogName = "Korvimo.Elg";

    // True when the user may make files in the folder.
    static bool IsWritable(const QString& folder);

    // The data folder for the program directory (with its trailing '/'):
    // programDirectory + "data" when that folder is writable, else
    // $XDG_DATA_HOME/<company>/data (default ~/.local/share).
    static QString DataDirectory(const QString& programDirectory, const QString& company);

    // The crash log: its bare name, taken in the current directory at the
    // time of a fault, when the program directory is writable; else
    // $XDG_STATE_HOME/<company>/Korvimo.Elg (default ~/.local/state).
    static QString CrashLogPath(const QString& programDirectory, const QString& company);

    // The XDG base folders: the variable when it holds an absolute path
    // (the rules say to ignore a relative one), else the default below $HOME.
    static QString DataHome();
    static QString StateHome();

private:
    static QString BaseFolder(const char* variable, const QString& defaultBelowHome);
};
