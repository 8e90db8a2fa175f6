#pragma once
// The writer role of this process: claims the namespace, publishes channel
// definitions and appends samples to the rings.
//
// Threading: the definition calls and Write come from one thread (the
// caller's writer thread); Release may also run at process exit.

#include "heartbeat.h"
#include "layout.h"
#include "mapping.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

namespace zq {

class Writer {
public:
    static Writer& Instance() { return s_instance; }
    constexpr Writer() = default;
    ~Writer();

    int SetNrOfChan(int count);
    int SetChanDef(int index, int number, const char* numberText, const char* name, const char* unit,
                   const char* sign, double interval, double rangeMin, double rangeMax, double secondMin,
                   double secondMax, int reserved);
    int Release();

    // Changes whenever this process's writer publishes or withdraws a
    // definition, so that readers of the same process look at once. Any thread.
    static uint32_t LocalEpoch() { return s_epoch.load(std::memory_order_acquire); }

    // A store and an index update: no system call, no lock. Writer thread only.
    int Write(int index, const int* value)
    {
        if (static_cast<unsigned>(index) >= static_cast<unsigned>(m_live) || value == nullptr)
            return WriteError(index, value);
        Ring& ring = m_rings[index];
        const uint64_t n = ring.written;
        // Orders the previous count store before this overwrite, so that a
        // reader that sees the new value also sees a count that marks the
        // slot as being rewritten.
        ReleaseFence();
        float sample;
        std::memcpy(&sample, value, sizeof sample);
        StoreSample(&ring.data[n & ring.mask], sample);
        ring.written = n + 1;
        ring.counter->store(n + 1, std::memory_order_release);
        // A per-channel test keeps a shared counter out of the sample path.
        m_heartbeat.OnSample(n + 1, ring.beatMask, *m_beatStamp);
        return ZQ_OK;
    }

    // Frames of every channel, interleaved in index order. Writer thread only.
    int WriteFrames(const float* frames, int frameCount);

private:
    struct Ring {
        float* data = nullptr;
        uint64_t mask = 0;
        uint64_t written = 0;
        std::atomic<uint64_t>* counter = nullptr;
        uint64_t beatMask = 0; // see Heartbeat::CheckMask
    };

    int Claim();
    // Opens and locks the object of name, made afresh: a dead writer's
    // leftover is removed first.
    int OpenFresh(const std::string& name);
    int ReleaseLocked();
    void BeginDefinition();
    int CompleteDefinition();
    int WriteError(int index, const int* value) const;
    Header* H() const { return static_cast<Header*>(m_map.Base()); }

    static Writer s_instance; // constant-initialised: no guard on the sample path
    static inline std::atomic<uint32_t> s_epoch{0};

    std::mutex m_lock; // definition calls against Release at exit
    Mapping m_map;
    std::string m_name; // namespace claimed
    int m_owner = 0;    // the process holding the claim (not a forked child)
    Heartbeat m_heartbeat{CoarseMonotonicNs};
    std::atomic<uint64_t>* m_beatStamp = nullptr; // in the header while channels are live
    int m_pending = -1; // channel count being defined, -1 when none
    uint64_t m_definedMask = 0;
    ChannelDef m_defs[kMaxChannels]{}; // the definition being made
    int m_live = 0;     // channels accepting samples
    Ring m_rings[kMaxChannels];
};

} // namespace zq
