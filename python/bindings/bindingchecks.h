#pragma once
// What the binding functions share: the per-thread workspace, and the
// checks that turn bad arguments into Python's ValueError.

#include "analysis/analysisworkspace.h"
#include "analysis/measurements.h"
#include "analysis/segmentlayout.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>

namespace bindings {

namespace py = pybind11;

using Samples = py::array_t<float, py::array::c_style | py::array::forcecast>;

// One workspace per thread: tables are made once per length and window, as
// a view keeps its own, and threads never share one.
inline AnalysisWorkspace& ThreadWorkspace()
{
    thread_local AnalysisWorkspace work;
    return work;
}

inline const float* Data(const Samples& samples, const char* name)
{
    if (samples.ndim() != 1)
        throw py::value_error(std::string(name) + " must be a one-dimensional array");
    return samples.data();
}

template <typename T> T Key(int key, int count, const char* what)
{
    if (key < 0 || key >= count)
        throw py::value_error(std::string("no such ") + what + ": " + std::to_string(key));
    return static_cast<T>(key);
}

// The PSD settings from the panels' item keys; raises for a key out of range.
inline PsdSettings PsdSettingsOf(int window, int average, int scale, bool density)
{
    PsdSettings settings;
    settings.window = Key<WindowType>(window, kWindowTypeCount, "window");
    settings.average = Key<AverageMode>(average, kAverageModeCount, "average");
    settings.scale = Key<LevelScale>(scale, kLevelScaleCount, "scale");
    settings.density = density;
    return settings;
}

// Raises for segment settings that no record length makes right: a
// transform length that is no power of two, dt <= 0, hop < 1.
inline void CheckSegmentSettings(double dt, int points, int hop, int averages, int start)
{
    if (points < 2 || (points & (points - 1)) != 0)
        throw py::value_error("points must be a power of two >= 2, not " + std::to_string(points));
    if (dt <= 0.0)
        throw py::value_error("dt must be positive");
    if (hop < 1 || averages < 0 || start < 0)
        throw py::value_error("hop must be >= 1, averages and start >= 0");
}

// The segments of `length` samples as the views cut a captured record;
// raises for bad settings or a record too short for its segments.
inline SegmentLayout Layout(py::ssize_t length, double dt, int points, int hop, int averages, int start)
{
    CheckSegmentSettings(dt, points, hop, averages, start);
    if (length > py::ssize_t(INT32_MAX))
        throw py::value_error("a record is analysed up to 2^31 - 1 samples");
    const SegmentLayout layout = MakeSegmentLayout(int(length), start, points, hop, averages, dt);
    if (!RecordHoldsSegments(layout))
        throw py::value_error("the record of " + std::to_string(length) + " samples is too short for " +
                              std::to_string(layout.count) + " segments of " + std::to_string(points) +
                              " points every " + std::to_string(hop) + " from " + std::to_string(start));
    return layout;
}

} // namespace bindings
