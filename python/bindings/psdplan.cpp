#include "psdplan.h"

#include "bindingchecks.h"

#include <optional>
#include <utility>

namespace py = pybind11;
using namespace bindings;

PsdPlan::PsdPlan(double dt, int points, int hop, int averages, int start, int window, int average, int scale,
                 bool density, std::string unit, py::object axis)
    : m_settings(PsdSettingsOf(window, average, scale, density)), m_valueUnit(std::move(unit)),
      m_averages(averages), m_axis(std::move(axis))
{
    CheckSegmentSettings(dt, points, hop, averages, start);
    m_layout.points = points;
    m_layout.hop = hop;
    m_layout.start = start;
    m_layout.dt = dt;
    m_layout.length = -1; // no record seen yet
}

// Records of one length follow each other: the layout is made again only
// when the length changes.
const SegmentLayout& PsdPlan::LayoutFor(py::ssize_t length)
{
    if (length != m_layout.length) {
        m_layout = Layout(length, m_layout.dt, m_layout.points, m_layout.hop, m_averages, m_layout.start);
        m_rows = KeepsRows(m_settings.average) ? m_layout.count : 1;
    }
    return m_layout;
}

bool PsdPlan::IsPlainFloats(const py::array& values)
{
    // The flag and the descriptor are read directly: the checks are paid on
    // every call, and a short transform costs only a few microseconds.
    const py::dtype type = values.dtype();
    return (values.flags() & py::array::c_style) != 0 && type.kind() == 'f' && type.itemsize() == sizeof(float);
}

py::array PsdPlan::Output(const py::object& out) const
{
    const py::ssize_t size = py::ssize_t(m_rows) * m_layout.Bins();
    if (out.is_none()) {
        if (m_rows > 1)
            return py::array_t<float>({py::ssize_t(m_rows), py::ssize_t(m_layout.Bins())});
        return py::array_t<float>(size);
    }
    // Written in place: only an array that needs no conversion will do.
    if (!py::isinstance<py::array>(out))
        throw py::value_error("out must be a float32 array");
    auto array = py::reinterpret_borrow<py::array>(out);
    if (!IsPlainFloats(array) || !array.writeable() || array.size() != size)
        throw py::value_error("out must be a writeable C-contiguous float32 array of " + std::to_string(size) +
                              " values");
    return array;
}

py::array PsdPlan::operator()(const py::array& x, const py::object& out)
{
    // Anything but a C-contiguous float32 array is converted once.
    std::optional<Samples> converted;
    const py::array* samplesArray = &x;
    if (!IsPlainFloats(x)) {
        converted = Samples::ensure(x);
        if (!*converted)
            throw py::value_error("values must be an array of numbers");
        samplesArray = &*converted;
    }
    if (samplesArray->ndim() != 1)
        throw py::value_error("values must be a one-dimensional array");
    const auto* samples = static_cast<const float*>(samplesArray->data());
    // Copies: another thread may call this plan with another length while
    // this one computes without the GIL.
    const SegmentLayout layout = LayoutFor(samplesArray->size());
    const size_t count = size_t(m_rows) * size_t(layout.Bins());
    py::array result = Output(out);
    auto* values = static_cast<float*>(result.mutable_data());
    MeasurementResult made;
    {
        py::gil_scoped_release release;
        made = PowerSpectralDensity(ThreadWorkspace(), samples, layout, m_settings, m_valueUnit,
                                    std::span<float>(values, count));
    }
    if (!made.computed)
        throw py::value_error("the measurement could not be computed with these settings");
    if (made.firstUnit != m_unit)
        m_unit = made.firstUnit;
    return result;
}
