#include "analysis/segmentlayout.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::string_view, kAverageModeCount> kTexts = {
    "Linear", "Peak hold", "Cascade", "Spctgrm",
};

} // namespace

std::string_view AverageModeText(AverageMode mode)
{
    const int v = static_cast<int>(mode);
    return v >= 0 && v < kAverageModeCount ? kTexts[v] : std::string_view();
}

int SegmentCount(int length, int start, int points, int hop, int averages)
{
    if (averages != 0)
        return averages;
    const int spare = length - start - points;
    if (spare < 0)
        return 1;
    return std::min(spare / std::max(hop, 1) + 1, kMaxSegments);
}

bool RecordHoldsSegments(const SegmentLayout& layout)
{
    if (layout.points < 2 || layout.count < 1 || layout.start < 0)
        return false;
    const long long needed = static_cast<long long>(layout.count - 1) * layout.hop + layout.points;
    return static_cast<long long>(layout.length) - layout.start >= needed;
}

SegmentLayout MakeSegmentLayout(int length, int start, int points, int hop, int averages, double dt)
{
    SegmentLayout layout;
    layout.length = length;
    layout.start = start;
    layout.points = points;
    layout.hop = std::max(hop, 1);
    layout.count = SegmentCount(length, start, points, layout.hop, averages);
    layout.dt = dt;
    return layout;
}
