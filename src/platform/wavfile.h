#pragma once
// A 16-bit PCM WAV file, mono or stereo, read as an endless stereo stream.
// Opening checks the RIFF/WAVE header against the file's size; the samples
// are then read a few kilobytes at a time as they are asked for, starting
// again at the end of the data chunk, so that memory stays the same whatever
// the file's size. Only a regular file is opened (see RegularFile).
//
// Open on any thread; ReadStereo on one thread at a time, without allocating.

#include "regularfile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class WavFile {
public:
    struct Layout {
        uint16_t channels = 0;   // 1 or 2
        uint32_t rate = 0;       // frames per second the file was made for
        uint16_t blockAlign = 0; // bytes per frame: 2 × channels
        uint64_t dataOffset = 0; // first sample byte in the file
        uint64_t dataBytes = 0;  // bytes of the data chunk, all within the file
        uint64_t Frames() const { return blockAlign ? dataBytes / blockAlign : 0; }
    };
    // Reads up to size bytes at offset into dest; returns the number read,
    // less than size only at the end of the file, -1 on an error.
    using ReadAt = std::function<int64_t(uint64_t offset, void* dest, size_t size)>;

    // Checks the header of a file of fileSize bytes, read through readAt:
    // "RIFF" … "WAVE", a "fmt " chunk of 16-bit PCM with one or two channels
    // before the "data" chunk, and a data chunk that the file holds whole.
    // False with the reason (a phrase such as "has no data chunk").
    static bool ParseHeader(const ReadAt& readAt, uint64_t fileSize, Layout* layout, std::string* error);

    enum class OpenResult { Opened, CannotOpen, BadHeader };
    // CannotOpen (missing, no regular file, refused by the system) or
    // BadHeader come with a sentence naming path and what is wrong with it.
    OpenResult Open(const std::string& path, std::string* error);
    const Layout& Format() const { return m_layout; }

    // Fills frames stereo frames (a mono file gives the same value on both
    // sides), continuing where the previous call ended. Should the file be
    // cut while it is read, the missing frames are silence and the next
    // call starts at the beginning of the data again.
    void ReadStereo(int16_t* dest, int frames) noexcept;

private:
    static constexpr size_t kBufferBytes = 4096;

    RegularFile m_file;
    Layout m_layout;
    uint64_t m_frame = 0; // next frame of the data chunk
    std::array<unsigned char, kBufferBytes> m_buffer{};
};
