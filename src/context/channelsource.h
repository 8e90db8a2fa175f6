#pragma once
// The channels the views and the capture read: their definitions (count,
// names, units, sample interval) and, per reader client, the samples that
// arrived since the client's last freeze. The main window's tick freezes the
// clients; views and the capture engine then check and read. Channel indices
// are positions in the current definition, 0 … ChannelCount() − 1.
//
// Channels() is the process's source, over the channel buffer service; a
// test may put another in its place with SetChannels. UI thread only.

#include <QString>

class ChannelSource {
public:
    virtual ~ChannelSource() = default;

    // Channels defined now; 0 while no writer publishes any. Calling it also
    // takes up a new definition that a writer published since.
    virtual int ChannelCount() = 0;
    // Never null: "" for an index out of range. UTF-8.
    virtual const char* Name(int channel) = 0;
    virtual const char* Unit(int channel) = 0;
    // Seconds per sample; 0 for an index out of range.
    virtual double SampleInterval(int channel) = 0;
    // The channel's number on its hardware (the main bar's "Ch" items).
    virtual int ChannelNumber(int channel) = 0;

    // Takes up a reader client for this program; it starts with nothing unread.
    virtual void RegisterClient(int client, void* window) = 0;
    // Drops a client's unread samples of a channel, or of every channel for -1.
    virtual void ResetClient(int client, int channel = -1) = 0;
    // Fixes, per channel, the block of samples that arrived since the last freeze.
    virtual void Freeze(int client) = 0;
    // Length of the frozen block of a channel (0 when none, or on an error).
    virtual int Available(int client, int channel) = 0;
    // Copies the newest min(count, Available) samples of the frozen block
    // into dest; returns how many.
    virtual int Read(int client, int channel, float* dest, int count) = 0;
    // Samples the client lost on a channel by falling more than the ring behind.
    virtual long long Lost(int client, int channel) = 0;

    // Who publishes the channels: a live writer with a complete definition,
    // its process and the definition's generation. A new writer or a new
    // definition shows as another (pid, generation). A source that cannot
    // tell (a test's) reports live while it has channels.
    struct WriterState {
        bool live = false;
        int pid = 0;
        unsigned generation = 0;
        bool SameDefinition(const WriterState& other) const
        {
            return pid == other.pid && generation == other.generation;
        }
    };
    virtual WriterState Writer() { return {ChannelCount() > 0, 0, 0}; }

    QString NameText(int channel) { return QString::fromUtf8(Name(channel)); }
    QString UnitText(int channel) { return QString::fromUtf8(Unit(channel)); }
};

ChannelSource& Channels();
// Replaces the process's source (nullptr: back to the service). For tests.
void SetChannels(ChannelSource* source);
