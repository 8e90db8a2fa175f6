#pragma once
// Persisted values: an INI file at $XDG_CONFIG_HOME/<company>/<program>.conf
// (default ~/.config), with sections such as "Settings" and "Window size".

#include <QString>

class Profile {
public:
    // The company folder ("Zentrik") and the program name (the executable's
    // name without extension). Call once at start-up; UI thread only.
    static void SetRegistryKey(const QString& company);
    static void SetProgramName(const QString& program);

    // The file the values live in; follows XDG_CONFIG_HOME at each call.
    static QString FilePath();

    static int GetInt(const QString& section, const QString& key, int defaultValue);
    static void WriteInt(const QString& section, const QString& key, int value);
    static QString GetString(const QString& section, const QString& key,
                             const QString& defaultValue = QString());
    static void WriteString(const QString& section, const QString& key, const QString& value);
};
