#pragma once
// The channel source over the channel buffer service (libzq): each
// operation is the service call of the same meaning. UI thread only.

#include "context/channelsource.h"

class ZqChannelSource : public ChannelSource {
public:
    int ChannelCount() override;
    const char* Name(int channel) override;
    const char* Unit(int channel) override;
    double SampleInterval(int channel) override;
    int ChannelNumber(int channel) override;
    void RegisterClient(int client, void* window) override;
    void ResetClient(int client, int channel = -1) override;
    void Freeze(int client) override;
    int Available(int client, int channel) override;
    int Read(int client, int channel, float* dest, int count) override;
    long long Lost(int client, int channel) override;
    WriterState Writer() override;
};
