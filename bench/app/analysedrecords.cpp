#include "analysedrecords.h"

#include "views/graphwnd.h"

std::uint64_t AnalysedRecords(CGraphWnd* view) { return view ? view->AnalysedRecords() : 0; }
