#include "vrdfile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {
constexpr int kHeadBytes = 32;
constexpr uint64_t kMaxHeaderBytes = 16u << 20;

uint64_t Le64(const unsigned char* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

// Windows-1252 text as UTF-8.
std::string FromWindows1252(const std::string& text)
{
    static const char16_t kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                       0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    std::string out;
    for (unsigned char c : text) {
        char16_t u = c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : char16_t(c);
        if (u < 0x80) {
            out.push_back(char(u));
        } else if (u < 0x800) {
            out.push_back(char(0xC0 | (u >> 6)));
            out.push_back(char(0x80 | (u & 0x3F)));
        } else {
            out.push_back(char(0xE0 | (u >> 12)));
            out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(char(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

bool ParseInt64(const std::string& text, int64_t& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno || end == text.c_str() || *end)
        return false;
    value = v;
    return true;
}
} // namespace

VrdFile::~VrdFile()
{
    if (m_file)
        std::fclose(m_file);
}

bool VrdFile::Fail(const std::string& message)
{
    m_error = message;
    return false;
}

bool VrdFile::Load(const std::string& path)
{
    m_file = std::fopen(path.c_str(), "rb");
    if (!m_file)
        return Fail("cannot open " + path + ": " + std::strerror(errno));
    struct stat info{};
    if (fstat(fileno(m_file), &info) != 0 || !S_ISREG(info.st_mode))
        return Fail(path + " is no regular file");
    m_fileSize = uint64_t(info.st_size);
    unsigned char head[kHeadBytes];
    if (m_fileSize < kHeadBytes || std::fread(head, 1, kHeadBytes, m_file) != kHeadBytes)
        return Fail(path + " is no recording: shorter than the 32-byte head");
    if (std::memcmp(head, "Vorn64", 6) != 0)
        return Fail(path + " is no recording: its head does not begin with \"Vorn64\"");
    m_headerOffset = Le64(head + 8);
    m_dataBytes = m_fileSize - kHeadBytes;

    static const char kBegin[] = "beginheader:";
    const size_t beginLength = sizeof kBegin - 1;
    if (m_headerOffset >= kHeadBytes && m_headerOffset + beginLength <= m_fileSize &&
        m_fileSize - m_headerOffset <= kMaxHeaderBytes) {
        std::string text(size_t(m_fileSize - m_headerOffset), '\0');
        if (fseeko(m_file, off_t(m_headerOffset), SEEK_SET) == 0 &&
            std::fread(text.data(), 1, text.size(), m_file) == text.size() && text.compare(0, beginLength, kBegin) == 0) {
            m_hasHeader = true;
            m_dataBytes = m_headerOffset - kHeadBytes;
            if (!ParseHeader(text))
                return false;
            return CheckLayout();
        }
    }
    return true;
}

bool VrdFile::ParseHeader(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    auto value = [](const std::string& line, const char* key, std::string& out) {
        size_t length = std::strlen(key);
        if (line.compare(0, length, key) != 0)
            return false;
        out = line.substr(length);
        return true;
    };
    bool haveOrg = false, haveFrames = false, ended = false;
    Channel* channel = nullptr;
    for (const std::string& line : lines) {
        std::string v;
        if (!ended) {
            if (value(line, "typ:", v)) {
                m_type = v;
            } else if (value(line, "org:Block", v)) {
                int64_t frames = 0;
                if (!ParseInt64(v, frames) || frames < 1 || frames > (1 << 28))
                    return Fail("corrupt header: bad block length \"" + line + "\"");
                m_blockFrames = int(frames);
                haveOrg = true;
            } else if (value(line, "starttime:", v)) {
                m_startTime = v;
            } else if (value(line, "frames:", v)) {
                if (!ParseInt64(v, m_frames) || m_frames < 0)
                    return Fail("corrupt header: bad frame count \"" + line + "\"");
                haveFrames = true;
            } else if (line == "endheader:") {
                ended = true;
            }
            continue;
        }
        if (line == "beginchannel:") {
            m_channels.emplace_back();
            channel = &m_channels.back();
        } else if (line == "endchannel:") {
            channel = nullptr;
        } else if (channel) {
            int64_t number = 0;
            if (value(line, "channel_offset:", v) && ParseInt64(v, number))
                channel->offset = int(number);
            else if (value(line, "name:", v))
                channel->name = FromWindows1252(v);
            else if (value(line, "unit:", v))
                channel->unit = FromWindows1252(v);
            else if (value(line, "pchan:", v) && ParseInt64(v, number))
                channel->pchan = int(number);
            else if (value(line, "clk:", v))
                channel->clk = std::strtod(v.c_str(), nullptr);
        }
    }
    if (!ended || !haveOrg || !haveFrames)
        return Fail("corrupt header: \"endheader:\", \"org:Block\" or \"frames:\" is missing");
    if (m_channels.empty())
        return Fail("corrupt header: no channel");
    return true;
}

bool VrdFile::AssumeLayout(int channels, int blockFrames)
{
    if (m_hasHeader)
        return true;
    if (channels < 1 || blockFrames < 1)
        return Fail("the channel count and the block length must be at least 1");
    m_blockFrames = blockFrames;
    m_channels.assign(size_t(channels), Channel{});
    for (int i = 0; i < channels; ++i) {
        m_channels[size_t(i)].offset = kHeadBytes + i * blockFrames * 4;
        m_channels[size_t(i)].name = "ch" + std::to_string(i);
    }
    m_frames = WholeBlocks() * blockFrames;
    return true;
}

int64_t VrdFile::WholeBlocks() const
{
    if (m_channels.empty() || m_blockFrames < 1)
        return 0;
    const uint64_t blockBytes = uint64_t(m_channels.size()) * uint64_t(m_blockFrames) * 4;
    return int64_t(m_dataBytes / blockBytes);
}

bool VrdFile::CheckLayout()
{
    const uint64_t blockBytes = uint64_t(m_channels.size()) * uint64_t(m_blockFrames) * 4;
    const uint64_t blocks = (uint64_t(m_frames) + uint64_t(m_blockFrames) - 1) / uint64_t(m_blockFrames);
    if (blocks > m_dataBytes / blockBytes)
        return Fail("truncated or corrupt: " + std::to_string(m_frames) + " frames need " + std::to_string(blocks) +
                    " blocks of " + std::to_string(blockBytes) + " bytes, the data holds " +
                    std::to_string(m_dataBytes) + " bytes");
    if (m_dataBytes % blockBytes != 0)
        m_warnings.push_back("the data is no whole number of blocks");
    for (size_t i = 0; i < m_channels.size(); ++i) {
        const int expected = kHeadBytes + int(i) * m_blockFrames * 4;
        if (m_channels[i].offset != expected)
            m_warnings.push_back("channel " + std::to_string(i) + ": channel_offset " +
                                 std::to_string(m_channels[i].offset) + " instead of " + std::to_string(expected));
    }
    return true;
}

bool VrdFile::ReadFrames(int64_t first, int count, std::vector<float>& out)
{
    const size_t channels = m_channels.size();
    out.assign(size_t(count) * channels, 0.0f);
    m_block.resize(size_t(m_blockFrames));
    int done = 0;
    while (done < count) {
        const int64_t frame = first + done;
        const int64_t block = frame / m_blockFrames;
        const int within = int(frame % m_blockFrames);
        const int take = std::min(count - done, m_blockFrames - within);
        for (size_t c = 0; c < channels; ++c) {
            const uint64_t offset = kHeadBytes + ((uint64_t(block) * channels + c) * uint64_t(m_blockFrames) +
                                                  uint64_t(within)) * 4;
            if (fseeko(m_file, off_t(offset), SEEK_SET) != 0 ||
                std::fread(m_block.data(), 4, size_t(take), m_file) != size_t(take))
                return Fail("read error at byte " + std::to_string(offset));
            for (int j = 0; j < take; ++j)
                out[size_t(done + j) * channels + c] = m_block[size_t(j)];
        }
        done += take;
    }
    return true;
}
