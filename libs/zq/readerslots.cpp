#include "readerslots.h"

#include "process.h"

namespace zq {

bool ReaderSlots::Open()
{
    if (m_map.IsOpen())
        return true;
    if (m_openFailed)
        return false;
    // Every reader may create the table: a fresh object reads as zeros, which
    // is the table with all slots free.
    if (!m_map.OpenOrCreate(SegmentName() + ".readers", sizeof(ReaderTable))) {
        DebugLine("zq: reader positions are not published: " + m_map.Error());
        m_openFailed = true;
        return false;
    }
    return true;
}

// A slot's owner as far as another process can tell: a claim in progress
// (negative pid) belongs to its process whatever the start time says.
static bool Held(const ReaderSlot& slot, int32_t pid)
{
    if (pid < 0)
        return ProcessAlive(-pid, 0);
    return pid != 0 && ProcessAlive(pid, slot.start.load(std::memory_order_relaxed));
}

int ReaderSlots::Claim(int client)
{
    if (!Open())
        return -1;
    auto* table = static_cast<ReaderTable*>(m_map.Base());
    const int self = SelfPid();
    const uint64_t start = SelfStartTime();
    for (int i = 0; i < kReaderSlots; ++i) {
        ReaderSlot& slot = table->slots[i];
        int32_t pid = slot.pid.load(std::memory_order_acquire);
        if (pid == self || pid == -self || Held(slot, pid))
            continue;
        // Phase one: mark the slot as being claimed by this process, so that
        // nobody judges it by the start time of its previous owner.
        if (!slot.pid.compare_exchange_strong(pid, -self, std::memory_order_acq_rel))
            continue;
        slot.start.store(start, std::memory_order_relaxed);
        slot.client.store(client, std::memory_order_relaxed);
        slot.generation.store(0, std::memory_order_relaxed);
        for (int c = 0; c < kMaxChannels; ++c) {
            slot.position[c].store(0, std::memory_order_relaxed);
            slot.lost[c].store(0, std::memory_order_relaxed);
        }
        // Phase two: whoever sees the pid sees the start time with it.
        slot.pid.store(self, std::memory_order_release);
        return i;
    }
    return -1;
}

void ReaderSlots::Publish(int slot, uint32_t generation, int count, const uint64_t* position,
                          const uint64_t* lost)
{
    if (slot < 0 || !m_map.IsOpen())
        return;
    ReaderSlot& s = static_cast<ReaderTable*>(m_map.Base())->slots[slot];
    s.generation.store(generation, std::memory_order_relaxed);
    for (int c = 0; c < count; ++c) {
        s.position[c].store(position[c], std::memory_order_relaxed);
        s.lost[c].store(lost[c], std::memory_order_relaxed);
    }
}

void ReaderSlots::ReleaseAll()
{
    if (!m_map.IsOpen())
        return;
    auto* table = static_cast<ReaderTable*>(m_map.Base());
    const int self = SelfPid();
    for (ReaderSlot& slot : table->slots) {
        int32_t pid = self;
        slot.pid.compare_exchange_strong(pid, 0, std::memory_order_release);
    }
    m_map.Close();
}

} // namespace zq
