#pragma once
// The values of one analysis window at one length, made once per change.

#include "analysis/windowtype.h"

#include <span>
#include <vector>

class WindowTable {
public:
    WindowTable() = default;
    WindowTable(WindowType type, int n) { Prepare(type, n); }

    // Evaluates w(i), i = 0 … n−1, in double and keeps them as float.
    // Nothing happens when type and n are unchanged.
    void Prepare(WindowType type, int n);

    WindowType Type() const { return m_type; }
    int Size() const { return static_cast<int>(m_values.size()); }
    std::span<const float> Values() const { return m_values; }
    // c of the window at this length.
    double AmplitudeFactor() const { return m_amplitudeFactor; }
    // B in bins.
    double NoiseBandwidth() const { return m_noiseBandwidth; }

    // Multiplies re[i] and im[i] by w(i) for i < Size(). "Rectangle" leaves
    // the arrays as they are. Any thread.
    void Apply(float* re, float* im) const;

private:
    WindowType m_type = WindowType::Rectangle;
    std::vector<float> m_values;
    double m_amplitudeFactor = 0.0;
    double m_noiseBandwidth = 1.0;
};
