#pragma once
// How many records a view has analysed: the one place where the benchmark
// learns it. Counts only ever grow; a scenario takes the difference over its
// measuring window.

#include <cstdint>

class CGraphWnd;

// Records the view has analysed and adopted since the program started.
std::uint64_t AnalysedRecords(CGraphWnd* view);
