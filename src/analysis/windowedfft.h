#pragma once
// Windowed, amplitude-scaled FFT and the conversion of its bins into mean
// square, density or decibel levels.

#include "analysis/fftplan.h"
#include "analysis/levelscale.h"
#include "analysis/windowtable.h"

// Windows re and im (both N floats, N = plan.Size() = window.Size()), then
// transforms them in place (bin k at k/(N·dt), natural order). With `scale`
// the bins (both parts) are multiplied by the window's amplitude factor c,
// so that a sinusoid of peak amplitude A on a bin reads magnitude A at bins
// k and N − k, and bin 0 by c/2, so that it reads the mean (a constant 1 V
// reads 1 V: bin 0 carries no sine and has no mirror bin). Callers copy the
// segment into re and clear im first. Does not allocate; any thread.
void WindowedFft(const FftPlan& plan, const WindowTable& window, float* re, float* im, bool scale);

// The same for N real samples read from `samples` (not changed; it may be re
// itself), by the real-input transform: bins 0 … N/2 of the result of
// copying them into re and clearing im, within float rounding, without that
// copy. Bins above N/2 (their mirror) are not written. Does not allocate;
// any thread.
void WindowedFft(const FftPlan& plan, const WindowTable& window, const float* samples, float* re, float* im,
                 bool scale);

// The same without prepared tables: plans length n and the window per call
// (allocates). For one-off transforms; views keep a AnalysisWorkspace.
void WindowedFft(float* re, float* im, int n, WindowType window, bool scale);

// Overwrites re[0 … n−1] with the mean square of bins 0 … n−1 of a spectrum
// scaled by WindowedFft (callers pass n = N/2, df = 1/(N·dt) in Hz); im is
// only read. A sine's bin k ≥ 1 holds 0.5·(re² + im²), bin 0 (the mean)
// re² + im², so that a sine of 1 V rms and a constant 1 V both read 1 V².
// With density every bin is divided by df·B (B of `window`): white noise of
// variance σ² then reads 2σ²·dt in every window. This is the "Lin. RMS"
// spectrum. Evaluated in double. Any thread.
void MeanSquareSpectrum(int n, float* re, const float* im, WindowType window, bool density, double df);

// Converts n mean squares M (≥ 0) in place into the levels of `scale`:
// "Lin. RMS" leaves them; the others give 10·log10(e·M) with e = 1/p0²
// ("10 log p/p0"), 1/Mmax ("10 log p/pmax", Mmax the largest M), 1 ("dbV":
// 1 V rms reads 0 dBV) or 1/0.7746² ("dbuV": 0.7746 V rms reads 0 dBu). An M
// of exactly 0 is first lifted to 0.5e-20 (a zero bin reads −203.01 dBV),
// Mmax of an all-zero spectrum likewise, so that it reads 0 dBmax instead of
// an infinity. Evaluated in double. Any thread.
void MeanSquareToLevels(int n, float* values, LevelScale scale, double p0);

// MeanSquareSpectrum followed by MeanSquareToLevels: the converted spectrum
// of bins 0 … n−1 in re. Any thread.
void PowerSpectrum(int n, float* re, const float* im, WindowType window, bool density, double df,
                   LevelScale scale, double p0);
