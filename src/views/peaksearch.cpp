#include "peaksearch.h"

#include <algorithm>
#include <cmath>

namespace PeakSearch {

void Span(int& lo, int& hi, int count)
{
    if (lo > hi)
        std::swap(lo, hi);
    if (hi - lo < 4) {
        lo -= 2;
        hi += 2;
    }
    lo = std::max(lo, 0);
    hi = std::min(hi, count - 2);
}

Peak Find(const float* values, int count, int lo, int hi, bool db)
{
    Peak peak;
    if (count <= 0 || lo > hi)
        return peak;
    int best = lo;
    for (int i = lo + 1; i <= hi; ++i)
        if (values[i] > values[best])
            best = i;
    const float top = values[best];
    const float threshold = db ? top - 3.0f : top / float(std::sqrt(2.0));
    peak.index = best;
    peak.left = peak.right = best;
    for (int i = best + 1; i < count; ++i)
        if (values[i] < threshold) {
            peak.right = i;
            break;
        }
    for (int i = best - 1; i >= 0; --i)
        if (values[i] < threshold) {
            peak.left = i;
            break;
        }
    return peak;
}

double Quality(double peakX, double xStep, const Peak& peak)
{
    const double width = xStep * (peak.right - peak.left);
    return width != 0.0 ? peakX / width : 0.0;
}

} // namespace PeakSearch
