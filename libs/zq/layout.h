#pragma once
// Layout of the two shared segments of one namespace.
//
// Channel segment "<name>": written by the one writer, mapped read-only by
// readers. A header with the writer's identity, the definition generation,
// the channel definitions and one 64-bit write count per channel, followed
// by a pool of float rings. The pool is as long as the rings of the current
// definition need; the segment only ever grows (a reader may still map the
// longer one), and a reader maps the new length when a definition needs it.
//
// Reader segment "<name>.readers": one slot per reader client of any
// process, mapped read-write by every reader so that zq-stat can show
// positions and losses. All zeros is its valid empty state; the first reader
// stamps its magic. Every process that has it open holds a shared flock on
// it, so that one that gets an exclusive lock knows nobody uses it.
//
// The channel segment's writer holds an exclusive flock on it for as long as
// it is the writer: a segment that can be locked has no live writer.
//
// Generation protocol (a seqlock over the definitions): the writer makes
// the generation odd before it touches a definition and even again once the
// definition is complete. Readers copy the definitions only under an even
// generation that did not change during the copy, and reset their positions
// whenever the generation they hold differs from the segment's.
//
// Ring protocol (a seqlock per sample): the writer stores a sample, then
// publishes the channel's write count; a reader copies samples, then checks
// that the count has not come near enough to have overwritten them. Every
// shared word, samples included, is accessed atomically (relaxed, ordered
// by the fences below), so readers racing the writer are defined behaviour
// and ThreadSanitizer checks the protocol.

#include "zq.h"

#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace zq {

constexpr uint32_t kMagic = 0x47535A4B; // "KZSG"
constexpr uint32_t kVersion = 3;
constexpr int kMaxChannels = ZQ_MAX_CHANNELS;
constexpr int kMaxClients = ZQ_MAX_CLIENTS;
constexpr int kReaderSlots = ZQ_MAX_READER_SLOTS;

// Ring length per channel: a power of two of at least kRingSeconds at the
// channel's rate, never under kMinCapacity. kMaxCapacity bounds the rate a
// definition may have (kMinInterval), so that every ring keeps its 2 s.
constexpr uint64_t kMinCapacity = uint64_t(1) << 17;
constexpr uint64_t kMaxCapacity = uint64_t(1) << 24;
// Rings are spaced by an odd number of cache lines beyond their power-of-two
// length, so that the rings of a frame do not all fall into one cache set.
constexpr uint64_t kRingStagger = 17 * 64 / sizeof(float);
constexpr double kRingSeconds = 2.0;
constexpr double kMinInterval = ZQ_MIN_INTERVAL;
static_assert(kRingSeconds / kMinInterval <= double(kMaxCapacity));
// Samples the writer may overwrite ahead of a channel's published count (a
// chunk of ZQ_WriteFrames); readers treat that many slots past the count
// as being rewritten.
constexpr uint64_t kMaxInFlight = 4096;

struct ChannelDef {
    int32_t number;
    int32_t reserved;
    uint64_t capacity; // samples, power of two
    uint64_t offset;   // first float of the ring within the pool
    double interval;   // seconds per sample
    double rangeMin, rangeMax, secondMin, secondMax;
    char numberText[16];
    char name[64];
    char unit[32];
    char sign[8];
};

// A definition as it lies in the segment: whole 64-bit words, each stored and
// loaded atomically (see the generation protocol).
constexpr size_t kDefWords = sizeof(ChannelDef) / sizeof(uint64_t);
static_assert(sizeof(ChannelDef) % sizeof(uint64_t) == 0);
struct SharedDef {
    std::atomic<uint64_t> words[kDefWords];
};

inline void StoreDef(SharedDef& to, const ChannelDef& def)
{
    const auto words = std::bit_cast<std::array<uint64_t, kDefWords>>(def);
    for (size_t i = 0; i < kDefWords; ++i)
        to.words[i].store(words[i], std::memory_order_relaxed);
}

// The words as they are now; the caller checks the generation afterwards.
inline ChannelDef LoadDef(const SharedDef& from)
{
    std::array<uint64_t, kDefWords> words;
    for (size_t i = 0; i < kDefWords; ++i)
        words[i] = from.words[i].load(std::memory_order_relaxed);
    return std::bit_cast<ChannelDef>(words);
}

struct alignas(64) ChannelCounter {
    // Samples written since the definition became complete; sample k lives
    // at ring[k & (capacity - 1)].
    std::atomic<uint64_t> written;
};

struct Header {
    std::atomic<uint32_t> magic;
    uint32_t version;
    uint64_t size;                      // kPoolOffset: bytes before the rings
    std::atomic<int32_t> writerPid;     // 0: no writer
    std::atomic<uint64_t> writerStart;  // start time of writerPid (clock ticks since boot)
    std::atomic<uint64_t> heartbeatNs;  // CLOCK_MONOTONIC(_COARSE) of the writer's last sign of life
    std::atomic<uint32_t> generation;
    std::atomic<int32_t> nrOfChan;      // guarded by generation
    SharedDef defs[kMaxChannels];       // guarded by generation
    ChannelCounter counters[kMaxChannels];
};

constexpr size_t RoundUp(size_t value, size_t step) { return (value + step - 1) / step * step; }
constexpr size_t kPoolOffset = RoundUp(sizeof(Header), 4096);

// Ring samples: relaxed atomic accesses, which compile to plain moves. The
// reader's mapping is read-only; an atomic load does not write.
inline void StoreSample(float* at, float value) { std::atomic_ref<float>(*at).store(value, std::memory_order_relaxed); }
inline float LoadSample(const float* at)
{
    return std::atomic_ref<float>(*const_cast<float*>(at)).load(std::memory_order_relaxed);
}

// A slot is claimed in two phases: its pid becomes the negated pid of the
// claiming process (others see it taken as long as that process lives),
// then, with the start time and the rest in place, the pid itself.
struct alignas(64) ReaderSlot {
    std::atomic<int32_t> pid; // 0: free, < 0: being claimed by process -pid
    std::atomic<int32_t> client;
    std::atomic<uint64_t> start;
    std::atomic<uint32_t> generation;
    std::atomic<uint64_t> position[kMaxChannels];
    std::atomic<uint64_t> lost[kMaxChannels];
};

constexpr uint32_t kReaderMagic = 0x52535A4B; // "KZSR"

struct ReaderTable {
    alignas(64) std::atomic<uint32_t> magic; // 0 until the first reader stamps it
    ReaderSlot slots[kReaderSlots];
};

// Fences of the ring protocol. ThreadSanitizer does not model thread
// fences; under it a signal fence keeps the compiler ordering, which is all
// that release and acquire fences amount to on x86-64.
inline void ReleaseFence()
{
#if defined(__SANITIZE_THREAD__)
    std::atomic_signal_fence(std::memory_order_release);
#else
    std::atomic_thread_fence(std::memory_order_release);
#endif
}

inline void AcquireFence()
{
#if defined(__SANITIZE_THREAD__)
    std::atomic_signal_fence(std::memory_order_acquire);
#else
    std::atomic_thread_fence(std::memory_order_acquire);
#endif
}

static_assert(std::atomic<uint64_t>::is_always_lock_free);
static_assert(std::atomic_ref<float>::is_always_lock_free);
static_assert(std::atomic<uint32_t>::is_always_lock_free);
static_assert(std::atomic<int32_t>::is_always_lock_free);

} // namespace zq
