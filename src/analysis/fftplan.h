#pragma once
// Tables for the in-place complex FFT of one length, made once per length.

#include "analysis/simdkernel.h"

#include <array>
#include <cstdint>
#include <vector>

// Forward transform X[k] = Σ x[n]·e^(−2πi·kn/N), N a power of two ≥ 2, on
// split real and imaginary arrays, output in natural order (bin k at k/(N·dt)).
//
// The transform is radix-2 decimation in time. Its twiddle factors are the
// butterfly-group values wr = cos θ, wi = sin θ with θ = (1 − m)·π/mmax,
// π = 3.1415926535, evaluated in double and stored as float; pairs of radix-2
// stages are fused into one pass over the data (each butterfly keeps its own
// twiddle, so the arithmetic is that of the radix-2 stages), and the first
// four stages run before the bit-reversal permutation, where their
// butterflies are contiguous; the permutation moves 16 × 16 tiles. The
// widest SIMD the processor offers (AVX-512, AVX2 with FMA, or SSE2) is
// chosen at run time.
//
// Planning allocates; Transform does not and may run on any thread, several
// at once on one plan.
class FftPlan {
public:
    FftPlan() = default;
    explicit FftPlan(int n) { Prepare(n); }

    // Makes the tables for length n (a power of two ≥ 2); nothing happens when
    // n is the current length. Returns false, leaving an empty plan, for other n.
    bool Prepare(int n);

    int Size() const { return m_n; }

    // The kernel the transforms run (Best by default); results of the
    // kernels agree within float rounding.
    using Kernel = SimdKernel;
    void SelectKernel(Kernel kernel) { m_kernel = kernel; }
    Kernel ActiveKernel() const { return ResolveSimdKernel(m_kernel); }

    // In-place transform of re[0 … N−1], im[0 … N−1]. The arrays must not
    // overlap. Any thread.
    void Transform(float* re, float* im) const;

    // The transform of x[i]·w[i]·scale (window null: x[i]·scale), the
    // weighting folded into the first pass over the data. Any thread.
    void TransformWeighted(float* re, float* im, const float* window, float scale) const;

    // The transform of the real signal x[i]·w[i]·scale (window null:
    // x[i]·scale) into re and im, read from x in the first pass over the
    // data: no copy of the input and no clearing of im beforehand. x may be
    // re itself; otherwise it must not overlap re or im. Any thread.
    void TransformReal(const float* x, float* re, float* im, const float* window, float scale) const;

private:
    void Run(float* re, float* im, const float* window, float scale, bool weighted, const float* source) const;

    int m_n = 0;
    int m_log2 = 0;
    Kernel m_kernel = Kernel::Best;
    // Index pairs (i, j), i < j, swapped by the bit-reversal permutation of
    // the short transforms; the long ones permute in tiles of 16 × 16 with
    // the reversal of the middle index bits and of four bits.
    std::vector<std::uint32_t> m_swaps;
    std::vector<std::uint32_t> m_middleReverse;
    std::array<std::uint8_t, 16> m_tileReverse{};
    // Twiddles of the stage with half-size L at [L … 2L−1], entry L + (m − 1).
    std::vector<float> m_twiddleRe;
    std::vector<float> m_twiddleIm;
};
