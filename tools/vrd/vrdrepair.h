#pragma once
// "vrd repair": makes a recording whole in place.
//   Closed       nothing to do (a stale side record is removed);
//   CloseCut     the head is pointed at the header behind the last block;
//   NeverClosed  the file is cut back to its whole blocks (or to the
//                frames of the side record's "closing:" line) and gets the
//                side record's header with that frame count.
// A side record that does not fit the data (channel offsets of another
// block length, blocks larger than the data, or a closing count that leaves
// whole blocks unaccounted for) is refused, and nothing is touched: repair
// never cuts more than the partial block a dying writer can leave.
// Only the file's tail and head are rewritten, in place (no copy: a
// recording may be many GB, and repair is most needed on a full disk); the
// bytes overwritten are kept and put back when a write or the sync fails,
// so that a failed repair leaves the file as it was. The side record goes
// only once the new header and head are on disk.

#include <string>

class VrdFile;

// False with a one-line reason in error; report says what was done.
bool RepairVrd(const VrdFile& file, std::string& report, std::string& error);
