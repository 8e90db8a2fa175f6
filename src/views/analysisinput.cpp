#include "views/analysisinput.h"

SegmentLayout AnalysisInput::Segments() const
{
    if (!record)
        return {};
    return MakeSegmentLayout(record->length, record->startOffset, points, hop, averages, record->sampleInterval);
}

bool AnalysisInput::Analysable() const
{
    if (!record || record->length <= 0)
        return false;
    const SegmentLayout layout = Segments();
    return layout.points >= 2 && layout.dt > 0.0 && RecordHoldsSegments(layout);
}

const float* AnalysisInput::Samples(int slot) const
{
    return record && (slot == 0 || slot == 1) ? record->Channel(channels[size_t(slot)]) : nullptr;
}

std::string_view AnalysisInput::Unit(int slot) const
{
    return record && (slot == 0 || slot == 1) ? std::string_view(record->Unit(channels[size_t(slot)]))
                                              : std::string_view();
}
