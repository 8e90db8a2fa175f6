#include "analysis/analysisworkspace.h"

#include "analysis/windowedfft.h"

#include <algorithm>
#include <cstring>

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
    return true;
}

void AnalysisWorkspace::TransformSegment(int slot, const float* samples, bool scale)
{
    const int n = Points();
    std::memcpy(Re(slot), samples, n * sizeof(float));
    std::fill_n(Im(slot), n, 0.0f);
    WindowedFft(m_plan, m_window, Re(slot), Im(slot), scale);
}
