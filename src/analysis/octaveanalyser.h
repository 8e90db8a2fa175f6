#pragma once
// Fractional-octave filter bank with frequency and exponential time
// weighting, producing band levels and overall levels in dB re 20 µPa.
//
// Each band is a sixth-order Butterworth band-pass between fc/g and fc·g,
// made by the bilinear transform with prewarping. Its classic realisation is
// three fourth-order direct-form sections, b0·(1 − 2z⁻² + z⁻⁴) over
// 1 + a1·z⁻¹ + … + a4·z⁻⁴; the filter runs the same transfer function as six
// second-order sections, whose poles are computed from the analog prototype.
// Fourth-order direct-form sections lose their response when the band is
// narrow against the sample rate (at 200 kHz the poles of a 16 Hz band lie
// within about 1e-5 of the unit circle, where the rounding of a1 … a4 moves
// the poles by more than that); the second-order sections keep it at every
// rate down to the lowest band.
//
// One fixed-size object of about 80 KB (kept with its owner, not on a small
// stack): no allocation anywhere; Process itself takes 8 KB of stack for the
// samples converted to double. Process runs bands side by side in SIMD
// registers (eight with AVX-512, four with AVX2, two with SSE2), the widest
// the processor offers, with subnormal arithmetic switched off so that long
// digital silence costs no more than signal. Not thread-safe: the owner's
// thread only.

#include "analysis/simdkernel.h"

#include <array>
#include <span>
#include <string_view>

class OctaveAnalyser {
public:
    static constexpr int kMaxBands = 256;
    static constexpr int kSections = 3;          // fourth-order sections per band
    static constexpr int kBiquads = 2 * kSections;

    enum class Weighting : int { Linear = 0, A = 1, B = 2, C = 3 };

    struct Band {
        double lower = 0.0;          // fc/g, Hz
        double upper = 0.0;          // fc·g, Hz
        double centre = 0.0;         // fc, Hz
        double weightingGain = 1.0;  // amplitude factor at fc
    };

    // One second-order section y[n] = g·(x[n] − x[n−2]) − c1·y[n−1] − c2·y[n−2].
    struct Biquad {
        double g = 0.0;
        double c1 = 0.0;
        double c2 = 0.0;
    };

    OctaveAnalyser();

    // Sets up the bands for `bandsPerOctave` (1, 3, 6, 12 or 24) between
    // lowHz and highHz (limited to the Nyquist frequency 0.5/dt) and clears
    // every filter state and mean square. At most 256 bands are made.
    void Design(int bandsPerOctave, Weighting weighting, double lowHz, double highHz, double dt);
    // Recomputes the weighting gain of every live band; filter states stay.
    void SetWeighting(Weighting weighting);
    // α = 1 − e^(−dt/τ), τ in seconds ("Slow" 1, "Fast" 0.125, "35ms" 0.035);
    // τ ≤ 0 gives α = 1 (no averaging). A later Design with another dt keeps τ.
    void SetTimeWeighting(double tau);
    // Runs the samples through every band (time-weighted mean square of each
    // band's output), then updates the band levels and the totals.
    void Process(const float* samples, int count);

    int BandCount() const { return m_end - m_first; }
    int FirstIndex() const { return m_first; }
    int EndIndex() const { return m_end; }
    int BandsPerOctave() const { return m_bandsPerOctave; }
    double Dt() const { return m_dt; }
    double Alpha() const { return m_alpha; }
    double Centre(int band) const { return m_bands[band].centre; }
    const Band& BandRecord(int band) const { return m_bands[band]; }
    Biquad BandBiquad(int band, int biquad) const;
    // Levels in dB re 20 µPa of bands 0 … BandCount() − 1, written by Process;
    // a silent band reads −300 dB, never −infinity. The totals likewise.
    std::span<const double> BandLevels() const { return {m_levels.data(), static_cast<std::size_t>(BandCount())}; }
    double WeightedTotal() const { return m_weightedTotal; }
    double UnweightedTotal() const { return m_unweightedTotal; }
    // Time-weighted mean square of band `band`'s output, Pa².
    double MeanSquare(int band) const;

    // The kernel Process runs (Best by default); results of the kernels
    // agree within rounding.
    using Kernel = SimdKernel;
    void SelectKernel(Kernel kernel) { m_kernel = kernel; }
    Kernel ActiveKernel() const { return ResolveSimdKernel(m_kernel); }
    // Whether Process staggers the six biquads of a band by one sample each
    // (the default, faster) or runs each sample through all six before the
    // next. Both run the same operations in the same order on every band and
    // sample: the results are identical.
    void SelectStaggered(bool staggered) { m_staggered = staggered; }

    // Amplitude factor of a weighting at frequency fc (Hz); 1 for "Linear",
    // within 0.001 dB of 1 at 1 kHz for A, B and C.
    static double WeightingGain(Weighting weighting, double fc);
    // "Linear", "A Weight", "B Weight", "C Weight".
    static std::string_view WeightingText(Weighting weighting);
    // Unit of the level axis: "dB", "dBA", "dBB", "dBC".
    static std::string_view WeightingUnit(Weighting weighting);

    // The bands of eight consecutive slots, laid out for SIMD: lane l of
    // group q is band 8q + l. Lanes past the last band have all coefficients
    // 0 and stay silent.
    static constexpr int kLanes = 8;
    static constexpr int kGroups = kMaxBands / kLanes;
    struct alignas(64) Group {
        double g[kBiquads][kLanes];
        double c1[kBiquads][kLanes];
        double c2[kBiquads][kLanes];
        // history[s][h][lane]: signal s (0 the input, s the output of biquad
        // s − 1), h = 0 for n − 1 and 1 for n − 2.
        double history[kBiquads + 1][2][kLanes];
        double meanSquare[kLanes];
    };

private:
    void DesignBand(int slot, double fc, double g);

    double m_dt = 0.0;
    int m_first = 0;
    int m_end = 0;
    int m_bandsPerOctave = 1;
    Weighting m_weighting = Weighting::Linear;
    double m_alpha = 1.0;
    double m_tau = 0.0;
    Kernel m_kernel = Kernel::Best;
    bool m_staggered = true;
    double m_weightedTotal = 0.0;
    double m_unweightedTotal = 0.0;
    std::array<Band, kMaxBands> m_bands;
    std::array<Group, kGroups> m_groups;
    std::array<double, kMaxBands> m_levels;
};
