// krv._analysis: the measurements of KRV's views for numpy arrays.
//
// Every function takes float32 sample arrays (a C-contiguous float32 array
// is used in place; anything else is converted once), the settings by the
// integer item keys of the panels' lists, and returns new numpy arrays. The
// Python layer krv.analysis translates names to keys and adds the x axes.
// The kernels run with the GIL released, so that threads (and Dask's
// threaded workers) analyse side by side.

#include "bindingchecks.h"
#include "psdplan.h"

#include "analysis/analysisworkspace.h"
#include "analysis/correlation.h"
#include "analysis/measurements.h"
#include "analysis/multimeterstatistic.h"
#include "analysis/octaveanalyser.h"
#include "analysis/samplering.h"
#include "analysis/segmentlayout.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace py = pybind11;

namespace {

using namespace bindings;
using Values = py::array_t<float>;

SegmentLayout PairLayout(const Samples& x, const Samples& y, double dt, int points, int hop, int averages, int start)
{
    if (x.size() != y.size())
        throw py::value_error("x and y must hold as many samples");
    return Layout(x.size(), dt, points, hop, averages, start);
}

std::span<float> Span(Values& values) { return {values.mutable_data(), size_t(values.size())}; }

Values Rows(int rows, int bins)
{
    return rows > 1 ? Values({py::ssize_t(rows), py::ssize_t(bins)}) : Values(py::ssize_t(bins));
}

void Check(const MeasurementResult& result)
{
    if (!result.computed)
        throw py::value_error("the measurement could not be computed with these settings");
}

py::tuple AmplitudeSpectrumPy(const Samples& x, double dt, int points, int hop, int averages, int start, int window,
                              int average, int amplitude, int integration, int display, const std::string& unit)
{
    AmplitudeSettings settings;
    settings.window = Key<WindowType>(window, kWindowTypeCount, "window");
    settings.amplitude = Key<AmplitudeKind>(amplitude, 2, "amplitude");
    settings.integration = Key<Integration>(integration, 3, "integration");
    settings.display = Key<FftDisplay>(display, 3, "display");
    // Magnitude and phase or real and imaginary part come from the first
    // segment alone, as on screen.
    settings.average = settings.display == FftDisplay::Magnitude
        ? Key<AverageMode>(average, kAverageModeCount, "average")
        : AverageMode::Linear;
    const float* samples = Data(x, "x");
    const SegmentLayout layout = Layout(x.size(), dt, points, hop, averages, start);
    const int rows = KeepsRows(settings.average) ? layout.count : 1;
    Values first = Rows(rows, layout.Bins());
    Values second(layout.Bins());
    MeasurementResult result;
    {
        py::gil_scoped_release release;
        result = AmplitudeSpectrum(ThreadWorkspace(), samples, layout, settings, unit,
                                   TraceArrays{Span(first), Span(second)});
    }
    Check(result);
    py::object secondOut = settings.display == FftDisplay::Magnitude ? py::object(py::none()) : second;
    return py::make_tuple(first, secondOut, result.firstUnit, result.secondUnit);
}

// The PSD of a record of `length` values: a sample pointer or ChannelBlocks.
template <typename Record>
py::tuple PsdOf(const Record& record, py::ssize_t length, double dt, int points, int hop, int averages, int start,
                const PsdSettings& settings, const std::string& unit)
{
    const SegmentLayout layout = Layout(length, dt, points, hop, averages, start);
    Values out = Rows(KeepsRows(settings.average) ? layout.count : 1, layout.Bins());
    MeasurementResult result;
    {
        py::gil_scoped_release release;
        result = PowerSpectralDensity(ThreadWorkspace(), record, layout, settings, unit, Span(out));
    }
    Check(result);
    return py::make_tuple(out, result.firstUnit);
}

py::tuple PsdPy(const Samples& x, double dt, int points, int hop, int averages, int start, int window, int average,
                int scale, bool density, const std::string& unit)
{
    const PsdSettings settings = PsdSettingsOf(window, average, scale, density);
    return PsdOf(Data(x, "x"), x.size(), dt, points, hop, averages, start, settings, unit);
}

py::tuple FrfPy(const Samples& x, const Samples& y, double dt, int points, int hop, int averages, int start,
                int window, int display, int estimator, int level, const std::string& unit)
{
    FrfSettings settings;
    settings.window = Key<WindowType>(window, kWindowTypeCount, "window");
    settings.display = Key<FrfDisplay>(display, 2, "display");
    settings.estimator = Key<FrfEstimator>(estimator, 3, "estimator");
    settings.level = Key<FrfLevel>(level, 2, "level");
    const float* xs = Data(x, "x");
    const float* ys = Data(y, "y");
    const SegmentLayout layout = PairLayout(x, y, dt, points, hop, averages, start);
    Values first(layout.Bins());
    Values second(layout.Bins());
    MeasurementResult result;
    {
        py::gil_scoped_release release;
        result = FrequencyResponse(ThreadWorkspace(), xs, ys, layout, settings, unit, Span(first), Span(second));
    }
    Check(result);
    return py::make_tuple(first, second, result.firstUnit, result.secondUnit);
}

Values CoherencePy(const Samples& x, const Samples& y, double dt, int points, int hop, int averages, int start,
                   int window)
{
    const WindowType type = Key<WindowType>(window, kWindowTypeCount, "window");
    const float* xs = Data(x, "x");
    const float* ys = Data(y, "y");
    const SegmentLayout layout = PairLayout(x, y, dt, points, hop, averages, start);
    Values out(layout.Bins());
    MeasurementResult result;
    {
        py::gil_scoped_release release;
        result = Coherence(ThreadWorkspace(), xs, ys, layout, type, Span(out));
    }
    Check(result);
    return out;
}

py::tuple CrossSpectrumPy(const Samples& x, const Samples& y, double dt, int points, int hop, int averages,
                          int start, int window, bool density, const std::string& unit)
{
    const WindowType type = Key<WindowType>(window, kWindowTypeCount, "window");
    const float* xs = Data(x, "x");
    const float* ys = Data(y, "y");
    const SegmentLayout layout = PairLayout(x, y, dt, points, hop, averages, start);
    Values magnitude(layout.Bins());
    Values phase(layout.Bins());
    MeasurementResult result;
    {
        py::gil_scoped_release release;
        result = CrossSpectrum(ThreadWorkspace(), xs, ys, layout, type, density, unit, Span(magnitude), Span(phase));
    }
    Check(result);
    return py::make_tuple(magnitude, phase, result.firstUnit, result.secondUnit);
}

// The segment of `points` samples from `start` of x and y, as the
// correlation views take it.
Values CorrelatePy(const Samples& x, const Samples& y, int points, int start, bool normalise)
{
    const float* xs = Data(x, "x");
    const float* ys = Data(y, "y");
    if (x.size() != y.size())
        throw py::value_error("x and y must hold as many samples");
    if (points < 2 || (points & (points - 1)) != 0)
        throw py::value_error("points must be a power of two >= 2, not " + std::to_string(points));
    if (start < 0 || py::ssize_t(start) + points > x.size())
        throw py::value_error("the record is too short for " + std::to_string(points) + " points from " +
                              std::to_string(start));
    Values out(points);
    float* result = out.mutable_data();
    {
        py::gil_scoped_release release;
        Correlate(ThreadWorkspace(), xs + start, ys + start, result, points, normalise);
    }
    return out;
}

py::tuple SpectrogramPy(const Samples& x, double dt, int points, int hop, int averages, int start, int window,
                        int scale)
{
    const WindowType type = Key<WindowType>(window, kWindowTypeCount, "window");
    const LevelScale level = Key<LevelScale>(scale, kLevelScaleCount, "scale");
    const float* samples = Data(x, "x");
    const SegmentLayout layout = Layout(x.size(), dt, points, hop, averages, start);
    if (layout.count < 2)
        throw py::value_error("a spectrogram needs at least two segments");
    Values rows({py::ssize_t(layout.count), py::ssize_t(layout.Bins())});
    bool made = false;
    {
        py::gil_scoped_release release;
        made = SpectrogramRows(ThreadWorkspace(), samples, layout, type, level, Span(rows));
    }
    if (!made)
        throw py::value_error("the spectrogram could not be computed with these settings");
    return py::make_tuple(rows, SpectrogramUnit(level));
}

// Runs all of x through a freshly designed filter bank: the levels are those
// the octave view shows after the last sample, with the time weighting's
// memory of what came before.
py::tuple OctaveLevelsPy(const Samples& x, double dt, int bandsPerOctave, int weighting, double lowHz, double highHz,
                         double tau)
{
    if (bandsPerOctave != 1 && bandsPerOctave != 3 && bandsPerOctave != 6 && bandsPerOctave != 12 &&
        bandsPerOctave != 24)
        throw py::value_error("bands per octave must be 1, 3, 6, 12 or 24");
    if (dt <= 0.0 || lowHz <= 0.0 || highHz < lowHz)
        throw py::value_error("dt must be positive and 0 < low <= high");
    const auto type = Key<OctaveAnalyser::Weighting>(weighting, 4, "weighting");
    const float* samples = Data(x, "x");
    const auto count = x.size();
    auto analyser = std::make_unique<OctaveAnalyser>();   // about 80 KB: not on the stack
    {
        py::gil_scoped_release release;
        analyser->Design(bandsPerOctave, type, lowHz, highHz, dt);
        analyser->SetTimeWeighting(tau);
        constexpr py::ssize_t kChunk = 1 << 20;
        for (py::ssize_t done = 0; done < count; done += kChunk)
            analyser->Process(samples + done, int(std::min(kChunk, count - done)));
    }
    const int bands = analyser->BandCount();
    py::array_t<double> centres(bands);
    py::array_t<double> levels(bands);
    for (int b = 0; b < bands; ++b) {
        centres.mutable_at(b) = analyser->Centre(b);
        levels.mutable_at(b) = analyser->BandLevels()[size_t(b)];
    }
    return py::make_tuple(centres, levels, analyser->WeightedTotal(), analyser->UnweightedTotal(),
                          std::string(OctaveAnalyser::WeightingUnit(type)));
}

// The multimeter's statistic over the last `window` samples of x (0: all).
double MultimeterPy(const Samples& x, int window, int statistic)
{
    const auto type = Key<MultimeterStatistic>(statistic, kMultimeterStatisticCount, "statistic");
    const float* samples = Data(x, "x");
    if (window < 0)
        throw py::value_error("window must be >= 0");
    if (x.size() > py::ssize_t(INT32_MAX))
        throw py::value_error("up to 2^31 - 1 samples");
    const int count = int(x.size());
    const int kept = window == 0 ? count : std::min(window, count);
    py::gil_scoped_release release;
    SampleRing ring;
    ring.SetCapacity(std::max(kept, 1));
    ring.Append(samples + (count - kept), kept);
    return ComputeStatistic(ring, kept, type);
}

// A channel as it lies in a recording's blocks: `rows` is a 2-D float32 array
// of blocks × values whose rows are contiguous (a view of the file's map,
// rows apart by the other channels' values), `frames` how many values of
// the rows, front to back, the record holds. Read in place, never copied.
ChannelBlocks BlocksOf(const py::array& rows, py::ssize_t frames)
{
    const py::dtype type = rows.dtype();
    if (rows.ndim() != 2 || type.kind() != 'f' || type.itemsize() != sizeof(float))
        throw py::value_error("rows must be a 2-D float32 array");
    const py::ssize_t blockFrames = rows.shape(1);
    if (blockFrames < 1 || blockFrames > py::ssize_t(INT32_MAX) || rows.strides(1) != py::ssize_t(sizeof(float)) ||
        rows.strides(0) % py::ssize_t(sizeof(float)) != 0 || rows.strides(0) < blockFrames * py::ssize_t(sizeof(float)))
        throw py::value_error("rows must each be contiguous, one after another in memory");
    if (frames < 0 || frames > rows.shape(0) * blockFrames || frames > py::ssize_t(INT32_MAX))
        throw py::value_error("frames must be from 0 to the number of values in rows");
    return ChannelBlocks{static_cast<const float*>(rows.data()), rows.strides(0) / py::ssize_t(sizeof(float)),
                         int(blockFrames), int(frames)};
}

py::tuple PsdBlocksPy(const py::array& rows, py::ssize_t frames, double dt, int points, int hop, int averages,
                      int start, int window, int average, int scale, bool density, const std::string& unit)
{
    const PsdSettings settings = PsdSettingsOf(window, average, scale, density);
    return PsdOf(BlocksOf(rows, frames), frames, dt, points, hop, averages, start, settings, unit);
}

// Seconds per PSD call timed inside C++, for comparing the binding's
// overhead with a direct call on the same data.
double TimePsdDirect(const Samples& x, double dt, int points, int hop, int repeat)
{
    const float* samples = Data(x, "x");
    const SegmentLayout layout = Layout(x.size(), dt, points, hop, 0, 0);
    std::vector<float> out(size_t(layout.Bins()));
    PsdSettings settings;
    py::gil_scoped_release release;
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < repeat; ++i)
        PowerSpectralDensity(ThreadWorkspace(), samples, layout, settings, "", out);
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
    return spent.count() / std::max(repeat, 1);
}

} // namespace

PYBIND11_MODULE(_analysis, m)
{
    m.doc() = "KRV's analysis kernels; use krv.analysis, which names the settings.";
    using namespace pybind11::literals;
    m.def("amplitude_spectrum", &AmplitudeSpectrumPy, "x"_a, "dt"_a, "points"_a, "hop"_a, "averages"_a, "start"_a,
          "window"_a, "average"_a, "amplitude"_a, "integration"_a, "display"_a, "unit"_a);
    m.def("psd", &PsdPy, "x"_a, "dt"_a, "points"_a, "hop"_a, "averages"_a, "start"_a, "window"_a, "average"_a,
          "scale"_a, "density"_a, "unit"_a);
    m.def("psd_blocks", &PsdBlocksPy, "rows"_a, "frames"_a, "dt"_a, "points"_a, "hop"_a, "averages"_a, "start"_a,
          "window"_a, "average"_a, "scale"_a, "density"_a, "unit"_a);
    m.def("frf", &FrfPy, "x"_a, "y"_a, "dt"_a, "points"_a, "hop"_a, "averages"_a, "start"_a, "window"_a,
          "display"_a, "estimator"_a, "level"_a, "unit"_a);
    m.def("coherence", &CoherencePy, "x"_a, "y"_a, "dt"_a, "points"_a, "hop"_a, "averages"_a, "start"_a,
          "window"_a);
    m.def("cross_spectrum", &CrossSpectrumPy, "x"_a, "y"_a, "dt"_a, "points"_a, "hop"_a, "averages"_a, "start"_a,
          "window"_a, "density"_a, "unit"_a);
    m.def("correlate", &CorrelatePy, "x"_a, "y"_a, "points"_a, "start"_a, "normalise"_a);
    m.def("spectrogram", &SpectrogramPy, "x"_a, "dt"_a, "points"_a, "hop"_a, "averages"_a, "start"_a, "window"_a,
          "scale"_a);
    m.def("octave_levels", &OctaveLevelsPy, "x"_a, "dt"_a, "bands_per_octave"_a, "weighting"_a, "low"_a,
          "high"_a, "tau"_a);
    m.def("multimeter", &MultimeterPy, "x"_a, "window"_a, "statistic"_a);
    py::class_<PsdPlan>(m, "PsdPlan", "The PSD with its settings fixed; call it with a record (and out=).")
        .def(py::init<double, int, int, int, int, int, int, int, bool, std::string, py::object>(), "dt"_a,
             "points"_a, "hop"_a, "averages"_a, "start"_a, "window"_a, "average"_a, "scale"_a, "density"_a,
             "unit"_a, "x"_a)
        .def("__call__", &PsdPlan::operator(), "values"_a, "out"_a = py::none())
        .def_property_readonly("x", &PsdPlan::Axis)
        .def_property_readonly("unit", &PsdPlan::Unit);
    m.def("time_psd_direct", &TimePsdDirect, "x"_a, "dt"_a, "points"_a, "hop"_a, "repeat"_a);
}
