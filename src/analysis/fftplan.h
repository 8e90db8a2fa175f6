#pragma once
// Tables for the FFT of one length, complex or of real input, made once per
// length.

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
    // x[i]·scale): bins 0 … N/2 into re[0 … N/2] and im[0 … N/2]; the other
    // bins are their mirror, X[N − k] = conj X[k], and are not written. It
    // runs as the complex transform of N/2 points on the pairs
    // x[2i] + i·x[2i+1] (weighted as they are read, no copy of the input),
    // followed by the split pass that separates the spectra of the even and
    // the odd samples. im[0] and im[N/2] are 0. Both arrays hold N floats:
    // im[N/2+1 …] serves as work memory, and re[N/2+1 …] is left as it was.
    // x may be re itself; otherwise it must not overlap re or im. Any thread.
    void TransformReal(const float* x, float* re, float* im, const float* window, float scale) const;

    // The unnormalised inverse of a real signal's spectrum:
    // x[t] = Σ_{k=0}^{N−1} X[k]·e^(+2πi·kt/N), t = 0 … N−1, from bins
    // 0 … N/2 in re and im and X[N − k] = conj X[k] (so a round trip with
    // TransformReal multiplies by N). re and im are used as work memory and
    // left undefined; x must not overlap them. Any thread.
    void TransformRealInverse(float* re, float* im, float* x) const;

private:
    // The bit-reversal permutation of one length: index pairs (i, j), i < j,
    // swapped for the short transforms; the long ones permute in tiles of
    // 16 × 16 with the reversal of the middle index bits and of four bits.
    struct Permutation {
        std::vector<std::uint32_t> swaps;
        std::vector<std::uint32_t> middleReverse;
        void Prepare(int n, int log2n);
    };

    void RunComplex(float* re, float* im, const float* window, float scale, bool weighted) const;

    int m_n = 0;
    int m_log2 = 0;
    Kernel m_kernel = Kernel::Best;
    Permutation m_full;   // of N, for the complex transform
    Permutation m_half;   // of N/2, for the real transforms
    std::array<std::uint8_t, 16> m_tileReverse{};
    // Twiddles of the stage with half-size L at [L … 2L−1], entry L + (m − 1);
    // the transform of N/2 points uses the first half.
    std::vector<float> m_twiddleRe;
    std::vector<float> m_twiddleIm;
    // ½·e^(−2πi·k/N), k = 0 … N/4, of the split pass of the real transforms.
    std::vector<float> m_splitRe;
    std::vector<float> m_splitIm;
};
