#pragma once
// The call stack of a crash report resolved with libdw (elfutils), loaded at
// run time: its functions are looked up by name, no headers are needed to
// build. The stack is unwound from the faulting thread's registers with the
// modules' call frame information, symbols and source lines come from their
// symbol tables and debug information.
//
// None of this is async-signal-safe (libdw allocates and reads files); it
// runs only on the dying thread after the safe part of the report is out.

#include "platform/dynamiclibrary.h"

#include <cstdint>

class CCrashLog;

// The x86-64 registers of a thread in DWARF numbering: RAX, RDX, RCX, RBX,
// RSI, RDI, RBP, RSP, R8 … R15, and the return address column RIP.
struct DwarfRegisters {
    static constexpr int kCount = 17;
    std::uint64_t value[kCount]{};
};

class CSymbolHelp {
public:
    static constexpr const char* kLibrary = "libdw.so.1";
    static constexpr int kMaxFrames = 1000;

    CSymbolHelp();
    ~CSymbolHelp();
    CSymbolHelp(const CSymbolHelp&) = delete;
    CSymbolHelp& operator=(const CSymbolHelp&) = delete;

    // Loads the library and looks up its functions; on the first failure
    // writes one "%d Errornr <name>" line and returns false.
    bool Load(CCrashLog& log, const char* library);
    // Reports the process's modules and prepares unwinding from the given
    // registers of the calling thread; writes an error line when it fails.
    bool Initialise(CCrashLog& log, const DwarfRegisters& registers);
    // "Call stack:" with one line per frame: address, frame, symbol with its
    // displacement and the source line when known.
    void WriteStack(CCrashLog& log);
    // Releases the symbol handling (the library stays loaded).
    void Cleanup();

    struct Functions;

private:
    bool Resolve(CCrashLog& log);

    DynamicLibrary m_library;
    Functions* m_fn;
    void* m_dwfl = nullptr;
    DwarfRegisters m_registers;
};
