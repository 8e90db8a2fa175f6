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
    // be opened or every slot is held by a live process. A slot of a
    // process that died is taken over.
    int Claim(int client);
    void Publish(int slot, uint32_t generation, int count, const uint64_t* position, const uint64_t* lost);
    void ReleaseAll();

private:
    bool Open();

    Mapping m_map;
    bool m_openFailed = false;
};

} // namespace zq
