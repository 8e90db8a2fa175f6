#pragma once
// Follows the writer of the channels from one look to the next and says
// what happened in between: the source ended (its writer went away), a
// different writer or a new channel definition took its place, or the
// writer that seemed gone delivers again. Times are seconds on one
// monotonic clock, given by the caller. UI thread only.

#include "context/channelsource.h"

class SourceWatch {
public:
    enum class Change {
        None,
        Ended,    // the live writer is gone
        Replaced, // another writer, or a new definition of the channels
        Resumed,  // the same writer and definition are live again
    };

    // The first look only takes note of what is there.
    Change Observe(const ChannelSource::WriterState& state, double now);
    // A writer was seen and is gone since.
    bool Ended() const { return m_ended; }
    // Whole seconds since the source ended; 0 while it has not.
    int SecondsSinceEnd(double now) const;

private:
    bool m_looked = false;
    bool m_sawLive = false;
    bool m_ended = false;
    double m_endedAt = 0.0;
    ChannelSource::WriterState m_lastLive;
};
