#include "readerslots.h"

#include "process.h"

#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

namespace zq {

bool ReaderSlots::Open()
{
    if (m_map.IsOpen() && m_owner == SelfPid())
        return true;
    m_map.Close();
    m_failed = true;
    const std::string name = SegmentName() + ".readers";
    // Every reader may create the table: a fresh object reads as zeros, which
    // is the table with all slots free.
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (!m_map.OpenObject(name, true))
            break;
        // Shared lock first, then look whether a cleaner removed the name
        // between the open and the lock: then open the name again.
        if (::flock(m_map.Fd(), LOCK_SH) != 0 || m_map.Unlinked()) {
            m_map.Close();
            continue;
        }
        if (!m_map.Reserve(sizeof(ReaderTable))) {
            DebugLine("zq: reader positions are not published: " + m_map.Error());
            // An empty table left by this failure would only be clutter.
            if (m_map.ObjectSize() == 0 && ::flock(m_map.Fd(), LOCK_EX | LOCK_NB) == 0)
                ::shm_unlink(name.c_str());
            m_map.Close();
            return false;
        }
        uint32_t magic = 0;
        Table()->magic.compare_exchange_strong(magic, kReaderMagic, std::memory_order_acq_rel);
        if (magic != 0 && magic != kReaderMagic) {
            DebugLine("zq: reader positions are not published: " + name + " is not a reader table");
            m_map.Close();
            return false;
        }
        m_owner = SelfPid();
        m_failed = false;
        return true;
    }
    DebugLine("zq: reader positions are not published: " + m_map.Error());
    m_map.Close();
    return false;
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
    ReaderTable* table = Table();
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
    ReaderSlot& s = Table()->slots[slot];
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
    const int self = SelfPid();
    if (self == m_owner) {
        for (ReaderSlot& slot : Table()->slots) {
            int32_t pid = self;
            slot.pid.compare_exchange_strong(pid, 0, std::memory_order_release);
        }
        // The last process to leave removes the table. A reader that opened
        // it meanwhile finds the name gone once it holds its lock, and opens
        // a new one.
        if (::flock(m_map.Fd(), LOCK_EX | LOCK_NB) == 0)
            ::shm_unlink(m_map.Name().c_str());
    }
    // A forked child shares its parent's open table and lock: it only
    // unmaps, and leaves both to the parent.
    m_map.Close();
}

bool ReaderSlots::RemoveUnused(const std::string& name)
{
    Mapping table;
    if (!table.OpenObject(name, false))
        return false;
    // Only a table of this library: its length and its magic.
    uint32_t magic = 0;
    if (table.ObjectSize() != sizeof(ReaderTable) || ::pread(table.Fd(), &magic, sizeof magic, 0) != sizeof magic ||
        magic != kReaderMagic)
        return false;
    if (::flock(table.Fd(), LOCK_EX | LOCK_NB) != 0 || table.Unlinked())
        return false;
    return ::shm_unlink(name.c_str()) == 0;
}

} // namespace zq
