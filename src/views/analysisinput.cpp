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

std::string AnalysisInput::Shortfall() const
{
    if (!record || record->length <= 0 || Analysable())
        return {};
    const SegmentLayout layout = Segments();
    if (layout.points < 2 || layout.dt <= 0.0)
        return {};
    const int available = layout.length - layout.start;
    const std::string have = "record " + std::to_string(available) + " samples < ";
    if (available < layout.points)
        return have + std::to_string(layout.points) + " points \u2014 raise XDv or lower Pts";
    const long long needed = (long long)(layout.count - 1) * layout.hop + layout.points;
    return have + std::to_string(needed) + " for " + std::to_string(layout.count) + " averages of "
        + std::to_string(layout.points) + " points \u2014 raise XDv or lower Avg";
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
