#include "analysis/binkernels.h"

#include "analysis/simdkernel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

// This file is compiled with loop vectorisation on and without errno for
// the square root (see CMakeLists.txt): its loops are written as plain
// scalar code on __restrict pointers, with selects instead of branches, and
// the compiler vectorises each for the target of the function it is
// inlined into.

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kHalfPi = 1.57079632679490f;
constexpr float kQuarterPi = 0.785398163397448f;
constexpr float kTanEighthPi = 0.414213562373095f;
constexpr float kDecibelsPerOctave = 3.01029995663981f;   // 10·log10(2)
constexpr float kDecibelsPerNeper = 4.34294481903252f;    // 10/ln(10)
constexpr float kSmallestNormal = 1.17549435e-38f;
constexpr float kDenormalScale = 16777216.0f;             // 2^24

[[gnu::always_inline]] inline std::uint32_t Bits(float v) { return std::bit_cast<std::uint32_t>(v); }

// atan of |a| ≤ tan(π/8) by its series to a^17 (error below 3e-9).
[[gnu::always_inline]] inline float AtanSmall(float a)
{
    const float s = a * a;
    float p = 1.0f / 17.0f;
    p = p * s - 1.0f / 15.0f;
    p = p * s + 1.0f / 13.0f;
    p = p * s - 1.0f / 11.0f;
    p = p * s + 1.0f / 9.0f;
    p = p * s - 1.0f / 7.0f;
    p = p * s + 1.0f / 5.0f;
    p = p * s - 1.0f / 3.0f;
    return a + a * s * p;
}

// atan2 by octant: the ratio of the smaller to the larger magnitude, above
// tan(π/8) shifted by π/4 through (mn − mx)/(mn + mx); one division.
// atan2(±0, +0) = ±0, atan2(±0, −0) = ±π as the library gives them.
[[gnu::always_inline]] inline float Atan2Body(float y, float x)
{
    const float ax = std::fabs(x), ay = std::fabs(y);
    const float mx = std::max(ax, ay), mn = std::min(ax, ay);
    const bool shifted = mn > kTanEighthPi * mx;
    const float num = shifted ? mn - mx : mn;
    float den = shifted ? mn + mx : mx;
    den = den == 0.0f ? 1.0f : den;
    float r = AtanSmall(num / den) + (shifted ? kQuarterPi : 0.0f);
    r = ay > ax ? kHalfPi - r : r;
    r = (Bits(x) >> 31) != 0 ? kPi - r : r;
    return std::copysign(r, y);
}

// 10·log10(v), v > 0 finite: v = 2^e·m with m in [√½, √2), ln m by the
// series of 2·atanh((m − 1)/(m + 1)) to the ninth power (error below 1e-9).
[[gnu::always_inline]] inline float DecibelsBody(float v)
{
    const bool tiny = v < kSmallestNormal;
    const std::uint32_t bits = Bits(tiny ? v * kDenormalScale : v);
    const std::int32_t rawExponent = static_cast<std::int32_t>(bits >> 23) - 127 - (tiny ? 24 : 0);
    float m = std::bit_cast<float>((bits & 0x007fffffu) | 0x3f800000u);
    const bool high = m > 1.41421356f;
    m = high ? m * 0.5f : m;
    const float e = static_cast<float>(rawExponent + (high ? 1 : 0));
    const float s = (m - 1.0f) / (m + 1.0f);
    const float s2 = s * s;
    float p = 1.0f / 9.0f;
    p = p * s2 + 1.0f / 7.0f;
    p = p * s2 + 1.0f / 5.0f;
    p = p * s2 + 1.0f / 3.0f;
    const float ln = 2.0f * (s + s * s2 * p);
    return e * kDecibelsPerOctave + ln * kDecibelsPerNeper;
}

// ---- loop bodies, inlined into one function per SIMD target ----

[[gnu::always_inline]] inline void AddPowersBody(const float* __restrict re, const float* __restrict im, int n,
                                                 double* __restrict sum)
{
    for (int k = 0; k < n; ++k)
        sum[k] += double(re[k]) * re[k] + double(im[k]) * im[k];
}

// Maxima and sums run in kLanes interleaved partial results, so that the
// loops vectorise without reassociating one chain.
constexpr int kLanes = 16;

[[gnu::always_inline]] inline float ScaledPowersBody(const float* __restrict re, const float* __restrict im,
                                                     int n, float factor, float* __restrict out)
{
    float part[kLanes] = {};
    int k = 0;
    for (; k + kLanes <= n; k += kLanes)
        for (int l = 0; l < kLanes; ++l) {
            const float p = (re[k + l] * re[k + l] + im[k + l] * im[k + l]) * factor;
            out[k + l] = p;
            part[l] = std::max(part[l], p);
        }
    float largest = 0.0f;
    for (; k < n; ++k) {
        const float p = (re[k] * re[k] + im[k] * im[k]) * factor;
        out[k] = p;
        largest = std::max(largest, p);
    }
    for (float p : part)
        largest = std::max(largest, p);
    return largest;
}

[[gnu::always_inline]] inline void HoldScaledBody(const float* __restrict values, int n, double e, double zeroLift,
                                                  double* __restrict hold)
{
    for (int k = 0; k < n; ++k) {
        const double v = values[k] == 0.0f ? zeroLift : double(values[k]);
        hold[k] = std::max(hold[k], v * e);
    }
}

[[gnu::always_inline]] inline void DecibelsInPlaceBody(float* __restrict values, int n, float offset,
                                                       float zeroLift)
{
    for (int k = 0; k < n; ++k) {
        const float v = values[k] == 0.0f ? zeroLift : values[k];
        values[k] = DecibelsBody(v) + offset;
    }
}

[[gnu::always_inline]] inline void WeightedMagnitudesBody(const float* __restrict re, const float* __restrict im,
                                                          int n, const float* __restrict weight,
                                                          float* __restrict out)
{
    for (int k = 0; k < n; ++k)
        out[k] = std::sqrt(re[k] * re[k] + im[k] * im[k]) * weight[k];
}

[[gnu::always_inline]] inline void AddValuesBody(const float* __restrict values, int n, double* __restrict sum)
{
    for (int k = 0; k < n; ++k)
        sum[k] += values[k];
}

[[gnu::always_inline]] inline void HoldValuesBody(const float* __restrict values, int n, float* __restrict hold)
{
    for (int k = 0; k < n; ++k)
        hold[k] = std::max(hold[k], values[k]);
}

[[gnu::always_inline]] inline void AddCrossSpectraBody(const float* __restrict xr, const float* __restrict xi,
                                                       const float* __restrict yr, const float* __restrict yi,
                                                       int n, double* __restrict gxyRe, double* __restrict gxyIm,
                                                       double* __restrict gxx, double* __restrict gyy)
{
    for (int k = 0; k < n; ++k) {
        const double ar = xr[k], ai = xi[k], br = yr[k], bi = yi[k];
        gxyRe[k] += ar * br + ai * bi;
        gxyIm[k] += ar * bi - ai * br;
        gxx[k] += ar * ar + ai * ai;
        gyy[k] += br * br + bi * bi;
    }
}

[[gnu::always_inline]] inline void AddPolarRatiosBody(const float* __restrict xr, const float* __restrict xi,
                                                      const float* __restrict yr, const float* __restrict yi,
                                                      int n, double* __restrict magnitude,
                                                      double* __restrict phase)
{
    for (int k = 0; k < n; ++k) {
        const double ar = xr[k], ai = xi[k], br = yr[k], bi = yi[k];
        const double px = ar * ar + ai * ai;
        const double py = br * br + bi * bi;
        // |Y/X| = |Y|/|X|; the angle of conj(X)·Y is that of Y/X.
        const double ratio = px == 0.0 ? 0.0 : py / (px == 0.0 ? 1.0 : px);
        magnitude[k] += std::sqrt(ratio);
        phase[k] += Atan2Body(static_cast<float>(ar * bi - ai * br), static_cast<float>(ar * br + ai * bi));
    }
}

[[gnu::always_inline]] inline void AddRectRatiosBody(const float* __restrict xr, const float* __restrict xi,
                                                     const float* __restrict yr, const float* __restrict yi,
                                                     int n, double* __restrict re, double* __restrict im)
{
    for (int k = 0; k < n; ++k) {
        const double ar = xr[k], ai = xi[k], br = yr[k], bi = yi[k];
        const double px = ar * ar + ai * ai;
        const double inverse = px == 0.0 ? 0.0 : 1.0 / (px == 0.0 ? 1.0 : px);
        re[k] += (ar * br + ai * bi) * inverse;
        im[k] += (ar * bi - ai * br) * inverse;
    }
}

[[gnu::always_inline]] inline void AddPolarProductsBody(const float* __restrict xr, const float* __restrict xi,
                                                        const float* __restrict yr, const float* __restrict yi,
                                                        int n, double* __restrict magnitude,
                                                        double* __restrict phase)
{
    for (int k = 0; k < n; ++k) {
        const double ar = xr[k], ai = xi[k], br = yr[k], bi = yi[k];
        const double px = ar * ar + ai * ai;
        const double py = br * br + bi * bi;
        magnitude[k] += std::sqrt(px * py);
        phase[k] += Atan2Body(static_cast<float>(ai * br - ar * bi), static_cast<float>(ar * br + ai * bi));
    }
}

[[gnu::always_inline]] inline float LargestValueBody(const float* __restrict values, int n)
{
    float part[kLanes] = {};
    int k = 0;
    for (; k + kLanes <= n; k += kLanes)
        for (int l = 0; l < kLanes; ++l)
            part[l] = std::max(part[l], values[k + l]);
    float largest = 0.0f;
    for (; k < n; ++k)
        largest = std::max(largest, values[k]);
    for (float p : part)
        largest = std::max(largest, p);
    return largest;
}

[[gnu::always_inline]] inline double SumBody(const float* __restrict in, int n)
{
    double part[kLanes] = {};
    int k = 0;
    for (; k + kLanes <= n; k += kLanes)
        for (int l = 0; l < kLanes; ++l)
            part[l] += in[k + l];
    double sum = 0.0;
    for (; k < n; ++k)
        sum += in[k];
    for (double p : part)
        sum += p;
    return sum;
}

[[gnu::always_inline]] inline double SubtractMeanBody(const float* in, int n, float* out)
{
    const double mean = SumBody(in, n) / n;
    double part[kLanes] = {};
    int k = 0;
    for (; k + kLanes <= n; k += kLanes)
        for (int l = 0; l < kLanes; ++l) {
            const float v = static_cast<float>(in[k + l] - mean);
            out[k + l] = v;
            part[l] += double(v) * v;
        }
    double energy = 0.0;
    for (; k < n; ++k) {
        const float v = static_cast<float>(in[k] - mean);
        out[k] = v;
        energy += double(v) * v;
    }
    for (double p : part)
        energy += p;
    return energy;
}

[[gnu::always_inline]] inline void CorrelationProductsBody(float* __restrict ar, float* __restrict ai,
                                                           const float* __restrict br,
                                                           const float* __restrict bi, int n, double factor)
{
    for (int k = 0; k < n; ++k) {
        const double a = ar[k], b = ai[k], c = br[k], d = bi[k];
        const double f = (k & 1) ? -factor : factor;
        ar[k] = static_cast<float>((a * c + b * d) * f);
        ai[k] = static_cast<float>((a * d - b * c) * f);
    }
}

// One function per target for each body; the public functions choose.
#if defined(__x86_64__)
#define KRV_BIN_KERNEL(ret, name, params, args)                                                                    \
    ret name##Portable params { return name##Body args; }                                                          \
    [[gnu::target("avx2,fma")]] ret name##Avx2 params { return name##Body args; }                                  \
    [[gnu::target("avx512f")]] ret name##Avx512 params { return name##Body args; }                                 \
    ret name##Dispatch params                                                                                      \
    {                                                                                                              \
        switch (ResolveSimdKernel(SimdKernel::Best)) {                                                             \
        case SimdKernel::Avx512:                                                                                   \
            return name##Avx512 args;                                                                              \
        case SimdKernel::Avx2:                                                                                     \
            return name##Avx2 args;                                                                                \
        default:                                                                                                   \
            return name##Portable args;                                                                            \
        }                                                                                                          \
    }
#else
#define KRV_BIN_KERNEL(ret, name, params, args)                                                                    \
    ret name##Dispatch params { return name##Body args; }
#endif

KRV_BIN_KERNEL(void, AddPowers, (const float* re, const float* im, int n, double* sum), (re, im, n, sum))
KRV_BIN_KERNEL(float, ScaledPowers, (const float* re, const float* im, int n, float factor, float* out),
               (re, im, n, factor, out))
KRV_BIN_KERNEL(void, HoldScaled, (const float* values, int n, double e, double zeroLift, double* hold),
               (values, n, e, zeroLift, hold))
KRV_BIN_KERNEL(void, DecibelsInPlace, (float* values, int n, float offset, float zeroLift),
               (values, n, offset, zeroLift))
KRV_BIN_KERNEL(void, WeightedMagnitudes,
               (const float* re, const float* im, int n, const float* weight, float* out),
               (re, im, n, weight, out))
KRV_BIN_KERNEL(void, AddValues, (const float* values, int n, double* sum), (values, n, sum))
KRV_BIN_KERNEL(void, HoldValues, (const float* values, int n, float* hold), (values, n, hold))
KRV_BIN_KERNEL(void, AddCrossSpectra,
               (const float* xr, const float* xi, const float* yr, const float* yi, int n, double* gxyRe,
                double* gxyIm, double* gxx, double* gyy),
               (xr, xi, yr, yi, n, gxyRe, gxyIm, gxx, gyy))
KRV_BIN_KERNEL(void, AddPolarRatios,
               (const float* xr, const float* xi, const float* yr, const float* yi, int n, double* a, double* b),
               (xr, xi, yr, yi, n, a, b))
KRV_BIN_KERNEL(void, AddRectRatios,
               (const float* xr, const float* xi, const float* yr, const float* yi, int n, double* a, double* b),
               (xr, xi, yr, yi, n, a, b))
KRV_BIN_KERNEL(void, AddPolarProducts,
               (const float* xr, const float* xi, const float* yr, const float* yi, int n, double* a, double* b),
               (xr, xi, yr, yi, n, a, b))

KRV_BIN_KERNEL(float, LargestValue, (const float* values, int n), (values, n))
KRV_BIN_KERNEL(double, SubtractMean, (const float* in, int n, float* out), (in, n, out))
KRV_BIN_KERNEL(void, CorrelationProducts,
               (float* ar, float* ai, const float* br, const float* bi, int n, double factor),
               (ar, ai, br, bi, n, factor))

#undef KRV_BIN_KERNEL

} // namespace

void AddPowers(const float* re, const float* im, int n, double* sum) { AddPowersDispatch(re, im, n, sum); }

float ScaledPowers(const float* re, const float* im, int n, float factor, float* out)
{
    return n > 0 ? ScaledPowersDispatch(re, im, n, factor, out) : 0.0f;
}

void HoldScaled(const float* values, int n, double e, double zeroLift, double* hold)
{
    HoldScaledDispatch(values, n, e, zeroLift, hold);
}

void DecibelsInPlace(float* values, int n, double e, float zeroLift)
{
    // 10·log10(e·v) = 10·log10(v) + 10·log10(e): e·v may leave the float
    // range where v and e do not.
    DecibelsInPlaceDispatch(values, n, static_cast<float>(10.0 * std::log10(e)), zeroLift);
}

void WeightedMagnitudes(const float* re, const float* im, int n, const float* weight, float* out)
{
    WeightedMagnitudesDispatch(re, im, n, weight, out);
}

void AddValues(const float* values, int n, double* sum) { AddValuesDispatch(values, n, sum); }

void HoldValues(const float* values, int n, float* hold) { HoldValuesDispatch(values, n, hold); }

void AddCrossSpectra(const float* xr, const float* xi, const float* yr, const float* yi, int n, double* gxyRe,
                     double* gxyIm, double* gxx, double* gyy)
{
    AddCrossSpectraDispatch(xr, xi, yr, yi, n, gxyRe, gxyIm, gxx, gyy);
}

void AddRatios(const float* xr, const float* xi, const float* yr, const float* yi, int n, bool polar, double* a,
               double* b)
{
    if (polar)
        AddPolarRatiosDispatch(xr, xi, yr, yi, n, a, b);
    else
        AddRectRatiosDispatch(xr, xi, yr, yi, n, a, b);
}

void AddPolarProducts(const float* xr, const float* xi, const float* yr, const float* yi, int n,
                      double* magnitude, double* phase)
{
    AddPolarProductsDispatch(xr, xi, yr, yi, n, magnitude, phase);
}

float FastAtan2(float y, float x) { return Atan2Body(y, x); }

float FastDecibels(float v) { return DecibelsBody(v); }

float LargestValue(const float* values, int n) { return LargestValueDispatch(values, n); }

double SubtractMean(const float* in, int n, float* out) { return n > 0 ? SubtractMeanDispatch(in, n, out) : 0.0; }

void CorrelationProducts(float* ar, float* ai, const float* br, const float* bi, int n, double factor)
{
    CorrelationProductsDispatch(ar, ai, br, bi, n, factor);
}
