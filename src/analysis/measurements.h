#pragma once
// The five frequency-domain measurements of a captured record: amplitude
// spectrum, power spectral density, frequency response, coherence and cross
// spectrum.
//
// Every result covers bins k = 0 … N/2 − 1 at k·Δf, Δf = 1/(N·dt) Hz. Each
// segment is transformed by WindowedFft with the chosen window and amplitude
// scaling, so spectra are in amplitude units of the channel. Channel arrays
// hold layout.length samples; segment j starts at layout.start + j·layout.hop.
// A record too short for its segments (RecordHoldsSegments false), or output
// arrays smaller than documented, leave the outputs untouched and give
// computed = false. Unit texts are UTF-8 ("²", "°").
//
// The workspace is prepared by each call (it allocates only when N or the
// window changes); the per-bin loops do not allocate. A workspace serves one
// thread at a time (its owner's); the functions keep no other state.

#include "analysis/channelblocks.h"
#include "analysis/segmentlayout.h"
#include "analysis/analysisworkspace.h"
#include "analysis/levelscale.h"

#include <span>
#include <string>
#include <string_view>

struct MeasurementResult {
    bool computed = false;
    std::string firstUnit;
    std::string secondUnit;
    bool levelsInDb = false;   // the first quantity is in dB
};

// One trace's output: `first` holds N/2 values (count·N/2 rows for the row
// averaging modes), `second` N/2 values where a second quantity exists.
struct TraceArrays {
    std::span<float> first;
    std::span<float> second;
};

enum class AmplitudeKind : int { Peak = 0, Rms = 1 };
enum class Integration : int { None = 0, Single = 1, Double = 2 };
enum class FftDisplay : int { Magnitude = 0, MagnitudePhase = 1, RealImaginary = 2 };

struct AmplitudeSettings {
    WindowType window = WindowType::Hann;
    AverageMode average = AverageMode::Linear;
    AmplitudeKind amplitude = AmplitudeKind::Peak;
    Integration integration = Integration::None;
    FftDisplay display = FftDisplay::Magnitude;
};

// Amplitude spectrum of one channel. "Mag": |X[k]|·h (h = 1 "Peak", √0.5
// "RMS"; bin 0, the mean, takes h = 1 in both) per segment, combined by the
// averaging mode (peak hold from 0); with integration each bin is first
// multiplied by 9.81 for unit "g" and divided by ω = 2π·k·Δf ("Int") or ω²
// ("Int Int"); bin 0 (ω = 0) is then 0. The unit "m/s²", "m/s*s" or "g"
// becomes "m/s" / "m". "Mag+Phase": first segment only, |X|·h and the phase in
// degrees (atan2). "RE+IM": first segment only, real and imaginary parts,
// units "<unit> (RE)" / "<unit> (IM)". A constant 1 V reads 1 V at bin 0.
MeasurementResult AmplitudeSpectrum(AnalysisWorkspace& work, const float* channel, const SegmentLayout& layout,
                                    const AmplitudeSettings& settings, std::string_view unit, TraceArrays out);

// The integrated unit text, or the unit unchanged.
std::string IntegratedUnit(std::string_view unit, Integration integration);

struct PsdSettings {
    WindowType window = WindowType::Hann;
    AverageMode average = AverageMode::Linear;
    LevelScale scale = LevelScale::LinearRms;
    bool density = false;
};

// Power spectral density of one channel: the mean square spectrum
// (MeanSquareSpectrum) of every segment in the level scale (p0 = 1).
// "Linear" averages the mean squares and converts their mean into the scale
// (in dB the level of the mean power, not the mean of the levels); "Peak
// hold" keeps the largest level (from −1e37), "Cascade"/"Spctgrm" one row of
// levels per segment. Units by LevelUnitText.
MeasurementResult PowerSpectralDensity(AnalysisWorkspace& work, const float* channel, const SegmentLayout& layout,
                                       const PsdSettings& settings, std::string_view unit, std::span<float> out);

// The same of a channel kept in blocks (see ChannelBlocks), value for value
// what the channel copied together gives; layout.length must not exceed
// channel.length.
MeasurementResult PowerSpectralDensity(AnalysisWorkspace& work, const ChannelBlocks& channel,
                                       const SegmentLayout& layout, const PsdSettings& settings,
                                       std::string_view unit, std::span<float> out);

enum class FrfEstimator : int { H0 = 0, H1 = 1, H2 = 2 };
enum class FrfDisplay : int { MagnitudePhase = 0, RealImaginary = 1 };
enum class FrfLevel : int { LinearRms = 0, TenLog = 1 };

struct FrfSettings {
    WindowType window = WindowType::Hann;
    FrfDisplay display = FrfDisplay::MagnitudePhase;
    FrfEstimator estimator = FrfEstimator::H0;
    FrfLevel level = FrfLevel::TenLog;
};

// Frequency response H of input x (trace 1's channel) to output y by the
// estimator: "H0" the mean over the segments of each segment's Y/X (of |H|
// and phase for "Mag+Phase", of Re and Im for "RE+IM"); "H1" Gxy/Gxx and
// "H2" Gyy/Gyx from the spectra summed over the segments (Gxy = Σ conj(X)·Y,
// Gxx = Σ|X|², Gyy = Σ|Y|², Gyx = conj(Gxy)), unbiased by noise in y (H1)
// or in x (H2). A zero denominator is replaced by 1e-10. "Mag+Phase" writes
// the magnitude to `first` (20·log10 of it with "10 log", unit "dB": a gain
// of 2 reads 6.02 dB, a magnitude of 0 −200 dB) and the phase in degrees to
// `second` (unit "°"). "RE+IM" writes Re to `first`, Im to `second`, units
// "<x unit> (RE)" / "(IM)". Both arrays N/2 values.
MeasurementResult FrequencyResponse(AnalysisWorkspace& work, const float* x, const float* y,
                                    const SegmentLayout& layout, const FrfSettings& settings,
                                    std::string_view unitX, std::span<float> first, std::span<float> second);

// Magnitude-squared coherence γ² = |ΣX·conj(Y)|² / (Σ|X|²·Σ|Y|²) over the
// segments, N/2 values, no unit. Bins where Σ|X|²·Σ|Y|² is 0 read 0.
MeasurementResult Coherence(AnalysisWorkspace& work, const float* x, const float* y, const SegmentLayout& layout,
                            WindowType window, std::span<float> out);

// Cross spectrum P = X·conj(Y): the mean over the segments of |P| as a mean
// square (× 0.5 for a sine's bin, × 1 for bin 0; divided by Δf·B with
// density; unit "<x unit>rms²" and "/Hz") into `magnitude` and of the phase
// in degrees into `phase` (unit "°"). The cross spectrum of a channel with
// itself equals its mean-square power spectrum.
MeasurementResult CrossSpectrum(AnalysisWorkspace& work, const float* x, const float* y, const SegmentLayout& layout,
                                WindowType window, bool density, std::string_view unitX, std::span<float> magnitude,
                                std::span<float> phase);
