#include "rescaledivisions.h"

#include <algorithm>
#include <cmath>
#include <limits>

double NiceDivision(double e)
{
    if (!(e > 0.0) || !std::isfinite(e))
        return 1.0;
    const double b = std::pow(10.0, std::floor(std::log10(e)));
    const double f = e / b;
    if (f >= 1.0 && f <= 2.0)
        return b * 2.0;
    if (f > 2.0 && f <= 5.0)
        return b * 5.0;
    return b * 10.0;
}

void RescaleDivisions(const float* values, int count, double& division, double& offset)
{
    double max = -1e35, min = 1e35;
    for (int i = 0; i < count; ++i) {
        max = std::max(max, double(values[i]));
        min = std::min(min, double(values[i]));
    }
    if (min >= 0.0 && max > 0.0) {
        division = NiceDivision(max / 10.0);
        offset = -5.0 * division;
    } else if (min >= 0.0) {
        // Nothing but zeros: keep what is shown.
    } else if (max > 0.0) {
        division = NiceDivision(std::max(max, -min) / 5.0);
        offset = 0.0;
    } else {
        division = NiceDivision(-min / 10.0);
        offset = 5.0 * division;
    }
}

namespace {
// Levels this close above a multiple of ten count as on it: a 1 V tone read
// in dBV is 0 dB give or take float rounding, and must not lift the top by
// a division.
constexpr double kTopTolerance = 0.01;
constexpr double kClipBelowTop = 100.0;
constexpr double kFineSpan = 50.0;
} // namespace

bool RescaleDecibels(const float* values, int count, double& division, double& offset)
{
    double max = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < count; ++i)
        if (std::isfinite(values[i]))
            max = std::max(max, double(values[i]));
    if (!std::isfinite(max))
        return false;
    const double top = 10.0 * std::ceil((max - kTopTolerance) / 10.0);
    double min = max;
    for (int i = 0; i < count; ++i)
        if (std::isfinite(values[i]))
            min = std::min(min, double(values[i]));
    const double bottom = std::max(min, top - kClipBelowTop);
    division = top - bottom <= kFineSpan ? 5.0 : 10.0;
    offset = 5.0 * division - top;
    return true;
}

double ZoomedMajor(double span, double major)
{
    if (!(span > 0.0) || !std::isfinite(span))
        return major;
    if (major > 0.0 && span / major >= 4.0)
        return major;
    const double e = span / 5.0;
    const double b = std::pow(10.0, std::floor(std::log10(e)));
    const double f = e / b;
    if (f < 1.5)
        return b;
    if (f < 3.5)
        return 2.0 * b;
    if (f < 7.5)
        return 5.0 * b;
    return 10.0 * b;
}
