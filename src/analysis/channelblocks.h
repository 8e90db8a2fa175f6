#pragma once
// One channel of a record kept in blocks of equal length at a fixed distance
// from each other, as a recording file keeps it (a block holds blockFrames
// values of every channel in turn): the record is the blocks' values one
// after another, `length` of them. A measurement can run over a mapped
// recording this way without copying the channel together first.

#include <cstddef>

struct ChannelBlocks {
    const float* first = nullptr; // the channel's first value in block 0
    std::ptrdiff_t stride = 0;    // floats from one block's values to the next block's
    int blockFrames = 0;          // values per block, >= 1
    int length = 0;               // values in the record

    // Values index … index + count − 1 of the record (all within length):
    // a pointer into their block when they lie in one, else `gather`
    // (count floats) filled from the blocks they span.
    const float* Values(std::ptrdiff_t index, int count, float* gather) const;
};
