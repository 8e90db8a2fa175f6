#pragma once
// This process's slots in the namespace's reader table, where each reader
// client publishes its position and loss count for zq-stat.

#include "layout.h"
#include "mapping.h"

namespace zq {

class ReaderSlots {
public:
    ReaderSlots() = default;
    ~ReaderSlots() { ReleaseAll(); }
    ReaderSlots(const ReaderSlots&) = delete;
    ReaderSlots& operator=(const ReaderSlots&) = delete;

    // Slot index for a client of this process, or -1 when the table cannot
    // be opened (TableFailed() tells) or every slot is held by a live
    // process. A slot of a process that died is taken over.
    int Claim(int client);
    void Publish(int slot, uint32_t generation, int count, const uint64_t* position, const uint64_t* lost);
    // Frees this process's slots; the last process to leave the table
    // removes it.
    void ReleaseAll();
    // True when the last attempt to open the table failed (a "***" line
    // said why, e.g. a full /dev/shm).
    bool TableFailed() const { return m_failed; }

    // Removes the reader table of name when no process has it open; true
    // when it did. Any process.
    static bool RemoveUnused(const std::string& name);

private:
    bool Open();
    ReaderTable* Table() const { return static_cast<ReaderTable*>(m_map.Base()); }

    Mapping m_map;
    int m_owner = 0; // the process that opened the table (a forked child does not own its lock)
    bool m_failed = false;
};

} // namespace zq
