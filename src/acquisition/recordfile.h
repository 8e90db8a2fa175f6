#pragma once
// The recording file writer. A file is a 32-byte head ("Vorn64", then the
// byte offset of the text header at bytes 8..15), the samples as
// little-endian 32-bit floats in blocks of blockFrames values per channel
// (channel 0's values, then channel 1's, ...), and a text header written
// behind the last block when the file is closed. Channel i of block b starts
// at 32 + (b * channelCount + i) * blockFrames * 4; the unused tail of the
// last block is zero.
//
// Recovery: from Open until the file is closed, a side record
// "<file>.hdr" beside it holds the text header the file will get (with
// "frames:0"), synced to disk before the first sample is written and
// locked (flock) while this writer lives. Close first appends the line
// "closing:<frames>" to it, so that the valid part of the zero-padded last
// block is known even when the program dies inside Close; the side record
// is removed once the file has its header and head on disk. A recording cut
// by a crash, SIGKILL or power loss is made whole by "vrd repair".
//
// A failed write (disk full, medium gone) or a file deleted under the
// recording stops it: the file is cut back to its whole blocks and closed
// with its header where there is room for it; Failed() and
// FailureMessage() tell what happened until the next Open.
//
// Continuous recording appends runs of frames, one array per channel
// (AppendFrames), or frame by frame (AppendValue per channel); both give the
// same bytes. A trigger recording writes each channel's captured block in
// one piece (WriteChannelBlock). UI thread only.

#include <QString>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class CRecordFile {
public:
    static constexpr int kHeadBytes = 32;

    CRecordFile();
    // Closes an open recording properly (header and head written).
    ~CRecordFile();
    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;

    // Sets the channel count and the frames per block; storage is made anew
    // when either changes. Refused (false, nothing changed) while a file is
    // open, or for blockFrames < 1 or channelCount < 0.
    bool Prepare(int channelCount, int blockFrames);
    // Channel number, name and unit of channel index; the sample period in
    // seconds is one for all channels (the last one given). Line breaks in
    // name and unit become blanks (the header is line based).
    void DefineChannel(int index, int channelNumber, const QString& name, const QString& unit,
                       double samplePeriod);
    // "<folder>YYYYMMDD_hhmmss_mmm[_trg].vrd" in UTC. The folder is the
    // chosen data path if one is set, else the data directory (the program
    // folder's "data/" before start-up has set one).
    // A name already taken (two records in one millisecond) gets "_2",
    // "_3" … before ".vrd", since opening truncates.
    QString MakeFileName(bool trigger) const;
    // path itself when neither it nor its side record exists, else the
    // first free "<stem>_k.vrd" from k = 2 on.
    static QString FreePath(const QString& path);
    // Writes the side record, then creates or truncates the file and
    // starts a recording; false without channels, when either file cannot
    // be written or when another writer holds the side record.
    bool Open(const QString& path);
    // Stores one value of channel k; flushes the blocks first when channel
    // k's block is full. Ignored unless recording. Inline: it runs for every
    // sample of every channel.
    void AppendValue(int channel, float value)
    {
        if (unsigned(channel) >= m_acceptChannels)
            return;
        int fill = m_fillData[channel];
        if (fill >= m_blockFrames) {
            Flush();
            fill = 0;
        }
        m_stagingData[size_t(channel) * m_stride + size_t(fill)] = value;
        m_fillData[channel] = fill + 1;
    }
    // The same as AppendValue for each value in turn, copied in runs:
    // whenever channel k's block is full and another value comes, the
    // blocks are flushed first. Ignored unless recording.
    void AppendValues(int channel, std::span<const float> values);
    // frames whole frames, channels[k] holding channel k's values: the same
    // file as AppendValue frame by frame in channel order (when what came
    // before were whole frames too). The run is cut where the blocks fill,
    // so that each flush finds every channel's block full. Channels beyond
    // the recording's are ignored.
    void AppendFrames(std::span<const float* const> channels, int frames);
    // Writes count floats behind what was written before and sets the frame
    // count to count (one call per channel, count = blockFrames).
    void WriteChannelBlock(const float* values, int count);
    // Flushes, writes the text header and the final head, closes the file.
    void Close();

    bool IsRecording() const { return m_recording; }
    int ChannelCount() const { return m_channelCount; }
    int BlockFrames() const { return m_blockFrames; }
    int64_t Frames() const { return m_frames; }
    const QString& FilePath() const { return m_path; }

    // The last recording stopped on a write failure.
    bool Failed() const { return !m_failure.isEmpty(); }
    // For the user: which file, what failed, what was kept.
    QString FailureMessage() const;

    // "<path>.hdr".
    static QString SideRecordPath(const QString& path);

private:
    // Frames that fit before the next value flushes the blocks.
    int FramesBeforeFlush() const;
    void Flush();
    bool WriteBlocks();
    static bool WriteAll(int fd, const void* data, size_t bytes, uint64_t* done = nullptr);
    void Fail(const QString& reason);
    void WriteClosingLine(int64_t frames);
    void Finish();
    std::string HeaderText(int64_t frames) const;
    uint64_t BlockBytes() const { return uint64_t(m_channelCount) * uint64_t(m_blockFrames) * sizeof(float); }

    int m_fd = -1;
    int m_sideFd = -1;
    QString m_path;
    bool m_recording = false;
    int m_channelCount = 0;
    int64_t m_startTime = 0; // seconds since the epoch, shown in local time
    int64_t m_frames = 0;
    uint64_t m_dataBytes = 0; // written behind the head
    unsigned char m_head[kHeadBytes] = {};
    int m_blockFrames = 1024;
    std::vector<int> m_pchan;
    std::vector<std::string> m_names; // Windows-1252
    std::vector<std::string> m_units; // Windows-1252
    double m_clk = 0.0;
    // Channel i's block at i * m_stride. The stride is the block length plus
    // 17 floats, so that the channels' write positions, which advance
    // together, do not fall into the same cache sets.
    std::vector<float> m_staging;
    size_t m_stride = 0;
    std::vector<int> m_fill;
    // AppendValue's view: the channel count while recording, else 0, and
    // the data of m_staging and m_fill.
    unsigned m_acceptChannels = 0;
    float* m_stagingData = nullptr;
    int* m_fillData = nullptr;
    // Why the last recording stopped early; empty when it did not.
    QString m_failure;
    bool m_deleted = false;
    bool m_headerWritten = false;
    bool m_closingWritten = false;
};
