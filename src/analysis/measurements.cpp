#include "analysis/measurements.h"

#include "analysis/binkernels.h"
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
// A mean square of exactly 0 is lifted to this before a logarithm.
constexpr double kZeroMeanSquareLift = 0.5e-20;
constexpr double kDbuReferenceVolts = 0.7746;

bool Usable(const SegmentLayout& layout)
{
    return RecordHoldsSegments(layout) && (layout.points & (layout.points - 1)) == 0 && layout.dt > 0.0;
}

const float* SegmentStart(const float* channel, const SegmentLayout& layout, int j)
{
    return channel + layout.start + static_cast<std::ptrdiff_t>(j) * layout.hop;
}

// Transforms segment j of x into slot 0 and of y into slot 1 for every
// segment and hands the four spectra to add(xr, xi, yr, yi, bins).
template <class Add>
void ForEachSegmentPair(AnalysisWorkspace& work, const float* x, const float* y, const SegmentLayout& layout,
                        Add&& add)
{
    for (int j = 0; j < layout.count; ++j) {
        work.TransformSegment(0, SegmentStart(x, layout, j), true);
        work.TransformSegment(1, SegmentStart(y, layout, j), true);
        add(work.Re(0), work.Im(0), work.Re(1), work.Im(1), layout.Bins());
    }
}

void ClearSums(AnalysisWorkspace& work, int count, int bins)
{
    for (int s = 0; s < count; ++s)
        std::fill_n(work.Sum(s), bins, 0.0);
}

std::string WithSuffix(std::string_view unit, std::string_view suffix)
{
    std::string text(unit);
    text += suffix;
    return text;
}

// The factor of each bin's magnitude in the amplitude spectrum: h for a
// sine's bin ("RMS" turns its peak into its rms value; bin 0, the mean, is
// its own rms value), with integration u/ω_k or u/ω_k² (bin 0, ω = 0, reads 0).
void AmplitudeWeights(float* weight, int n, double h, double df, double u, Integration integration)
{
    weight[0] = integration == Integration::None ? 1.0f : 0.0f;
    for (int k = 1; k < n; ++k) {
        double factor = h;
        if (integration != Integration::None) {
            const double omega = kTwoPi * df * k;
            factor *= u / (integration == Integration::Double ? omega * omega : omega);
        }
        weight[k] = static_cast<float>(factor);
    }
}

double Magnitude(double re, double im) { return std::sqrt(re * re + im * im); }

// The mean square of each bin from the spectrum of one segment: half the
// power for a sine's bin, all of it for bin 0; `factor` is the density
// factor (1 without density). Returns the largest.
float SegmentMeanSquares(const float* re, const float* im, int bins, double factor, float* out)
{
    const double bin0 = (double(re[0]) * re[0] + double(im[0]) * im[0]) * factor;
    float largest = ScaledPowers(re, im, bins, static_cast<float>(0.5 * factor), out);
    out[0] = static_cast<float>(bin0);
    return std::max(largest, out[0]);
}

// The factor e of the level scale (10·log10(e·M)); LogMaximum is per
// spectrum and gives 1 here.
double LevelFactor(LevelScale scale)
{
    switch (scale) {
    case LevelScale::LogReference:   // p0 = 1
    case LevelScale::DbV:
    case LevelScale::LinearRms:
    case LevelScale::LogMaximum:
        return 1.0;
    case LevelScale::DbU:
        return 1.0 / (kDbuReferenceVolts * kDbuReferenceVolts);
    }
    return 1.0;
}

// "H1" = Gxy/Gxx and "H2" = Gyy/Gyx from the spectra summed over the
// segments (Gxy = Σ conj(X)·Y, Gyx = conj(Gxy), Gxx = Σ|X|², Gyy = Σ|Y|²),
// into work.Sum(0) and work.Sum(1) (|H| and its phase in radians, or Re H and
// Im H). Noise in y leaves H1 unbiased and raises H2 by the noise power; for
// noise-free y both equal Y/X. A zero denominator (Gxx, or |Gxy|² for H2) is
// replaced by the guard.
void RatioOfMeanSpectra(AnalysisWorkspace& work, const float* x, const float* y, const SegmentLayout& layout,
                        bool h2, bool polar)
{
    const int bins = layout.Bins();
    double* gxx = work.Sum(0);
    double* gyy = work.Sum(1);
    double* gxyRe = work.Sum(2);
    double* gxyIm = work.Sum(3);
    ClearSums(work, 4, bins);
    ForEachSegmentPair(work, x, y, layout, [&](const float* xr, const float* xi, const float* yr, const float* yi,
                                               int n) { AddCrossSpectra(xr, xi, yr, yi, n, gxyRe, gxyIm, gxx, gyy); });
    for (int k = 0; k < bins; ++k) {
        const double gr = gxyRe[k], gi = gxyIm[k];
        double hr, hi;
        if (h2) {
            double den = gr * gr + gi * gi;
            if (den == 0.0)
                den = kDenominatorGuard;
            hr = gyy[k] * gr / den;
            hi = gyy[k] * gi / den;
        } else {
            const double den = gxx[k] == 0.0 ? kDenominatorGuard : gxx[k];
            hr = gr / den;
            hi = gi / den;
        }
        gxx[k] = polar ? Magnitude(hr, hi) : hr;
        gyy[k] = polar ? std::atan2(hi, hr) : hi;
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

    const AverageMode mode = settings.average;
    if (out.first.size() < SegmentAverager::OutputSize(mode, bins, layout.count))
        return result;
    const double u = unit == "g" ? kStandardGravity : 1.0;
    float* weight = work.Scratch(0);
    float* magnitude = work.Scratch(1);
    AmplitudeWeights(weight, bins, h, layout.BinSpacing(), u, settings.integration);
    double* sum = work.Sum(0);
    if (mode == AverageMode::Linear)
        std::fill_n(sum, bins, 0.0);
    else if (mode == AverageMode::PeakHold)
        std::fill_n(out.first.begin(), bins, 0.0f);
    for (int j = 0; j < layout.count; ++j) {
        work.TransformSegment(0, SegmentStart(channel, layout, j), true);
        if (KeepsRows(mode)) {
            WeightedMagnitudes(re, im, bins, weight, out.first.data() + static_cast<std::size_t>(j) * bins);
            continue;
        }
        WeightedMagnitudes(re, im, bins, weight, magnitude);
        if (mode == AverageMode::Linear)
            AddValues(magnitude, bins, sum);
        else
            HoldValues(magnitude, bins, out.first.data());
    }
    if (mode == AverageMode::Linear) {
        const double divisor = layout.count > 1 ? layout.count : 1;
        for (int k = 0; k < bins; ++k)
            out.first[k] = static_cast<float>(sum[k] / divisor);
    }
    result.firstUnit = WithSuffix(IntegratedUnit(unit, settings.integration), rms);
    result.computed = true;
    return result;
}

namespace {

// The PSD over the segments segmentAt(j) gives (the first sample of segment
// j; it may be work.Re(0), which the transform reads in place).
template <typename SegmentAt>
MeasurementResult PsdOfSegments(AnalysisWorkspace& work, SegmentAt segmentAt, const SegmentLayout& layout,
                                const PsdSettings& settings, std::string_view unit, std::span<float> out)
{
    MeasurementResult result;
    if (!Usable(layout) || !work.Prepare(layout.points, settings.window))
        return result;
    const int bins = layout.Bins();
    const AverageMode mode = settings.average;
    if (out.size() < SegmentAverager::OutputSize(mode, bins, layout.count))
        return result;
    const double densityFactor =
        settings.density ? 1.0 / (layout.BinSpacing() * NoiseBandwidth(settings.window)) : 1.0;
    const float* re = work.Re(0);
    const float* im = work.Im(0);

    if (mode == AverageMode::Linear) {
        // The mean squares are averaged and their mean converted once, so
        // that the decibel scales show the level of the mean power.
        double* sum = work.Sum(0);
        std::fill_n(sum, bins, 0.0);
        for (int j = 0; j < layout.count; ++j) {
            work.TransformSegment(0, segmentAt(j), true);
            AddPowers(re, im, bins, sum);
        }
        const double divisor = layout.count > 1 ? layout.count : 1;
        out[0] = static_cast<float>(sum[0] * densityFactor / divisor);
        for (int k = 1; k < bins; ++k)
            out[k] = static_cast<float>(sum[k] * (0.5 * densityFactor) / divisor);
        MeanSquareToLevels(bins, out.data(), settings.scale, 1.0);
    } else if (KeepsRows(mode)) {
        for (int j = 0; j < layout.count; ++j) {
            work.TransformSegment(0, segmentAt(j), true);
            float* row = out.data() + static_cast<std::size_t>(j) * bins;
            SegmentMeanSquares(re, im, bins, densityFactor, row);
            MeanSquareToLevels(bins, row, settings.scale, 1.0);
        }
    } else if (!IsDecibelScale(settings.scale)) {
        std::fill_n(out.begin(), bins, SegmentAverager::kLevelPeakStart);
        float* meanSquares = work.Scratch(0);
        for (int j = 0; j < layout.count; ++j) {
            work.TransformSegment(0, segmentAt(j), true);
            SegmentMeanSquares(re, im, bins, densityFactor, meanSquares);
            HoldValues(meanSquares, bins, out.data());
        }
    } else {
        // The largest level is the level of the largest mean square (lifted
        // from 0, per segment relative to its maximum in "10 log p/pmax"):
        // one logarithm per bin for the record.
        double* hold = work.Sum(0);
        std::fill_n(hold, bins, 0.0);
        float* meanSquares = work.Scratch(0);
        const bool relative = settings.scale == LevelScale::LogMaximum;
        for (int j = 0; j < layout.count; ++j) {
            work.TransformSegment(0, segmentAt(j), true);
            const double largest = SegmentMeanSquares(re, im, bins, densityFactor, meanSquares);
            const double e = relative ? 1.0 / (largest == 0.0 ? kZeroMeanSquareLift : largest) : 1.0;
            HoldScaled(meanSquares, bins, e, kZeroMeanSquareLift, hold);
        }
        const double e = LevelFactor(settings.scale);
        for (int k = 0; k < bins; ++k)
            out[k] = static_cast<float>(10.0 * std::log10(e * hold[k]));
    }
    result.firstUnit = LevelUnitText(settings.scale, unit, settings.density);
    result.levelsInDb = IsDecibelScale(settings.scale);
    result.computed = true;
    return result;
}

} // namespace

MeasurementResult PowerSpectralDensity(AnalysisWorkspace& work, const float* channel, const SegmentLayout& layout,
                                       const PsdSettings& settings, std::string_view unit, std::span<float> out)
{
    return PsdOfSegments(
        work, [&](int j) { return SegmentStart(channel, layout, j); }, layout, settings, unit, out);
}

MeasurementResult PowerSpectralDensity(AnalysisWorkspace& work, const ChannelBlocks& channel,
                                       const SegmentLayout& layout, const PsdSettings& settings,
                                       std::string_view unit, std::span<float> out)
{
    if (channel.blockFrames < 1 || layout.length > channel.length)
        return {};
    // A segment across a block end is gathered into the transform's own
    // input array, so that no other memory is needed.
    return PsdOfSegments(
        work,
        [&](int j) {
            const std::ptrdiff_t first = layout.start + static_cast<std::ptrdiff_t>(j) * layout.hop;
            return channel.Values(first, layout.points, work.Re(0));
        },
        layout, settings, unit, out);
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
    const double* a = work.Sum(0);
    const double* b = work.Sum(1);
    double divisor = 1.0;
    if (settings.estimator == FrfEstimator::H0) {
        // The mean over the segments of each segment's Y/X (of its magnitude
        // and phase, or of its real and imaginary parts); where X is 0 the
        // ratio is that of 0 to the guard.
        ClearSums(work, 2, bins);
        ForEachSegmentPair(work, x, y, layout,
                           [&](const float* xr, const float* xi, const float* yr, const float* yi, int n) {
                               AddRatios(xr, xi, yr, yi, n, polar, work.Sum(0), work.Sum(1));
                           });
        divisor = layout.count;
    } else {
        RatioOfMeanSpectra(work, x, y, layout, settings.estimator == FrfEstimator::H2, polar);
    }

    const bool decibels = polar && settings.level == FrfLevel::TenLog;
    for (int k = 0; k < bins; ++k) {
        const double magnitude = a[k] / divisor;
        // Levels of an amplitude ratio are 20·log10.
        first[k] = static_cast<float>(decibels ? 20.0 * std::log10(std::max(magnitude, kMagnitudeFloor)) : magnitude);
        second[k] = static_cast<float>(polar ? b[k] / divisor * kDegreesPerRadian : b[k] / divisor);
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
    ClearSums(work, 4, bins);
    ForEachSegmentPair(work, x, y, layout, [&](const float* xr, const float* xi, const float* yr, const float* yi,
                                               int n) { AddCrossSpectra(xr, xi, yr, yi, n, sxyRe, sxyIm, sxx, syy); });
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
    ClearSums(work, 2, bins);
    ForEachSegmentPair(work, x, y, layout,
                       [&](const float* xr, const float* xi, const float* yr, const float* yi, int n) {
                           AddPolarProducts(xr, xi, yr, yi, n, sumMagnitude, sumPhase);
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
