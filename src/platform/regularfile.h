#pragma once
// Opening a file that sits in a folder the user controls (the program
// folder, the current folder, a path named in the environment). Only a
// regular file is taken: a FIFO blocks the open or the first read until some
// other program writes to it, a device such as /dev/zero never ends, and a
// directory or a socket holds no file contents at all. The kind is checked
// before the open, so that no device is ever opened, and again on the open
// descriptor, so that a file swapped in between is caught too; the open
// itself never blocks (O_NONBLOCK). Symbolic links are followed: a link to a
// regular file is as good as the file.
//
// Everything but Describe is async-signal-safe (the crash reporter opens its
// files with it) and allocates nothing. Any thread; one object per thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

enum class FileKind { Missing, Regular, Directory, Fifo, CharacterDevice, BlockDevice, Socket, Unknown };

class RegularFile {
public:
    enum class Access {
        Read,   // an existing file, read only
        Write,  // created when missing, else truncated
        Append, // created when missing; every write goes to the end
    };

    RegularFile() = default;
    ~RegularFile() { Close(); }
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // False when the file is missing (for Read), is no regular file, or the
    // system refuses it; Describe then says why. A file that is created gets
    // mode less the umask.
    bool Open(const char* path, Access access, mode_t mode = 0666) noexcept;
    void Close() noexcept;
    // Hands the open descriptor over to the caller, who closes it.
    int Release() noexcept;

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    // Bytes in the file when it was opened.
    int64_t Size() const { return m_size; }

    // Reads up to bytes from offset, retrying interrupted calls; the number
    // read (less only at the end of the file), -1 on an error.
    int64_t ReadAt(int64_t offset, void* dest, size_t bytes) const noexcept;
    // Reads up to bytes from the current position; as ReadAt.
    int64_t Read(void* dest, size_t bytes) const noexcept;

    // After a failed Open: what path turned out to be (Regular when the
    // system refused a regular file, Missing when there was nothing), and the
    // system's error number (0 when the kind alone was the reason).
    FileKind Kind() const { return m_kind; }
    bool ThroughLink() const { return m_throughLink; }
    int Error() const { return m_error; }
    // Why the last Open failed, as a sentence about path:
    // "<path> is a FIFO, not a regular file",
    // "<path> is a link to a directory, not a regular file",
    // "cannot open <path>: No such file or directory". Empty after success.
    std::string Describe(const std::string& path) const;

    // What path names now, following links, without opening it; throughLink
    // tells whether path itself is a symbolic link.
    static FileKind Inspect(const char* path, bool* throughLink = nullptr) noexcept;
    static FileKind KindOf(mode_t mode) noexcept;
    // "a FIFO", "a character device", ...
    static const char* KindName(FileKind kind) noexcept;

private:
    bool Refuse(FileKind kind, int error) noexcept;

    int m_fd = -1;
    int64_t m_size = 0;
    FileKind m_kind = FileKind::Missing;
    bool m_throughLink = false;
    int m_error = 0;
};
