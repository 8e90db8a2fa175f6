#include "labelstep.h"

#include <cmath>
#include <initializer_list>

double LegibleStep(double major, double pixelsPerUnit, double minPixels)
{
    if (!(major > 0.0) || !(pixelsPerUnit > 0.0) || !std::isfinite(pixelsPerUnit))
        return major;
    static constexpr double kMultiples[] = {1.0, 2.0, 5.0};
    for (double decade = 1.0; decade < 1e12; decade *= 10.0) {
        for (double multiple : kMultiples) {
            const double step = major * multiple * decade;
            if (step * pixelsPerUnit >= minPixels)
                return step;
        }
    }
    return major;
}

double NiceStep(double atLeast)
{
    if (!(atLeast > 0.0) || !std::isfinite(atLeast))
        return atLeast;
    const double decade = std::pow(10.0, std::floor(std::log10(atLeast)));
    for (double multiple : {1.0, 2.0, 5.0, 10.0}) {
        // A hair below, so that 0.3 / 0.1 * 0.1 still counts as 0.3.
        if (multiple * decade >= atLeast * (1.0 - 1e-12))
            return multiple * decade;
    }
    return 10.0 * decade;
}
