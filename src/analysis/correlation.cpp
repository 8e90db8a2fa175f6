#include "analysis/correlation.h"

#include "analysis/binkernels.h"
#include "analysis/windowedfft.h"

#include <algorithm>
#include <cmath>

bool Correlate(AnalysisWorkspace& work, const float* x, const float* y, float* out, int n, bool normalise)
{
    if (work.Points() != n && !work.Prepare(n, WindowType::Rectangle))
        return false;
    float* ar = work.Re(0);
    float* ai = work.Im(0);
    float* br = work.Re(1);
    float* bi = work.Im(1);
    double ea = SubtractMean(x, n, ar);
    double eb = SubtractMean(y, n, br);
    if (!normalise)
        ea = eb = 1.0;
    const double energy = std::sqrt(ea * eb);
    if (energy == 0.0) {
        std::fill_n(out, n, 0.0f);
        return true;
    }

    // Q[k] = conj(A[k])·B[k] for the bins 0 … N/2 of the two real spectra;
    // its inverse at m is N·Σ_t a(t)·b(t + m). Bin 0 is cleared (the means
    // are gone already; this drops their rounding). The factor h and the
    // sign (−1)^k, which moves lag 0 from index 0 to N/2, go into Q, so that
    // the inverse writes the output as it is shown.
    const FftPlan& plan = work.Plan();
    plan.TransformReal(ar, ar, ai, nullptr, 1.0f);
    plan.TransformReal(br, br, bi, nullptr, 1.0f);
    const int bins = n / 2 + 1;
    CorrelationProducts(ar, ai, br, bi, bins, 1.0 / (n * energy));
    ar[0] = 0.0f;
    ai[0] = 0.0f;
    plan.TransformRealInverse(ar, ai, out);
    return true;
}

bool Correlate(const float* x, const float* y, float* out, int n, bool normalise)
{
    AnalysisWorkspace work;
    return Correlate(work, x, y, out, n, normalise);
}

bool SpectrogramRows(AnalysisWorkspace& work, const float* channel, const SegmentLayout& layout, WindowType window,
                     LevelScale scale, std::span<float> rows)
{
    if (layout.count < 2 || !RecordHoldsSegments(layout) || !work.Prepare(layout.points, window))
        return false;
    const int bins = layout.Bins();
    if (rows.size() < static_cast<std::size_t>(layout.count) * bins)
        return false;
    for (int j = 0; j < layout.count; ++j) {
        work.TransformSegment(0, channel + layout.start + static_cast<std::ptrdiff_t>(j) * layout.hop, true);
        // Density is off: the mean squares go straight into the row.
        float* row = rows.data() + static_cast<std::size_t>(j) * bins;
        const float* re = work.Re(0);
        const float* im = work.Im(0);
        const double bin0 = double(re[0]) * re[0] + double(im[0]) * im[0];
        ScaledPowers(re, im, bins, 0.5f, row);
        row[0] = static_cast<float>(bin0);
        MeanSquareToLevels(bins, row, scale, 1.0);
    }
    return true;
}

std::string SpectrogramUnit(LevelScale scale)
{
    return scale == LevelScale::LinearRms ? std::string() : LevelUnitText(scale, "", false);
}
