#include "recordfile.h"

#include "context/appcontext.h"
#include "platform/debugout.h"
#include "platform/windows1252.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {
constexpr char kMagic[] = "Vorn64";

// The header is line based: a line break inside a name would end its line.
std::string HeaderField(const QString& text)
{
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return windows1252::FromUtf8(line.toStdString());
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

// "%g" in the C locale whatever locale the application runs in: Qt sets
// the user's, where printf may write a decimal comma.
std::string FormatG6(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

QString ErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Makes the folder's new entries (file and side record) survive a power loss.
void SyncFolder(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
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
    m_names[size_t(index)] = HeaderField(name);
    m_units[size_t(index)] = HeaderField(unit);
    m_clk = samplePeriod;
}

QString CRecordFile::SideRecordPath(const QString& path) { return path + QStringLiteral(".hdr"); }

QString CRecordFile::MakeFileName(bool trigger) const
{
    QString folder = Ctx().chosenDataPath;
    if (folder.isEmpty() && !Ctx().dataDirectory.isEmpty())
        folder = Ctx().dataDirectory + '/';
    else if (folder.isEmpty())
        folder = Ctx().programDirectory + "data/";
    else if (!folder.endsWith('/'))
        folder += '/';
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDate date = now.date();
    const QTime time = now.time();
    return FreePath(folder + QString::asprintf("%4d%02d%02d_%02d%02d%02d_%03d%s.vrd", date.year(), date.month(),
                                               date.day(), time.hour(), time.minute(), time.second(), time.msec(),
                                               trigger ? "_trg" : ""));
}

QString CRecordFile::FreePath(const QString& path)
{
    auto taken = [](const QString& candidate) {
        return QFileInfo::exists(candidate) || QFileInfo::exists(SideRecordPath(candidate));
    };
    if (!taken(path))
        return path;
    const QString stem = path.endsWith(QLatin1String(".vrd")) ? path.chopped(4) : path;
    for (int k = 2;; ++k) {
        const QString candidate = stem + QStringLiteral("_%1.vrd").arg(k);
        if (!taken(candidate))
            return candidate;
    }
}

// The side record comes first, so that from the file's first sample on a
// repair finds the header it needs. Locking it tells a repair that this
// writer is alive; the lock ends with the process however it ends.
bool CRecordFile::Open(const QString& path)
{
    if (m_recording || m_channelCount < 1)
        return false;
    const QByteArray sidePath = QFile::encodeName(SideRecordPath(path));
    const int side = ::open(sidePath.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (side < 0)
        return false;
    if (::flock(side, LOCK_EX | LOCK_NB) != 0) {
        ::close(side);
        return false;
    }
    m_startTime = int64_t(std::time(nullptr));
    const std::string header = HeaderText(0);
    const QByteArray nativePath = QFile::encodeName(path);
    int fd = -1;
    // Until Close the header offset is 0: a file of a program that ended
    // abnormally says so, instead of keeping the previous file's offset.
    std::memset(m_head, 0, sizeof m_head);
    std::memcpy(m_head, kMagic, 6);
    if (::ftruncate(side, 0) != 0 || !WriteAll(side, header.data(), header.size()) || ::fdatasync(side) != 0 ||
        (fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) < 0 ||
        !WriteAll(fd, m_head, sizeof m_head)) {
        if (fd >= 0) {
            // Only a file this recording made is removed: a path that names
            // a device or another special file is never unlinked.
            struct stat st {};
            const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
            ::close(fd);
            if (regular)
                ::unlink(nativePath.constData());
        }
        ::unlink(sidePath.constData());
        ::close(side);
        return false;
    }
    SyncFolder(path);
    m_fd = fd;
    m_sideFd = side;
    m_path = path;
    m_failure.clear();
    m_deleted = false;
    m_headerWritten = false;
    m_closingWritten = false;
    m_dataBytes = 0;
    m_recording = true;
    m_acceptChannels = unsigned(m_channelCount);
    std::fill(m_fill.begin(), m_fill.end(), 0);
    m_frames = 0;
    return true;
}

void CRecordFile::AppendValues(int channel, std::span<const float> values)
{
    const float* next = values.data();
    size_t left = values.size();
    while (left > 0 && unsigned(channel) < m_acceptChannels) {
        int fill = m_fillData[channel];
        if (fill >= m_blockFrames) {
            Flush();
            fill = 0;
            if (unsigned(channel) >= m_acceptChannels) // the flush failed
                return;
        }
        const size_t run = std::min(left, size_t(m_blockFrames - fill));
        std::memcpy(m_stagingData + size_t(channel) * m_stride + size_t(fill), next, run * sizeof(float));
        m_fillData[channel] = fill + int(run);
        next += run;
        left -= run;
    }
}

int CRecordFile::FramesBeforeFlush() const
{
    const int fill = m_fillData[0];
    return fill >= m_blockFrames ? m_blockFrames : m_blockFrames - fill;
}

// Frame by frame, the first value that finds channel 0's block full
// flushes every channel's block, all full by then. Cut at the same places,
// channel by channel: the run that follows a full block starts with the
// flush, made by channel 0's first value, before any other channel's.
void CRecordFile::AppendFrames(std::span<const float* const> channels, int frames)
{
    int done = 0;
    while (done < frames && m_acceptChannels > 0) {
        const int run = std::min(frames - done, FramesBeforeFlush());
        const size_t count = std::min(channels.size(), size_t(m_acceptChannels));
        for (size_t k = 0; k < count; ++k)
            AppendValues(int(k), std::span<const float>(channels[k] + done, size_t(run)));
        done += run;
    }
}

void CRecordFile::WriteChannelBlock(const float* values, int count)
{
    if (!m_recording || !values || count < 0)
        return;
    if (!WriteAll(m_fd, values, size_t(count) * sizeof(float), &m_dataBytes)) {
        Fail(ErrorText(errno));
        return;
    }
    m_frames = count;
}

// Writes every channel's block whole, in channel order, a short block's
// tail zeroed first: one gathered write for all channels.
void CRecordFile::Flush()
{
    if (m_channelCount < 1 || m_fill[0] < 1)
        return;
    for (size_t i = 0; i < size_t(m_channelCount); ++i) {
        float* block = m_stagingData + i * m_stride;
        const int fill = std::clamp(m_fill[i], 0, m_blockFrames);
        std::fill(block + fill, block + m_blockFrames, 0.0f);
    }
    if (!WriteBlocks()) {
        Fail(ErrorText(errno));
        return;
    }
    m_frames += m_fill[0];
    std::fill(m_fill.begin(), m_fill.end(), 0);
    // Deleted under the recording, the file would take every later sample
    // into an inode nobody can open again.
    struct stat info{};
    if (::fstat(m_fd, &info) == 0 && info.st_nlink == 0) {
        m_deleted = true;
        Fail(QStringLiteral("the file was deleted"));
    }
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
            if (written == 0)
                errno = EIO;
            return false;
        }
        m_dataBytes += uint64_t(written);
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

// False with errno set; done (if given) grows by what reached the file.
bool CRecordFile::WriteAll(int fd, const void* data, size_t bytes, uint64_t* done)
{
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        ssize_t written = ::write(fd, p, bytes);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        if (done)
            *done += uint64_t(written);
        p += written;
        bytes -= size_t(written);
    }
    return true;
}

// Stops the recording on a failed write: a partly written block is cut
// off, and the file is closed with the frames of its whole blocks.
void CRecordFile::Fail(const QString& reason)
{
    if (m_failure.isEmpty())
        m_failure = reason;
    DebugOut("recording: writing " + m_path.toStdString() + " failed: " + reason.toStdString());
    m_recording = false;
    m_acceptChannels = 0;
    const uint64_t blockBytes = BlockBytes();
    const uint64_t wholeBlocks = blockBytes > 0 ? m_dataBytes / blockBytes : 0;
    m_dataBytes = wholeBlocks * blockBytes;
    m_frames = std::min<int64_t>(m_frames, int64_t(wholeBlocks) * m_blockFrames);
    // Shrinking needs no room; should it fail, the side record's closing
    // line still keeps a repair from taking the rest for samples.
    (void)::ftruncate(m_fd, off_t(kHeadBytes + m_dataBytes));
    Finish();
}

// Tells a repair how many frames are valid before the last block, which
// Close pads with zeros, is written.
void CRecordFile::WriteClosingLine(int64_t frames)
{
    if (m_sideFd < 0 || m_closingWritten)
        return;
    const std::string line = Format("closing:%" PRId64 "\r\n", frames);
    m_closingWritten = WriteAll(m_sideFd, line.data(), line.size());
}

// Writes the header behind the last block and the head that points at it,
// puts both on disk, closes the file and removes the side record. Without
// room for the header the file keeps its whole blocks and the side record
// stays for a repair.
void CRecordFile::Finish()
{
    WriteClosingLine(m_frames);
    const uint64_t headerOffset = kHeadBytes + m_dataBytes;
    // Bytes 8..11 hold the offset; bytes 12..15 its high half, 0 below 4 GiB.
    PutLe32(m_head + 8, uint32_t(headerOffset));
    PutLe32(m_head + 12, uint32_t(headerOffset >> 32));
    const std::string header = HeaderText(m_frames);
    m_headerWritten = ::lseek(m_fd, off_t(headerOffset), SEEK_SET) == off_t(headerOffset) &&
                      WriteAll(m_fd, header.data(), header.size()) &&
                      ::pwrite(m_fd, m_head, sizeof m_head, 0) == ssize_t(sizeof m_head) && ::fdatasync(m_fd) == 0;
    if (!m_headerWritten) {
        const int error = errno;
        (void)::ftruncate(m_fd, off_t(headerOffset));
        if (m_failure.isEmpty())
            m_failure = ErrorText(error);
        DebugOut("recording: cannot write the header of " + m_path.toStdString());
    }
    ::close(m_fd);
    m_fd = -1;
    if (m_headerWritten)
        ::unlink(QFile::encodeName(SideRecordPath(m_path)).constData());
    ::close(m_sideFd);
    m_sideFd = -1;
}

QString CRecordFile::FailureMessage() const
{
    if (m_failure.isEmpty())
        return {};
    const QString path = QDir::toNativeSeparators(m_path);
    if (m_deleted)
        return QStringLiteral("Recording stopped: %1 was deleted while it was being written.").arg(path);
    const QString text = QStringLiteral("Recording stopped: writing %1 failed (%2).\n").arg(path, m_failure);
    if (m_headerWritten)
        return text + QStringLiteral("The %1 frames recorded until then are kept in the file.").arg(m_frames);
    return text + QStringLiteral("The %1 frames recorded until then are kept, but the file has no header yet: "
                                 "run \"vrd repair %2\" when there is room again.")
                      .arg(m_frames)
                      .arg(path);
}

std::string CRecordFile::HeaderText(int64_t frames) const
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
    text += Format("frames:%" PRId64 "\r\n", frames);
    text += "endheader:\r\n";
    for (int i = 0; i < m_channelCount; ++i) {
        text += "beginchannel:\r\n";
        text += Format("channel_offset:%" PRId64 "\r\n", int64_t(kHeadBytes) + int64_t(i) * m_blockFrames * 4);
        text += "name:" + m_names[size_t(i)] + "\r\n";
        text += "unit:" + m_units[size_t(i)] + "\r\n";
        text += Format("pchan:%d\r\n", m_pchan[size_t(i)]);
        text += "clk:" + FormatG6(m_clk) + "\r\n";
        text += "endchannel:\r\n";
    }
    return text;
}

// The closing line goes to the side record before the padded last block,
// so that a program killed from here on leaves a file whose padding a
// repair does not take for samples.
void CRecordFile::Close()
{
    if (!m_recording)
        return;
    m_recording = false;
    m_acceptChannels = 0;
    const int pending = m_channelCount > 0 ? std::clamp(m_fill[0], 0, m_blockFrames) : 0;
    WriteClosingLine(m_frames + pending);
    Flush();
    if (m_fd >= 0)
        Finish();
}
