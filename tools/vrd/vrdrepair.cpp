#include "vrdrepair.h"

#include "vrdfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
void PutLe64(unsigned char* p, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = (unsigned char)(v >> (8 * i));
}

bool WriteAt(int fd, const void* data, size_t bytes, uint64_t offset)
{
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::pwrite(fd, p, bytes, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        offset += uint64_t(n);
        bytes -= size_t(n);
    }
    return true;
}

bool ReadAt(int fd, std::string& out, uint64_t offset)
{
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

std::string Number(uint64_t v) { return std::to_string(v); }

// The file's bytes that a rewrite changes: its head and its tail from
// tailOffset, with its size, to put back when the rewrite fails.
struct Saved {
    uint64_t size = 0;
    std::string head;
    uint64_t tailOffset = 0;
    std::string tail;
};

bool Save(int fd, uint64_t size, uint64_t tailOffset, Saved& saved)
{
    saved.size = size;
    saved.head.assign(size_t(std::min<uint64_t>(size, VrdFile::kHeadBytes)), '\0');
    saved.tailOffset = std::min(tailOffset, size);
    saved.tail.assign(size_t(size - saved.tailOffset), '\0');
    return ReadAt(fd, saved.head, 0) && ReadAt(fd, saved.tail, saved.tailOffset);
}

// Overwrites in place what the rewrite may have changed; within the old
// size, so that it needs no new room on the disk.
bool Restore(int fd, const Saved& saved)
{
    return WriteAt(fd, saved.tail.data(), saved.tail.size(), saved.tailOffset) &&
           ::ftruncate(fd, off_t(saved.size)) == 0 && WriteAt(fd, saved.head.data(), saved.head.size(), 0) &&
           ::fdatasync(fd) == 0;
}

// Writes header (may be empty) at headerOffset, ends the file behind it,
// then the head that points at it, and syncs; on any failure the file's
// old bytes are put back.
bool Rewrite(const VrdFile& file, const std::string& header, uint64_t headerOffset, std::string& error)
{
    const int fd = ::open(file.Path().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open " + file.Path() + " for writing: " + std::strerror(errno);
        return false;
    }
    Saved saved;
    if (!Save(fd, file.FileSize(), header.empty() ? file.FileSize() : headerOffset, saved)) {
        error = "cannot read " + file.Path() + ": " + std::strerror(errno) + "; nothing was changed";
        ::close(fd);
        return false;
    }
    unsigned char head[VrdFile::kHeadBytes] = {'V', 'o', 'r', 'n', '6', '4'};
    PutLe64(head + 8, headerOffset);
    const uint64_t end = headerOffset + header.size();
    const bool ok = WriteAt(fd, header.data(), header.size(), headerOffset) &&
                    (header.empty() || end >= saved.size || ::ftruncate(fd, off_t(end)) == 0) &&
                    WriteAt(fd, head, sizeof head, 0) && ::fdatasync(fd) == 0;
    if (!ok) {
        error = "writing " + file.Path() + " failed: " + std::strerror(errno);
        if (Restore(fd, saved))
            error += "; the recording and its side record are as they were";
        else
            error += std::string("; putting back its last ") + Number(saved.tail.size()) +
                     " bytes and its head failed too: " + std::strerror(errno);
    }
    ::close(fd);
    return ok;
}

// The side record must describe this file: the channel offsets of its
// block length, at least one whole block when there is data, and frames
// that account for every whole block.
bool SideRecordFits(const VrdFile& file, std::string& error)
{
    const VrdHeader& side = file.SideRecord();
    const std::string prefix = "the side record " + file.SideRecordPath() + " does not fit the data: ";
    const std::string suffix = "; nothing was changed";
    for (size_t i = 0; i < side.channels.size(); ++i) {
        const int64_t expected = VrdFile::kHeadBytes + int64_t(i) * side.blockFrames * 4;
        if (side.channels[i].offset != expected) {
            error = prefix + "channel " + Number(i) + "'s channel_offset " + std::to_string(side.channels[i].offset) +
                    " is not that of blocks of " + std::to_string(side.blockFrames) + " frames (" +
                    std::to_string(expected) + ")" + suffix;
            return false;
        }
    }
    const uint64_t blockBytes = file.BlockBytes();
    const uint64_t dataBytes = file.DataBytes();
    if (dataBytes > 0 && dataBytes < blockBytes) {
        error = prefix + "one block of " + Number(side.channels.size()) + " channels x " +
                std::to_string(side.blockFrames) + " frames is " + Number(blockBytes) + " bytes, more than the " +
                Number(dataBytes) + " bytes of data (a recording that ended inside its first block holds no whole "
                "block either)" + suffix;
        return false;
    }
    const uint64_t frames = uint64_t(file.Frames());
    const uint64_t blocks = frames / uint64_t(side.blockFrames) + (frames % uint64_t(side.blockFrames) != 0);
    if (dataBytes - blocks * blockBytes >= blockBytes) {
        error = prefix + "its closing count of " + Number(frames) + " frames fills " + Number(blocks) +
                " blocks, but the file holds " + Number(dataBytes / blockBytes) + " whole blocks" + suffix;
        return false;
    }
    return true;
}

bool RebuildHeader(const VrdFile& file, std::string& report, std::string& error)
{
    if (!file.HasSideRecord()) {
        error = "no text header and no side record " + file.SideRecordPath() +
                ": the channels are unknown; vrd csv and wav read its whole blocks with -c CHANNELS -b BLOCKFRAMES";
        return false;
    }
    if (!file.SideRecordValid()) {
        error = file.SideRecordError();
        return false;
    }
    if (!SideRecordFits(file, error))
        return false;
    const VrdHeader& side = file.SideRecord();
    const std::string& text = file.SideRecordText();
    const int64_t frames = file.Frames();
    const uint64_t blocks = uint64_t(frames / side.blockFrames + (frames % side.blockFrames != 0));
    const uint64_t headerOffset = VrdFile::kHeadBytes + blocks * file.BlockBytes();
    const std::string header = text.substr(0, side.framesValueBegin) + std::to_string(frames) +
                               text.substr(side.framesValueEnd, side.end - side.framesValueEnd);
    if (!Rewrite(file, header, headerOffset, error))
        return false;
    ::unlink(file.SideRecordPath().c_str());
    report = "rebuilt the header from " + file.SideRecordPath() + ": " + std::to_string(frames) + " frames in " +
             std::to_string(blocks) + " blocks of " + std::to_string(side.channels.size()) + " channels x " +
             std::to_string(side.blockFrames) + " frames";
    return true;
}
} // namespace

bool RepairVrd(const VrdFile& file, std::string& report, std::string& error)
{
    if (file.BeingWritten()) {
        error = "a running program is still writing " + file.Path() + "; stop its recording first";
        return false;
    }
    switch (file.GetState()) {
    case VrdFile::State::Closed:
        report = "the recording is whole; nothing to repair";
        if (file.HasSideRecord() && ::unlink(file.SideRecordPath().c_str()) == 0)
            report += "; removed the stale side record " + file.SideRecordPath();
        return true;
    case VrdFile::State::CloseCut:
        if (!Rewrite(file, std::string(), file.HeaderOffset(), error))
            return false;
        if (file.HasSideRecord())
            ::unlink(file.SideRecordPath().c_str());
        report = "the header was whole; the head now points at it (" + std::to_string(file.Frames()) + " frames)";
        return true;
    case VrdFile::State::NeverClosed: return RebuildHeader(file, report, error);
    }
    return false;
}
