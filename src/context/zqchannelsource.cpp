#include "context/zqchannelsource.h"

#include "zq.h"

#include <algorithm>

int ZqChannelSource::ChannelCount() { return std::max(0, ZQ_GetNrOfChan()); }

const char* ZqChannelSource::Name(int channel) { return ZQ_GetChanName(channel); }

const char* ZqChannelSource::Unit(int channel) { return ZQ_GetChanUnit(channel); }

double ZqChannelSource::SampleInterval(int channel) { return ZQ_GetChanClkrate(channel); }

int ZqChannelSource::ChannelNumber(int channel) { return ZQ_GetChanPChan(channel); }

void ZqChannelSource::RegisterClient(int client, void* window) { ZQ_Register(client, window); }

void ZqChannelSource::ResetClient(int client, int channel) { ZQ_ResetBuffer(client, channel); }

void ZqChannelSource::Freeze(int client) { ZQ_FreezeBuffers(client); }

int ZqChannelSource::Available(int client, int channel) { return std::max(0, ZQ_CheckChan(client, channel)); }

int ZqChannelSource::Read(int client, int channel, float* dest, int count)
{
    return std::max(0, ZQ_ReadChan(client, channel, reinterpret_cast<unsigned char*>(dest), count));
}

long long ZqChannelSource::Lost(int client, int channel) { return std::max(0LL, ZQ_GetChanLost(client, channel)); }

ChannelSource::WriterState ZqChannelSource::Writer()
{
    ZQ_WriterStatus status{};
    if (ZQ_GetWriterStatus(&status) != ZQ_OK)
        return {};
    WriterState state;
    state.live = status.segmentPresent && status.writerAlive && status.nrOfChan > 0;
    state.pid = status.writerPid;
    state.generation = status.generation;
    return state;
}

namespace {
ChannelSource* g_replacement = nullptr;
}

ChannelSource& Channels()
{
    static ZqChannelSource service;
    return g_replacement ? *g_replacement : service;
}

void SetChannels(ChannelSource* source) { g_replacement = source; }
