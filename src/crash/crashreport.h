#pragma once
// The process-wide crash reporter. It installs itself during static
// initialisation (before any other static object of the program): handlers
// for SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP and SIGABRT on an alternate
// signal stack, so that a stack overflow is reported too, and a terminate
// handler for uncaught C++ exceptions. A fault appends one plain-text report
// (banner, exception code, fault address, registers, call stack) to the log,
// then the previous handler takes over, so the process still dies with the
// original signal and dumps core where enabled.
//
// Start-up calls CCrashReport::SetLogPath("Korvimo.Elg"); that call also
// makes sure the reporter is linked into the program.

#include <cstdint>
#include <string>

class CCrashReport {
public:
    static constexpr std::size_t kPathSize = 4096;
    static constexpr std::uint32_t kCppExceptionCode = 0xE06D7363;

    // Replaces the log path; a relative path is taken in the current
    // directory at the time of the fault. False, keeping the previous path,
    // when the path is empty or longer than kPathSize - 1. Any thread.
    static bool SetLogPath(const char* path);
    static const char* LogPath();

    // The symbol library loaded at the time of a fault (default
    // "libdw.so.1"). A name that does not load gives the frame-pointer walk.
    static void SetSymbolLibrary(const char* name);

    // Gives the calling thread an alternate signal stack of its own, so that
    // its stack overflow is reported too; freed when the thread ends. The
    // thread that ran static initialisation has one already. Any thread.
    static void PrepareThread();

    // The log path before start-up: the executable's path with an extension
    // of three or more characters replaced by "ELG", else ".ELG" appended.
    static std::string InitialLogPath(const std::string& executable);

    struct Exception {
        std::uint32_t code;
        const char* name; // static text
    };
    // The exception code and name a signal stands for. Signals without a code
    // of their own get their number and the system's description of them
    // (which, like the system's message texts, ends with a line break).
    // Any thread, signal handlers too.
    static Exception Classify(int signal, int signalCode, bool stackOverflow);

    CCrashReport(const CCrashReport&) = delete;
    CCrashReport& operator=(const CCrashReport&) = delete;

private:
    CCrashReport();
    ~CCrashReport();

    static CCrashReport s_instance;
};
