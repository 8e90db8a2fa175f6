#include "analysis/fftplan.h"

#include <cmath>
#include <utility>

namespace {

// The π of the transform's trigonometry.
constexpr double kFftPi = 3.1415926535;

using v8f = float __attribute__((vector_size(32)));
using v4f = float __attribute__((vector_size(16)));

template <class V>
[[gnu::always_inline]] inline V Load(const float* p)
{
    V v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
[[gnu::always_inline]] inline void Store(float* p, V v)
{
    __builtin_memcpy(p, &v, sizeof v);
}

// (ar + i·ai)·(wr + i·wi)
template <class V>
[[gnu::always_inline]] inline void Multiply(V ar, V ai, V wr, V wi, V& tr, V& ti)
{
    tr = ar * wr - ai * wi;
    ti = ar * wi + ai * wr;
}

// One radix-2 stage of half-size L (L a multiple of the vector width).
template <class V>
[[gnu::always_inline]] inline void Radix2Pass(float* re, float* im, const float* twr, const float* twi,
                                              int n, int L)
{
    constexpr int W = sizeof(V) / sizeof(float);
    for (int base = 0; base < n; base += 2 * L) {
        float* r0 = re + base;
        float* i0 = im + base;
        float* r1 = r0 + L;
        float* i1 = i0 + L;
        for (int j = 0; j < L; j += W) {
            V tr, ti;
            Multiply(Load<V>(r1 + j), Load<V>(i1 + j), Load<V>(twr + L + j), Load<V>(twi + L + j), tr, ti);
            const V ar = Load<V>(r0 + j);
            const V ai = Load<V>(i0 + j);
            Store(r1 + j, ar - tr);
            Store(i1 + j, ai - ti);
            Store(r0 + j, ar + tr);
            Store(i0 + j, ai + ti);
        }
    }
}

// The radix-2 stages of half-size L and 2L fused into one pass; every
// butterfly uses the twiddle of its own stage.
template <class V>
[[gnu::always_inline]] inline void Radix4Pass(float* re, float* im, const float* twr, const float* twi,
                                              int n, int L)
{
    constexpr int W = sizeof(V) / sizeof(float);
    for (int base = 0; base < n; base += 4 * L) {
        float* r = re + base;
        float* i = im + base;
        for (int j = 0; j < L; j += W) {
            const V w1r = Load<V>(twr + L + j), w1i = Load<V>(twi + L + j);
            const V w2r = Load<V>(twr + 2 * L + j), w2i = Load<V>(twi + 2 * L + j);
            const V w3r = Load<V>(twr + 3 * L + j), w3i = Load<V>(twi + 3 * L + j);
            const V a0r = Load<V>(r + j), a0i = Load<V>(i + j);
            V tr, ti;
            Multiply(Load<V>(r + L + j), Load<V>(i + L + j), w1r, w1i, tr, ti);
            const V b0r = a0r + tr, b0i = a0i + ti;
            const V b1r = a0r - tr, b1i = a0i - ti;
            const V a2r = Load<V>(r + 2 * L + j), a2i = Load<V>(i + 2 * L + j);
            Multiply(Load<V>(r + 3 * L + j), Load<V>(i + 3 * L + j), w1r, w1i, tr, ti);
            const V b2r = a2r + tr, b2i = a2i + ti;
            const V b3r = a2r - tr, b3i = a2i - ti;
            Multiply(b2r, b2i, w2r, w2i, tr, ti);
            Store(r + j, b0r + tr);
            Store(i + j, b0i + ti);
            Store(r + 2 * L + j, b0r - tr);
            Store(i + 2 * L + j, b0i - ti);
            Multiply(b3r, b3i, w3r, w3i, tr, ti);
            Store(r + L + j, b1r + tr);
            Store(i + L + j, b1i + ti);
            Store(r + 3 * L + j, b1r - tr);
            Store(i + 3 * L + j, b1i - ti);
        }
    }
}

// Stages of half-size 1 and 2 on groups of four; only the butterfly (1, 3)
// of the second stage has a twiddle other than 1.
[[gnu::always_inline]] inline void FirstPass(float* re, float* im, int n, float wr, float wi)
{
    for (int base = 0; base < n; base += 4) {
        float* r = re + base;
        float* i = im + base;
        const float b0r = r[0] + r[1], b0i = i[0] + i[1];
        const float b1r = r[0] - r[1], b1i = i[0] - i[1];
        const float b2r = r[2] + r[3], b2i = i[2] + i[3];
        const float b3r = r[2] - r[3], b3i = i[2] - i[3];
        const float tr = b3r * wr - b3i * wi;
        const float ti = b3r * wi + b3i * wr;
        r[0] = b0r + b2r;
        i[0] = b0i + b2i;
        r[2] = b0r - b2r;
        i[2] = b0i - b2i;
        r[1] = b1r + tr;
        i[1] = b1i + ti;
        r[3] = b1r - tr;
        i[3] = b1i - ti;
    }
}

[[gnu::always_inline]] inline void TransformBody(float* re, float* im, int n, int log2n,
                                                 const std::uint32_t* swaps, std::size_t swapCount,
                                                 const float* twr, const float* twi)
{
    for (std::size_t s = 0; s < swapCount; s += 2) {
        const std::uint32_t a = swaps[s];
        const std::uint32_t b = swaps[s + 1];
        std::swap(re[a], re[b]);
        std::swap(im[a], im[b]);
    }
    if (n == 2) {
        const float r0 = re[0], i0 = im[0];
        re[0] = r0 + re[1];
        im[0] = i0 + im[1];
        re[1] = r0 - re[1];
        im[1] = i0 - im[1];
        return;
    }
    FirstPass(re, im, n, twr[3], twi[3]);
    int L = 4;
    int stagesLeft = log2n - 2;
    if (stagesLeft % 2 != 0) {
        if (L == 4)
            Radix2Pass<v4f>(re, im, twr, twi, n, L);
        L *= 2;
        --stagesLeft;
    }
    for (; stagesLeft > 0; stagesLeft -= 2, L *= 4) {
        if (L == 4)
            Radix4Pass<v4f>(re, im, twr, twi, n, L);
        else
            Radix4Pass<v8f>(re, im, twr, twi, n, L);
    }
}

void TransformPortable(float* re, float* im, int n, int log2n, const std::uint32_t* swaps,
                       std::size_t swapCount, const float* twr, const float* twi)
{
    TransformBody(re, im, n, log2n, swaps, swapCount, twr, twi);
}

#if defined(__x86_64__)
[[gnu::target("avx2,fma")]] void TransformAvx2(float* re, float* im, int n, int log2n,
                                               const std::uint32_t* swaps, std::size_t swapCount,
                                               const float* twr, const float* twi)
{
    TransformBody(re, im, n, log2n, swaps, swapCount, twr, twi);
}

bool HasAvx2Fma()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
#endif

} // namespace

bool FftPlan::Prepare(int n)
{
    if (n == m_n && n != 0)
        return true;
    m_n = 0;
    m_log2 = 0;
    m_swaps.clear();
    m_twiddleRe.clear();
    m_twiddleIm.clear();
    if (n < 2 || (n & (n - 1)) != 0)
        return false;

    int log2n = 0;
    while ((1 << log2n) < n)
        ++log2n;

    // Bit-reversal permutation, in the order of the classic index update.
    std::vector<std::uint32_t> swaps;
    swaps.reserve(n);
    int j = 0;
    for (int i = 1; i < n; ++i) {
        int k = n;
        do {
            k /= 2;
        } while (k + j > n - 1);
        j = j % k + k;
        if (j > i) {
            swaps.push_back(static_cast<std::uint32_t>(i));
            swaps.push_back(static_cast<std::uint32_t>(j));
        }
    }

    std::vector<float> twr(n), twi(n);
    for (int mmax = 1; mmax < n; mmax *= 2) {
        for (int m = 1; m <= mmax; ++m) {
            const double theta = (1 - m) * kFftPi / mmax;
            twr[mmax + m - 1] = static_cast<float>(std::cos(theta));
            twi[mmax + m - 1] = static_cast<float>(std::sin(theta));
        }
    }

    m_swaps = std::move(swaps);
    m_twiddleRe = std::move(twr);
    m_twiddleIm = std::move(twi);
    m_log2 = log2n;
    m_n = n;
    return true;
}

void FftPlan::Transform(float* re, float* im) const
{
    if (m_n == 0)
        return;
#if defined(__x86_64__)
    static const bool avx2 = HasAvx2Fma();
    if (avx2 && !m_portable) {
        TransformAvx2(re, im, m_n, m_log2, m_swaps.data(), m_swaps.size(), m_twiddleRe.data(),
                      m_twiddleIm.data());
        return;
    }
#endif
    TransformPortable(re, im, m_n, m_log2, m_swaps.data(), m_swaps.size(), m_twiddleRe.data(),
                      m_twiddleIm.data());
}
