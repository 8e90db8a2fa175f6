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

private:
    WindowType m_type = WindowType::Rectangle;
    std::vector<float> m_values;
    double m_amplitudeFactor = 0.0;
};
