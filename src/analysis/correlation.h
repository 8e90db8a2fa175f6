#pragma once
// Circular cross and auto correlation of one segment through the FFT, and
// the rows of the spectrogram.

#include "analysis/levelscale.h"
#include "analysis/segmentlayout.h"
#include "analysis/analysisworkspace.h"

#include <span>
#include <string>

// Correlation of x and y (N samples each, N a power of two ≥ 2; x and y are
// not changed): after removing each mean (in double), out[i] for lag
// τ = i − N/2 (lag 0 at out[N/2], lag step dt) is Σ_t a(t)·b(t + τ), indices
// modulo N; with `normalise` it is divided by √(Σa²·Σb²), giving correlation
// coefficients in [−1, 1]. A normalised segment of zero energy (a constant)
// gives 0 everywhere. Uses three real-input transforms of N points (two
// forward, one inverse); allocates only when the workspace's length changes.
// out must not overlap the workspace. Returns false for an invalid N.
bool Correlate(AnalysisWorkspace& work, const float* x, const float* y, float* out, int n, bool normalise);

// The same with work memory of its own (allocates per call).
bool Correlate(const float* x, const float* y, float* out, int n, bool normalise);

// Spectrogram: row j (j = 0 … count − 1, at offset j·N/2 of `rows`) holds
// the PowerSpectrum levels (density off, p0 = 1) of the segment starting at
// layout.start + j·hop. Needs count ≥ 2 and count·N/2 floats; otherwise (or
// for a too-short record) returns false and leaves `rows` untouched.
bool SpectrogramRows(AnalysisWorkspace& work, const float* channel, const SegmentLayout& layout, WindowType window,
                     LevelScale scale, std::span<float> rows);

// Empty for "Lin. RMS", else "dB", "dBmax", "dBV" or "dBu".
std::string SpectrogramUnit(LevelScale scale);
