#include "reader.h"

#include "process.h"
#include "writer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace zq {

namespace {

// The writer's process is looked at again every 50 ms: a writer that dies
// without releasing takes its channels along within that time.
constexpr uint64_t kLiveCheckNs = uint64_t(ZQ_LIVE_CHECK_MS) * 1'000'000;

enum class Copy { Ok, Overwritten, Redefined };

bool ValidClient(int client) { return client >= 1 && client < kMaxClients; }
bool ValidChannel(int channel) { return channel >= 0 && channel < kMaxChannels; }

// A definition this reader can use, apart from where its ring ends.
bool ValidDef(ChannelDef& def)
{
    const uint64_t cap = def.capacity;
    if (cap < kMinCapacity || cap > kMaxCapacity || (cap & (cap - 1)) != 0)
        return false;
    if (def.offset > (uint64_t(1) << 40)) // far beyond any segment: keeps offset + capacity exact
        return false;
    if (!std::isfinite(def.interval) || def.interval <= 0.0)
        return false;
    def.numberText[sizeof def.numberText - 1] = '\0';
    def.name[sizeof def.name - 1] = '\0';
    def.unit[sizeof def.unit - 1] = '\0';
    def.sign[sizeof def.sign - 1] = '\0';
    return true;
}

// Part of a ring a reader may still take: the newest capacity - capacity/16
// samples. The headroom keeps a frozen block readable for a while after the
// freeze even when the reader is a full ring behind.
uint64_t Usable(const ChannelDef& def) { return def.capacity - def.capacity / 16; }

} // namespace

Reader& Reader::Instance()
{
    static Reader reader;
    return reader;
}

bool Reader::NamespaceChanged()
{
    const char* env = std::getenv("ZQ_NAME");
    const char* current = env ? env : "";
    if (m_haveEnvName && m_envName == current)
        return false;
    m_envName = current;
    m_haveEnvName = true;
    return true;
}

void Reader::Detach()
{
    m_map.Close();
    m_slots.ReleaseAll();
    m_pool = nullptr;
    m_nextLiveCheck = 0;
    m_livePid = 0;
    m_liveStart = 0;
    m_writerAlive = false;
    m_haveSnapshot = false;
    for (Client& c : m_clients)
        c = Client{};
}

void Reader::Refresh()
{
    const uint64_t now = MonotonicNs();
    m_count = 0;
    // A test may switch the namespace of the process: start over in it.
    if (NamespaceChanged())
        Detach();
    if (const uint32_t epoch = Writer::LocalEpoch(); epoch != m_localEpoch) {
        m_localEpoch = epoch;
        m_nextLiveCheck = 0;
    }
    // Two passes: when this call finds the segment's writer gone, the next
    // writer's segment is looked for at once, so that the first call after a
    // change of writer already sees the new channels.
    for (int pass = 0; pass < 2; ++pass) {
        DropUnlinkedSegment();
        if (!OpenSegment())
            return;
        const bool wasAlive = m_writerAlive;
        if (CheckWriter(now))
            break;
        if (!wasAlive || pass == 1)
            return;
    }
    const uint32_t g = H()->generation.load(std::memory_order_acquire);
    if ((g & 1u) != 0)
        return; // a definition is being written
    if (!m_haveSnapshot || g != m_generation) {
        m_haveSnapshot = Snapshot(g);
        if (!m_haveSnapshot)
            return;
    }
    m_count = m_snapCount;
}

void Reader::DropUnlinkedSegment()
{
    // Looked at on every call while there is no live writer (an fstat), so
    // that the first call after a new writer defined channels sees them.
    if (!m_map.IsOpen() || m_writerAlive)
        return;
    // A writer that ends unlinks the segment, the next writer removes a
    // dead one's; either way the next one makes a new one.
    if (m_map.Unlinked()) {
        m_map.Close();
        m_haveSnapshot = false;
        // Counts in the next segment start afresh, whatever its generation.
        for (Client& c : m_clients)
            c.hasGeneration = false;
    }
}

bool Reader::OpenSegment()
{
    // Looked for on every call while there is none (a failed shm_open, a
    // few microseconds): no call after a writer appeared misses it.
    if (m_map.IsOpen())
        return true;
    if (!m_map.OpenExisting(SegmentName(), Mapping::Mode::ReadOnly, kPoolOffset))
        return false;
    m_pool = reinterpret_cast<const float*>(static_cast<const char*>(m_map.Base()) + kPoolOffset);
    return true;
}

// Whether the segment holds a live writer's channels (the writer's process
// looked at no more often than every kLiveCheckNs).
bool Reader::CheckWriter(uint64_t now)
{
    const Header* h = H();
    if (h->magic.load(std::memory_order_acquire) != kMagic || h->version != kVersion)
        return false;
    const int32_t pid = h->writerPid.load(std::memory_order_acquire);
    const uint64_t start = h->writerStart.load(std::memory_order_relaxed);
    if (pid != m_livePid || start != m_liveStart || now >= m_nextLiveCheck) {
        m_writerAlive = ProcessAlive(pid, start);
        m_livePid = pid;
        m_liveStart = start;
        m_nextLiveCheck = now + kLiveCheckNs;
    }
    return m_writerAlive;
}

bool Reader::Snapshot(uint32_t generation)
{
    const Header* h = H();
    ChannelDef* defs = m_scratch;
    const int n = h->nrOfChan.load(std::memory_order_relaxed);
    for (int i = 0; i < kMaxChannels; ++i)
        defs[i] = LoadDef(h->defs[i]);
    AcquireFence();
    if (h->generation.load(std::memory_order_relaxed) != generation)
        return false;
    if (n < 0 || n > kMaxChannels)
        return false;
    uint64_t poolEnd = 0;
    for (int i = 0; i < n; ++i) {
        if (!ValidDef(defs[i]))
            return false;
        poolEnd = std::max(poolEnd, defs[i].offset + defs[i].capacity);
    }
    // The writer grew the segment before it published a definition that
    // needs more: map the new length.
    if (kPoolOffset + poolEnd * sizeof(float) > m_map.Size()) {
        if (!m_map.Remap() || kPoolOffset + poolEnd * sizeof(float) > m_map.Size())
            return false;
        m_pool = reinterpret_cast<const float*>(static_cast<const char*>(m_map.Base()) + kPoolOffset);
    }
    std::memcpy(static_cast<void*>(m_defs), defs, sizeof m_defs);
    m_snapCount = n;
    m_generation = generation;
    for (int i = 0; i < n; ++i) {
        m_group[i] = i;
        for (int j = 0; j < i; ++j)
            if (m_defs[j].interval == m_defs[i].interval) {
                m_group[i] = j;
                break;
            }
    }
    return true;
}

Reader::Client& Reader::Use(int client)
{
    Client& c = m_clients[client];
    if (!c.attached) {
        // A new client starts with what arrives from now on.
        c.attached = true;
        c.slot = m_slots.Claim(client);
        c.hasGeneration = m_count > 0;
        c.generation = m_generation;
        MoveAll(c, false);
    } else if (m_count > 0 && (!c.hasGeneration || c.generation != m_generation)) {
        // A new definition: its samples count from 0 and are all new to us.
        c.hasGeneration = true;
        c.generation = m_generation;
        MoveAll(c, true);
    }
    return c;
}

void Reader::MoveAll(Client& c, bool toZero)
{
    uint64_t end[kMaxChannels];
    FrameEnds(end);
    for (int i = 0; i < kMaxChannels; ++i) {
        const uint64_t at = (toZero || i >= m_count) ? 0 : end[i];
        c.channels[i] = ClientChannel{at, at, at, at, 0};
    }
    c.frozenCount = 0;
    PublishSlot(c);
}

void Reader::PublishSlot(Client& c)
{
    uint64_t position[kMaxChannels];
    uint64_t lost[kMaxChannels];
    for (int i = 0; i < kMaxChannels; ++i) {
        position[i] = c.channels[i].position;
        lost[i] = c.channels[i].lost;
    }
    m_slots.Publish(c.slot, c.generation, kMaxChannels, position, lost);
}

uint64_t Reader::Written(int channel) const
{
    return H()->counters[channel].written.load(std::memory_order_acquire);
}

void Reader::FrameEnds(uint64_t* end) const
{
    // Channels of one sample rate end on one frame: a writer in another
    // thread may be half-way through a frame (or a batch).
    for (int i = 0; i < m_count; ++i)
        end[i] = Written(i);
    for (int i = 0; i < m_count; ++i)
        end[m_group[i]] = std::min(end[m_group[i]], end[i]);
    for (int i = 0; i < m_count; ++i)
        end[i] = end[m_group[i]];
}

uint64_t Reader::OldestSafe(int channel, uint64_t written) const
{
    const uint64_t usable = Usable(m_defs[channel]);
    return written > usable ? written - usable : 0;
}

// Samples out of a ring the writer may be storing into: atomic loads, so the
// race is defined; the caller's sequence check decides whether they count.
static void CopySamples(unsigned char* dest, const float* from, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const float v = LoadSample(from + i);
        std::memcpy(dest + i * sizeof(float), &v, sizeof v);
    }
}

static Copy CopyRing(const Header* h, const float* pool, const ChannelDef& def, int channel,
                     uint32_t generation, uint64_t first, int count, unsigned char* dest)
{
    const uint64_t cap = def.capacity;
    const std::atomic<uint64_t>& counter = h->counters[channel].written;
    if (first + cap <= counter.load(std::memory_order_acquire) + kMaxInFlight)
        return Copy::Overwritten;
    const float* ring = pool + def.offset;
    const uint64_t start = first & (cap - 1);
    const size_t head = std::min<uint64_t>(uint64_t(count), cap - start);
    CopySamples(dest, ring + start, head);
    CopySamples(dest + head * sizeof(float), ring, size_t(count) - head);
    // The copy is good if, after it, the writer has not reached the slot of
    // the oldest copied sample: it may be writing up to kMaxInFlight samples
    // past the count it published.
    AcquireFence();
    if (h->generation.load(std::memory_order_relaxed) != generation)
        return Copy::Redefined;
    if (first + cap <= counter.load(std::memory_order_relaxed) + kMaxInFlight)
        return Copy::Overwritten;
    return Copy::Ok;
}

int Reader::GetNrOfChan()
{
    std::lock_guard lock(m_lock);
    Refresh();
    return m_count;
}

// The texts go to the calling thread's own copy per channel: another
// thread's refresh may replace m_defs while the caller still reads them.
const char* Reader::GetChanName(int index)
{
    static thread_local char names[kMaxChannels][sizeof ChannelDef::name];
    std::lock_guard lock(m_lock);
    if (index < 0 || index >= m_count)
        return "";
    std::memcpy(names[index], m_defs[index].name, sizeof names[index]);
    return names[index];
}

const char* Reader::GetChanUnit(int index)
{
    static thread_local char units[kMaxChannels][sizeof ChannelDef::unit];
    std::lock_guard lock(m_lock);
    if (index < 0 || index >= m_count)
        return "";
    std::memcpy(units[index], m_defs[index].unit, sizeof units[index]);
    return units[index];
}

double Reader::GetChanClkrate(int index)
{
    std::lock_guard lock(m_lock);
    return index >= 0 && index < m_count ? m_defs[index].interval : 0.0;
}

int Reader::GetChanPChan(int index)
{
    std::lock_guard lock(m_lock);
    if (!ValidChannel(index))
        return ZQ_E_ARGUMENT;
    return index < m_count ? m_defs[index].number : ZQ_E_NOCHANNEL;
}

int Reader::Register(int client)
{
    if (!ValidClient(client))
        return ZQ_E_ARGUMENT;
    std::lock_guard lock(m_lock);
    Refresh();
    const bool attached = m_clients[client].attached;
    Client& c = Use(client);
    // Another try at a table that could not be made before (a /dev/shm
    // that was full may have room now).
    if (attached && c.slot < 0)
        c.slot = m_slots.Claim(client);
    ResetLocked(c, -1);
    return c.slot < 0 && m_slots.TableFailed() ? ZQ_E_SEGMENT : ZQ_OK;
}

int Reader::ResetBuffer(int client, int channel)
{
    if (!ValidClient(client) || (channel != -1 && !ValidChannel(channel)))
        return ZQ_E_ARGUMENT;
    std::lock_guard lock(m_lock);
    Refresh();
    return ResetLocked(Use(client), channel);
}

int Reader::ResetLocked(Client& c, int channel)
{
    if (channel >= m_count)
        return ZQ_E_NOCHANNEL;
    const int first = channel < 0 ? 0 : channel;
    const int last = channel < 0 ? m_count : channel + 1;
    uint64_t end[kMaxChannels];
    FrameEnds(end);
    for (int i = first; i < last; ++i) {
        ClientChannel& ch = c.channels[i];
        ch.position = ch.begin = ch.end = ch.exBase = end[i];
    }
    PublishSlot(c);
    return ZQ_OK;
}

int Reader::FreezeBuffers(int client)
{
    if (!ValidClient(client))
        return ZQ_E_ARGUMENT;
    std::lock_guard lock(m_lock);
    Refresh();
    Client& c = Use(client);
    const int n = m_count;
    c.frozenCount = n;
    c.frozenGeneration = m_generation;
    if (n == 0)
        return ZQ_OK;
    uint64_t end[kMaxChannels];
    FrameEnds(end);
    for (int i = 0; i < n; ++i) {
        ClientChannel& ch = c.channels[i];
        const uint64_t e = end[i];
        if (e < ch.position)
            ch.position = e;
        uint64_t b = ch.position;
        const uint64_t usable = Usable(m_defs[i]);
        if (e - b > usable) {
            ch.lost += e - usable - b;
            b = e - usable;
        }
        ch.begin = b;
        ch.end = e;
        ch.position = e;
    }
    PublishSlot(c);
    return ZQ_OK;
}

int Reader::CheckChan(int client, int channel)
{
    if (!ValidClient(client) || !ValidChannel(channel))
        return ZQ_E_ARGUMENT;
    std::lock_guard lock(m_lock);
    const Client& c = m_clients[client];
    if (channel >= c.frozenCount)
        return 0; // not frozen (not in the definition, or no freeze yet): no samples
    const ClientChannel& ch = c.channels[channel];
    return int(std::min<uint64_t>(ch.end - ch.begin, INT_MAX));
}

// The floats of dest up to count that no sample filled are set to 0, so a
// caller that uses count floats never sees what its buffer held before.
static int ZeroRest(int result, unsigned char* dest, int count)
{
    if (result >= 0 && result < count)
        std::memset(dest + size_t(result) * sizeof(float), 0, size_t(count - result) * sizeof(float));
    return result;
}

int Reader::ReadChan(int client, int channel, unsigned char* dest, int count)
{
    return ZeroRest(CopyFrozen(client, channel, dest, count), dest, count);
}

int Reader::ReadChanEx(int client, int channel, unsigned char* dest, int count)
{
    return ZeroRest(CopySinceReset(client, channel, dest, count), dest, count);
}

int Reader::CopyFrozen(int client, int channel, unsigned char* dest, int count)
{
    if (!ValidClient(client) || !ValidChannel(channel) || dest == nullptr || count < 0)
        return ZQ_E_ARGUMENT;
    std::lock_guard lock(m_lock);
    Client& c = m_clients[client];
    if (channel >= c.frozenCount)
        return 0; // not frozen (not in the definition, or no freeze yet): no samples
    ClientChannel& ch = c.channels[channel];
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int k = int(std::min<uint64_t>(uint64_t(count), ch.end - ch.begin));
        if (k == 0)
            return 0;
        switch (CopyRing(H(), m_pool, m_defs[channel], channel, c.frozenGeneration, ch.end - k, k, dest)) {
        case Copy::Ok:
            return k;
        case Copy::Redefined:
            // Redefined since the freeze: nothing of the old definition.
            std::memset(dest, 0, size_t(k) * sizeof(float));
            c.frozenCount = 0;
            return 0;
        case Copy::Overwritten: {
            // The writer reached the block: its oldest samples are lost.
            const uint64_t safe = std::min(OldestSafe(channel, Written(channel)), ch.end);
            if (safe > ch.begin) {
                ch.lost += safe - ch.begin;
                ch.begin = safe;
            }
            if (attempt == 3) {
                // The writer kept overtaking the copy: the rest of the
                // block is lost too, and counted, not silently dropped.
                std::memset(dest, 0, size_t(k) * sizeof(float));
                ch.lost += ch.end - ch.begin;
                ch.begin = ch.end;
            }
            PublishSlot(c);
            break;
        }
        }
    }
    return 0;
}

int Reader::CheckChanEx(int client, int channel)
{
    if (!ValidClient(client) || !ValidChannel(channel))
        return ZQ_E_ARGUMENT;
    std::lock_guard lock(m_lock);
    Refresh();
    Client& c = Use(client);
    if (channel >= m_count)
        return 0;
    return int(std::min<uint64_t>(Written(channel) - c.channels[channel].exBase, INT_MAX));
}

int Reader::CopySinceReset(int client, int channel, unsigned char* dest, int count)
{
    if (!ValidClient(client) || !ValidChannel(channel) || dest == nullptr || count < 0)
        return ZQ_E_ARGUMENT;
    std::lock_guard lock(m_lock);
    Refresh();
    Client& c = Use(client);
    if (channel >= m_count)
        return 0;
    const uint64_t base = c.channels[channel].exBase;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const uint64_t written = Written(channel);
        const uint64_t first = std::max(base, OldestSafe(channel, written));
        const int k = int(std::min<uint64_t>(uint64_t(count), written - first));
        if (k == 0)
            return 0;
        switch (CopyRing(H(), m_pool, m_defs[channel], channel, m_generation, first, k, dest)) {
        case Copy::Ok:
            return k;
        case Copy::Redefined:
            std::memset(dest, 0, size_t(k) * sizeof(float));
            return 0;
        case Copy::Overwritten:
            if (attempt == 3)
                std::memset(dest, 0, size_t(k) * sizeof(float));
            break;
        }
    }
    return 0;
}

long long Reader::GetChanLost(int client, int channel)
{
    if (!ValidClient(client) || !ValidChannel(channel))
        return ZQ_E_ARGUMENT;
    std::lock_guard lock(m_lock);
    return static_cast<long long>(m_clients[client].channels[channel].lost);
}

} // namespace zq
