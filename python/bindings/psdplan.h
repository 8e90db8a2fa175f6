#pragma once
// A PSD with its settings fixed ahead: the form for calling the analysis
// many times on records of one length, where the per-call work of the
// function form (settings by name, layout, new arrays) would be noticeable
// against a short transform. Called with a record (and optionally the
// array to write into), it runs the PSD view's analysis without the GIL.

#include "analysis/measurements.h"
#include "analysis/segmentlayout.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>

class PsdPlan {
public:
    using Samples = pybind11::array_t<float, pybind11::array::c_style | pybind11::array::forcecast>;

    // Raises ValueError for a setting key out of range or segments that
    // cannot be cut (points no power of two, dt <= 0, hop < 1).
    PsdPlan(double dt, int points, int hop, int averages, int start, int window, int average, int scale,
            bool density, std::string unit, pybind11::object axis);

    // The PSD of x into out (a C-contiguous float32 array of the result's
    // size, written in place) or into a new array; returns it. A
    // C-contiguous float32 x is read in place, anything else converted.
    pybind11::array operator()(const pybind11::array& x, const pybind11::object& out);

    const pybind11::object& Axis() const { return m_axis; }
    const std::string& Unit() const { return m_unit; }

private:
    const SegmentLayout& LayoutFor(pybind11::ssize_t length);
    pybind11::array Output(const pybind11::object& out) const;
    // A one-dimensional C-contiguous float32 array: used as it is.
    static bool IsPlainFloats(const pybind11::array& values);

    PsdSettings m_settings;
    std::string m_valueUnit; // the samples' unit
    std::string m_unit;      // the result's, from the last call
    SegmentLayout m_layout;  // for records of m_layout.length samples
    int m_averages = 0;
    int m_rows = 1;
    pybind11::object m_axis;
};
