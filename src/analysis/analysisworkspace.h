#pragma once
// Tables and work memory of the record-based measurements, kept by a view
// and re-made only when the transform length or the window changes. Used by
// one thread at a time.

#include "analysis/fftplan.h"
#include "analysis/segmentaverager.h"
#include "analysis/windowtable.h"

#include <vector>

class AnalysisWorkspace {
public:
    static constexpr int kSlots = 2;        // complex work arrays of N floats
    static constexpr int kSums = 4;         // double accumulators of N/2
    static constexpr int kScratch = 2;      // float arrays of N/2 (per-bin weights, one segment's values)

    // Plans length `points` (a power of two ≥ 2) with `window`. Returns false
    // for other lengths. Allocates only on a change.
    bool Prepare(int points, WindowType window);

    int Points() const { return m_plan.Size(); }
    const FftPlan& Plan() const { return m_plan; }

    float* Re(int slot) { return m_re[slot].data(); }
    float* Im(int slot) { return m_im[slot].data(); }
    double* Sum(int index) { return m_sums[index].data(); }
    float* Scratch(int index) { return m_scratch[index].data(); }
    SegmentAverager& Averager() { return m_averager; }

    // WindowedFft of N real samples with the prepared window into bins
    // 0 … N/2 of slot `slot` (the measurements use bins below N/2).
    // `samples` may be Re(slot).
    void TransformSegment(int slot, const float* samples, bool scale);

private:
    FftPlan m_plan;
    WindowTable m_window;
    std::vector<float> m_re[kSlots];
    std::vector<float> m_im[kSlots];
    std::vector<double> m_sums[kSums];
    std::vector<float> m_scratch[kScratch];
    SegmentAverager m_averager;
};
