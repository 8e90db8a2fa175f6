#include "analysis/octaveanalyser.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <type_traits>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

constexpr double kPi = 3.14159265358979;
// 1/(20 µPa): pascals to the reference of the sound pressure level.
constexpr double kPressureScale = 49999.99999999999;
// Arguments of the level logarithm are kept at or above this, so that a
// silent band reads −300 dB instead of −infinity.
constexpr double kLevelFloor = 1e-15;
// Index limits that are integers up to rounding are taken as integers.
constexpr double kIndexTolerance = 1e-9;

double Log2(double x) { return std::log(x) / std::log(2.0); }

double Level(double rmsPascal)
{
    return 20.0 * std::log10(std::max(rmsPascal * kPressureScale, kLevelFloor));
}

using v8d = double __attribute__((vector_size(64)));
using v4d = double __attribute__((vector_size(32)));
using v2d = double __attribute__((vector_size(16)));

template <class V>
[[gnu::always_inline]] inline V LoadV(const double* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
[[gnu::always_inline]] inline void StoreV(double* p, V v)
{
    std::memcpy(p, &v, sizeof v);
}

template <class V>
[[gnu::always_inline]] inline V Splat(double x)
{
    V v;
    for (int i = 0; i < static_cast<int>(sizeof(V) / sizeof(double)); ++i)
        v[i] = x;
    return v;
}

// Samples converted once per block for all groups, as the in-order loop
// forms them per group: 0 + x in double, which turns −0 into +0.
constexpr int kInputBlock = 1024;

// Runs `count` samples through the six biquads of the bands in lanes
// [lane, lane + width of V) of one group and updates their mean squares,
// one sample through all six biquads before the next. Each biquad's
// recurrence takes its y[n−1] term last, which keeps the loop-carried chain
// to one multiply-add.
template <class V>
[[gnu::always_inline]] inline void ProcessLanesInOrder(OctaveAnalyser::Group& grp, int lane, const float* samples,
                                                       int count, double alpha)
{
    constexpr int B = OctaveAnalyser::kBiquads;
    const V a = V{} + alpha;
    const V k = V{} + (1.0 - alpha);
    V h1[B + 1], h2[B + 1];
    for (int s = 0; s <= B; ++s) {
        h1[s] = LoadV<V>(&grp.history[s][0][lane]);
        h2[s] = LoadV<V>(&grp.history[s][1][lane]);
    }
    V g[B], c1[B], c2[B];
    for (int s = 0; s < B; ++s) {
        g[s] = LoadV<V>(&grp.g[s][lane]);
        c1[s] = LoadV<V>(&grp.c1[s][lane]);
        c2[s] = LoadV<V>(&grp.c2[s][lane]);
    }
    V ms = LoadV<V>(&grp.meanSquare[lane]);
    for (int n = 0; n < count; ++n) {
        V in = V{} + static_cast<double>(samples[n]);
#pragma GCC unroll 6
        for (int s = 0; s < B; ++s) {
            const V y = (g[s] * (in - h2[s]) - c2[s] * h2[s + 1]) - c1[s] * h1[s + 1];
            h2[s] = h1[s];
            h1[s] = in;
            in = y;
        }
        h2[B] = h1[B];
        h1[B] = in;
        ms = k * ms + a * (in * in);
    }
    for (int s = 0; s <= B; ++s) {
        StoreV(&grp.history[s][0][lane], h1[s]);
        StoreV(&grp.history[s][1][lane], h2[s]);
    }
    StoreV(&grp.meanSquare[lane], ms);
}

// The same computation with the biquads staggered: step i runs biquad s on
// sample i − s, so the six biquads of one step are independent of each other
// and the processor overlaps them, where the in-order loop leaves one
// sample's chain of some 18 dependent operations for the out-of-order window
// to overlap with the next samples. Every lane and sample sees the same
// operations in the same order as in ProcessLanesInOrder: the results are
// identical.
//
// x0[s], x1[s], x2[s] hold signal s (0 the input, s the output of biquad
// s − 1) at its newest, second and third newest sample. Within a step the
// biquads run from the last to the first, so biquad s reads signal s
// (x[n], x[n−2]) before biquad s − 1 pushes the next sample of it, and
// signal s + 1 (y[n−1], y[n−2]) before pushing y[n] itself. The first and
// last B − 1 steps run only the biquads whose sample lies in the block.
template <class V>
[[gnu::always_inline]] inline void ProcessLanesStaggered(OctaveAnalyser::Group& grp, int lane,
                                                         const double* input, int count, double alpha)
{
    constexpr int B = OctaveAnalyser::kBiquads;
    const V a = V{} + alpha;
    const V k = V{} + (1.0 - alpha);
    V x0[B + 1], x1[B + 1], x2[B + 1];
    for (int s = 0; s <= B; ++s) {
        x0[s] = LoadV<V>(&grp.history[s][0][lane]);
        x1[s] = LoadV<V>(&grp.history[s][1][lane]);
        x2[s] = V{};   // read only after the first push of the block
    }
    V g[B], c1[B], c2[B];
    for (int s = 0; s < B; ++s) {
        g[s] = LoadV<V>(&grp.g[s][lane]);
        c1[s] = LoadV<V>(&grp.c1[s][lane]);
        c2[s] = LoadV<V>(&grp.c2[s][lane]);
    }
    V ms = LoadV<V>(&grp.meanSquare[lane]);

    auto biquad = [&](int s) [[gnu::always_inline]] {
        const V y = (g[s] * (x0[s] - x2[s]) - c2[s] * x1[s + 1]) - c1[s] * x0[s + 1];
        x2[s + 1] = x1[s + 1];
        x1[s + 1] = x0[s + 1];
        x0[s + 1] = y;
    };
    // Runs step i; `partial` steps check which biquads have a sample.
    auto step = [&](int i, auto partial) [[gnu::always_inline]] {
        auto live = [&](int s) { return !decltype(partial)::value || (i - s >= 0 && i - s < count); };
#pragma GCC unroll 6
        for (int s = B - 1; s >= 1; --s)
            if (live(s))
                biquad(s);
        if (live(0)) {
            x2[0] = x1[0];
            x1[0] = x0[0];
            x0[0] = Splat<V>(input[i]);
            biquad(0);
        }
        if (live(B - 1))
            ms = k * ms + a * (x0[B] * x0[B]);
    };
    const int steps = count + B - 1;
    int i = 0;
    for (; i < std::min(B - 1, steps); ++i)
        step(i, std::true_type{});
    // Three steps per round: the three registers of each signal rotate
    // through their roles, which leaves no register copies in the loop.
    for (; i + 3 <= count; i += 3) {
        step(i, std::false_type{});
        step(i + 1, std::false_type{});
        step(i + 2, std::false_type{});
    }
    for (; i < count; ++i)
        step(i, std::false_type{});
    for (; i < steps; ++i)
        step(i, std::true_type{});

    for (int s = 0; s <= B; ++s) {
        StoreV(&grp.history[s][0][lane], x0[s]);
        StoreV(&grp.history[s][1][lane], x1[s]);
    }
    StoreV(&grp.meanSquare[lane], ms);
}

template <class V>
[[gnu::always_inline]] inline void ProcessGroupsBody(OctaveAnalyser::Group* groups, int groupCount,
                                                     const float* samples, int count, double alpha, bool staggered)
{
    constexpr int W = sizeof(V) / sizeof(double);
    if (!staggered) {
        for (int q = 0; q < groupCount; ++q)
            for (int lane = 0; lane < OctaveAnalyser::kLanes; lane += W)
                ProcessLanesInOrder<V>(groups[q], lane, samples, count, alpha);
        return;
    }
    double input[kInputBlock];
    for (int first = 0; first < count; first += kInputBlock) {
        const int n = std::min(kInputBlock, count - first);
        for (int i = 0; i < n; ++i)
            input[i] = 0.0 + static_cast<double>(samples[first + i]);
        for (int q = 0; q < groupCount; ++q)
            for (int lane = 0; lane < OctaveAnalyser::kLanes; lane += W)
                ProcessLanesStaggered<V>(groups[q], lane, input, n, alpha);
    }
}

void ProcessGroupsPortable(OctaveAnalyser::Group* groups, int groupCount, const float* samples, int count,
                           double alpha, bool staggered)
{
    ProcessGroupsBody<v2d>(groups, groupCount, samples, count, alpha, staggered);
}

#if defined(__x86_64__)
[[gnu::target("avx2,fma")]] void ProcessGroupsAvx2(OctaveAnalyser::Group* groups, int groupCount,
                                                   const float* samples, int count, double alpha, bool staggered)
{
    ProcessGroupsBody<v4d>(groups, groupCount, samples, count, alpha, staggered);
}

[[gnu::target("avx512f")]] void ProcessGroupsAvx512(OctaveAnalyser::Group* groups, int groupCount,
                                                   const float* samples, int count, double alpha, bool staggered)
{
    ProcessGroupsBody<v8d>(groups, groupCount, samples, count, alpha, staggered);
}

#endif

// Subnormal numbers switched off for the lifetime of the guard: after long
// digital silence the filter states and mean squares decay into the
// subnormal range, where arithmetic is many times slower. Values below 1e-308
// change nothing that a level in dB can show. Restores the caller's mode.
class FlushSubnormals {
public:
#if defined(__x86_64__)
    FlushSubnormals() : m_saved(_mm_getcsr()) { _mm_setcsr(m_saved | kFlushToZero | kDenormalsAreZero); }
    ~FlushSubnormals() { _mm_setcsr(m_saved); }

private:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    unsigned m_saved;
#endif
};

void ProcessGroups(OctaveAnalyser::Kernel kernel, OctaveAnalyser::Group* groups, int groupCount,
                   const float* samples, int count, double alpha, bool staggered)
{
    const FlushSubnormals guard;
    switch (kernel) {
#if defined(__x86_64__)
    case OctaveAnalyser::Kernel::Avx512:
        ProcessGroupsAvx512(groups, groupCount, samples, count, alpha, staggered);
        return;
    case OctaveAnalyser::Kernel::Avx2:
        ProcessGroupsAvx2(groups, groupCount, samples, count, alpha, staggered);
        return;
#endif
    default:
        ProcessGroupsPortable(groups, groupCount, samples, count, alpha, staggered);
        return;
    }
}

} // namespace

OctaveAnalyser::OctaveAnalyser()
{
    std::memset(static_cast<void*>(m_groups.data()), 0, sizeof m_groups);
    m_levels.fill(0.0);
}

void OctaveAnalyser::Design(int bandsPerOctave, Weighting weighting, double lowHz, double highHz, double dt)
{
    m_bands.fill(Band{});
    std::memset(static_cast<void*>(m_groups.data()), 0, sizeof m_groups);
    m_levels.fill(0.0);
    m_weightedTotal = m_unweightedTotal = 0.0;
    m_dt = dt;
    if (m_tau > 0.0)
        SetTimeWeighting(m_tau);
    m_bandsPerOctave = bandsPerOctave > 0 ? bandsPerOctave : 1;
    m_weighting = weighting;
    m_first = m_end = 0;
    if (!(dt > 0.0) || !(lowHz > 0.0))
        return;

    const double nyquist = 0.5 / dt;
    const double fL = lowHz / 1000.0;
    const double fH = std::min(highHz, nyquist) / 1000.0;
    if (!(fH > 0.0))
        return;
    const int n = m_bandsPerOctave;
    const double f = 1.0 / n;
    const double g = std::pow(2.0, f / 2.0);
    const double shift = (n == 1 || n == 3) ? 0.0 : 1.0;
    const int first = static_cast<int>(std::floor((Log2(fL) - shift) / f + kIndexTolerance));
    const int end = static_cast<int>(std::ceil((Log2(fH) - shift) / f - kIndexTolerance));

    m_first = first;
    int i = first;
    for (; i < end && i - first < kMaxBands; ++i) {
        const double fc = 1000.0 * std::pow(2.0, static_cast<double>(i) / n);
        if (fc * g > nyquist)
            break;
        DesignBand(i - first, fc, g);
    }
    m_end = i;
}

void OctaveAnalyser::DesignBand(int slot, double fc, double g)
{
    Band& band = m_bands[slot];
    band.lower = fc / g;
    band.upper = fc * g;
    band.centre = fc;
    band.weightingGain = WeightingGain(m_weighting, fc);

    // Edges prewarped for the bilinear transform s = (1 − z⁻¹)/(1 + z⁻¹).
    const double a = std::tan(kPi * band.lower * m_dt);
    const double b = std::tan(kPi * band.upper * m_dt);
    const double d = b - a;
    constexpr int m = kSections;

    Group& grp = m_groups[slot / kLanes];
    const int lane = slot % kLanes;
    for (int k = 0; k < m; ++k) {
        // Fourth-order section k has the analog denominator
        // (s² − P·d·s + ab)(s² − P̄·d·s + ab), P = e^(iθ) the low-pass
        // prototype pole, and the numerator d²·s². Factored into the two real
        // quadratics of the band-pass poles s and s̄, each maps onto
        // g·(1 − z⁻²)/(1 + c1·z⁻¹ + c2·z⁻²), the numerator shared as d·s per
        // quadratic.
        const double theta = (2 * m + 1 + 2 * k) * kPi / (4 * m);
        const std::complex<double> pole(std::cos(theta), std::sin(theta));
        const std::complex<double> pd = pole * d;
        const std::complex<double> root = std::sqrt(pd * pd - 4.0 * a * b);
        const std::complex<double> roots[2] = {0.5 * (pd + root), 0.5 * (pd - root)};
        for (int e = 0; e < 2; ++e) {
            const double sigma = roots[e].real();
            const double rho = std::norm(roots[e]);
            const double den = 1.0 - 2.0 * sigma + rho;
            const int bq = 2 * k + e;
            grp.g[bq][lane] = d / den;
            grp.c1[bq][lane] = (2.0 * rho - 2.0) / den;
            grp.c2[bq][lane] = (1.0 + 2.0 * sigma + rho) / den;
        }
    }
}

OctaveAnalyser::Biquad OctaveAnalyser::BandBiquad(int band, int biquad) const
{
    const Group& grp = m_groups[band / kLanes];
    const int lane = band % kLanes;
    return {grp.g[biquad][lane], grp.c1[biquad][lane], grp.c2[biquad][lane]};
}

double OctaveAnalyser::MeanSquare(int band) const
{
    return m_groups[band / kLanes].meanSquare[band % kLanes];
}

void OctaveAnalyser::SetWeighting(Weighting weighting)
{
    m_weighting = weighting;
    for (int slot = 0; slot < BandCount(); ++slot)
        m_bands[slot].weightingGain = WeightingGain(weighting, m_bands[slot].centre);
}

void OctaveAnalyser::SetTimeWeighting(double tau)
{
    m_tau = tau;
    m_alpha = tau > 0.0 ? 1.0 - std::exp(-m_dt / tau) : 1.0;
}

void OctaveAnalyser::Process(const float* samples, int count)
{
    const int bands = BandCount();
    if (count <= 0 || bands <= 0)
        return;
    ProcessGroups(ActiveKernel(), m_groups.data(), (bands + kLanes - 1) / kLanes, samples, count, m_alpha,
                  m_staggered);

    double unweighted = 0.0;
    double weighted = 0.0;
    for (int slot = 0; slot < bands; ++slot) {
        const double rms = std::sqrt(MeanSquare(slot));
        unweighted += rms * rms;
        const double rmsWeighted = rms * m_bands[slot].weightingGain;
        m_levels[slot] = Level(rmsWeighted);
        weighted += rmsWeighted * rmsWeighted;
    }
    m_weightedTotal = Level(std::sqrt(weighted));
    m_unweightedTotal = Level(std::sqrt(unweighted));
}

double OctaveAnalyser::WeightingGain(Weighting weighting, double fc)
{
    const double f2 = fc * fc;
    constexpr double k12200 = 12200.0 * 12200.0;
    constexpr double k20 = 20.6 * 20.6;
    switch (weighting) {
    case Weighting::A:
        return k12200 * f2 * f2
            / ((f2 + k20) * std::sqrt((f2 + 107.7 * 107.7) * (f2 + 737.9 * 737.9)) * (f2 + k12200))
            * 1.2588966290833197;
    case Weighting::B:
        return k12200 * f2 * fc / ((f2 + k20) * std::sqrt(f2 + 158.5 * 158.5) * (f2 + k12200)) * 1.0197182478372326;
    case Weighting::C:
        return k12200 * f2 / ((f2 + k20) * (f2 + k12200)) * 1.0071458351410911;
    case Weighting::Linear:
    default:
        return 1.0;
    }
}

std::string_view OctaveAnalyser::WeightingText(Weighting weighting)
{
    switch (weighting) {
    case Weighting::A:
        return "A Weight";
    case Weighting::B:
        return "B Weight";
    case Weighting::C:
        return "C Weight";
    default:
        return "Linear";
    }
}

std::string_view OctaveAnalyser::WeightingUnit(Weighting weighting)
{
    switch (weighting) {
    case Weighting::A:
        return "dBA";
    case Weighting::B:
        return "dBB";
    case Weighting::C:
        return "dBC";
    default:
        return "dB";
    }
}
