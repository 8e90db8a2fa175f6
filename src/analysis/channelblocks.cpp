#include "analysis/channelblocks.h"

#include <algorithm>

const float* ChannelBlocks::Values(std::ptrdiff_t index, int count, float* gather) const
{
    std::ptrdiff_t block = index / blockFrames;
    std::ptrdiff_t offset = index % blockFrames;
    const float* at = first + block * stride + offset;
    if (offset + count <= blockFrames)
        return at;
    for (int filled = 0; filled < count;) {
        const int run = static_cast<int>(std::min<std::ptrdiff_t>(count - filled, blockFrames - offset));
        std::copy_n(at, run, gather + filled);
        filled += run;
        ++block;
        offset = 0;
        at = first + block * stride;
    }
    return gather;
}
