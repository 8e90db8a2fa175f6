#pragma once
// Reference transforms the tests compare the fast FFT with.

#include <complex>
#include <vector>

// The transform as classically written: bit reversal by the index update,
// radix-2 butterflies with cos/sin evaluated per butterfly group in double
// (θ = (1 − m)·π/mmax, π = 3.1415926535), products in double, values stored
// as float.
void StraightforwardFft(float* re, float* im, int n);

// A single-precision radix-2 transform whose twiddles are the exact values
// e^(−2πi·m/len) rounded to float; all arithmetic in float.
void SinglePrecisionExactTwiddleFft(float* re, float* im, int n);

// X[k] = Σ x[n]·e^(−2πi·kn/N) in long double: the direct sum for n ≤ 4096,
// a long-double radix-2 transform with exactly evaluated twiddles above.
std::vector<std::complex<long double>> LongDoubleDft(const float* re, const float* im, int n);
