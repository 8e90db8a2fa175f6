#include "analysis/windowedfft.h"

#include "analysis/binkernels.h"

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

void WindowedFft(const FftPlan& plan, const WindowTable& window, const float* samples, float* re, float* im,
                 bool scale)
{
    const float* w = window.Type() == WindowType::Rectangle ? nullptr : window.Values().data();
    const float c = scale ? static_cast<float>(window.AmplitudeFactor()) : 1.0f;
    plan.TransformReal(samples, re, im, w, c);
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
    const double bin0 = (double(re[0]) * re[0] + double(im[0]) * im[0]) * densityFactor;
    ScaledPowers(re, im, n, static_cast<float>(0.5 * densityFactor), re);
    re[0] = static_cast<float>(bin0);
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
        const double largest = LargestValue(values, n);
        e = 1.0 / (largest == 0.0 ? kZeroMeanSquareLift : largest);
        break;
    }
    case LevelScale::DbV:
        break;
    case LevelScale::DbU:
        e = 1.0 / (kDbuReferenceVolts * kDbuReferenceVolts);
        break;
    }
    DecibelsInPlace(values, n, e, static_cast<float>(kZeroMeanSquareLift));
}

void PowerSpectrum(int n, float* re, const float* im, WindowType window, bool density, double df,
                   LevelScale scale, double p0)
{
    MeanSquareSpectrum(n, re, im, window, density, df);
    MeanSquareToLevels(n, re, scale, p0);
}
