#include "recordfile.h"

#include "platform/debugout.h"
#include "context/appcontext.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {
constexpr char kMagic[] = "Vorn64";

// Windows-1252 for the header texts; characters it lacks become '?'.
std::string ToWindows1252(const QString& text)
{
    static const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    out.reserve(size_t(text.size()));
    for (QChar c : text) {
        char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.push_back(char(u));
            continue;
        }
        const char16_t* hit = std::find(std::begin(kHigh), std::end(kHigh), u);
        out.push_back(hit != std::end(kHigh) && u != 0 ? char(0x80 + (hit - kHigh)) : '?');
    }
    return out;
}

void PutLe32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = (unsigned char)(v >> (8 * i));
}

std::string Format(const char* format, auto... args)
{
    char line[512];
    std::snprintf(line, sizeof line, format, args...);
    return line;
}
} // namespace

CRecordFile::CRecordFile() = default;

CRecordFile::~CRecordFile()
{
    if (m_recording)
        Close();
}

bool CRecordFile::Prepare(int channelCount, int blockFrames)
{
    if (m_recording || channelCount < 0 || blockFrames < 1)
        return false;
    if (channelCount == m_channelCount && blockFrames == m_blockFrames && m_fill.size() == size_t(channelCount))
        return true;
    m_channelCount = channelCount;
    m_blockFrames = blockFrames;
    m_pchan.assign(size_t(channelCount), 0);
    m_names.assign(size_t(channelCount), {});
    m_units.assign(size_t(channelCount), {});
    m_fill.assign(size_t(channelCount), 0);
    m_stride = size_t(blockFrames) + 17;
    m_staging.assign(size_t(channelCount) * m_stride, 0.0f);
    m_staging.shrink_to_fit();
    m_stagingData = m_staging.data();
    m_fillData = m_fill.data();
    return true;
}

void CRecordFile::DefineChannel(int index, int channelNumber, const QString& name, const QString& unit,
                                double samplePeriod)
{
    if (index < 0 || index >= m_channelCount)
        return;
    m_pchan[size_t(index)] = channelNumber;
    m_names[size_t(index)] = ToWindows1252(name);
    m_units[size_t(index)] = ToWindows1252(unit);
    m_clk = samplePeriod;
}

QString CRecordFile::MakeFileName(bool trigger) const
{
    QString folder = Ctx().chosenDataPath;
    if (folder.isEmpty())
        folder = Ctx().programDirectory + "data/";
    else if (!folder.endsWith('/'))
        folder += '/';
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDate date = now.date();
    const QTime time = now.time();
    return folder + QString::asprintf("%4d%02d%02d_%02d%02d%02d_%03d%s.vrd", date.year(), date.month(), date.day(),
                                      time.hour(), time.minute(), time.second(), time.msec(),
                                      trigger ? "_trg" : "");
}

bool CRecordFile::Open(const QString& path)
{
    if (m_recording || m_channelCount < 1)
        return false;
    const QByteArray nativePath = QFile::encodeName(path);
    int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    m_fd = fd;
    m_path = path;
    m_writeFailed = false;
    m_startTime = int64_t(std::time(nullptr));
    // Until Close the header offset is 0: a file of a program that ended
    // abnormally says so, instead of keeping the previous file's offset.
    std::memset(m_head, 0, sizeof m_head);
    std::memcpy(m_head, kMagic, 6);
    WriteAll(m_head, sizeof m_head);
    m_recording = true;
    m_acceptChannels = unsigned(m_channelCount);
    std::fill(m_fill.begin(), m_fill.end(), 0);
    m_frames = 0;
    return true;
}

void CRecordFile::WriteChannelBlock(const float* values, int count)
{
    if (!m_recording || !values || count < 0)
        return;
    WriteAll(values, size_t(count) * sizeof(float));
    m_frames = count;
}

// Writes every channel's block whole, in channel order, a short block's
// tail zeroed first: one gathered write for all channels.
void CRecordFile::Flush()
{
    if (m_channelCount < 1 || m_fill[0] < 1)
        return;
    m_frames += m_fill[0];
    for (size_t i = 0; i < size_t(m_channelCount); ++i) {
        float* block = m_stagingData + i * m_stride;
        const int fill = std::clamp(m_fill[i], 0, m_blockFrames);
        std::fill(block + fill, block + m_blockFrames, 0.0f);
    }
    WriteBlocks();
    std::fill(m_fill.begin(), m_fill.end(), 0);
}

bool CRecordFile::WriteBlocks()
{
    const size_t blockBytes = size_t(m_blockFrames) * sizeof(float);
    size_t channel = 0, doneInChannel = 0;
    while (channel < size_t(m_channelCount)) {
        iovec parts[64];
        int count = 0;
        for (size_t i = channel; i < size_t(m_channelCount) && count < 64; ++i, ++count) {
            const size_t skip = i == channel ? doneInChannel : 0;
            parts[count].iov_base = reinterpret_cast<char*>(m_stagingData + i * m_stride) + skip;
            parts[count].iov_len = blockBytes - skip;
        }
        ssize_t written = ::writev(m_fd, parts, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            ReportWriteFailure();
            return false;
        }
        size_t left = size_t(written);
        while (left > 0) {
            const size_t rest = blockBytes - doneInChannel;
            if (left >= rest) {
                left -= rest;
                ++channel;
                doneInChannel = 0;
            } else {
                doneInChannel += left;
                left = 0;
            }
        }
    }
    return true;
}

// Said once per recording, so a full disk does not flood the output.
void CRecordFile::ReportWriteFailure()
{
    if (!m_writeFailed)
        DebugOut("recording: write to " + m_path.toStdString() + " failed: " + std::strerror(errno));
    m_writeFailed = true;
}

bool CRecordFile::WriteAll(const void* data, size_t bytes)
{
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        ssize_t written = ::write(m_fd, p, bytes);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            ReportWriteFailure();
            return false;
        }
        p += written;
        bytes -= size_t(written);
    }
    return true;
}

std::string CRecordFile::HeaderText() const
{
    std::time_t start = std::time_t(m_startTime);
    std::tm local{};
    localtime_r(&start, &local);
    std::string text;
    text += "beginheader:\r\n";
    text += "typ:real\r\n";
    text += Format("org:Block%d\r\n", m_blockFrames);
    text += Format("starttime:%d.%02d.%4d %2d:%02d:%02d\r\n", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900,
                   local.tm_hour, local.tm_min, local.tm_sec);
    text += Format("frames:%" PRId64 "\r\n", m_frames);
    text += "endheader:\r\n";
    for (int i = 0; i < m_channelCount; ++i) {
        text += "beginchannel:\r\n";
        text += Format("channel_offset:%d\r\n", kHeadBytes + i * m_blockFrames * 4);
        text += "name:" + m_names[size_t(i)] + "\r\n";
        text += "unit:" + m_units[size_t(i)] + "\r\n";
        text += Format("pchan:%d\r\n", m_pchan[size_t(i)]);
        text += Format("clk:%g\r\n", m_clk);
        text += "endchannel:\r\n";
    }
    return text;
}

void CRecordFile::Close()
{
    if (!m_recording)
        return;
    m_recording = false;
    m_acceptChannels = 0;
    Flush();
    off_t length = ::lseek(m_fd, 0, SEEK_END);
    if (length < 0)
        length = 0;
    // Bytes 8..11 hold the offset; bytes 12..15 its high half, 0 below 4 GiB.
    PutLe32(m_head + 8, uint32_t(uint64_t(length)));
    PutLe32(m_head + 12, uint32_t(uint64_t(length) >> 32));
    const std::string header = HeaderText();
    WriteAll(header.data(), header.size());
    if (::pwrite(m_fd, m_head, sizeof m_head, 0) != ssize_t(sizeof m_head))
        DebugOut("recording: cannot write the head of " + m_path.toStdString());
    ::close(m_fd);
    m_fd = -1;
}
