#include "analysis/fftplan.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
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
            // The stage-2L twiddle of j + L is −i times that of j.
            const V w2r = Load<V>(twr + 2 * L + j), w2i = Load<V>(twi + 2 * L + j);
            const V w3r = w2i, w3i = -w2r;
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

// What the first pass reads: the arrays themselves, or a real `source`
// (source[i] with imaginary part 0; with `packed` the pairs source[2i],
// source[2i + 1] as real and imaginary part), each weighted by
// window[i]·scale when `weighted` (window null: by scale alone).
struct Input {
    const float* source = nullptr;
    const float* window = nullptr;
    float scale = 1.0f;
    bool weighted = false;
    bool packed = false;
};

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

// Splits the 2W values a, b (one run) into their even- and odd-indexed
// elements.
[[gnu::always_inline]] inline void Deinterleave(float a, float b, float& even, float& odd)
{
    even = a;
    odd = b;
}

[[gnu::always_inline]] inline void Deinterleave(v4f a, v4f b, v4f& even, v4f& odd)
{
    even = __builtin_shufflevector(a, b, 0, 2, 4, 6);
    odd = __builtin_shufflevector(a, b, 1, 3, 5, 7);
}

[[gnu::always_inline]] inline void Deinterleave(v8f a, v8f b, v8f& even, v8f& odd)
{
    even = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
    odd = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15);
}

[[gnu::always_inline]] inline void Deinterleave(v16f a, v16f b, v16f& even, v16f& odd)
{
    even = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    odd = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
}

// The inverse of Deinterleave: the runs lo, hi alternate elements of even
// and odd.
[[gnu::always_inline]] inline void Interleave(float even, float odd, float& lo, float& hi)
{
    lo = even;
    hi = odd;
}

[[gnu::always_inline]] inline void Interleave(v4f even, v4f odd, v4f& lo, v4f& hi)
{
    lo = __builtin_shufflevector(even, odd, 0, 4, 1, 5);
    hi = __builtin_shufflevector(even, odd, 2, 6, 3, 7);
}

[[gnu::always_inline]] inline void Interleave(v8f even, v8f odd, v8f& lo, v8f& hi)
{
    lo = __builtin_shufflevector(even, odd, 0, 8, 1, 9, 2, 10, 3, 11);
    hi = __builtin_shufflevector(even, odd, 4, 12, 5, 13, 6, 14, 7, 15);
}

[[gnu::always_inline]] inline void Interleave(v16f even, v16f odd, v16f& lo, v16f& hi)
{
    lo = __builtin_shufflevector(even, odd, 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    hi = __builtin_shufflevector(even, odd, 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
}

// The elements of v in reverse order.
[[gnu::always_inline]] inline float Reverse(float v) { return v; }

[[gnu::always_inline]] inline v4f Reverse(v4f v) { return __builtin_shufflevector(v, v, 3, 2, 1, 0); }

[[gnu::always_inline]] inline v8f Reverse(v8f v) { return __builtin_shufflevector(v, v, 7, 6, 5, 4, 3, 2, 1, 0); }

[[gnu::always_inline]] inline v16f Reverse(v16f v)
{
    return __builtin_shufflevector(v, v, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
}

// The complex values p … p+W−1 of a real signal read as pairs:
// re = x[2i]·w[2i]·c, im = x[2i+1]·w[2i+1]·c (unweighted: x alone).
template <class V>
[[gnu::always_inline]] inline void LoadPacked(const float* x, const float* w, V c, bool weighted, int p, V& re,
                                              V& im)
{
    constexpr int W = sizeof(V) / sizeof(float);
    V a, b;
    if (weighted) {
        a = LoadWeighted(x, w, c, 2 * p);
        b = LoadWeighted(x, w, c, 2 * p + W);
    } else {
        a = Load<V>(x + 2 * p);
        b = Load<V>(x + 2 * p + W);
    }
    Deinterleave(a, b, re, im);
}

// Stages of half-size 1 and 2, run before the bit-reversal permutation: the
// group of four that lands at permuted positions 4g … 4g+3 sits at natural
// positions r, r + N/2, r + N/4, r + 3N/4 (r the reversal of g), so the
// groups are contiguous in r and the window and the scale are applied on
// the way in. Only butterfly (1, 3) of the second stage has a twiddle other
// than 1. Outputs return to the positions their inputs came from.
//
// With a `source` (see Input) re and im are only written; an unpacked
// source may be re itself, a packed one must not overlap re or im.
template <class V>
[[gnu::always_inline]] inline void FirstStagesBeforePermutation(float* re, float* im, int n, float wr, float wi,
                                                                const Input& in)
{
    constexpr int W = sizeof(V) / sizeof(float);
    const int q = n / 4;
    const V vwr = V{} + wr, vwi = V{} + wi, c = V{} + in.scale;
    const float* source = in.source;
    const float* window = in.window;
    const bool weighted = in.weighted;
    for (int r = 0; r < q; r += W) {
        const int p0 = r, p1 = r + 2 * q, p2 = r + q, p3 = r + 3 * q;
        V x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i;
        if (in.packed) {
            LoadPacked(source, window, c, weighted, p0, x0r, x0i);
            LoadPacked(source, window, c, weighted, p1, x1r, x1i);
            LoadPacked(source, window, c, weighted, p2, x2r, x2i);
            LoadPacked(source, window, c, weighted, p3, x3r, x3i);
        } else if (source) {
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

// Transposes the 4 × 4 block r[0 … 3] (rows of four) in place, with the
// shuffles SSE2 has.
[[gnu::always_inline]] inline void Transpose(v4f* r)
{
    const v4f t0 = __builtin_shufflevector(r[0], r[1], 0, 4, 1, 5);
    const v4f t1 = __builtin_shufflevector(r[0], r[1], 2, 6, 3, 7);
    const v4f t2 = __builtin_shufflevector(r[2], r[3], 0, 4, 1, 5);
    const v4f t3 = __builtin_shufflevector(r[2], r[3], 2, 6, 3, 7);
    r[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    r[1] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    r[2] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    r[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

[[gnu::always_inline]] inline void Transpose(v8f* r) { Transpose8(r); }

// Reads the 16 × 16 tile of middle index b, rows (top bits a) stored in
// bit-reversed order, and transposes it in blocks of V's width: tile[c]
// then holds, at position rev a, the element (a, b, c) — the run to be
// written at (rev c, ·, ·).
template <class V>
[[gnu::always_inline]] inline void LoadTransposedTile(const float* data, int b, int high, const std::uint8_t* rev,
                                                      V (&tile)[kTile][kTile / (sizeof(V) / sizeof(float))])
{
    constexpr int W = sizeof(V) / sizeof(float);
    constexpr int Q = kTile / W;
    V block[Q][Q][W];   // [block of rows rev a][block of columns c][row in the block]
    for (int a = 0; a < kTile; ++a) {
        const float* row = data + (a << high) + (b << kTileBits);
        const int ra = rev[a];
        for (int qc = 0; qc < Q; ++qc)
            block[ra / W][qc][ra % W] = Load<V>(row + qc * W);
    }
    for (auto& rows : block)
        for (auto& square : rows)
            Transpose(square);
    for (int c = 0; c < kTile; ++c)
        for (int qr = 0; qr < Q; ++qr)
            tile[c][qr] = block[qr][c / W][c % W];
}

// Bit-reversal permutation in tiles: with the index split into top bits a,
// middle bits b and low bits c (a and c of kTileBits each), the reversal
// sends (a, b, c) to (rev c, rev b, rev a). The tile of one b is read as
// 2^kTileBits runs of contiguous c and written, transposed, as runs of
// contiguous rev a, so every cache line is touched once instead of once per
// element. Tiles b and rev b trade places.
template <class V>
[[gnu::always_inline]] inline void PermuteTiles(float* data, const Tables& t)
{
    constexpr int W = sizeof(V) / sizeof(float);
    constexpr int Q = kTile / W;
    const int middleBits = t.log2n - 2 * kTileBits;
    const int high = middleBits + kTileBits;
    const int middleCount = 1 << middleBits;
    V tileB[kTile][Q];
    V tileR[kTile][Q];
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
            for (int q = 0; q < Q; ++q)
                Store(rowToR + q * W, tileB[c][q]);
            if (rb != b) {
                float* rowToB = data + (rc << high) + (b << kTileBits);
                for (int q = 0; q < Q; ++q)
                    Store(rowToB + q * W, tileR[c][q]);
            }
        }
    }
}

// V: the vectors of the tile transposition.
template <class V>
[[gnu::always_inline]] inline void Permute(float* re, float* im, const Tables& t)
{
    if (t.log2n >= 2 * kTileBits) {
        PermuteTiles<V>(re, t);
        PermuteTiles<V>(im, t);
        return;
    }
    for (std::size_t s = 0; s < t.swapCount; s += 2) {
        const std::uint32_t a = t.swaps[s];
        const std::uint32_t b = t.swaps[s + 1];
        std::swap(re[a], re[b]);
        std::swap(im[a], im[b]);
    }
}

// The weight of input element i.
[[gnu::always_inline]] inline float InputWeight(const Input& in, int i)
{
    return in.weighted ? (in.window ? in.window[i] : 1.0f) * in.scale : 1.0f;
}

// One pass after the permutation over `length` points: a radix-2 stage of
// half-size `half` (the first pass when the stages left are odd) or the two
// radix-2 stages of half-size `half` and 2·half fused. Inlined into each
// kernel's function, so that it is compiled for that kernel's instructions.
template <class Wide>
[[gnu::always_inline]] inline void StagePass(float* re, float* im, const Tables& t, int length, int half,
                                             bool radix2)
{
    constexpr int W = sizeof(Wide) / sizeof(float);
    if (radix2) {
        if (half == 4)
            Radix2Pass<v4f>(re, im, t.twr, t.twi, length, half);
        else if (half >= W)
            Radix2Pass<Wide>(re, im, t.twr, t.twi, length, half);
        else
            Radix2Pass<v8f>(re, im, t.twr, t.twi, length, half);
    } else if (half == 4) {
        Radix4Pass<v4f>(re, im, t.twr, t.twi, length, half);
    } else if (half >= W) {
        Radix4Pass<Wide>(re, im, t.twr, t.twi, length, half);
    } else {
        Radix4Pass<v8f>(re, im, t.twr, t.twi, length, half);
    }
}

// Where the passes after the permutation stand: the half-size of the next
// pass, whether it is the single radix-2 one, the radix-2 stages left.
struct StageCursor {
    int half;
    bool radix2;
    int left;
};

// Runs the passes from `at` on `length` points for as long as their
// butterflies stay within them; returns where it stopped.
template <class Wide>
[[gnu::always_inline]] inline StageCursor RunStages(float* re, float* im, const Tables& t, int length,
                                                    StageCursor at)
{
    while (at.left > 0 && at.half * (at.radix2 ? 2 : 4) <= length) {
        StagePass<Wide>(re, im, t, length, at.half, at.radix2);
        at.left -= at.radix2 ? 1 : 2;
        at.half *= at.radix2 ? 2 : 4;
        at.radix2 = false;
    }
    return at;
}

// Points of the complex transform (re and im) that the passes after the
// permutation work on at a time: with their twiddles inside a 32 KiB
// first-level data cache.
constexpr int kCacheBlock = 2048;

// The whole complex transform of length t.n with vectors of type Wide where
// the contiguous runs are long enough, narrower ones below.
template <class Wide>
[[gnu::always_inline]] inline void TransformBody(float* re, float* im, const Tables& t, const Input& in)
{
    constexpr int W = sizeof(Wide) / sizeof(float);
    const int n = t.n;
    if (n == 2) {
        float r0, i0, r1, i1;
        if (in.packed) {
            r0 = in.source[0] * InputWeight(in, 0), i0 = in.source[1] * InputWeight(in, 1);
            r1 = in.source[2] * InputWeight(in, 2), i1 = in.source[3] * InputWeight(in, 3);
        } else if (in.source) {
            r0 = in.source[0] * InputWeight(in, 0), r1 = in.source[1] * InputWeight(in, 1);
            i0 = i1 = 0.0f;
        } else {
            r0 = re[0] * InputWeight(in, 0), i0 = im[0] * InputWeight(in, 0);
            r1 = re[1] * InputWeight(in, 1), i1 = im[1] * InputWeight(in, 1);
        }
        re[0] = r0 + r1;
        im[0] = i0 + i1;
        re[1] = r0 - r1;
        im[1] = i0 - i1;
        return;
    }
    if (n / 4 >= W)
        FirstStagesBeforePermutation<Wide>(re, im, n, t.twr[3], t.twi[3], in);
    else if (n / 4 >= 8)
        FirstStagesBeforePermutation<v8f>(re, im, n, t.twr[3], t.twi[3], in);
    else
        FirstStagesBeforePermutation<float>(re, im, n, t.twr[3], t.twi[3], in);
    int L = 4;
    if (n >= 128) {
        if (n / 16 >= W)
            SecondStagesBeforePermutation<Wide>(re, im, n, t.twr, t.twi);
        else
            SecondStagesBeforePermutation<v8f>(re, im, n, t.twr, t.twi);
        L = 16;
    }
    // Eight-wide tiles need AVX shuffles; SSE2 transposes 4 × 4 blocks.
    using TileVector = std::conditional_t<(W >= 8), v8f, v4f>;
    Permute<TileVector>(re, im, t);
    int stagesLeft = t.log2n - (L == 4 ? 2 : 4);
    // The passes whose butterflies stay within blocks of kCacheBlock points
    // run block by block, all of them on one block before the next, so that
    // a block stays in the first-level cache between them instead of every
    // pass streaming the whole array; the order of the arithmetic on each
    // value is the same. The passes left run over the whole array.
    const StageCursor first{L, stagesLeft % 2 != 0, stagesLeft};
    const int block = std::min(n, kCacheBlock);
    StageCursor rest = first;
    for (int base = 0; base < n; base += block)
        rest = RunStages<Wide>(re + base, im + base, t, block, first);
    RunStages<Wide>(re, im, t, n, rest);
}

// The tables of the real transforms of length 2M: the complex ones of the
// half length M and the split twiddles s[k] = ½·e^(−2πi·k/2M), k = 0 … M/2.
struct RealTables {
    int m;
    Tables half;
    const float* splitRe;
    const float* splitIm;
};

// One pair of the split pass. From Z[k] = a and Z[M−k] = b of the half-length
// transform of z[i] = x[2i] + i·x[2i+1], the spectra of the even and the odd
// samples are E = (a + conj b)/2 and O = (a − conj b)/2i, and
// X[k] = E + W^k·O, X[M−k] = conj(E − W^k·O) with W = e^(−2πi/2M); s = W^k/2.
template <class V>
[[gnu::always_inline]] inline void SplitPair(V ar, V ai, V br, V bi, V sr, V si, V& xr, V& xi, V& yr, V& yi)
{
    const V half = V{} + 0.5f;
    const V er = (ar + br) * half, ei = (ai - bi) * half;
    const V sum = ai + bi, difference = ar - br;
    const V tr = sr * sum + si * difference;
    const V ti = si * sum - sr * difference;
    xr = er + tr;
    xi = ei + ti;
    yr = er - tr;
    yi = ti - ei;
}

// Runs Pair over the mirrored pairs (k, M − k), k = 1 … M/2, of the arrays
// ar, ai (length M + 1) with the split twiddles s[k], writing the pair's
// results to re[k], im[k] and re[M − k], im[M − k]; runs of k below M/2 go
// in vectors with their partners above it reversed, the rest scalar. Each
// pair is read before it is written, so the output may be the input.
template <class V, class Pair>
[[gnu::always_inline]] inline void MirroredPairs(const float* ar, const float* ai, float* re, float* im,
                                                 const RealTables& t)
{
    constexpr int W = sizeof(V) / sizeof(float);
    const int m = t.m;
    int k = 1;
    for (; 2 * (k + W - 1) < m; k += W) {
        const int p = m - k - W + 1;
        V xr, xi, yr, yi;
        Pair::template Run<V>(Load<V>(ar + k), Load<V>(ai + k), Reverse(Load<V>(ar + p)), Reverse(Load<V>(ai + p)),
                              Load<V>(t.splitRe + k), Load<V>(t.splitIm + k), xr, xi, yr, yi);
        Store(re + k, xr);
        Store(im + k, xi);
        Store(re + p, Reverse(yr));
        Store(im + p, Reverse(yi));
    }
    for (; k <= m / 2; ++k) {
        float xr, xi, yr, yi;
        Pair::template Run<float>(ar[k], ai[k], ar[m - k], ai[m - k], t.splitRe[k], t.splitIm[k], xr, xi, yr, yi);
        re[k] = xr;
        im[k] = xi;
        re[m - k] = yr;
        im[m - k] = yi;
    }
}

struct SplitPairs {
    template <class V>
    [[gnu::always_inline]] static void Run(V ar, V ai, V br, V bi, V sr, V si, V& xr, V& xi, V& yr, V& yi)
    {
        SplitPair<V>(ar, ai, br, bi, sr, si, xr, xi, yr, yi);
    }
};

// Bins 0 … M of the real transform from Z (zr, zi: M values each, the
// half-length transform) into re and im. re and im may hold Z themselves:
// here Z sits in im[0 … 2M).
template <class V>
[[gnu::always_inline]] inline void SplitPass(const float* zr, const float* zi, float* re, float* im,
                                             const RealTables& t)
{
    const int m = t.m;
    const float z0r = zr[0], z0i = zi[0];
    re[0] = z0r + z0i;
    im[0] = 0.0f;
    re[m] = z0r - z0i;
    im[m] = 0.0f;
    MirroredPairs<V, SplitPairs>(zr, zi, re, im, t);
}

// The inverse of SplitPair: from X[k] = a and X[M−k] = b, with
// S = a + conj b and D = a − conj b, Z[k] = S + i·W^−k·D and
// Z[M−k] = conj S + i·conj(W^−k·D); q = conj(s)·D = W^−k·D/2.
template <class V>
[[gnu::always_inline]] inline void UnsplitPair(V ar, V ai, V br, V bi, V sr, V si, V& xr, V& xi, V& yr, V& yi)
{
    const V sumRe = ar + br, sumIm = ai - bi;
    const V differenceRe = ar - br, differenceIm = ai + bi;
    const V qr = sr * differenceRe + si * differenceIm;
    const V qi = sr * differenceIm - si * differenceRe;
    xr = sumRe - (qi + qi);
    xi = sumIm + (qr + qr);
    yr = sumRe + (qi + qi);
    yi = (qr + qr) - sumIm;
}

struct UnsplitPairs {
    template <class V>
    [[gnu::always_inline]] static void Run(V ar, V ai, V br, V bi, V sr, V si, V& xr, V& xi, V& yr, V& yi)
    {
        UnsplitPair<V>(ar, ai, br, bi, sr, si, xr, xi, yr, yi);
    }
};

// Z[0 … M−1] of the half-length inverse from bins 0 … M in re and im, in
// place (re, im [0 … M)).
template <class V>
[[gnu::always_inline]] inline void UnsplitPass(float* re, float* im, const RealTables& t)
{
    const int m = t.m;
    const float ar = re[0], ai = im[0], br = re[m], bi = im[m];
    re[0] = (ar + br) - (ai + bi);
    im[0] = (ai - bi) + (ar - br);
    MirroredPairs<V, UnsplitPairs>(re, im, re, im, t);
}

// x[2i] = even[i], x[2i+1] = odd[i], i < m.
template <class V>
[[gnu::always_inline]] inline void InterleaveInto(const float* even, const float* odd, int m, float* x)
{
    constexpr int W = sizeof(V) / sizeof(float);
    int i = 0;
    for (; i + W <= m; i += W) {
        V lo, hi;
        Interleave(Load<V>(even + i), Load<V>(odd + i), lo, hi);
        Store(x + 2 * i, lo);
        Store(x + 2 * i + W, hi);
    }
    for (; i < m; ++i) {
        x[2 * i] = even[i];
        x[2 * i + 1] = odd[i];
    }
}

// The real transform of length 2M: the complex transform of M points on the
// pairs of x (the weighting folded into its first pass), in im[0 … 2M) as
// work memory, then the split pass into bins 0 … M of re and im.
template <class Wide>
[[gnu::always_inline]] inline void RealTransformBody(const float* x, float* re, float* im, const RealTables& t,
                                                     const float* window, float scale, bool weighted)
{
    const Input in{x, window, scale, weighted, true};
    const int m = t.m;
    if (m == 1) {
        const float x0 = x[0] * InputWeight(in, 0), x1 = x[1] * InputWeight(in, 1);
        re[0] = x0 + x1;
        re[1] = x0 - x1;
        im[0] = im[1] = 0.0f;
        return;
    }
    float* zr = im;
    float* zi = im + m;
    TransformBody<Wide>(zr, zi, t.half, in);
    SplitPass<Wide>(zr, zi, re, im, t);
}

// The inverse: bins 0 … M of re and im (destroyed) into x[0 … 2M).
template <class Wide>
[[gnu::always_inline]] inline void RealInverseBody(float* re, float* im, float* x, const RealTables& t)
{
    const int m = t.m;
    UnsplitPass<Wide>(re, im, t);
    // The forward transform of i·conj(Z) is i·conj(z), z the unnormalised
    // inverse of Z: with real and imaginary arrays swapped on the way in and
    // out, the forward transform runs the inverse.
    if (m > 1)
        TransformBody<Wide>(im, re, t.half, Input{});
    InterleaveInto<Wide>(re, im, m, x);
}

// The three entry points of each kernel.
#define KRV_FFT_KERNEL(suffix, attributes, Wide)                                                                   \
    attributes void Transform##suffix(float* re, float* im, const Tables& t, const Input& in)                     \
    {                                                                                                              \
        TransformBody<Wide>(re, im, t, in);                                                                        \
    }                                                                                                              \
    attributes void RealTransform##suffix(const float* x, float* re, float* im, const RealTables& t,              \
                                          const float* window, float scale, bool weighted)                         \
    {                                                                                                              \
        RealTransformBody<Wide>(x, re, im, t, window, scale, weighted);                                            \
    }                                                                                                              \
    attributes void RealInverse##suffix(float* re, float* im, float* x, const RealTables& t)                      \
    {                                                                                                              \
        RealInverseBody<Wide>(re, im, x, t);                                                                       \
    }

// The portable kernel keeps to SSE2's width: GCC lowers shuffles of wider
// generic vectors to scalar code there.
KRV_FFT_KERNEL(Portable, , v4f)
#if defined(__x86_64__)
KRV_FFT_KERNEL(Avx2, [[gnu::target("avx2,fma")]], v8f)
KRV_FFT_KERNEL(Avx512, [[gnu::target("avx512f")]], v16f)
#endif
#undef KRV_FFT_KERNEL

std::vector<std::uint32_t> MiddleReverse(int log2n)
{
    std::vector<std::uint32_t> reverse;
    if (log2n >= 2 * kTileBits) {
        const int middleBits = log2n - 2 * kTileBits;
        reverse.resize(std::size_t(1) << middleBits);
        for (std::uint32_t b = 0; b < reverse.size(); ++b)
            reverse[b] = ReverseBits(b, middleBits);
    }
    return reverse;
}

// The swaps of the classic index update, for the lengths too short for tiles.
std::vector<std::uint32_t> Swaps(int n, int log2n)
{
    std::vector<std::uint32_t> swaps;
    if (log2n >= 2 * kTileBits)
        return swaps;
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
    return swaps;
}

} // namespace

void FftPlan::Permutation::Prepare(int n, int log2n)
{
    swaps = Swaps(n, log2n);
    middleReverse = MiddleReverse(log2n);
}

bool FftPlan::Prepare(int n)
{
    if (n == m_n && n != 0)
        return true;
    m_n = 0;
    m_log2 = 0;
    if (n < 2 || (n & (n - 1)) != 0)
        return false;

    int log2n = 0;
    while ((1 << log2n) < n)
        ++log2n;

    for (int c = 0; c < kTile; ++c)
        m_tileReverse[c] = static_cast<std::uint8_t>(ReverseBits(c, kTileBits));
    m_full.Prepare(n, log2n);
    m_half.Prepare(n / 2, log2n - 1);

    m_twiddleRe.assign(n, 0.0f);
    m_twiddleIm.assign(n, 0.0f);
    for (int mmax = 1; mmax < n; mmax *= 2) {
        for (int m = 1; m <= mmax; ++m) {
            const double theta = (1 - m) * kFftPi / mmax;
            m_twiddleRe[mmax + m - 1] = static_cast<float>(std::cos(theta));
            m_twiddleIm[mmax + m - 1] = static_cast<float>(std::sin(theta));
        }
    }
    // Half the twiddles e^(−2πi·k/N) of the last stage, k = 0 … N/4.
    const int splitCount = n / 4 + 1;
    m_splitRe.resize(splitCount);
    m_splitIm.resize(splitCount);
    for (int k = 0; k < splitCount; ++k) {
        const double theta = -k * kFftPi / (n / 2);
        m_splitRe[k] = static_cast<float>(0.5 * std::cos(theta));
        m_splitIm[k] = static_cast<float>(0.5 * std::sin(theta));
    }
    m_log2 = log2n;
    m_n = n;
    return true;
}

namespace {

Tables MakeTables(int n, int log2n, const std::vector<std::uint32_t>& swaps,
                  const std::vector<std::uint32_t>& middleReverse, const std::vector<float>& twr,
                  const std::vector<float>& twi, const std::array<std::uint8_t, 16>& tileReverse)
{
    return Tables{n,          log2n,      swaps.data(), swaps.size(), twr.data(), twi.data(), middleReverse.data(),
                  tileReverse.data()};
}

} // namespace

void FftPlan::Transform(float* re, float* im) const
{
    RunComplex(re, im, nullptr, 1.0f, false);
}

void FftPlan::TransformWeighted(float* re, float* im, const float* window, float scale) const
{
    RunComplex(re, im, window, scale, window != nullptr || scale != 1.0f);
}

void FftPlan::RunComplex(float* re, float* im, const float* window, float scale, bool weighted) const
{
    if (m_n == 0)
        return;
    const Tables tables = MakeTables(m_n, m_log2, m_full.swaps, m_full.middleReverse, m_twiddleRe, m_twiddleIm,
                                     m_tileReverse);
    const Input in{nullptr, window, scale, weighted, false};
    switch (ActiveKernel()) {
#if defined(__x86_64__)
    case Kernel::Avx512:
        return TransformAvx512(re, im, tables, in);
    case Kernel::Avx2:
        return TransformAvx2(re, im, tables, in);
#endif
    default:
        return TransformPortable(re, im, tables, in);
    }
}

void FftPlan::TransformReal(const float* x, float* re, float* im, const float* window, float scale) const
{
    if (m_n == 0)
        return;
    const RealTables tables{m_n / 2,
                            MakeTables(m_n / 2, m_log2 - 1, m_half.swaps, m_half.middleReverse, m_twiddleRe,
                                       m_twiddleIm, m_tileReverse),
                            m_splitRe.data(), m_splitIm.data()};
    const bool weighted = window != nullptr || scale != 1.0f;
    switch (ActiveKernel()) {
#if defined(__x86_64__)
    case Kernel::Avx512:
        return RealTransformAvx512(x, re, im, tables, window, scale, weighted);
    case Kernel::Avx2:
        return RealTransformAvx2(x, re, im, tables, window, scale, weighted);
#endif
    default:
        return RealTransformPortable(x, re, im, tables, window, scale, weighted);
    }
}

void FftPlan::TransformRealInverse(float* re, float* im, float* x) const
{
    if (m_n == 0)
        return;
    const RealTables tables{m_n / 2,
                            MakeTables(m_n / 2, m_log2 - 1, m_half.swaps, m_half.middleReverse, m_twiddleRe,
                                       m_twiddleIm, m_tileReverse),
                            m_splitRe.data(), m_splitIm.data()};
    switch (ActiveKernel()) {
#if defined(__x86_64__)
    case Kernel::Avx512:
        return RealInverseAvx512(re, im, x, tables);
    case Kernel::Avx2:
        return RealInverseAvx2(re, im, x, tables);
#endif
    default:
        return RealInversePortable(re, im, x, tables);
    }
}
