#pragma once
// What the folder picker needs to know about a path: whether it is a folder,
// a file or missing, what kind of medium holds it, creating it with all its
// parents, and the message for a folder that could not be created.

#include <QString>

class CFolderChecks {
public:
    enum class State {
        Directory,
        File,
        Missing,      // does not exist (or cannot be looked at): may be created
        NotValid,     // cannot be a folder: a part of it is a file, too long, a link loop
        DriveInvalid, // the medium holding it does not answer (I/O error, stale mount)
    };
    enum class Medium { Local, Optical, Network };

    static State Examine(const QString& path);

    // Creates the folder and every missing parent. 0 on success, else the
    // errno of the step that failed.
    static int CreatePath(const QString& path);

    // The medium of the mounted file system that holds path (or, for a
    // missing path, its nearest existing parent).
    static Medium MediumOf(const QString& path);
    // The file system type of the mount holding path, from the text of a
    // mountinfo table (/proc/self/mountinfo format).
    static QString FileSystemType(const QString& path, const QString& mountInfo);
    static Medium MediumOfType(const QString& fileSystemType);

    // The message for a failed creation. fromFolderField: the folder field's
    // Enter key asked, which words the general case differently.
    static QString CreateFailureText(int error, Medium medium, bool fromFolderField);
};
