#include "wavfile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// Chunks looked at before the data chunk: real files have a handful; the
// bound keeps a file of millions of empty chunks from stalling the open.
constexpr int kMaxChunks = 1024;

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

bool Fail(std::string* error, std::string reason)
{
    if (error)
        *error = std::move(reason);
    return false;
}

struct FmtChunk {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t blockAlign = 0;
    uint16_t bits = 0;
};

// The fields of a "fmt " chunk of size bytes (at least 16); an extensible
// format counts as the sub-format it names.
FmtChunk ReadFormat(const unsigned char* body, uint32_t size)
{
    FmtChunk format;
    format.tag = Le16(body);
    format.channels = Le16(body + 2);
    format.rate = Le32(body + 4);
    format.blockAlign = Le16(body + 12);
    format.bits = Le16(body + 14);
    if (format.tag == kFormatExtensible && size >= 40)
        format.tag = Le16(body + 24);
    return format;
}

bool CheckFormat(const FmtChunk& format, std::string* error)
{
    if (format.tag != kFormatPcm || format.bits != 16 || (format.channels != 1 && format.channels != 2))
        return Fail(error, "holds " + std::to_string(format.channels) + " channel(s) of " +
                               std::to_string(format.bits) + " bits in format " + std::to_string(format.tag) +
                               "; only 16-bit PCM mono or stereo is supported");
    if (format.blockAlign != 2 * format.channels)
        return Fail(error, "gives " + std::to_string(format.blockAlign) + " bytes per frame for " +
                               std::to_string(format.channels) + " channel(s) of 16 bits");
    if (format.rate == 0)
        return Fail(error, "gives a sample rate of 0");
    return true;
}

} // namespace

bool WavFile::ParseHeader(const ReadAt& readAt, uint64_t fileSize, Layout* layout, std::string* error)
{
    unsigned char head[12];
    if (fileSize < sizeof head || readAt(0, head, sizeof head) != int64_t(sizeof head))
        return Fail(error, "is too short for a RIFF/WAVE header");
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return Fail(error, "is no RIFF/WAVE file");

    bool haveFormat = false;
    FmtChunk format;
    uint64_t position = sizeof head;
    for (int chunk = 0; chunk < kMaxChunks && position + 8 <= fileSize; ++chunk) {
        unsigned char header[8];
        if (readAt(position, header, sizeof header) != int64_t(sizeof header))
            return Fail(error, "cannot be read");
        const uint32_t size = Le32(header + 4);
        const uint64_t body = position + 8;
        const uint64_t room = fileSize - body;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            unsigned char fields[40] = {};
            const size_t wanted = std::min<size_t>(size, sizeof fields);
            if (size < 16)
                return Fail(error, "has a fmt chunk of only " + std::to_string(size) + " bytes");
            if (size > room || readAt(body, fields, wanted) != int64_t(wanted))
                return Fail(error, "ends inside its fmt chunk");
            format = ReadFormat(fields, uint32_t(wanted));
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!haveFormat)
                return Fail(error, "has no fmt chunk before its data chunk");
            if (!CheckFormat(format, error))
                return false;
            if (size > room)
                return Fail(error, "has a data chunk of " + std::to_string(size) + " bytes, but only " +
                                       std::to_string(room) + " bytes follow its header");
            if (size < format.blockAlign)
                return Fail(error, "holds no samples");
            layout->channels = format.channels;
            layout->rate = format.rate;
            layout->blockAlign = format.blockAlign;
            layout->dataOffset = body;
            layout->dataBytes = size;
            return true;
        }
        position = body + uint64_t(size) + (size & 1);
    }
    return Fail(error, "has no data chunk");
}

WavFile::OpenResult WavFile::Open(const std::string& path, std::string* error)
{
    m_frame = 0;
    if (!m_file.Open(path.c_str(), RegularFile::Access::Read)) {
        Fail(error, m_file.Describe(path));
        return OpenResult::CannotOpen;
    }
    const ReadAt readAt = [this](uint64_t offset, void* dest, size_t size) {
        return m_file.ReadAt(int64_t(offset), dest, size);
    };
    std::string reason;
    if (!ParseHeader(readAt, uint64_t(m_file.Size()), &m_layout, &reason)) {
        m_file.Close();
        Fail(error, path + " " + reason);
        return OpenResult::BadHeader;
    }
    return OpenResult::Opened;
}

void WavFile::ReadStereo(int16_t* dest, int frames) noexcept
{
    const uint64_t total = m_layout.Frames();
    const size_t align = m_layout.blockAlign;
    if (!m_file.IsOpen() || total == 0) {
        std::fill(dest, dest + 2 * size_t(std::max(frames, 0)), int16_t(0));
        return;
    }
    while (frames > 0) {
        const uint64_t wanted = std::min<uint64_t>({uint64_t(frames), kBufferBytes / align, total - m_frame});
        const int64_t read =
            m_file.ReadAt(int64_t(m_layout.dataOffset + m_frame * align), m_buffer.data(), size_t(wanted * align));
        const int got = read > 0 ? int(uint64_t(read) / align) : 0;
        if (got == 0) {
            std::fill(dest, dest + 2 * size_t(frames), int16_t(0));
            m_frame = 0;
            return;
        }
        for (int f = 0; f < got; ++f) {
            const unsigned char* frame = m_buffer.data() + size_t(f) * align;
            dest[2 * f] = int16_t(Le16(frame));
            dest[2 * f + 1] = int16_t(Le16(frame + (m_layout.channels == 2 ? 2 : 0)));
        }
        m_frame += uint64_t(got);
        if (m_frame >= total)
            m_frame = 0;
        dest += 2 * got;
        frames -= got;
    }
}
