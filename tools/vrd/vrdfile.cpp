#include "vrdfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::string_view kBeginLine = "beginheader:\r\n";
// Candidates for a header behind the last block that are tried, from the
// end of the file backwards (a channel name may hold the text too).
constexpr int kHeaderCandidates = 8;

uint64_t Le64(const unsigned char* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

std::string Number(uint64_t v) { return std::to_string(v); }
} // namespace

VrdFile::~VrdFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool VrdFile::Fail(const std::string& message)
{
    m_error = message;
    return false;
}

bool VrdFile::ReadAt(uint64_t offset, void* data, size_t bytes)
{
    char* p = static_cast<char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::pread(m_fd, p, bytes, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        offset += uint64_t(n);
        bytes -= size_t(n);
    }
    return true;
}

bool VrdFile::Load(const std::string& path)
{
    m_path = path;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return Fail("cannot open " + path + ": " + std::strerror(errno));
    struct stat info{};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))
        return Fail(path + " is no regular file");
    m_fileSize = uint64_t(info.st_size);
    LoadSideRecord();
    if (m_fileSize < kHeadBytes) {
        // The writer died in Open, between its side record and the head.
        if (!m_sideExists)
            return Fail(path + " is no recording: shorter than the 32-byte head");
        m_state = State::NeverClosed;
        if (m_sideValid) {
            m_header = m_side;
            m_frames = 0;
        }
        return true;
    }
    unsigned char head[kHeadBytes];
    if (!ReadAt(0, head, sizeof head))
        return Fail("cannot read the head of " + path + ": " + std::strerror(errno));
    if (std::memcmp(head, "Vorn64", 6) != 0)
        return Fail(path + " is no recording: its head does not begin with \"Vorn64\"");
    m_headOffset = Le64(head + 8);
    if (m_headOffset == 0) {
        if (FindHeaderAtEnd()) {
            m_state = State::CloseCut;
            m_warnings.push_back("the head does not point at the header (the program ended while closing the "
                                 "file); run \"vrd repair " + path + "\"");
            AddChannelWarnings();
            return true;
        }
        m_state = State::NeverClosed;
        m_dataBytes = m_fileSize - kHeadBytes;
        if (m_sideValid) {
            m_header = m_side;
            m_frames = WholeBlocks() * m_header.blockFrames;
            if (m_side.closingFrames >= 0)
                m_frames = std::min(m_frames, m_side.closingFrames);
        }
        return true;
    }
    if (m_headOffset < kHeadBytes)
        return Fail("damaged head: its header offset " + Number(m_headOffset) + " points into the head");
    if (m_headOffset >= m_fileSize)
        return Fail("cut short: the head points at a header at byte " + Number(m_headOffset) +
                    ", but the file ends at byte " + Number(m_fileSize));
    return LoadHeaderAt(m_headOffset);
}

bool VrdFile::LoadHeaderAt(uint64_t offset)
{
    const uint64_t bytes = m_fileSize - offset;
    if (bytes > kMaxHeaderBytes)
        return Fail("damaged head: the header at byte " + Number(offset) + " would be " + Number(bytes) +
                    " bytes long, more than the 16 MiB a header may take");
    std::string text(size_t(bytes), '\0');
    if (!ReadAt(offset, text.data(), text.size()))
        return Fail("cannot read the header at byte " + Number(offset) + ": " + std::strerror(errno));
    if (text.size() < 12 && std::string_view("beginheader:").substr(0, text.size()) == text)
        return Fail("cut short: the file ends " + Number(text.size()) + " bytes into its header");
    if (text.compare(0, 12, "beginheader:") != 0)
        return Fail("damaged head: its header offset " + Number(offset) +
                    " points at no header (there is no \"beginheader:\" line)");
    std::string why;
    if (!m_header.Parse(text, why))
        return Fail((m_header.EndedEarly() ? "cut short: " : "corrupt header: ") + why);
    m_dataBytes = offset - kHeadBytes;
    if (!CheckLayout(m_header, m_dataBytes, &why))
        return Fail("cut short: " + why);
    m_frames = m_header.frames;
    m_state = State::Closed;
    const uint64_t blockBytes = BlockBytes();
    if (m_dataBytes % blockBytes != 0)
        m_warnings.push_back("the data is no whole number of blocks");
    AddChannelWarnings();
    return true;
}

// A header that begins right behind the block its frame count ends in and
// runs to the end of the file: what a writer that died between writing the
// header and pointing the head at it leaves.
bool VrdFile::FindHeaderAtEnd()
{
    const uint64_t window = std::min<uint64_t>(m_fileSize - kHeadBytes, kMaxHeaderBytes);
    if (window < kBeginLine.size())
        return false;
    const uint64_t windowStart = m_fileSize - window;
    std::string tail(size_t(window), '\0');
    if (!ReadAt(windowStart, tail.data(), tail.size()))
        return false;
    size_t at = tail.size();
    for (int tries = 0; tries < kHeaderCandidates && at > 0; ++tries) {
        at = std::string_view(tail).rfind(kBeginLine, at - 1);
        if (at == std::string_view::npos)
            return false;
        VrdHeader header;
        std::string why;
        const uint64_t dataBytes = windowStart + at - kHeadBytes;
        if (!header.Parse(std::string_view(tail).substr(at), why) || !CheckLayout(header, dataBytes, nullptr))
            continue;
        if (m_sideValid && (header.blockFrames != m_side.blockFrames ||
                            header.channels.size() != m_side.channels.size()))
            continue;
        m_header = std::move(header);
        m_dataBytes = dataBytes;
        m_frames = m_header.frames;
        return true;
    }
    return false;
}

// The header's frames need ceil(frames / blockFrames) blocks. With why
// (a header the head points at) they must fit in the data; without (a
// header found behind the blocks) the data must be exactly those blocks.
bool VrdFile::CheckLayout(const VrdHeader& header, uint64_t dataBytes, std::string* why) const
{
    const uint64_t blockBytes = uint64_t(header.channels.size()) * uint64_t(header.blockFrames) * sizeof(float);
    const uint64_t frames = uint64_t(header.frames);
    const uint64_t blockFrames = uint64_t(header.blockFrames);
    const uint64_t blocks = frames / blockFrames + (frames % blockFrames != 0);
    const uint64_t whole = dataBytes / blockBytes;
    if (!why)
        return dataBytes % blockBytes == 0 && whole == blocks;
    if (blocks <= whole)
        return true;
    *why = "the header's " + Number(frames) + " frames need " + Number(blocks) + " blocks of " +
           Number(blockBytes) + " bytes, but the file holds " + Number(dataBytes) + " bytes of data before its header";
    return false;
}

void VrdFile::AddChannelWarnings()
{
    for (size_t i = 0; i < m_header.channels.size(); ++i) {
        const int64_t expected = kHeadBytes + int64_t(i) * m_header.blockFrames * 4;
        if (m_header.channels[i].offset != expected) {
            m_warnings.push_back("channel " + Number(i) + ": channel_offset " +
                                 std::to_string(m_header.channels[i].offset) + " instead of " +
                                 std::to_string(expected));
            if (m_warnings.size() > 16)
                return;
        }
    }
}

void VrdFile::LoadSideRecord()
{
    const std::string path = SideRecordPath();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    m_sideExists = true;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        m_beingWritten = true;
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || uint64_t(info.st_size) > kMaxHeaderBytes) {
        m_sideError = path + " is no side record (no regular file, or larger than a header may be)";
        ::close(fd);
        return;
    }
    m_sideText.assign(size_t(info.st_size), '\0');
    size_t done = 0;
    while (done < m_sideText.size()) {
        const ssize_t n = ::pread(fd, m_sideText.data() + done, m_sideText.size() - done, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    ::close(fd);
    m_sideText.resize(done);
    std::string why;
    if (!m_side.Parse(m_sideText, why)) {
        m_sideError = "side record " + path + ": " + why;
        return;
    }
    m_sideValid = true;
}

bool VrdFile::AssumeLayout(int channels, int blockFrames)
{
    if (HasHeader())
        return true;
    if (channels < 1 || blockFrames < 1)
        return Fail("the channel count and the block length must be at least 1");
    const uint64_t blockBytes = uint64_t(channels) * uint64_t(blockFrames) * sizeof(float);
    if (blockBytes > m_dataBytes)
        return Fail("one block of " + Number(uint64_t(channels)) + " channels x " + Number(uint64_t(blockFrames)) +
                    " frames is " + Number(blockBytes) + " bytes, more than the " + Number(m_dataBytes) +
                    " bytes of data behind the head");
    m_header = VrdHeader{};
    m_header.blockFrames = blockFrames;
    m_header.channels.assign(size_t(channels), Channel{});
    for (int i = 0; i < channels; ++i) {
        m_header.channels[size_t(i)].offset = kHeadBytes + int64_t(i) * blockFrames * 4;
        m_header.channels[size_t(i)].name = "ch" + std::to_string(i);
        m_header.channels[size_t(i)].pchan = i;
    }
    m_frames = WholeBlocks() * blockFrames;
    return true;
}

uint64_t VrdFile::BlockBytes() const
{
    return uint64_t(m_header.channels.size()) * uint64_t(m_header.blockFrames) * sizeof(float);
}

int64_t VrdFile::WholeBlocks() const
{
    const uint64_t blockBytes = BlockBytes();
    return blockBytes == 0 ? 0 : int64_t(m_dataBytes / blockBytes);
}

bool VrdFile::ReadFrames(int64_t first, int count, std::vector<float>& out)
{
    if (first < 0 || count < 0 || count > m_frames - first)
        return Fail("frames " + std::to_string(first) + " to " + std::to_string(first + count) +
                    " lie beyond the recording's " + std::to_string(m_frames));
    const size_t channels = m_header.channels.size();
    const int64_t blockFrames = m_header.blockFrames;
    out.assign(size_t(count) * channels, 0.0f);
    m_chunk.resize(size_t(std::min<int64_t>(count, blockFrames)));
    int done = 0;
    while (done < count) {
        const int64_t frame = first + done;
        const uint64_t block = uint64_t(frame / blockFrames);
        const int64_t within = frame % blockFrames;
        const int take = int(std::min<int64_t>(count - done, blockFrames - within));
        for (size_t c = 0; c < channels; ++c) {
            const uint64_t offset =
                kHeadBytes + ((block * channels + c) * uint64_t(blockFrames) + uint64_t(within)) * sizeof(float);
            if (!ReadAt(offset, m_chunk.data(), size_t(take) * sizeof(float)))
                return Fail("read error at byte " + Number(offset));
            for (int j = 0; j < take; ++j)
                out[size_t(done + j) * channels + c] = m_chunk[size_t(j)];
        }
        done += take;
    }
    return true;
}
