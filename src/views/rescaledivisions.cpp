#include "rescaledivisions.h"

#include <algorithm>
#include <cmath>

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
