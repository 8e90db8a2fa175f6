#include "analysis/measurements.h"

#include "analysis/windowedfft.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.28318530717958;
constexpr double kDegreesPerRadian = 57.29577951308238;
constexpr double kStandardGravity = 9.81;
constexpr double kDenominatorGuard = 1e-10;
// A response magnitude of 0 reads as this: −200 dB.
constexpr double kMagnitudeFloor = 1e-10;

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

// Writes |H| and its phase in radians (polar) or Re H and Im H to
// work.Sum(0) and work.Sum(1).
void StoreResponse(AnalysisWorkspace& work, int k, double hr, double hi, bool polar)
{
    work.Sum(0)[k] = polar ? Magnitude(hr, hi) : hr;
    work.Sum(1)[k] = polar ? std::atan2(hi, hr) : hi;
}

// "H0": the mean over the segments of the ratio Y/X of each segment (of its
// magnitude and phase, or of its real and imaginary parts) into work.Sum(0)
// and work.Sum(1). A zero |X|² is replaced by the guard.
void MeanOfSegmentRatios(AnalysisWorkspace& work, const float* x, const float* y, const SegmentLayout& layout,
                         bool polar)
{
    const int bins = layout.Bins();
    double* sumA = work.Sum(0);
    double* sumB = work.Sum(1);
    std::fill_n(sumA, bins, 0.0);
    std::fill_n(sumB, bins, 0.0);
    ForEachBinOfSegmentPairs(work, x, y, layout, bins, [&](int k, double Xr, double Xi, double Yr, double Yi) {
        double den = Xr * Xr + Xi * Xi;
        if (den == 0.0)
            den = kDenominatorGuard;
        const double hr = (Xr * Yr + Xi * Yi) / den;
        const double hi = (Xr * Yi - Xi * Yr) / den;
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
        sumA[k] /= count;
        sumB[k] /= count;
    }
}

// "H1" = Gxy/Gxx and "H2" = Gyy/Gyx from the spectra summed over the
// segments (Gxy = Σ conj(X)·Y, Gyx = conj(Gxy), Gxx = Σ|X|², Gyy = Σ|Y|²),
// into work.Sum(0) and work.Sum(1). Noise in y leaves H1 unbiased and raises
// H2 by the noise power; for noise-free y both equal Y/X. A zero
// denominator (Gxx, or |Gxy|² for H2) is replaced by the guard.
void RatioOfMeanSpectra(AnalysisWorkspace& work, const float* x, const float* y, const SegmentLayout& layout,
                        bool h2, bool polar)
{
    const int bins = layout.Bins();
    double* gxyRe = work.Sum(2);
    double* gxyIm = work.Sum(3);
    double* power = work.Sum(0);   // Gxx for H1, Gyy for H2; bin k is read before its result overwrites it
    std::fill_n(gxyRe, bins, 0.0);
    std::fill_n(gxyIm, bins, 0.0);
    std::fill_n(power, bins, 0.0);
    if (h2) {
        ForEachBinOfSegmentPairs(work, x, y, layout, bins, [&](int k, double Xr, double Xi, double Yr, double Yi) {
            gxyRe[k] += Xr * Yr + Xi * Yi;
            gxyIm[k] += Xr * Yi - Xi * Yr;
            power[k] += Yr * Yr + Yi * Yi;
        });
    } else {
        ForEachBinOfSegmentPairs(work, x, y, layout, bins, [&](int k, double Xr, double Xi, double Yr, double Yi) {
            gxyRe[k] += Xr * Yr + Xi * Yi;
            gxyIm[k] += Xr * Yi - Xi * Yr;
            power[k] += Xr * Xr + Xi * Xi;
        });
    }
    for (int k = 0; k < bins; ++k) {
        const double gr = gxyRe[k], gi = gxyIm[k], p = power[k];
        double hr, hi;
        if (h2) {
            double den = gr * gr + gi * gi;
            if (den == 0.0)
                den = kDenominatorGuard;
            hr = p * gr / den;
            hi = p * gi / den;
        } else {
            const double den = p == 0.0 ? kDenominatorGuard : p;
            hr = gr / den;
            hi = gi / den;
        }
        StoreResponse(work, k, hr, hi, polar);
    }
}

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
    // "RMS" turns a sine's peak into its rms value; bin 0, the mean, is its
    // own rms value.
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
                out.first[k] = static_cast<float>(Magnitude(re[k], im[k]) * (k == 0 ? 1.0 : h));
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
        magnitude[0] = static_cast<float>(Magnitude(re[0], im[0]));
        for (int k = 1; k < bins; ++k)
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
    // "Linear" averages the mean squares and converts the mean once, so that
    // the decibel scales show the level of the mean power.
    const bool averageMeanSquares = settings.average == AverageMode::Linear;
    for (int j = 0; j < layout.count; ++j) {
        work.TransformSegment(0, SegmentStart(channel, layout, j), true);
        MeanSquareSpectrum(bins, work.Re(0), work.Im(0), settings.window, settings.density, layout.BinSpacing());
        if (!averageMeanSquares)
            MeanSquareToLevels(bins, work.Re(0), settings.scale, 1.0);
        averager.Add(j, work.Re(0));
    }
    averager.Finish();
    if (averageMeanSquares)
        MeanSquareToLevels(bins, out.data(), settings.scale, 1.0);
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
    const bool polar = settings.display == FrfDisplay::MagnitudePhase;
    if (settings.estimator == FrfEstimator::H0)
        MeanOfSegmentRatios(work, x, y, layout, polar);
    else
        RatioOfMeanSpectra(work, x, y, layout, settings.estimator == FrfEstimator::H2, polar);

    const double* a = work.Sum(0);
    const double* b = work.Sum(1);
    const bool decibels = polar && settings.level == FrfLevel::TenLog;
    for (int k = 0; k < bins; ++k) {
        // Levels of an amplitude ratio are 20·log10.
        first[k] = static_cast<float>(decibels ? 20.0 * std::log10(std::max(a[k], kMagnitudeFloor)) : a[k]);
        second[k] = static_cast<float>(polar ? b[k] * kDegreesPerRadian : b[k]);
    }
    if (polar) {
        result.levelsInDb = decibels;
        result.firstUnit = decibels ? "dB" : "";
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
        // Mean square per bin: half the product for a sine's bin, all of it
        // for bin 0 (the product of the means).
        const double meanSquareFactor = k == 0 ? 1.0 : 0.5;
        phase[k] = static_cast<float>(sumPhase[k] / count * kDegreesPerRadian);
        magnitude[k] = static_cast<float>(sumMagnitude[k] * densityFactor * (1.0 / count) * meanSquareFactor);
    }
    result.firstUnit = WithSuffix(unitX, density ? "rms\u00B2/Hz" : "rms\u00B2");
    result.secondUnit = "\u00B0";
    result.computed = true;
    return result;
}
