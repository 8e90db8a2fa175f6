#pragma once
// The crash log while one report is written: opened for appending, every line
// formatted into a 1024-character stack buffer and written with one write().
// Only async-signal-safe calls (stat, open, flock, write, fsync, close); closing
// syncs the file, which stands for writing through.

class CCrashLog {
public:
    static constexpr int kLineSize = 1024;

    CCrashLog() = default;
    ~CCrashLog() { Close(); }
    CCrashLog(const CCrashLog&) = delete;
    CCrashLog& operator=(const CCrashLog&) = delete;

    // Opens (creating it when missing) for appending and holds an exclusive lock so that reports of two faulting threads or
    // processes do not interleave. False when the file cannot be opened or
    // is no regular file (a FIFO would hold the dying process in open()).
    bool Open(const char* path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // One formatted piece; ignored while closed. Signal handlers too.
    void Write(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    int m_fd = -1;
};
