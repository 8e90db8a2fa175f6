#include "writer.h"

#include "process.h"
#include "readerslots.h"

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <ctime>

namespace zq {

namespace {

// Copies text into a fixed field, cut at a UTF-8 character boundary.
template <size_t N>
void CopyText(char (&field)[N], const char* text)
{
    size_t length = std::strlen(text);
    if (length >= N) {
        length = N - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(field, text, length);
    std::memset(field + length, 0, N - length);
}

uint64_t RingCapacity(double interval)
{
    const double wanted = std::ceil(kRingSeconds / interval);
    uint64_t capacity = kMinCapacity;
    while (capacity < kMaxCapacity && double(capacity) < wanted)
        capacity <<= 1;
    return capacity;
}

// Header of the segment of name as it is now; pid 0 when there is none.
int WriterPidOf(const std::string& name)
{
    Mapping current;
    if (!current.OpenExisting(name, Mapping::Mode::ReadOnly, kPoolOffset))
        return 0;
    const Header* h = static_cast<const Header*>(current.Base());
    return h->magic.load(std::memory_order_acquire) == kMagic ? h->writerPid.load(std::memory_order_acquire) : 0;
}

// The writer's lock of the segment. A live writer holds it for good; a
// cleaner or another would-be writer that found no live writer holds it
// only for a moment, which is waited out (up to 200 ms) instead of
// reported as a live writer.
bool LockSoon(int fd, const std::string& name)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        const int pid = WriterPidOf(name);
        if (pid > 0 && ProcessAlive(pid, 0))
            return false;
        const timespec pause{0, 1'000'000};
        ::nanosleep(&pause, nullptr);
    }
    return false;
}

} // namespace

// clang before 15 cannot evaluate libstdc++'s constexpr std::string
// constructor (the fuzzing build uses clang 14); GCC keeps the check that
// the writer is ready before any static constructor calls the library.
#if defined(__clang__) && __clang_major__ < 15
Writer Writer::s_instance;
#else
constinit Writer Writer::s_instance;
#endif

Writer::~Writer() { Release(); }

int Writer::OpenFresh(const std::string& name)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (!m_map.OpenObject(name, true)) {
            DebugLine("zq: cannot open the channel segment " + m_map.Error());
            return ZQ_E_SEGMENT;
        }
        // The lock dies with its holder, so a crashed writer never blocks the next.
        if (!LockSoon(m_map.Fd(), name)) {
            const int pid = WriterPidOf(name);
            DebugLine("zq: " + name + " already has a live writer" +
                      (pid > 0 ? " (pid " + std::to_string(pid) + ")" : std::string()) +
                      "; this process cannot publish channels");
            m_map.Close();
            return ZQ_E_BUSY;
        }
        // A writer that released the segment unlinked it before unlocking
        // (and a cleaner may have removed it): then open the name again.
        if (m_map.Unlinked()) {
            m_map.Close();
            continue;
        }
        if (m_map.ObjectSize() == 0)
            return ZQ_OK;
        // The segment of a writer that died: its rings may be far larger
        // than the next definition needs, so it is not reused but removed
        // (its readers let go of it once they see the name gone).
        ::shm_unlink(name.c_str());
        m_map.Close();
    }
    DebugLine("zq: " + name + " keeps disappearing");
    return ZQ_E_SEGMENT;
}

int Writer::Claim()
{
    const std::string name = SegmentName();
    if (m_map.IsOpen()) {
        if (name == m_name && m_owner == SelfPid())
            return ZQ_OK;
        // The namespace changed (tests do), or this is a forked child of
        // the writer: give up the old one first.
        ReleaseLocked();
    }
    if (const int result = OpenFresh(name); result != ZQ_OK)
        return result;
    // Reserved before the first store: in a full /dev/shm a store into a
    // page that is not there is SIGBUS.
    if (!m_map.Reserve(kPoolOffset)) {
        DebugLine("zq: the channel segment cannot be made: " + m_map.Error());
        ::shm_unlink(name.c_str()); // empty, and still locked by this process
        m_map.Close();
        return ZQ_E_SEGMENT;
    }
    m_name = name;
    m_owner = SelfPid();
    // A reader table nobody uses any more goes with the dead writer's segment.
    ReaderSlots::RemoveUnused(name + ".readers");
    Header* h = H();
    if (h->magic.load(std::memory_order_relaxed) != kMagic || h->version != kVersion || h->size != kPoolOffset) {
        // Unknown contents: start from a clean header. Readers of a foreign
        // layout see no valid magic while this runs.
        h->magic.store(0, std::memory_order_relaxed);
        ReleaseFence();
        std::memset(reinterpret_cast<char*>(h) + sizeof h->magic, 0, sizeof(Header) - sizeof h->magic);
        h->version = kVersion;
        h->size = kPoolOffset;
        // Even and unlike the generations of earlier segments of this name.
        h->generation.store(uint32_t(MonotonicNs() >> 8) & ~1u, std::memory_order_relaxed);
        h->magic.store(kMagic, std::memory_order_release);
    }
    // Start time before pid: a reader that sees the new pid sees its start time.
    h->writerPid.store(0, std::memory_order_relaxed);
    h->writerStart.store(SelfStartTime(), std::memory_order_relaxed);
    h->writerPid.store(SelfPid(), std::memory_order_release);
    m_beatStamp = &h->heartbeatNs;
    m_heartbeat.Beat(*m_beatStamp);
    return ZQ_OK;
}

void Writer::BeginDefinition()
{
    Header* h = H();
    const uint32_t g = h->generation.load(std::memory_order_relaxed);
    if ((g & 1u) == 0) {
        h->generation.store(g + 1, std::memory_order_relaxed);
        ReleaseFence();
    }
    m_live = 0;
}

int Writer::SetNrOfChan(int count)
{
    if (count < 0 || count > kMaxChannels)
        return ZQ_E_ARGUMENT;
    std::lock_guard lock(m_lock);
    if (const int result = Claim(); result != ZQ_OK)
        return result;
    BeginDefinition();
    m_pending = count;
    m_definedMask = 0;
    if (count == 0)
        return CompleteDefinition();
    return ZQ_OK;
}

int Writer::SetChanDef(int index, int number, const char* numberText, const char* name, const char* unit,
                       const char* sign, double interval, double rangeMin, double rangeMax, double secondMin,
                       double secondMax, int reserved)
{
    std::lock_guard lock(m_lock);
    if (m_pending < 0 || !m_map.IsOpen())
        return ZQ_E_SEQUENCE;
    if (index < 0 || index >= m_pending)
        return ZQ_E_ARGUMENT;
    if (!numberText || !name || !unit || !sign)
        return ZQ_E_ARGUMENT;
    if (!std::isfinite(interval) || interval < kMinInterval)
        return ZQ_E_ARGUMENT;

    // Published to readers in one go once the definition is complete.
    ChannelDef& def = m_defs[index];
    def.number = number;
    def.reserved = reserved;
    def.interval = interval;
    def.rangeMin = rangeMin;
    def.rangeMax = rangeMax;
    def.secondMin = secondMin;
    def.secondMax = secondMax;
    def.capacity = RingCapacity(interval);
    def.offset = 0;
    CopyText(def.numberText, numberText);
    CopyText(def.name, name);
    CopyText(def.unit, unit);
    CopyText(def.sign, sign);
    m_definedMask |= uint64_t(1) << index;

    const uint64_t all = m_pending == 64 ? ~uint64_t(0) : (uint64_t(1) << m_pending) - 1;
    return m_definedMask == all ? CompleteDefinition() : ZQ_OK;
}

int Writer::CompleteDefinition()
{
    Header* h = H();
    const int n = m_pending;
    uint64_t total = 0;
    for (int i = 0; i < n; ++i) {
        m_defs[i].offset = total;
        total += m_defs[i].capacity + kRingStagger;
    }
    // Reserve the ring memory now: a full /dev/shm gives an error here
    // instead of SIGBUS on a later write.
    if (!m_map.Reserve(kPoolOffset + total * sizeof(float))) {
        DebugLine("zq: the rings of " + std::to_string(n) + (n == 1 ? " channel" : " channels") +
                  " do not fit: " + m_map.Error());
        return ZQ_E_SEGMENT;
    }
    h = H(); // the mapping may have moved
    float* pool = reinterpret_cast<float*>(static_cast<char*>(m_map.Base()) + kPoolOffset);
    for (int i = 0; i < n; ++i) {
        StoreDef(h->defs[i], m_defs[i]);
        h->counters[i].written.store(0, std::memory_order_relaxed);
        m_rings[i] = Ring{pool + m_defs[i].offset, m_defs[i].capacity - 1, 0, &h->counters[i].written,
                          Heartbeat::CheckMask(m_defs[i].interval)};
    }
    m_beatStamp = &h->heartbeatNs;
    h->nrOfChan.store(n, std::memory_order_relaxed);
    const uint32_t g = h->generation.load(std::memory_order_relaxed);
    h->generation.store((g | 1u) + 1, std::memory_order_release);
    m_pending = -1;
    m_live = n;
    m_heartbeat.Beat(*m_beatStamp);
    s_epoch.fetch_add(1, std::memory_order_acq_rel);
    return ZQ_OK;
}

int Writer::Release()
{
    std::lock_guard lock(m_lock);
    return ReleaseLocked();
}

int Writer::ReleaseLocked()
{
    if (!m_map.IsOpen())
        return ZQ_OK;
    if (m_owner != SelfPid()) {
        // A forked child shares the parent's segment and lock: it only
        // lets go of its mapping, the parent stays the writer.
        m_pending = -1;
        m_live = 0;
        m_map.Close();
        return ZQ_OK;
    }
    Header* h = H();
    BeginDefinition();
    h->nrOfChan.store(0, std::memory_order_relaxed);
    h->writerPid.store(0, std::memory_order_release);
    const uint32_t g = h->generation.load(std::memory_order_relaxed);
    h->generation.store(g + 1, std::memory_order_release);
    m_pending = -1;
    m_live = 0;
    // Unlink while still locked, so that a writer waiting for the lock
    // notices it holds the old object; readers see the writer gone and
    // open the name again when a new writer appears.
    ::shm_unlink(m_name.c_str());
    ::flock(m_map.Fd(), LOCK_UN);
    m_map.Close();
    s_epoch.fetch_add(1, std::memory_order_acq_rel);
    return ZQ_OK;
}

int Writer::WriteFrames(const float* frames, int frameCount)
{
    if (frames == nullptr || frameCount < 0)
        return ZQ_E_ARGUMENT;
    const int n = m_live;
    if (n == 0)
        return ZQ_E_NOCHANNEL;
    // Chunks of at most kMaxInFlight frames: readers allow for that many
    // samples being overwritten ahead of the published count.
    for (int done = 0; done < frameCount; done += int(kMaxInFlight)) {
        const int chunk = std::min(frameCount - done, int(kMaxInFlight));
        const float* first = frames + size_t(done) * size_t(n);
        for (int c = 0; c < n; ++c) {
            Ring& ring = m_rings[c];
            const uint64_t w = ring.written;
            ReleaseFence();
            const float* src = first + c;
            // At most two runs: up to the ring's end, then from its start.
            uint64_t at = w & ring.mask;
            for (int left = chunk; left > 0;) {
                const int run = int(std::min<uint64_t>(uint64_t(left), ring.mask + 1 - at));
                float* dst = ring.data + at;
                for (int f = 0; f < run; ++f)
                    StoreSample(dst + f, src[size_t(f) * size_t(n)]);
                src += size_t(run) * size_t(n);
                left -= run;
                at = 0;
            }
            ring.written = w + uint64_t(chunk);
            ring.counter->store(ring.written, std::memory_order_release);
        }
    }
    m_heartbeat.Check(*m_beatStamp);
    return frameCount;
}

int Writer::WriteError(int index, const int* value) const
{
    if (index < 0 || index >= kMaxChannels || value == nullptr)
        return ZQ_E_ARGUMENT;
    return ZQ_E_NOCHANNEL;
}

} // namespace zq
