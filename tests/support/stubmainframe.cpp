#include "stubmainframe.h"

#include "context/channelsource.h"

#include <cstdlib>
#include <memory>

CHwManager& StubMainFrame::Hardware()
{
    if (!hardware)
        std::abort();
    return *hardware;
}

void StubMainFrame::SetCapture(std::vector<std::vector<float>> channels, double dt, int start)
{
    auto capture = std::make_shared<CaptureRecord>();
    const int count = int(channels.size());
    capture->length = channels.empty() ? 0 : int(channels[0].size());
    capture->samples = std::move(channels);
    capture->sampleInterval = dt;
    capture->startOffset = start;
    capture->sequence = ++m_sequence;
    const int defined = Channels().ChannelCount();
    for (int c = 0; c < count; ++c) {
        capture->names.emplace_back(c < defined ? Channels().Name(c) : "");
        capture->units.emplace_back(c < defined ? Channels().Unit(c) : "");
    }
    record.capture = std::move(capture);
}
