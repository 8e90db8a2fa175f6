#include "vrdplayer.h"

#include "zq.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>

#include <unistd.h>

volatile std::sig_atomic_t VrdPlayer::s_stop = 0;

namespace {
// Frames published at most per step: bounds memory at high speed.
constexpr int64_t kMaxStepFrames = 1 << 16;
constexpr auto kStep = std::chrono::milliseconds(5);
// How long the end of a recording waits for readers to take its last samples.
constexpr auto kDrainTimeout = std::chrono::seconds(2);
// The recording keeps no input range; readers get a recorder's widest one.
constexpr double kRange = 10.0, kSecondRange = 99.0;
// Frames due are counted in a double; beyond this they would not fit int64.
constexpr double kMaxDue = 9e18;
} // namespace

int VrdPlayer::Fail(int code, const std::string& message)
{
    m_error = message;
    return code;
}

std::string VrdPlayer::WriterName(int pid)
{
    std::string name;
    std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), name);
    return name.empty() ? "process " + std::to_string(pid) : name + " (process " + std::to_string(pid) + ")";
}

bool VrdPlayer::CheckOptions(const VrdFile& file, const Options& options)
{
    const auto& all = file.Channels();
    if (all.empty()) {
        m_error = "the recording has no channels";
        return false;
    }
    m_channels = options.channels;
    if (m_channels.empty())
        for (int i = 0; i < int(all.size()); ++i)
            m_channels.push_back(i);
    if (m_channels.size() > ZQ_MAX_CHANNELS) {
        m_error = std::to_string(m_channels.size()) + " channels to play; the service holds at most " +
                  std::to_string(ZQ_MAX_CHANNELS) + " (choose some with --channels)";
        return false;
    }
    for (int c : m_channels)
        if (c < 0 || c >= int(all.size())) {
            m_error = "no channel " + std::to_string(c) + ": the recording has channels 0 to " +
                      std::to_string(all.size() - 1);
            return false;
        }
    m_clk = all[size_t(m_channels[0])].clk;
    for (int c : m_channels) {
        const double clk = all[size_t(c)].clk;
        if (!(clk >= ZQ_MIN_INTERVAL && clk <= kMaxSamplePeriod)) {
            m_error = "channel " + std::to_string(c) + " has no playable sample period (clk " + Seconds(clk) +
                      " s; vrd play takes " + Seconds(ZQ_MIN_INTERVAL) + " s to " + Seconds(kMaxSamplePeriod) +
                      " s)";
            return false;
        }
    }
    return CheckRange(file.Frames(), options);
}

bool VrdPlayer::CheckRange(int64_t frames, const Options& options)
{
    m_begin = FrameAt(options.from, frames);
    m_end = options.to < 0 ? frames : FrameAt(options.to, frames);
    if (m_begin < m_end)
        return true;
    const std::string lasts = " (the recording lasts " + Seconds(double(frames) * m_clk) + " s)";
    if (frames == 0)
        m_error = "nothing to play: the recording holds no frame";
    else if (m_begin >= frames)
        m_error = "nothing to play: --from " + Seconds(options.from) + " s lies at or past the end" + lasts;
    else
        m_error = "nothing to play: " + Seconds(options.from) + " s to " + Seconds(options.to) +
                  " s hold no frame of " + Seconds(m_clk) + " s";
    return false;
}

// The frame at a time, within [0, frames]: a time past the end is the end,
// whatever its size.
int64_t VrdPlayer::FrameAt(double seconds, int64_t frames) const
{
    const double frame = std::round(seconds / m_clk);
    return frame >= double(frames) ? frames : std::max<int64_t>(0, int64_t(frame));
}

std::string VrdPlayer::Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

std::string VrdPlayer::Summary() const
{
    return "playing frames " + std::to_string(m_begin) + " to " + std::to_string(m_end) + " (" +
           Seconds(double(m_begin) * m_clk) + " s to " + Seconds(double(m_end) * m_clk) + " s) of " +
           std::to_string(m_channels.size()) + " channels";
}

int VrdPlayer::Claim(const VrdFile& file)
{
    ZQ_WriterStatus status{};
    if (ZQ_GetWriterStatus(&status) == ZQ_OK && status.writerPid > 0 && status.writerAlive &&
        status.writerPid != int(getpid()))
        return Fail(kServiceBusy, "the channel buffer service has a live writer: " + WriterName(status.writerPid));
    int result = ZQ_SetNrOfChan(int(m_channels.size()));
    if (result == ZQ_E_BUSY)
        return Fail(kServiceBusy, "the channel buffer service has another live writer");
    for (size_t i = 0; result >= 0 && i < m_channels.size(); ++i) {
        const VrdFile::Channel& c = file.Channels()[size_t(m_channels[i])];
        const std::string number = std::to_string(c.pchan);
        result = ZQ_SetChanDef(int(i), int(c.pchan), number.c_str(), c.name.c_str(), c.unit.c_str(), "+", c.clk,
                               -kRange, kRange, -kSecondRange, kSecondRange, 0);
    }
    if (result < 0) {
        ZQ_ReleaseWriter();
        return Fail(kFileError, "the channel buffer service refused the channels (error " +
                                      std::to_string(result) + ")");
    }
    return 0;
}

bool VrdPlayer::Publish(VrdFile& file, int64_t first, int count)
{
    if (!file.ReadFrames(first, count, m_read))
        return false;
    const size_t all = file.Channels().size(), chosen = m_channels.size();
    m_frames.resize(size_t(count) * chosen);
    for (size_t j = 0; j < size_t(count); ++j)
        for (size_t c = 0; c < chosen; ++c)
            m_frames[j * chosen + c] = m_read[j * all + size_t(m_channels[c])];
    return ZQ_WriteFrames(m_frames.data(), count) == count;
}

// Readers freeze every few milliseconds; releasing the service at once would
// take the last samples away from them before they read them.
void VrdPlayer::WaitForReaders()
{
    const auto deadline = std::chrono::steady_clock::now() + kDrainTimeout;
    while (!s_stop && std::chrono::steady_clock::now() < deadline) {
        ZQ_WriterStatus writer{};
        ZQ_ChanStatus channel{};
        if (ZQ_GetWriterStatus(&writer) != ZQ_OK || ZQ_GetChanStatus(0, &channel) != ZQ_OK)
            return;
        bool behind = false;
        for (int slot = 0; slot < ZQ_MAX_READER_SLOTS; ++slot) {
            ZQ_ReaderStatus reader{};
            if (ZQ_GetReaderStatus(slot, &reader) == 1 && reader.alive && reader.generation == writer.generation &&
                reader.position[0] < channel.written)
                behind = true;
        }
        if (!behind)
            return;
        std::this_thread::sleep_for(kStep);
    }
}

int VrdPlayer::Play(VrdFile& file, const Options& options)
{
    if (!CheckOptions(file, options))
        return kFileError;
    if (int code = Claim(file))
        return code;
    std::printf("%s\n", Summary().c_str());
    std::fflush(stdout);
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const double framesPerSecond = options.speed / m_clk;
    int64_t published = 0, position = m_begin;
    bool done = false;
    while (!s_stop && !done) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const int64_t due = int64_t(std::min(elapsed * framesPerSecond, kMaxDue));
        while (!s_stop && published < due && !done) {
            const int count = int(std::min({due - published, m_end - position, kMaxStepFrames}));
            if (!Publish(file, position, count)) {
                ZQ_ReleaseWriter();
                return Fail(kFileError, file.Error().empty() ? "the service refused samples" : file.Error());
            }
            published += count;
            position += count;
            if (position == m_end) {
                if (options.loop)
                    position = m_begin;
                else
                    done = true;
            }
        }
        if (!done)
            std::this_thread::sleep_for(kStep);
    }
    if (done)
        WaitForReaders();
    ZQ_ReleaseWriter();
    return 0;
}
