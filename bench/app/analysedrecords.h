#pragma once
// How many records a view has analysed: the one place where the benchmark
// learns it. Counts only ever grow; a scenario takes the difference over its
// measuring window.

#include <cstdint>

class CGraphWnd;
class CWndKRV;

// ---- Seam --------------------------------------------------------------------
// Records view has analysed since the program started. While every shown
// view analyses inside the main window's NotifyAnalysis, this counts the
// NotifyAnalysis calls that brought a new record while the view was shown
// (NoteRecordAnalysed). Where views analyse elsewhere and count their own
// analyses, this returns the view's counter and NoteRecordAnalysed goes.
std::uint64_t AnalysedRecords(CGraphWnd* view);

// Called by the benchmark's main window after NotifyAnalysis has run for a
// new record: every view shown on window's pages has analysed it.
void NoteRecordAnalysed(const CWndKRV& window);
// -----------------------------------------------------------------------------
