// The C entry points of the channel buffer service. Only these are exported.
#pragma GCC visibility push(default)
#include "zq.h"
#pragma GCC visibility pop

#include "cleaner.h"
#include "layout.h"
#include "mapping.h"
#include "process.h"
#include "reader.h"
#include "writer.h"

#include <cstdio>
#include <cstring>

using zq::Reader;
using zq::Writer;

extern "C" {

int ZQ_SetNrOfChan(int count) { return Writer::Instance().SetNrOfChan(count); }

int ZQ_SetChanDef(int index, int chanNumber, const char* chanNumberText, const char* name, const char* unit,
                  const char* sign, double sampleInterval, double rangeMin, double rangeMax, double secondMin,
                  double secondMax, int reserved)
{
    return Writer::Instance().SetChanDef(index, chanNumber, chanNumberText, name, unit, sign, sampleInterval,
                                         rangeMin, rangeMax, secondMin, secondMax, reserved);
}

int ZQ_WriteChanOneFloatValue(int index, int* value) { return Writer::Instance().Write(index, value); }

int ZQ_WriteFrames(const float* frames, int frameCount)
{
    return Writer::Instance().WriteFrames(frames, frameCount);
}

int ZQ_ReleaseWriter(void) { return Writer::Instance().Release(); }

int ZQ_Register(ZQCLIENT client, void*) { return Reader::Instance().Register(client); }
int ZQ_ResetBuffer(ZQCLIENT client, int channel) { return Reader::Instance().ResetBuffer(client, channel); }
int ZQ_FreezeBuffers(ZQCLIENT client) { return Reader::Instance().FreezeBuffers(client); }
int ZQ_CheckChan(ZQCLIENT client, int channel) { return Reader::Instance().CheckChan(client, channel); }

int ZQ_ReadChan(ZQCLIENT client, int channel, unsigned char* dest, int count)
{
    return Reader::Instance().ReadChan(client, channel, dest, count);
}

int ZQ_CheckChanEx(ZQCLIENT client, int channel) { return Reader::Instance().CheckChanEx(client, channel); }

int ZQ_ReadChanEx(ZQCLIENT client, int channel, unsigned char* dest, int count, int)
{
    return Reader::Instance().ReadChanEx(client, channel, dest, count);
}

long long ZQ_GetChanLost(ZQCLIENT client, int channel) { return Reader::Instance().GetChanLost(client, channel); }

int ZQ_GetNrOfChan(void) { return Reader::Instance().GetNrOfChan(); }
const char* ZQ_GetChanName(int index) { return Reader::Instance().GetChanName(index); }
const char* ZQ_GetChanUnit(int index) { return Reader::Instance().GetChanUnit(index); }
double ZQ_GetChanClkrate(int index) { return Reader::Instance().GetChanClkrate(index); }
int ZQ_GetChanPChan(int index) { return Reader::Instance().GetChanPChan(index); }

int ZQ_GetWriterStatus(ZQ_WriterStatus* status)
{
    if (!status)
        return ZQ_E_ARGUMENT;
    std::memset(status, 0, sizeof *status);
    const std::string name = zq::SegmentName();
    std::snprintf(status->segmentName, sizeof status->segmentName, "%s", name.c_str());
    zq::Mapping map;
    if (!map.OpenExisting(name, zq::Mapping::Mode::ReadOnly, zq::kPoolOffset))
        return ZQ_OK;
    const auto* h = static_cast<const zq::Header*>(map.Base());
    if (h->magic.load(std::memory_order_acquire) != zq::kMagic || h->version != zq::kVersion)
        return ZQ_OK;
    status->segmentPresent = 1;
    status->writerPid = h->writerPid.load(std::memory_order_acquire);
    status->writerAlive = zq::ProcessAlive(status->writerPid, h->writerStart.load(std::memory_order_relaxed));
    const uint64_t beat = h->heartbeatNs.load(std::memory_order_relaxed);
    const uint64_t now = zq::MonotonicNs();
    status->heartbeatAge = beat != 0 && now >= beat ? double(now - beat) * 1e-9 : -1.0;
    status->generation = h->generation.load(std::memory_order_acquire);
    status->nrOfChan = (status->generation & 1u) == 0 ? h->nrOfChan.load(std::memory_order_relaxed) : 0;
    return ZQ_OK;
}

int ZQ_GetChanStatus(int index, ZQ_ChanStatus* status)
{
    if (!status || index < 0 || index >= ZQ_MAX_CHANNELS)
        return ZQ_E_ARGUMENT;
    std::memset(status, 0, sizeof *status);
    zq::Mapping map;
    if (!map.OpenExisting(zq::SegmentName(), zq::Mapping::Mode::ReadOnly, zq::kPoolOffset))
        return ZQ_E_SEGMENT;
    const auto* h = static_cast<const zq::Header*>(map.Base());
    if (h->magic.load(std::memory_order_acquire) != zq::kMagic || h->version != zq::kVersion)
        return ZQ_E_SEGMENT;
    // The same seqlock read as a reader's snapshot: copy, fence, check.
    const uint32_t g = h->generation.load(std::memory_order_acquire);
    if ((g & 1u) != 0)
        return ZQ_E_NOCHANNEL;
    const int n = h->nrOfChan.load(std::memory_order_relaxed);
    const zq::ChannelDef def = zq::LoadDef(h->defs[index]);
    const uint64_t written = h->counters[index].written.load(std::memory_order_relaxed);
    zq::AcquireFence();
    if (h->generation.load(std::memory_order_relaxed) != g || index >= n)
        return ZQ_E_NOCHANNEL; // redefined meanwhile, or not a channel of it
    status->chanNumber = def.number;
    std::snprintf(status->name, sizeof status->name, "%.*s", int(sizeof def.name - 1), def.name);
    std::snprintf(status->unit, sizeof status->unit, "%.*s", int(sizeof def.unit - 1), def.unit);
    status->sampleInterval = def.interval;
    status->capacity = static_cast<long long>(def.capacity);
    status->written = static_cast<long long>(written);
    return ZQ_OK;
}

int ZQ_GetReaderStatus(int slot, ZQ_ReaderStatus* status)
{
    if (!status || slot < 0 || slot >= ZQ_MAX_READER_SLOTS)
        return ZQ_E_ARGUMENT;
    std::memset(status, 0, sizeof *status);
    zq::Mapping map;
    if (!map.OpenExisting(zq::SegmentName() + ".readers", zq::Mapping::Mode::ReadOnly, sizeof(zq::ReaderTable)))
        return 0;
    const zq::ReaderSlot& s = static_cast<const zq::ReaderTable*>(map.Base())->slots[slot];
    status->pid = s.pid.load(std::memory_order_acquire);
    if (status->pid <= 0)
        return 0; // free, or still being claimed
    status->alive = zq::ProcessAlive(status->pid, s.start.load(std::memory_order_relaxed));
    status->client = s.client.load(std::memory_order_relaxed);
    status->generation = s.generation.load(std::memory_order_relaxed);
    for (int c = 0; c < ZQ_MAX_CHANNELS; ++c) {
        status->position[c] = static_cast<long long>(s.position[c].load(std::memory_order_relaxed));
        status->lost[c] = static_cast<long long>(s.lost[c].load(std::memory_order_relaxed));
    }
    return 1;
}

int ZQ_CleanStale(const char* prefix, ZQ_CleanReport report, void* user)
{
    const int removed = zq::Cleaner(prefix ? prefix : "", report, user).Run();
    return removed < 0 ? ZQ_E_SEGMENT : removed;
}

} // extern "C"
