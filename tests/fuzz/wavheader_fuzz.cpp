// The WAV header check on arbitrary bytes, as a file named in KRV_WAVEIN may
// hold them. A header that passes describes 16-bit PCM of one or two
// channels whose data chunk lies whole within the file and holds a frame; the
// check never reads outside the file.

#include "platform/wavfile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "wav header: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const WavFile::ReadAt readAt = [data, size](uint64_t offset, void* dest, size_t bytes) -> int64_t {
        if (offset > size)
            Fail("a read starts past the end of the file");
        const size_t n = std::min<size_t>(bytes, size - size_t(offset));
        std::memcpy(dest, data + offset, n);
        return int64_t(n);
    };
    WavFile::Layout layout;
    std::string error;
    if (!WavFile::ParseHeader(readAt, size, &layout, &error)) {
        if (error.empty())
            Fail("a refusal without a reason");
        return 0;
    }
    if (layout.channels != 1 && layout.channels != 2)
        Fail("a channel count other than one or two");
    if (layout.blockAlign != 2 * layout.channels)
        Fail("a frame size that is not two bytes per channel");
    if (layout.dataOffset > size || layout.dataBytes > size - layout.dataOffset)
        Fail("a data chunk that reaches past the file");
    if (layout.Frames() == 0 || layout.rate == 0)
        Fail("a file without frames or rate taken");
    return 0;
}
