#pragma once
// Maps a code address onto the module that holds it, the number of the
// loadable segment (counted from 1 in program header order) and the offset
// within that segment, and reads memory that may not be mapped. Everything
// here may be called from a signal handler.

#include <cstddef>
#include <cstdint>

struct LocatedAddress {
    unsigned segment = 0;       // 0 when no module holds the address
    std::uintptr_t offset = 0;  // from the segment's start
    const char* module = "";    // the module's file path, empty when unknown
};

class CAddressLocator {
public:
    // Remembers the executable's own path (the loader names it "") and
    // prepares the memory probe. Call once before the first fault.
    static void Prepare(const char* executablePath);

    // Any thread, signal handlers too.
    static LocatedAddress Locate(std::uintptr_t address);
    // Copies length bytes at address into out; false when any of them is not
    // readable. Never faults. Any thread, signal handlers too.
    static bool ReadMemory(std::uintptr_t address, void* out, std::size_t length);
};
