#include "analysis/analysisworkspace.h"

#include "analysis/windowedfft.h"

bool AnalysisWorkspace::Prepare(int points, WindowType window)
{
    if (!m_plan.Prepare(points))
        return false;
    m_window.Prepare(window, points);
    for (int s = 0; s < kSlots; ++s) {
        m_re[s].resize(points);
        m_im[s].resize(points);
    }
    for (auto& sum : m_sums)
        sum.resize(points / 2);
    for (auto& scratch : m_scratch)
        scratch.resize(points / 2);
    return true;
}

void AnalysisWorkspace::TransformSegment(int slot, const float* samples, bool scale)
{
    WindowedFft(m_plan, m_window, samples, Re(slot), Im(slot), scale);
}
