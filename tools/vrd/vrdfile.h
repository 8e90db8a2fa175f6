#pragma once
// Reads a recording file: the 32-byte head, the text header behind the data
// blocks and the samples. A file without a valid header (the recording was
// never closed) can still be read when the caller gives the channel count
// and the block length; then only its whole blocks count.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class VrdFile {
public:
    struct Channel {
        int offset = 0;
        std::string name; // UTF-8
        std::string unit; // UTF-8
        int pchan = 0;
        double clk = 0.0;
    };

    VrdFile() = default;
    ~VrdFile();
    VrdFile(const VrdFile&) = delete;
    VrdFile& operator=(const VrdFile&) = delete;

    // False with a message in Error() for a file that is no recording or is
    // damaged. A missing header is no error: HasHeader() says so.
    bool Load(const std::string& path);
    // For a file without header: treat its data as channels x blockFrames
    // blocks, keeping only the whole ones.
    bool AssumeLayout(int channels, int blockFrames);

    bool HasHeader() const { return m_hasHeader; }
    const std::string& Error() const { return m_error; }
    uint64_t FileSize() const { return m_fileSize; }
    uint64_t HeaderOffset() const { return m_headerOffset; }
    uint64_t DataBytes() const { return m_dataBytes; }
    const std::string& Type() const { return m_type; }
    const std::string& StartTime() const { return m_startTime; }
    int BlockFrames() const { return m_blockFrames; }
    int64_t Frames() const { return m_frames; }
    int64_t WholeBlocks() const;
    const std::vector<Channel>& Channels() const { return m_channels; }
    const std::vector<std::string>& Warnings() const { return m_warnings; }

    // Reads frames [first, first + count) of every channel into out,
    // interleaved (frame by frame). False on a read error.
    bool ReadFrames(int64_t first, int count, std::vector<float>& out);

private:
    bool Fail(const std::string& message);
    bool ParseHeader(const std::string& text);
    bool CheckLayout();

    std::FILE* m_file = nullptr;
    std::string m_error;
    std::vector<std::string> m_warnings;
    uint64_t m_fileSize = 0;
    uint64_t m_headerOffset = 0;
    uint64_t m_dataBytes = 0;
    bool m_hasHeader = false;
    std::string m_type;
    std::string m_startTime;
    int m_blockFrames = 0;
    int64_t m_frames = 0;
    std::vector<Channel> m_channels;
    std::vector<float> m_block; // one channel's block while reading
};
