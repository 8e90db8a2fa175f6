#include "analysis/correlation.h"

#include "analysis/windowedfft.h"

#include <algorithm>
#include <cmath>

namespace {

// Copies n samples into re with their mean removed, clears im; returns Σ re².
double CenteredCopy(const float* in, float* re, float* im, int n)
{
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
        sum += in[i];
    const double mean = sum / n;
    double energy = 0.0;
    for (int i = 0; i < n; ++i) {
        const float v = static_cast<float>(in[i] - mean);
        re[i] = v;
        energy += double(v) * v;
    }
    std::fill_n(im, n, 0.0f);
    return energy;
}

} // namespace

bool Correlate(AnalysisWorkspace& work, const float* x, const float* y, float* out, int n, bool normalise)
{
    if (work.Points() != n && !work.Prepare(n, WindowType::Rectangle))
        return false;
    float* ar = work.Re(0);
    float* ai = work.Im(0);
    float* br = work.Re(1);
    float* bi = work.Im(1);
    double ea = CenteredCopy(x, ar, ai, n);
    double eb = CenteredCopy(y, br, bi, n);
    if (!normalise)
        ea = eb = 1.0;
    const double energy = std::sqrt(ea * eb);
    if (energy == 0.0) {
        std::fill_n(out, n, 0.0f);
        return true;
    }

    const FftPlan& plan = work.Plan();
    plan.Transform(ar, ai);
    plan.Transform(br, bi);
    for (int k = 0; k < n; ++k) {
        const double Ar = ar[k], Ai = ai[k], Br = br[k], Bi = bi[k];
        ar[k] = static_cast<float>(Ar * Br + Ai * Bi);
        ai[k] = static_cast<float>(Ai * Br - Ar * Bi);
    }
    ar[0] = 0.0f;
    ai[0] = 0.0f;
    plan.Transform(ar, ai);

    const double h = 1.0 / (n * energy);
    const int half = n / 2;
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<float>(h * ar[(i + n - half) % n]);
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
    const double df = layout.BinSpacing();
    for (int j = 0; j < layout.count; ++j) {
        work.TransformSegment(0, channel + layout.start + static_cast<std::ptrdiff_t>(j) * layout.hop, true);
        PowerSpectrum(bins, work.Re(0), work.Im(0), window, false, df, scale, 1.0);
        std::copy_n(work.Re(0), bins, rows.begin() + static_cast<std::ptrdiff_t>(j) * bins);
    }
    return true;
}

std::string SpectrogramUnit(LevelScale scale)
{
    return scale == LevelScale::LinearRms ? std::string() : LevelUnitText(scale, "", false);
}
