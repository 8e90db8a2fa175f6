#pragma once
// The per-bin loops of the spectral measurements: one pass over the bins of
// one segment's spectrum (split real and imaginary float arrays as
// WindowedFft leaves them), accumulating into per-bin sums that the
// measurements convert once per record. Products of spectra are formed in
// double (exact for float inputs), so that nearly cancelling cross terms
// keep their value; sums over segments are kept in double. Logarithms and
// phases are evaluated in float by polynomials accurate to a few float
// rounding steps.
//
// Each loop runs vectorised for the widest SIMD the processor offers
// (chosen at run time). Arrays of one call must not overlap unless said.
// None allocates; any thread.

// sum[k] += re[k]² + im[k]².
void AddPowers(const float* re, const float* im, int n, double* sum);

// out[k] = (re[k]² + im[k]²)·factor; returns the largest out[k] (0 for n ≤ 0).
float ScaledPowers(const float* re, const float* im, int n, float factor, float* out);

// hold[k] = max(hold[k], v·e) with v = values[k], or `zeroLift` where
// values[k] is exactly 0 (pass 0 to keep zeros).
void HoldScaled(const float* values, int n, double e, double zeroLift, double* hold);

// values[k] = 10·log10(e·v) in place, v = values[k] > 0 or `zeroLift` where
// values[k] is exactly 0 (e·v > 0 and finite in double).
void DecibelsInPlace(float* values, int n, double e, float zeroLift);

// out[k] = √(re[k]² + im[k]²)·weight[k].
void WeightedMagnitudes(const float* re, const float* im, int n, const float* weight, float* out);

// sum[k] += values[k].
void AddValues(const float* values, int n, double* sum);

// hold[k] = max(hold[k], values[k]).
void HoldValues(const float* values, int n, float* hold);

// For the spectra X and Y of one segment: gxyRe[k] += Re(conj X·Y) =
// Xr·Yr + Xi·Yi, gxyIm[k] += Im(conj X·Y) = Xr·Yi − Xi·Yr, gxx[k] += |X|²,
// gyy[k] += |Y|².
void AddCrossSpectra(const float* xr, const float* xi, const float* yr, const float* yi, int n, double* gxyRe,
                     double* gxyIm, double* gxx, double* gyy);

// The ratio H = Y/X of one segment: with `polar` a[k] += |H| and
// b[k] += arg H (radians, atan2 convention), else a[k] += Re H and
// b[k] += Im H. Where X is 0, H counts as 0 (the ratio of 0 to a guard).
void AddRatios(const float* xr, const float* xi, const float* yr, const float* yi, int n, bool polar, double* a,
               double* b);

// The product P = X·conj(Y) of one segment in polar form: magnitude[k] +=
// |P| and phase[k] += arg P (radians, atan2 convention).
void AddPolarProducts(const float* xr, const float* xi, const float* yr, const float* yi, int n,
                      double* magnitude, double* phase);

// atan2(y, x) in float by the loops above (exported for their tests).
float FastAtan2(float y, float x);

// 10·log10(v) for a finite v > 0 (denormals included), as the loops above
// compute it.
float FastDecibels(float v);

// The largest of values[0 … n−1], at least 0.
float LargestValue(const float* values, int n);

// out[k] = in[k] − mean(in) for k < n (mean in double); returns Σ out[k]²
// in double. out may be in.
double SubtractMean(const float* in, int n, float* out);

// (ar + i·ai) ← factor·(−1)^k·conj(ar + i·ai)·(br + i·bi), products in
// double: the cross spectrum whose inverse transform is the correlation
// Σ_t a(t)·b(t + m), scaled and, by the alternating sign, rotated by half
// the transform length.
void CorrelationProducts(float* ar, float* ai, const float* br, const float* bi, int n, double factor);
