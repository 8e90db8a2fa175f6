#pragma once
// Reads a recording file: the 32-byte head, the text header behind the data
// blocks, the side record "<file>.hdr" that the writer keeps while the
// recording is open, and the samples.
//
// States of a file that is a recording at all:
//   Closed          the head points at a whole header;
//   CloseCut        the head's offset is 0, but a whole header follows the
//                   last block: the writer died inside Close; readable, and
//                   "vrd repair" sets the head;
//   NeverClosed     no header: the writer died (or still writes, see
//                   BeingWritten); only whole blocks count, with the layout
//                   of the side record or one given by the caller.
// Everything else (no head, a head pointing past the end or at no header, a
// damaged header, a header that needs more data than the file holds) is an
// error with a one-line reason. Every count is bounded by the file's size;
// memory stays within the header's size (at most 16 MiB) plus one chunk.

#include "vrdheader.h"

#include <cstdint>
#include <string>
#include <vector>

class VrdFile {
public:
    enum class State { Closed, CloseCut, NeverClosed };
    using Channel = VrdHeader::Channel;

    static constexpr int kHeadBytes = 32;
    static constexpr uint64_t kMaxHeaderBytes = 16u << 20;

    VrdFile() = default;
    ~VrdFile();
    VrdFile(const VrdFile&) = delete;
    VrdFile& operator=(const VrdFile&) = delete;

    // False with a one-line reason in Error() for a file that is no
    // recording or is damaged. A missing header is no error: State() says so.
    bool Load(const std::string& path);
    // For a file without header: treat its data as channels x blockFrames
    // blocks, keeping only the whole ones. Refused when not even one block
    // fits in the data.
    bool AssumeLayout(int channels, int blockFrames);

    State GetState() const { return m_state; }
    bool HasHeader() const { return m_state != State::NeverClosed; }
    // The layout of a file without header is known (side record or
    // AssumeLayout).
    bool HasLayout() const { return !m_header.channels.empty(); }
    const std::string& Error() const { return m_error; }
    const std::string& Path() const { return m_path; }
    uint64_t FileSize() const { return m_fileSize; }
    // False for a file shorter than the head (its writer died in Open).
    bool HasHead() const { return m_fileSize >= kHeadBytes; }
    uint64_t HeadOffset() const { return m_headOffset; }
    // Where the header lies (Closed and CloseCut).
    uint64_t HeaderOffset() const { return kHeadBytes + m_dataBytes; }
    uint64_t DataBytes() const { return m_dataBytes; }
    const std::string& Type() const { return m_header.type; }
    const std::string& StartTime() const { return m_header.startTime; }
    int BlockFrames() const { return int(m_header.blockFrames); }
    // From the header; for a file without header the frames of its whole
    // blocks, limited by the side record's closing count.
    int64_t Frames() const { return m_frames; }
    uint64_t BlockBytes() const;
    int64_t WholeBlocks() const;
    const std::vector<Channel>& Channels() const { return m_header.channels; }
    const std::vector<std::string>& Warnings() const { return m_warnings; }

    // The side record beside the file.
    std::string SideRecordPath() const { return m_path + ".hdr"; }
    bool HasSideRecord() const { return m_sideExists; }
    // Its header parsed; false with the reason in SideRecordError().
    bool SideRecordValid() const { return m_sideValid; }
    const std::string& SideRecordError() const { return m_sideError; }
    const VrdHeader& SideRecord() const { return m_side; }
    const std::string& SideRecordText() const { return m_sideText; }
    // A live writer holds the side record's lock.
    bool BeingWritten() const { return m_beingWritten; }

    // Reads frames [first, first + count) of every channel into out,
    // interleaved (frame by frame). False on a read error or a range
    // beyond Frames().
    bool ReadFrames(int64_t first, int count, std::vector<float>& out);

private:
    bool Fail(const std::string& message);
    bool LoadHeaderAt(uint64_t offset);
    bool FindHeaderAtEnd();
    bool ReadAt(uint64_t offset, void* data, size_t bytes);
    void LoadSideRecord();
    bool CheckLayout(const VrdHeader& header, uint64_t dataBytes, std::string* why) const;
    void AddChannelWarnings();

    int m_fd = -1;
    std::string m_path;
    std::string m_error;
    std::vector<std::string> m_warnings;
    uint64_t m_fileSize = 0;
    uint64_t m_headOffset = 0;
    uint64_t m_dataBytes = 0;
    State m_state = State::NeverClosed;
    VrdHeader m_header;
    int64_t m_frames = 0;
    bool m_sideExists = false;
    bool m_sideValid = false;
    bool m_beingWritten = false;
    std::string m_sideError;
    std::string m_sideText;
    VrdHeader m_side;
    std::vector<float> m_chunk; // one channel's piece while reading
};
