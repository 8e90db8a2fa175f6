#include "vrdrepair.h"

#include "vrdfile.h"

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
        if (n <= 0)
            return false;
        p += n;
        offset += uint64_t(n);
        bytes -= size_t(n);
    }
    return true;
}

// Writes the header (if any) at headerOffset, cutting the file there first,
// then the head that points at it.
bool Rewrite(const VrdFile& file, const std::string* header, uint64_t headerOffset, std::string& error)
{
    const int fd = ::open(file.Path().c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open " + file.Path() + " for writing: " + std::strerror(errno);
        return false;
    }
    unsigned char head[VrdFile::kHeadBytes] = {'V', 'o', 'r', 'n', '6', '4'};
    PutLe64(head + 8, headerOffset);
    const bool ok = (!header || (::ftruncate(fd, off_t(headerOffset)) == 0 &&
                                 WriteAt(fd, header->data(), header->size(), headerOffset) &&
                                 ::fdatasync(fd) == 0)) &&
                    WriteAt(fd, head, sizeof head, 0) && ::fdatasync(fd) == 0;
    if (!ok)
        error = "writing " + file.Path() + " failed: " + std::strerror(errno);
    ::close(fd);
    return ok;
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
    const VrdHeader& side = file.SideRecord();
    const std::string& text = file.SideRecordText();
    const int64_t frames = file.Frames();
    const uint64_t blocks = uint64_t(frames / side.blockFrames + (frames % side.blockFrames != 0));
    const uint64_t headerOffset = VrdFile::kHeadBytes + blocks * file.BlockBytes();
    const std::string header = text.substr(0, side.framesValueBegin) + std::to_string(frames) +
                               text.substr(side.framesValueEnd, side.end - side.framesValueEnd);
    if (!Rewrite(file, &header, headerOffset, error))
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
        if (!Rewrite(file, nullptr, file.HeaderOffset(), error))
            return false;
        if (file.HasSideRecord())
            ::unlink(file.SideRecordPath().c_str());
        report = "the header was whole; the head now points at it (" + std::to_string(file.Frames()) + " frames)";
        return true;
    case VrdFile::State::NeverClosed: return RebuildHeader(file, report, error);
    }
    return false;
}
