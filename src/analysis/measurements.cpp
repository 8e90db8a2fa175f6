#include "analysis/measurements.h"

#include "analysis/windowedfft.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.28318530717958;
constexpr double kDegreesPerRadian = 57.29577951308238;
constexpr double kStandardGravity = 9.81;
constexpr double kDenominatorGuard = 1e-10;
constexpr double kMagnitudeFloor = 1e-20;

bool Usable(const SegmentLayout& layout)
{
    return RecordHoldsSegments(layout) && (layout.points & (layout.points - 1)) == 0 && layout.dt > 0.0;
}

const float* SegmentStart(const float* channel, const SegmentLayout& layout, int j)
{
    return channel + layout.start + static_cast<std::ptrdiff_t>(j) * layout.hop;
}

// Transforms segment after segment of both channels and hands each bin's
// spectra X and Y to accumulate(k, Xr, Xi, Yr, Yi), in double.
template <class Accumulate>
void ForEachBinOfSegmentPairs(AnalysisWorkspace& work, const float* x, const float* y, const SegmentLayout& layout,
                              int bins, Accumulate&& accumulate)
{
    for (int j = 0; j < layout.count; ++j) {
        work.TransformSegment(0, SegmentStart(x, layout, j), true);
        work.TransformSegment(1, SegmentStart(y, layout, j), true);
        const float* xr = work.Re(0);
        const float* xi = work.Im(0);
        const float* yr = work.Re(1);
        const float* yi = work.Im(1);
        for (int k = 0; k < bins; ++k)
            accumulate(k, double(xr[k]), double(xi[k]), double(yr[k]), double(yi[k]));
    }
}

std::string WithSuffix(std::string_view unit, std::string_view suffix)
{
    std::string text(unit);
    text += suffix;
    return text;
}

// Divides bins 0 … n−1 of (re, im) by u⁻¹·ω_k (or ω_k²); bin 0 becomes 0.
void Integrate(float* re, float* im, int n, double df, double u, Integration integration)
{
    re[0] = 0.0f;
    im[0] = 0.0f;
    for (int k = 1; k < n; ++k) {
        const double omega = kTwoPi * df * k;
        const double divisor = integration == Integration::Double ? omega * omega : omega;
        const double factor = u / divisor;
        re[k] = static_cast<float>(re[k] * factor);
        im[k] = static_cast<float>(im[k] * factor);
    }
}

double Magnitude(double re, double im) { return std::sqrt(re * re + im * im); }

} // namespace

std::string IntegratedUnit(std::string_view unit, Integration integration)
{
    if (integration == Integration::None)
        return std::string(unit);
    if (unit == "m/s\u00B2" || unit == "m/s*s" || unit == "g")
        return integration == Integration::Single ? "m/s" : "m";
    return std::string(unit);
}

MeasurementResult AmplitudeSpectrum(AnalysisWorkspace& work, const float* channel, const SegmentLayout& layout,
                                    const AmplitudeSettings& settings, std::string_view unit, TraceArrays out)
{
    MeasurementResult result;
    if (!Usable(layout) || !work.Prepare(layout.points, settings.window))
        return result;
    const int bins = layout.Bins();
    const double h = settings.amplitude == AmplitudeKind::Rms ? std::sqrt(0.5) : 1.0;
    const std::string_view rms = settings.amplitude == AmplitudeKind::Rms ? "rms" : "";
    float* re = work.Re(0);
    float* im = work.Im(0);

    if (settings.display != FftDisplay::Magnitude) {
        if (out.first.size() < static_cast<std::size_t>(bins) || out.second.size() < static_cast<std::size_t>(bins))
            return result;
        work.TransformSegment(0, SegmentStart(channel, layout, 0), true);
        if (settings.display == FftDisplay::MagnitudePhase) {
            for (int k = 0; k < bins; ++k) {
                out.first[k] = static_cast<float>(Magnitude(re[k], im[k]) * h);
                out.second[k] = static_cast<float>(std::atan2(double(im[k]), double(re[k])) * kDegreesPerRadian);
            }
            result.firstUnit = WithSuffix(unit, rms);
            result.secondUnit = "\u00B0";
        } else {
            std::copy_n(re, bins, out.first.begin());
            std::copy_n(im, bins, out.second.begin());
            result.firstUnit = WithSuffix(unit, " (RE)");
            result.secondUnit = WithSuffix(unit, " (IM)");
        }
        result.computed = true;
        return result;
    }

    SegmentAverager& averager = work.Averager();
    if (!averager.Begin(settings.average, out.first, bins, layout.count, 0.0f))
        return result;
    const double u = unit == "g" ? kStandardGravity : 1.0;
    float* magnitude = work.Re(1);
    for (int j = 0; j < layout.count; ++j) {
        work.TransformSegment(0, SegmentStart(channel, layout, j), true);
        if (settings.integration != Integration::None)
            Integrate(re, im, bins, layout.BinSpacing(), u, settings.integration);
        for (int k = 0; k < bins; ++k)
            magnitude[k] = static_cast<float>(Magnitude(re[k], im[k]) * h);
        averager.Add(j, magnitude);
    }
    averager.Finish();
    result.firstUnit = WithSuffix(IntegratedUnit(unit, settings.integration), rms);
    result.computed = true;
    return result;
}

MeasurementResult PowerSpectralDensity(AnalysisWorkspace& work, const float* channel, const SegmentLayout& layout,
                                       const PsdSettings& settings, std::string_view unit, std::span<float> out)
{
    MeasurementResult result;
    if (!Usable(layout) || !work.Prepare(layout.points, settings.window))
        return result;
    const int bins = layout.Bins();
    SegmentAverager& averager = work.Averager();
    if (!averager.Begin(settings.average, out, bins, layout.count, SegmentAverager::kLevelPeakStart))
        return result;
    for (int j = 0; j < layout.count; ++j) {
        work.TransformSegment(0, SegmentStart(channel, layout, j), true);
        PowerSpectrum(bins, work.Re(0), work.Im(0), settings.window, settings.density, layout.BinSpacing(),
                      settings.scale, 1.0);
        averager.Add(j, work.Re(0));
    }
    averager.Finish();
    result.firstUnit = LevelUnitText(settings.scale, unit, settings.density);
    result.levelsInDb = IsDecibelScale(settings.scale);
    result.computed = true;
    return result;
}

MeasurementResult FrequencyResponse(AnalysisWorkspace& work, const float* x, const float* y,
                                    const SegmentLayout& layout, const FrfSettings& settings,
                                    std::string_view unitX, std::span<float> first, std::span<float> second)
{
    MeasurementResult result;
    if (!Usable(layout) || !work.Prepare(layout.points, settings.window))
        return result;
    const int bins = layout.Bins();
    if (first.size() < static_cast<std::size_t>(bins) || second.size() < static_cast<std::size_t>(bins))
        return result;
    double* sumA = work.Sum(0);
    double* sumB = work.Sum(1);
    std::fill_n(sumA, bins, 0.0);
    std::fill_n(sumB, bins, 0.0);
    const bool polar = settings.display == FrfDisplay::MagnitudePhase;

    ForEachBinOfSegmentPairs(work, x, y, layout, bins, [&](int k, double Xr, double Xi, double Yr, double Yi) {
        double hr = 0.0, hi = 0.0;
        switch (settings.estimator) {
        case FrfEstimator::H0: {
            double den = Xr * Xr + Xi * Xi;
            if (den == 0.0)
                den = kDenominatorGuard;
            hr = (Xr * Yr + Xi * Yi) / den;
            hi = (Xr * Yi - Xi * Yr) / den;
            break;
        }
        case FrfEstimator::H1: {
            const double gr = Xr * Yr + Xi * Yi;
            const double gi = Xi * Yr - Xr * Yi;
            const double a = Xr * Xr + Xi * Xi;
            double den = a * a;
            if (den == 0.0)
                den = kDenominatorGuard;
            hr = a * gr / den;
            hi = -a * gi / den;
            break;
        }
        case FrfEstimator::H2: {
            const double gr = Xr * Yr + Xi * Yi;
            const double gi = Xi * Yr - Xr * Yi;
            const double b = Yr * Yr + Yi * Yi;
            double den = gr * gr + gi * gi;
            if (den == 0.0)
                den = kDenominatorGuard;
            hr = b * gr / den;
            hi = -b * gi / den;
            break;
        }
        }
        if (polar) {
            sumA[k] += Magnitude(hr, hi);
            sumB[k] += std::atan2(hi, hr);
        } else {
            sumA[k] += hr;
            sumB[k] += hi;
        }
    });

    const double count = layout.count;
    for (int k = 0; k < bins; ++k) {
        double a = sumA[k] / count;
        double b = sumB[k] / count;
        if (polar) {
            b *= kDegreesPerRadian;
            if (settings.level == FrfLevel::TenLog)
                a = 10.0 * std::log10(std::max(a, kMagnitudeFloor));
        }
        first[k] = static_cast<float>(a);
        second[k] = static_cast<float>(b);
    }
    if (polar) {
        result.levelsInDb = settings.level == FrfLevel::TenLog;
        result.firstUnit = result.levelsInDb ? "dB" : "";
        result.secondUnit = "\u00B0";
    } else {
        result.firstUnit = WithSuffix(unitX, " (RE)");
        result.secondUnit = WithSuffix(unitX, " (IM)");
    }
    result.computed = true;
    return result;
}

MeasurementResult Coherence(AnalysisWorkspace& work, const float* x, const float* y, const SegmentLayout& layout,
                            WindowType window, std::span<float> out)
{
    MeasurementResult result;
    if (!Usable(layout) || !work.Prepare(layout.points, window))
        return result;
    const int bins = layout.Bins();
    if (out.size() < static_cast<std::size_t>(bins))
        return result;
    double* sxyRe = work.Sum(0);
    double* sxyIm = work.Sum(1);
    double* sxx = work.Sum(2);
    double* syy = work.Sum(3);
    for (int s = 0; s < 4; ++s)
        std::fill_n(work.Sum(s), bins, 0.0);
    ForEachBinOfSegmentPairs(work, x, y, layout, bins, [&](int k, double Xr, double Xi, double Yr, double Yi) {
        sxyRe[k] += Xr * Yr + Xi * Yi;
        sxyIm[k] += Xi * Yr - Xr * Yi;
        sxx[k] += Xr * Xr + Xi * Xi;
        syy[k] += Yr * Yr + Yi * Yi;
    });
    for (int k = 0; k < bins; ++k) {
        const double den = sxx[k] * syy[k];
        const double num = sxyRe[k] * sxyRe[k] + sxyIm[k] * sxyIm[k];
        out[k] = den > 0.0 ? static_cast<float>(num / den) : 0.0f;
    }
    result.computed = true;
    return result;
}

MeasurementResult CrossSpectrum(AnalysisWorkspace& work, const float* x, const float* y, const SegmentLayout& layout,
                                WindowType window, bool density, std::string_view unitX, std::span<float> magnitude,
                                std::span<float> phase)
{
    MeasurementResult result;
    if (!Usable(layout) || !work.Prepare(layout.points, window))
        return result;
    const int bins = layout.Bins();
    if (magnitude.size() < static_cast<std::size_t>(bins) || phase.size() < static_cast<std::size_t>(bins))
        return result;
    double* sumMagnitude = work.Sum(0);
    double* sumPhase = work.Sum(1);
    std::fill_n(sumMagnitude, bins, 0.0);
    std::fill_n(sumPhase, bins, 0.0);
    ForEachBinOfSegmentPairs(work, x, y, layout, bins, [&](int k, double Xr, double Xi, double Yr, double Yi) {
        const double pr = Xr * Yr + Xi * Yi;
        const double pi = Xi * Yr - Xr * Yi;
        sumMagnitude[k] += Magnitude(pr, pi);
        sumPhase[k] += std::atan2(pi, pr);
    });
    const double count = layout.count;
    const double densityFactor = density ? 1.0 / (layout.BinSpacing() * NoiseBandwidth(window)) : 1.0;
    for (int k = 0; k < bins; ++k) {
        phase[k] = static_cast<float>(sumPhase[k] / count * kDegreesPerRadian);
        magnitude[k] = static_cast<float>(sumMagnitude[k] * densityFactor * (1.0 / count) * 0.5);
    }
    result.firstUnit = WithSuffix(unitX, density ? "rms\u00B2/Hz" : "rms\u00B2");
    result.secondUnit = "\u00B0";
    result.computed = true;
    return result;
}
