#pragma once
// Process identity and small system helpers shared by the writer and readers.

#include <cstdint>
#include <string>

namespace zq {

// Start time of a running process in clock ticks since boot (field 22 of
// /proc/<pid>/stat), or 0 when the process does not exist or is a zombie.
// Together with the pid it identifies a process even after pid reuse.
uint64_t ProcessStartTime(int pid);

// True while the process with this pid and start time runs.
bool ProcessAlive(int pid, uint64_t startTime);

// This process's pid and start time, cached after the first call. Any thread.
int SelfPid();
uint64_t SelfStartTime();

uint64_t MonotonicNs();

// Shared-memory name of the namespace: "/" + ZQ_NAME when that is set (any
// further '/' replaced by '_'), else "/krv-zq-<uid>".
std::string SegmentName();

// "*** text" on standard error, the developer-note format of the programs.
void DebugLine(const std::string& text);

} // namespace zq
