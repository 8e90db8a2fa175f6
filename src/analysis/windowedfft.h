#pragma once
// Windowed, amplitude-scaled FFT and the conversion of its bins into power,
// density or decibel levels.

#include "analysis/fftplan.h"
#include "analysis/levelscale.h"
#include "analysis/windowtable.h"

// Windows re and im (both N floats, N = plan.Size() = window.Size()), then
// transforms them in place (bin k at k/(N·dt), natural order). With `scale`
// every bin (both parts) is multiplied by the window's amplitude factor c, so
// that a sinusoid of peak amplitude A on a bin reads magnitude A at bins k and
// N − k. Callers copy the segment into re and clear im first. Does not
// allocate; any thread.
void WindowedFft(const FftPlan& plan, const WindowTable& window, float* re, float* im, bool scale);

// The same without prepared tables: plans length n and the window per call
// (allocates). For one-off transforms; views keep a AnalysisWorkspace.
void WindowedFft(float* re, float* im, int n, WindowType window, bool scale);

// Overwrites re[0 … n−1] with the converted spectrum of bins 0 … n−1 (callers
// pass n = N/2, df = 1/(N·dt) in Hz); im is only read. With P = re² + im²:
// density divides P by df·B (B of `window`); then "Lin. RMS" gives 0.5·P,
// and the logarithmic scales 10·log10(d·P), d = 0.5/p0², 1/Pmax, 0.5 or
// 0.6454944487477408, after every P of exactly 0 is lifted to 1e-20 (a zero
// bin under "dbV" reads −203.01 dB). Pmax is the largest P after density
// scaling; an all-zero spectrum has Pmax lifted to 1e-20 as well, so that it
// reads 0 dBmax instead of an infinity. Evaluated in double. Any thread.
void PowerSpectrum(int n, float* re, const float* im, WindowType window, bool density, double df,
                   LevelScale scale, double p0);
