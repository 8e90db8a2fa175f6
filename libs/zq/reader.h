#pragma once
// The reader side of this process: a read-only view of the channel segment
// and the reader clients 1 .. kMaxClients-1.
//
// Each client holds, per channel, its position (the write count up to which
// it consumed), the frozen block [begin, end) fixed by its last freeze and
// the base of the reset-relative stream of ZQ_CheckChanEx/ZQ_ReadChanEx.
// Positions are write counts of the definition generation the client holds;
// a new generation moves them to 0 (the start of the new definition).
//
// Threading: any thread; the calls of this process are serialised by one
// mutex (never taken by the writer's sample path).

#include "layout.h"
#include "mapping.h"
#include "readerslots.h"

#include <mutex>
#include <string>

namespace zq {

class Reader {
public:
    static Reader& Instance();

    int GetNrOfChan();
    const char* GetChanName(int index);
    const char* GetChanUnit(int index);
    double GetChanClkrate(int index);
    int GetChanPChan(int index);

    int Register(int client);
    int ResetBuffer(int client, int channel);
    int FreezeBuffers(int client);
    int CheckChan(int client, int channel);
    int ReadChan(int client, int channel, unsigned char* dest, int count);
    int CheckChanEx(int client, int channel);
    int ReadChanEx(int client, int channel, unsigned char* dest, int count);
    long long GetChanLost(int client, int channel);

private:
    struct ClientChannel {
        uint64_t position = 0;
        uint64_t begin = 0, end = 0; // frozen block
        uint64_t exBase = 0;
        uint64_t lost = 0;
    };
    struct Client {
        bool attached = false;
        bool hasGeneration = false;
        uint32_t generation = 0;
        int frozenCount = 0;           // channels of the frozen blocks
        uint32_t frozenGeneration = 0;
        int slot = -1;
        ClientChannel channels[kMaxChannels];
    };

    Reader() = default;
    bool NamespaceChanged();
    void Detach();
    void Refresh();
    // Closes the mapping of a segment its ended writer has unlinked.
    void DropUnlinkedSegment();
    // Maps the segment of the current name unless mapped; false without one.
    bool OpenSegment();
    bool CheckWriter(uint64_t now);
    int CopyFrozen(int client, int channel, unsigned char* dest, int count);
    int CopySinceReset(int client, int channel, unsigned char* dest, int count);
    bool Snapshot(uint32_t generation);
    Client& Use(int client);
    int ResetLocked(Client& c, int channel);
    void MoveAll(Client& c, bool toZero);
    void PublishSlot(Client& c);
    uint64_t Written(int channel) const;
    // Per channel of the definition: its write count, lowered to the last
    // frame complete in all channels of its sample rate.
    void FrameEnds(uint64_t* end) const;
    uint64_t OldestSafe(int channel, uint64_t written) const;

    const Header* H() const { return static_cast<const Header*>(m_map.Base()); }

    std::mutex m_lock;
    std::string m_envName;
    bool m_haveEnvName = false;
    Mapping m_map;
    const float* m_pool = nullptr;
    uint32_t m_localEpoch = 0;
    uint64_t m_nextLiveCheck = 0;
    int32_t m_livePid = 0;
    uint64_t m_liveStart = 0;
    bool m_writerAlive = false;

    bool m_haveSnapshot = false;
    uint32_t m_generation = 0;
    int m_count = 0;     // channels present (0 while no live writer)
    int m_snapCount = 0; // channels of the snapshot
    ChannelDef m_defs[kMaxChannels]{};
    ChannelDef m_scratch[kMaxChannels]{}; // a snapshot being taken
    int m_group[kMaxChannels]{}; // first channel with the same sample interval

    Client m_clients[kMaxClients];
    ReaderSlots m_slots;
};

} // namespace zq
