#include "context/sourcewatch.h"

#include <algorithm>

SourceWatch::Change SourceWatch::Observe(const ChannelSource::WriterState& state, double now)
{
    const bool first = !m_looked;
    m_looked = true;
    Change change = Change::None;
    if (state.live) {
        if (!m_sawLive || !state.SameDefinition(m_lastLive))
            change = first ? Change::None : Change::Replaced;
        else if (m_ended)
            change = Change::Resumed;
        m_sawLive = true;
        m_lastLive = state;
        m_ended = false;
    } else if (m_sawLive && !m_ended) {
        m_ended = true;
        m_endedAt = now;
        change = Change::Ended;
    }
    return change;
}

int SourceWatch::SecondsSinceEnd(double now) const { return m_ended ? std::max(0, int(now - m_endedAt)) : 0; }
