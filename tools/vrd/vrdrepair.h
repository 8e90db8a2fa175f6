#pragma once
// "vrd repair": makes a recording whole in place.
//   Closed       nothing to do (a stale side record is removed);
//   CloseCut     the head is pointed at the header behind the last block;
//   NeverClosed  the file is cut back to its whole blocks (or to the
//                frames of the side record's "closing:" line) and gets the
//                side record's header with that frame count.
// The header is on disk before the head points at it, and the side record
// goes last, so that an interrupted repair can be run again.

#include <string>

class VrdFile;

// False with a one-line reason in error; report says what was done.
bool RepairVrd(const VrdFile& file, std::string& report, std::string& error);
