#pragma once
// The text header of a recording, and of its side record (the copy the
// writer keeps beside an open recording: the same text with "frames:0",
// possibly followed by a "closing:<frames>" line).
//
// Lines end in "\r\n" (a bare "\n" is taken too):
//   beginheader:  typ:real  org:Block<frames a block>  starttime:<text>
//   frames:<count>  endheader:
// then per channel
//   beginchannel:  channel_offset:<n>  name:<text>  unit:<text>  pchan:<n>
//   clk:<seconds>  endchannel:
// Every one of these lines is required; unknown lines are passed over.
// Numbers follow VrdNumber's grammar.
// Texts are Windows-1252 in the file and UTF-8 here.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class VrdHeader {
public:
    struct Channel {
        int64_t offset = 0;
        std::string name; // UTF-8
        std::string unit; // UTF-8
        int64_t pchan = 0;
        double clk = 0.0;
    };

    // Reads text from its first line ("beginheader:") to its end. False
    // with a one-line reason in error; the reason names the line that is
    // missing or wrong, and EndedEarly() tells a text that stops inside the
    // header or a channel (a file cut short). Work and memory grow linearly
    // with the text.
    bool Parse(std::string_view text, std::string& error);
    bool EndedEarly() const { return m_endedEarly; }

    std::string type;
    std::string startTime;
    int64_t blockFrames = 0; // 1 .. 2^31 - 1
    int64_t frames = 0;
    std::vector<Channel> channels;
    // A side record's "closing:" line: the frames of a recording whose
    // writer had begun to close it; -1 without that line.
    int64_t closingFrames = -1;
    // Where the value of the "frames:" line lies in the text, and where
    // the last "endchannel:" line ends: a repair copies the text with
    // another frame count.
    size_t framesValueBegin = 0;
    size_t framesValueEnd = 0;
    size_t end = 0;

private:
    bool m_endedEarly = false;
};
