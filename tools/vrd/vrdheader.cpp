#include "vrdheader.h"

#include "platform/windows1252.h"
#include "vrdnumber.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {
bool Value(std::string_view line, std::string_view key, std::string_view& value)
{
    if (line.substr(0, key.size()) != key)
        return false;
    value = line.substr(key.size());
    return true;
}

std::string Quoted(std::string_view line)
{
    constexpr size_t kShown = 40;
    std::string shown(line.substr(0, kShown));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    return "\"" + windows1252::ToUtf8(shown) + (line.size() > kShown ? "...\"" : "\"");
}

// Lines of a text without their "\r\n"; offsets into the text.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}
    bool Next(std::string_view& line)
    {
        if (m_pos >= m_text.size())
            return false;
        size_t end = m_text.find('\n', m_pos);
        const size_t next = end == std::string_view::npos ? m_text.size() : end + 1;
        if (end == std::string_view::npos)
            end = m_text.size();
        line = m_text.substr(m_pos, end - m_pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_begin = m_pos;
        m_pos = next;
        ++m_number;
        return true;
    }
    size_t Begin() const { return m_begin; }
    size_t Position() const { return m_pos; }
    int Number() const { return m_number; }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    size_t m_begin = 0;
    int m_number = 0;
};

constexpr const char* kHeadKeys[] = {"typ:", "org:Block", "starttime:", "frames:"};
constexpr const char* kChannelKeys[] = {"channel_offset:", "name:", "unit:", "pchan:", "clk:"};
} // namespace

bool VrdHeader::Parse(std::string_view text, std::string& error)
{
    *this = VrdHeader{};
    LineReader lines(text);
    std::string_view line, value;
    if (!lines.Next(line) || line != "beginheader:") {
        error = "the header does not begin with a \"beginheader:\" line";
        return false;
    }
    bool seen[4] = {};
    bool ended = false;
    while (!ended && lines.Next(line)) {
        int key = -1;
        for (int k = 0; k < 4; ++k)
            if (Value(line, kHeadKeys[k], value))
                key = k;
        if (line == "endheader:") {
            ended = true;
        } else if (key >= 0 && seen[key]) {
            error = "line \"" + std::string(kHeadKeys[key]) + "\" appears twice";
            return false;
        } else if (key == 0) {
            type = windows1252::ToUtf8(value);
        } else if (key == 1) {
            if (!VrdNumber::ParseInteger(value, blockFrames) || blockFrames < 1 || blockFrames > std::numeric_limits<int32_t>::max()) {
                error = "bad block length in line " + Quoted(line);
                return false;
            }
        } else if (key == 2) {
            startTime = windows1252::ToUtf8(value);
        } else if (key == 3) {
            if (!VrdNumber::ParseInteger(value, frames) || frames < 0) {
                error = "bad frame count in line " + Quoted(line);
                return false;
            }
            framesValueBegin = lines.Begin() + std::strlen("frames:");
            framesValueEnd = framesValueBegin + value.size();
        }
        if (key >= 0)
            seen[key] = true;
    }
    if (!ended) {
        m_endedEarly = true;
        error = "the header ends before its \"endheader:\" line";
        return false;
    }
    for (int k = 0; k < 4; ++k) {
        if (!seen[k]) {
            error = "line \"" + std::string(kHeadKeys[k]) + "\" is missing before \"endheader:\"";
            return false;
        }
    }
    if (type != "real") {
        error = "line \"typ:" + type + "\": only \"typ:real\" (32-bit float samples) is known";
        return false;
    }

    Channel* channel = nullptr;
    bool channelSeen[5] = {};
    auto where = [this] { return "channel " + std::to_string(channels.size() - 1) + ": "; };
    while (lines.Next(line)) {
        if (line == "beginchannel:") {
            if (channel) {
                error = where() + "\"endchannel:\" is missing before the next \"beginchannel:\"";
                return false;
            }
            channel = &channels.emplace_back();
            std::fill(std::begin(channelSeen), std::end(channelSeen), false);
            continue;
        }
        if (line == "endchannel:") {
            if (!channel) {
                error = "line " + std::to_string(lines.Number()) + ": \"endchannel:\" without \"beginchannel:\"";
                return false;
            }
            for (int k = 0; k < 5; ++k) {
                if (!channelSeen[k]) {
                    error = where() + "line \"" + kChannelKeys[k] + "\" is missing";
                    return false;
                }
            }
            channel = nullptr;
            end = lines.Position();
            continue;
        }
        if (!channel) {
            if (Value(line, "closing:", value) && (!VrdNumber::ParseInteger(value, closingFrames) || closingFrames < 0)) {
                error = "bad frame count in line " + Quoted(line);
                return false;
            }
            continue;
        }
        int key = -1;
        for (int k = 0; k < 5; ++k)
            if (Value(line, kChannelKeys[k], value))
                key = k;
        if (key < 0)
            continue;
        if (channelSeen[key]) {
            error = where() + "line \"" + kChannelKeys[key] + "\" appears twice";
            return false;
        }
        channelSeen[key] = true;
        bool ok = true;
        switch (key) {
        case 0: ok = VrdNumber::ParseInteger(value, channel->offset) && channel->offset >= 0; break;
        case 1: channel->name = windows1252::ToUtf8(value); break;
        case 2: channel->unit = windows1252::ToUtf8(value); break;
        case 3: ok = VrdNumber::ParseInteger(value, channel->pchan); break;
        case 4: ok = VrdNumber::ParseDecimal(value, channel->clk); break;
        }
        if (!ok) {
            error = where() + "bad line " + Quoted(line);
            return false;
        }
    }
    if (channel) {
        m_endedEarly = true;
        error = where() + "the header ends before its \"endchannel:\" line";
        return false;
    }
    if (channels.empty()) {
        error = "the header names no channel (no \"beginchannel:\" line)";
        return false;
    }
    return true;
}
