#include "analysis/windowedfft.h"

#include <algorithm>
#include <cmath>

namespace {

// A mean square of exactly 0 is lifted to this before the logarithm: half
// the power 1e-20 of a bin, so that a zero bin reads 10·log10(0.5·1e-20) dBV.
constexpr double kZeroMeanSquareLift = 0.5e-20;
// The reference of "dbuV": 0.7746 V rms reads 0 dBu.
constexpr double kDbuReferenceVolts = 0.7746;

} // namespace

void WindowedFft(const FftPlan& plan, const WindowTable& window, float* re, float* im, bool scale)
{
    const float* w = window.Type() == WindowType::Rectangle ? nullptr : window.Values().data();
    const float c = scale ? static_cast<float>(window.AmplitudeFactor()) : 1.0f;
    plan.TransformWeighted(re, im, w, c);
    if (scale && plan.Size() > 0) {
        re[0] *= 0.5f;
        im[0] *= 0.5f;
    }
}

void WindowedFft(float* re, float* im, int n, WindowType window, bool scale)
{
    FftPlan plan;
    if (!plan.Prepare(n))
        return;
    const WindowTable table(window, n);
    WindowedFft(plan, table, re, im, scale);
}

void MeanSquareSpectrum(int n, float* re, const float* im, WindowType window, bool density, double df)
{
    if (n <= 0)
        return;
    const double densityFactor = density ? 1.0 / (df * NoiseBandwidth(window)) : 1.0;
    const double sineFactor = 0.5 * densityFactor;
    re[0] = static_cast<float>((double(re[0]) * re[0] + double(im[0]) * im[0]) * densityFactor);
    for (int k = 1; k < n; ++k) {
        const double r = re[k];
        const double i = im[k];
        re[k] = static_cast<float>((r * r + i * i) * sineFactor);
    }
}

void MeanSquareToLevels(int n, float* values, LevelScale scale, double p0)
{
    double e = 1.0;
    switch (scale) {
    case LevelScale::LinearRms:
        return;
    case LevelScale::LogReference:
        e = 1.0 / (p0 * p0);
        break;
    case LevelScale::LogMaximum: {
        double largest = 0.0;
        for (int k = 0; k < n; ++k)
            largest = std::max(largest, double(values[k]));
        e = 1.0 / (largest == 0.0 ? kZeroMeanSquareLift : largest);
        break;
    }
    case LevelScale::DbV:
        break;
    case LevelScale::DbU:
        e = 1.0 / (kDbuReferenceVolts * kDbuReferenceVolts);
        break;
    }
    for (int k = 0; k < n; ++k) {
        const double m = values[k] == 0.0f ? kZeroMeanSquareLift : double(values[k]);
        values[k] = static_cast<float>(10.0 * std::log10(e * m));
    }
}

void PowerSpectrum(int n, float* re, const float* im, WindowType window, bool density, double df,
                   LevelScale scale, double p0)
{
    MeanSquareSpectrum(n, re, im, window, density, df);
    MeanSquareToLevels(n, re, scale, p0);
}
