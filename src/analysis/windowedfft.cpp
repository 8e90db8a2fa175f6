#include "analysis/windowedfft.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kZeroPowerLift = 1e-20;

} // namespace

void WindowedFft(const FftPlan& plan, const WindowTable& window, float* re, float* im, bool scale)
{
    const float* w = window.Type() == WindowType::Rectangle ? nullptr : window.Values().data();
    const float c = scale ? static_cast<float>(window.AmplitudeFactor()) : 1.0f;
    plan.TransformWeighted(re, im, w, c);
}

void WindowedFft(float* re, float* im, int n, WindowType window, bool scale)
{
    FftPlan plan;
    if (!plan.Prepare(n))
        return;
    const WindowTable table(window, n);
    WindowedFft(plan, table, re, im, scale);
}

namespace {

inline double BinPower(const float* re, const float* im, int k, double densityFactor)
{
    const double r = re[k];
    const double i = im[k];
    return (r * r + i * i) * densityFactor;
}

} // namespace

void PowerSpectrum(int n, float* re, const float* im, WindowType window, bool density, double df,
                   LevelScale scale, double p0)
{
    const double densityFactor = density ? 1.0 / (df * NoiseBandwidth(window)) : 1.0;
    if (scale == LevelScale::LinearRms) {
        for (int k = 0; k < n; ++k)
            re[k] = static_cast<float>(0.5 * BinPower(re, im, k, densityFactor));
        return;
    }
    double d = 0.5;
    switch (scale) {
    case LevelScale::LogReference:
        d = 0.5 / (p0 * p0);
        break;
    case LevelScale::LogMaximum: {
        double pmax = 0.0;
        for (int k = 0; k < n; ++k)
            pmax = std::max(pmax, BinPower(re, im, k, densityFactor));
        d = 1.0 / (pmax == 0.0 ? kZeroPowerLift : pmax);
        break;
    }
    case LevelScale::DbU:
        d = 0.6454944487477408;
        break;
    default:
        break;
    }
    for (int k = 0; k < n; ++k) {
        double p = BinPower(re, im, k, densityFactor);
        if (p == 0.0)
            p = kZeroPowerLift;
        re[k] = static_cast<float>(10.0 * std::log10(d * p));
    }
}
