#include "analysis/fftplan.h"

#include <cmath>
#include <utility>

namespace {

// The π of the transform's trigonometry.
constexpr double kFftPi = 3.1415926535;

using v16f = float __attribute__((vector_size(64)));
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

struct Tables {
    int n;
    int log2n;
    const std::uint32_t* swaps;
    std::size_t swapCount;
    const float* twr;
    const float* twi;
    const std::uint32_t* middleReverse;
    const std::uint8_t* tileReverse;
};

std::uint32_t ReverseBits(std::uint32_t v, int bits)
{
    std::uint32_t r = 0;
    for (int i = 0; i < bits; ++i, v >>= 1)
        r = (r << 1) | (v & 1u);
    return r;
}

// Loads x[i]·w[i]·c (w null: x[i]·c).
template <class V>
[[gnu::always_inline]] inline V LoadWeighted(const float* x, const float* w, V c, int i)
{
    V v = Load<V>(x + i);
    if (w)
        v = v * (Load<V>(w + i) * c);
    else
        v = v * c;
    return v;
}

// Stages of half-size 1 and 2, run before the bit-reversal permutation: the
// group of four that lands at permuted positions 4g … 4g+3 sits at natural
// positions r, r + N/2, r + N/4, r + 3N/4 (r the reversal of g), so the
// groups are contiguous in r and the window and the scale are applied on
// the way in. Only butterfly (1, 3) of the second stage has a twiddle other
// than 1. Outputs return to the positions their inputs came from.
//
// With a real `source` the input is source[i] (weighted) with imaginary
// part 0: re and im are only written, and source may be re itself.
template <class V>
[[gnu::always_inline]] inline void FirstStagesBeforePermutation(float* re, float* im, int n, float wr, float wi,
                                                                const float* window, float scale, bool weighted,
                                                                const float* source)
{
    constexpr int W = sizeof(V) / sizeof(float);
    const int q = n / 4;
    const V vwr = V{} + wr, vwi = V{} + wi, c = V{} + scale;
    for (int r = 0; r < q; r += W) {
        const int p0 = r, p1 = r + 2 * q, p2 = r + q, p3 = r + 3 * q;
        V x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i;
        if (source) {
            x0i = x1i = x2i = x3i = V{};
            if (weighted) {
                x0r = LoadWeighted(source, window, c, p0), x1r = LoadWeighted(source, window, c, p1);
                x2r = LoadWeighted(source, window, c, p2), x3r = LoadWeighted(source, window, c, p3);
            } else {
                x0r = Load<V>(source + p0), x1r = Load<V>(source + p1);
                x2r = Load<V>(source + p2), x3r = Load<V>(source + p3);
            }
        } else if (weighted) {
            x0r = LoadWeighted(re, window, c, p0), x0i = LoadWeighted(im, window, c, p0);
            x1r = LoadWeighted(re, window, c, p1), x1i = LoadWeighted(im, window, c, p1);
            x2r = LoadWeighted(re, window, c, p2), x2i = LoadWeighted(im, window, c, p2);
            x3r = LoadWeighted(re, window, c, p3), x3i = LoadWeighted(im, window, c, p3);
        } else {
            x0r = Load<V>(re + p0), x0i = Load<V>(im + p0);
            x1r = Load<V>(re + p1), x1i = Load<V>(im + p1);
            x2r = Load<V>(re + p2), x2i = Load<V>(im + p2);
            x3r = Load<V>(re + p3), x3i = Load<V>(im + p3);
        }
        const V b0r = x0r + x1r, b0i = x0i + x1i;
        const V b1r = x0r - x1r, b1i = x0i - x1i;
        const V b2r = x2r + x3r, b2i = x2i + x3i;
        const V b3r = x2r - x3r, b3i = x2i - x3i;
        V tr, ti;
        Multiply(b3r, b3i, vwr, vwi, tr, ti);
        Store(re + p0, b0r + b2r);
        Store(im + p0, b0i + b2i);
        Store(re + p2, b0r - b2r);
        Store(im + p2, b0i - b2i);
        Store(re + p1, b1r + tr);
        Store(im + p1, b1i + ti);
        Store(re + p3, b1r - tr);
        Store(im + p3, b1i - ti);
    }
}

// Stages of half-size 4 and 8 before the permutation. The butterfly of
// permuted positions p, p+4, p+8, p+12 (twiddle index j = p mod 4) sits at
// natural positions m, m + N/8, m + N/16, m + 3N/16, where the top two bits
// of m are the reversal of j; within each quarter of the array the twiddles
// are the same, and the butterflies run contiguously in m.
template <class V>
[[gnu::always_inline]] inline void SecondStagesBeforePermutation(float* re, float* im, int n, const float* twr,
                                                                 const float* twi)
{
    constexpr int W = sizeof(V) / sizeof(float);
    constexpr int kReverse2[4] = {0, 2, 1, 3};
    const int quarter = n / 4;
    const int d1 = n / 8, d2 = n / 16;
    for (int top = 0; top < 4; ++top) {
        const int j = kReverse2[top];
        const V w1r = V{} + twr[4 + j], w1i = V{} + twi[4 + j];
        const V w2r = V{} + twr[8 + j], w2i = V{} + twi[8 + j];
        const V w3r = V{} + twr[12 + j], w3i = V{} + twi[12 + j];
        const int base = top * quarter;
        for (int m = base; m < base + d2; m += W) {
            float* r = re + m;
            float* i = im + m;
            const V a0r = Load<V>(r), a0i = Load<V>(i);
            V tr, ti;
            Multiply(Load<V>(r + d1), Load<V>(i + d1), w1r, w1i, tr, ti);
            const V b0r = a0r + tr, b0i = a0i + ti;
            const V b1r = a0r - tr, b1i = a0i - ti;
            const V a2r = Load<V>(r + d2), a2i = Load<V>(i + d2);
            Multiply(Load<V>(r + d1 + d2), Load<V>(i + d1 + d2), w1r, w1i, tr, ti);
            const V b2r = a2r + tr, b2i = a2i + ti;
            const V b3r = a2r - tr, b3i = a2i - ti;
            Multiply(b2r, b2i, w2r, w2i, tr, ti);
            Store(r, b0r + tr);
            Store(i, b0i + ti);
            Store(r + d2, b0r - tr);
            Store(i + d2, b0i - ti);
            Multiply(b3r, b3i, w3r, w3i, tr, ti);
            Store(r + d1, b1r + tr);
            Store(i + d1, b1i + ti);
            Store(r + d1 + d2, b1r - tr);
            Store(i + d1 + d2, b1i - ti);
        }
    }
}

// The tiles of the bit-reversal permutation: 2^kTileBits × 2^kTileBits.
constexpr int kTileBits = 4;
constexpr int kTile = 1 << kTileBits;

// Transposes the 8 × 8 block r[0 … 7] (rows of eight) in place.
[[gnu::always_inline]] inline void Transpose8(v8f* r)
{
    // __builtin_shufflevector: the one shuffle that GCC (12 on) and clang share.
    v8f t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = __builtin_shufflevector(r[i], r[i + 1], 0, 8, 1, 9, 4, 12, 5, 13);
        t[i + 1] = __builtin_shufflevector(r[i], r[i + 1], 2, 10, 3, 11, 6, 14, 7, 15);
    }
    for (int i = 0; i < 8; i += 4) {
        u[i] = __builtin_shufflevector(t[i], t[i + 2], 0, 1, 8, 9, 4, 5, 12, 13);
        u[i + 1] = __builtin_shufflevector(t[i], t[i + 2], 2, 3, 10, 11, 6, 7, 14, 15);
        u[i + 2] = __builtin_shufflevector(t[i + 1], t[i + 3], 0, 1, 8, 9, 4, 5, 12, 13);
        u[i + 3] = __builtin_shufflevector(t[i + 1], t[i + 3], 2, 3, 10, 11, 6, 7, 14, 15);
    }
    for (int i = 0; i < 4; ++i) {
        r[i] = __builtin_shufflevector(u[i], u[i + 4], 0, 1, 2, 3, 8, 9, 10, 11);
        r[i + 4] = __builtin_shufflevector(u[i], u[i + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    }
}

// Reads the 16 × 16 tile of middle index b, rows (top bits a) stored in
// bit-reversed order, and transposes it: tile[c] then holds, at position
// rev a, the element (a, b, c) — the run to be written at (rev c, ·, ·).
[[gnu::always_inline]] inline void LoadTransposedTile(const float* data, int b, int high, const std::uint8_t* rev,
                                                      v8f (&tile)[kTile][2])
{
    v8f block[4][8];   // [quadrant: rows 0-7/8-15 × columns 0-7/8-15][row]
    for (int a = 0; a < kTile; ++a) {
        const float* row = data + (a << high) + (b << kTileBits);
        const int ra = rev[a];
        block[(ra >> 3) * 2][ra & 7] = Load<v8f>(row);
        block[(ra >> 3) * 2 + 1][ra & 7] = Load<v8f>(row + 8);
    }
    for (auto& q : block)
        Transpose8(q);
    for (int c = 0; c < 8; ++c) {
        tile[c][0] = block[0][c];
        tile[c][1] = block[2][c];
        tile[c + 8][0] = block[1][c];
        tile[c + 8][1] = block[3][c];
    }
}

// Bit-reversal permutation in tiles: with the index split into top bits a,
// middle bits b and low bits c (a and c of kTileBits each), the reversal
// sends (a, b, c) to (rev c, rev b, rev a). The tile of one b is read as
// 2^kTileBits runs of contiguous c and written, transposed, as runs of
// contiguous rev a, so every cache line is touched once instead of once per
// element. Tiles b and rev b trade places.
[[gnu::always_inline]] inline void PermuteTiles(float* data, const Tables& t)
{
    const int middleBits = t.log2n - 2 * kTileBits;
    const int high = middleBits + kTileBits;
    const int middleCount = 1 << middleBits;
    v8f tileB[kTile][2];
    v8f tileR[kTile][2];
    for (int b = 0; b < middleCount; ++b) {
        const int rb = static_cast<int>(t.middleReverse[b]);
        if (rb < b)
            continue;
        LoadTransposedTile(data, b, high, t.tileReverse, tileB);
        if (rb != b)
            LoadTransposedTile(data, rb, high, t.tileReverse, tileR);
        for (int c = 0; c < kTile; ++c) {
            const int rc = t.tileReverse[c];
            float* rowToR = data + (rc << high) + (rb << kTileBits);
            Store(rowToR, tileB[c][0]);
            Store(rowToR + 8, tileB[c][1]);
            if (rb != b) {
                float* rowToB = data + (rc << high) + (b << kTileBits);
                Store(rowToB, tileR[c][0]);
                Store(rowToB + 8, tileR[c][1]);
            }
        }
    }
}

[[gnu::always_inline]] inline void Permute(float* re, float* im, const Tables& t)
{
    if (t.log2n >= 2 * kTileBits) {
        PermuteTiles(re, t);
        PermuteTiles(im, t);
        return;
    }
    for (std::size_t s = 0; s < t.swapCount; s += 2) {
        const std::uint32_t a = t.swaps[s];
        const std::uint32_t b = t.swaps[s + 1];
        std::swap(re[a], re[b]);
        std::swap(im[a], im[b]);
    }
}

// The whole transform with vectors of type Wide where the contiguous runs
// are long enough, narrower ones below. `window` (N values, or null) and
// `scale` weight the input; weighted = false skips both.
template <class Wide>
[[gnu::always_inline]] inline void TransformBody(float* re, float* im, const Tables& t, const float* window,
                                                 float scale, bool weighted, const float* source)
{
    constexpr int W = sizeof(Wide) / sizeof(float);
    const int n = t.n;
    if (n == 2) {
        if (source) {
            re[1] = source[1];
            re[0] = source[0];
            im[0] = im[1] = 0.0f;
        }
        float r0 = re[0], i0 = im[0], r1 = re[1], i1 = im[1];
        if (weighted) {
            const float w0 = (window ? window[0] : 1.0f) * scale, w1 = (window ? window[1] : 1.0f) * scale;
            r0 *= w0, i0 *= w0, r1 *= w1, i1 *= w1;
        }
        re[0] = r0 + r1;
        im[0] = i0 + i1;
        re[1] = r0 - r1;
        im[1] = i0 - i1;
        return;
    }
    if (n / 4 >= W)
        FirstStagesBeforePermutation<Wide>(re, im, n, t.twr[3], t.twi[3], window, scale, weighted, source);
    else if (n / 4 >= 8)
        FirstStagesBeforePermutation<v8f>(re, im, n, t.twr[3], t.twi[3], window, scale, weighted, source);
    else
        FirstStagesBeforePermutation<float>(re, im, n, t.twr[3], t.twi[3], window, scale, weighted, source);
    int L = 4;
    if (n >= 128) {
        if (n / 16 >= W)
            SecondStagesBeforePermutation<Wide>(re, im, n, t.twr, t.twi);
        else
            SecondStagesBeforePermutation<v8f>(re, im, n, t.twr, t.twi);
        L = 16;
    }
    Permute(re, im, t);
    int stagesLeft = t.log2n - (L == 4 ? 2 : 4);
    if (stagesLeft % 2 != 0) {
        if (L == 4)
            Radix2Pass<v4f>(re, im, t.twr, t.twi, n, L);
        else if (L >= W)
            Radix2Pass<Wide>(re, im, t.twr, t.twi, n, L);
        else
            Radix2Pass<v8f>(re, im, t.twr, t.twi, n, L);
        L *= 2;
        --stagesLeft;
    }
    for (; stagesLeft > 0; stagesLeft -= 2, L *= 4) {
        if (L == 4)
            Radix4Pass<v4f>(re, im, t.twr, t.twi, n, L);
        else if (L >= W)
            Radix4Pass<Wide>(re, im, t.twr, t.twi, n, L);
        else
            Radix4Pass<v8f>(re, im, t.twr, t.twi, n, L);
    }
}

void TransformPortable(float* re, float* im, const Tables& t, const float* window, float scale, bool weighted,
                        const float* source)
{
    TransformBody<v8f>(re, im, t, window, scale, weighted, source);
}

#if defined(__x86_64__)
[[gnu::target("avx2,fma")]] void TransformAvx2(float* re, float* im, const Tables& t, const float* window,
                                               float scale, bool weighted, const float* source)
{
    TransformBody<v8f>(re, im, t, window, scale, weighted, source);
}

[[gnu::target("avx512f")]] void TransformAvx512(float* re, float* im, const Tables& t, const float* window,
                                                float scale, bool weighted, const float* source)
{
    TransformBody<v16f>(re, im, t, window, scale, weighted, source);
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

    // Bit-reversal permutation: tiles for the longer transforms, else the
    // swaps of the classic index update.
    m_middleReverse.clear();
    for (int c = 0; c < kTile; ++c)
        m_tileReverse[c] = static_cast<std::uint8_t>(ReverseBits(c, kTileBits));
    if (log2n >= 2 * kTileBits) {
        const int middleBits = log2n - 2 * kTileBits;
        m_middleReverse.resize(std::size_t(1) << middleBits);
        for (std::uint32_t b = 0; b < m_middleReverse.size(); ++b)
            m_middleReverse[b] = ReverseBits(b, middleBits);
    }
    std::vector<std::uint32_t> swaps;
    if (log2n < 2 * kTileBits)
        swaps.reserve(n);
    int j = 0;
    for (int i = 1; i < n; ++i) {
        int k = n;
        do {
            k /= 2;
        } while (k + j > n - 1);
        j = j % k + k;
        if (j > i && log2n < 2 * kTileBits) {
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
    Run(re, im, nullptr, 1.0f, false, nullptr);
}

void FftPlan::TransformWeighted(float* re, float* im, const float* window, float scale) const
{
    Run(re, im, window, scale, window != nullptr || scale != 1.0f, nullptr);
}

void FftPlan::TransformReal(const float* x, float* re, float* im, const float* window, float scale) const
{
    Run(re, im, window, scale, window != nullptr || scale != 1.0f, x);
}

void FftPlan::Run(float* re, float* im, const float* window, float scale, bool weighted, const float* source) const
{
    if (m_n == 0)
        return;
    const Tables tables{m_n,
                        m_log2,
                        m_swaps.data(),
                        m_swaps.size(),
                        m_twiddleRe.data(),
                        m_twiddleIm.data(),
                        m_middleReverse.data(),
                        m_tileReverse.data()};
    switch (ActiveKernel()) {
#if defined(__x86_64__)
    case Kernel::Avx512:
        TransformAvx512(re, im, tables, window, scale, weighted, source);
        return;
    case Kernel::Avx2:
        TransformAvx2(re, im, tables, window, scale, weighted, source);
        return;
#endif
    default:
        TransformPortable(re, im, tables, window, scale, weighted, source);
        return;
    }
}
