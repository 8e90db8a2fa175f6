#include "analysedrecords.h"

#include "panels/viewbar.h"
#include "shell/wndkrv.h"
#include "views/graphwnd.h"

#include <unordered_map>

namespace {

std::unordered_map<const CGraphWnd*, std::uint64_t>& Counts()
{
    static std::unordered_map<const CGraphWnd*, std::uint64_t> counts;
    return counts;
}

} // namespace

std::uint64_t AnalysedRecords(CGraphWnd* view)
{
    const auto found = Counts().find(view);
    return found == Counts().end() ? 0 : found->second;
}

void NoteRecordAnalysed(const CWndKRV& window)
{
    for (int page = 0; page < window.PageCount(); ++page) {
        for (int kind = 0; kind < kViewKindCount; ++kind) {
            CGraphWnd* view = window.Page(page)->View(ViewKind(kind));
            if (view && view->IsActive())
                ++Counts()[view];
        }
    }
}
