"""krv.analysis against the views' own analyses (krv_view_compute) on the
same samples and settings.

The equality is exact (np.array_equal, not a tolerance): the bindings and
the views call the same C++ measurement functions on the same float32
samples with the same segments, window tables and summation order, so any
difference in the bits means the two paths do not compute the same thing.
The x axes are built differently (numpy in float64, the view a start and a
float32 step), so they agree to float32 rounding only.
"""

import glob
import itertools
import os

import numpy as np
import pytest

from conftest import BIN_DIR, record, run, tool

if not glob.glob(str(BIN_DIR / "_analysis.cpython-*.so")) and "KRV_REQUIRE_ANALYSIS" not in os.environ:
    pytest.skip("krv._analysis is not built (no pybind11)", allow_module_level=True)

import krv.analysis as analysis  # noqa: E402
import krv.vrd as vrd  # noqa: E402

DT = 1.0 / 4096
N = 256
HOP = 96                 # overlapping segments that do not tile the record
FRAMES = 12 * N + 37     # a tail no segment reaches
WINDOWS = range(7)
SCALES = range(5)
AVERAGES = range(4)      # "Linear", "Peak hold", "Cascade", "Spctgrm"


def signal(seed, frames=FRAMES, dt=DT):
    """Noise with two tones, one on a bin and one between bins."""
    t = np.arange(frames) * dt
    rng = np.random.default_rng(seed)
    x = 0.3 * rng.normal(size=frames) + np.cos(2 * np.pi * 20 / (N * dt) * t) \
        + 0.5 * np.sin(2 * np.pi * 47.5 / (N * dt) * t)
    return x.astype(np.float32)


X = signal(1)
Y = (0.5 * np.roll(X, 3) + 0.1 * signal(2)).astype(np.float32)


def view(tmp_path, name, x, y=None, **settings):
    """The view's display after its analysis: header values, and arrays
    0 … 3 shaped rows × points (points alone for one row)."""
    x_path = tmp_path / "x.f32"
    np.ascontiguousarray(x, dtype=np.float32).tofile(x_path)
    args = [tool("krv_view_compute"), name, tmp_path / "out", "x=%s" % x_path]
    if y is not None:
        np.ascontiguousarray(y, dtype=np.float32).tofile(tmp_path / "y.f32")
        args.append("y=%s" % (tmp_path / "y.f32"))
    args += ["%s=%s" % (key, int(value) if isinstance(value, bool) else value) for key, value in settings.items()]
    result = run(*args)
    assert result.returncode == 0, result.stderr
    header = dict(line.split(" ", 1) if " " in line else (line, "")
                  for line in (tmp_path / "out").read_text().splitlines())
    out = {key: header[key] for key in header if key.startswith("unit")}
    if name in ("octave", "multimeter"):
        out.update({key: float(value) for key, value in header.items()})
        for array in ("centres", "levels"):
            if (tmp_path / ("out." + array)).exists():
                out[array] = np.fromfile(tmp_path / ("out." + array), dtype=np.float64)
        return out
    out.update({key: int(header[key]) for key in ("outcome", "points", "rows", "active0", "active1")})
    out["xstart"] = float(header["xstart"])
    out["xstep"] = np.float32(header["xstep"])
    shape = (out["points"],) if out["rows"] == 1 else (out["rows"], out["points"])
    for i in range(4):
        path = tmp_path / ("out.%d" % i)
        out[i] = np.fromfile(path, dtype=np.float32).reshape(shape) if path.exists() else None
    return out


MADE = 2  # ViewData::Outcome::Made


def assert_frequency_axis(shown, trace, points=N, dt=DT):
    assert shown["outcome"] == MADE
    assert shown["points"] == len(trace.x) == points // 2
    assert shown["xstart"] == 0.0
    assert shown["xstep"] == np.float32(1 / (points * dt))
    np.testing.assert_allclose(np.arange(shown["points"]) * float(shown["xstep"]), trace.x, rtol=1e-6)


def segments(start=0, averages=0):
    return dict(dt=DT, points=N, hop=HOP, averages=averages, start=start)


def tool_segments(start=0, averages=0):
    return dict(dt=repr(DT), points=N, hop=HOP, averages=averages, start=start)


# ---- spectra of one channel ----------------------------------------------

@pytest.mark.parametrize("window, average, amplitude, integration, start, averages", [
    *[(w, 0, 0, 0, 0, 0) for w in WINDOWS],
    *[(2, a, k, i, 0, 0) for a, k, i in itertools.product(AVERAGES, range(2), range(3))],
    (5, 3, 1, 0, 50, 4),
])
def test_amplitude_spectrum_equals_the_fft_view(tmp_path, window, average, amplitude, integration, start, averages):
    trace = analysis.amplitude_spectrum(X, window=window, average=average, amplitude=amplitude,
                                        integration=integration, unit="V", **segments(start, averages))
    shown = view(tmp_path, "fft", X, window=window, average=average, amplitude=amplitude,
                 integration=integration, display=0, **tool_segments(start, averages))
    assert_frequency_axis(shown, trace)
    assert np.array_equal(shown[0], trace.values)
    assert shown["unit0"] == trace.unit
    assert shown["active0"] == 1 and shown["active1"] == 0


@pytest.mark.parametrize("display", [1, 2])
@pytest.mark.parametrize("integration", range(3))
def test_the_fft_views_second_quantity_comes_from_the_first_segment_as_the_bindings(tmp_path, display, integration):
    trace = analysis.amplitude_spectrum(X, display=display, integration=integration, unit="V", **segments())
    shown = view(tmp_path, "fft", X, display=display, integration=integration, **tool_segments())
    assert np.array_equal(shown[0], trace.values)
    assert np.array_equal(shown[2], trace.second)
    assert (shown["unit0"], shown["unit2"]) == (trace.unit, trace.second_unit)


@pytest.mark.parametrize("window, average, scale, density", [
    *[(w, 0, 0, False) for w in WINDOWS],
    *itertools.product([2], AVERAGES, SCALES, [False, True]),
    (6, 1, 1, True),
])
def test_psd_equals_the_psd_view(tmp_path, window, average, scale, density):
    trace = analysis.psd(X, window=window, average=average, scale=scale, density=density, unit="V", **segments())
    shown = view(tmp_path, "psd", X, window=window, average=average, scale=scale, density=density,
                 **tool_segments())
    assert_frequency_axis(shown, trace)
    assert np.array_equal(shown[0], trace.values)
    assert shown["unit0"] == trace.unit


@pytest.mark.parametrize("window, scale", [*[(w, 1) for w in WINDOWS], *[(2, s) for s in SCALES]])
def test_spectrogram_equals_the_spectrogram_view_for_both_channels(tmp_path, window, scale):
    shown = view(tmp_path, "spg", X, Y, window=window, scale=scale, **tool_segments(start=10))
    for slot, x in enumerate((X, Y)):
        trace = analysis.spectrogram(x, window=window, scale=scale, **segments(start=10))
        assert_frequency_axis(shown, trace)
        assert shown["rows"] == trace.values.shape[0] == (FRAMES - 10 - N) // HOP + 1
        assert np.array_equal(shown[slot], trace.values)
        assert shown["unit%d" % slot] == trace.unit


# ---- two-channel spectra -------------------------------------------------

@pytest.mark.parametrize("window, display, estimator, level", [
    *[(w, 0, 1, 1) for w in WINDOWS],
    *itertools.product([2], range(2), range(3), range(2)),
])
def test_frequency_response_equals_the_frf_view(tmp_path, window, display, estimator, level):
    trace = analysis.frf(X, Y, window=window, display=display, estimator=estimator, level=level, unit="V",
                         **segments())
    shown = view(tmp_path, "frf", X, Y, window=window, display=display, estimator=estimator, level=level,
                 **tool_segments())
    assert_frequency_axis(shown, trace)
    # Noise at the input: every bin has input energy, none is marked.
    assert np.array_equal(shown[0], trace.values)
    assert np.array_equal(shown[1], trace.second)
    assert (shown["unit0"], shown["unit1"]) == (trace.unit, trace.second_unit)


def test_the_frf_view_blanks_bins_without_input_that_the_binding_returns(tmp_path):
    # The view shows no response where the input has no energy (NaN, a gap
    # in the trace); the binding returns the quotient there as computed.
    x = np.cos(2 * np.pi * 20 / (N * DT) * np.arange(FRAMES) * DT).astype(np.float32)
    y = (2 * x).astype(np.float32)
    trace = analysis.frf(x, y, window="Rectangle", level="linear", **segments())
    shown = view(tmp_path, "frf", x, y, window=0, level=0, **tool_segments())
    blank = np.isnan(shown[0])
    assert blank.any() and not blank[20]
    assert np.array_equal(np.isnan(shown[1]), blank)
    assert np.array_equal(shown[0][~blank], trace.values[~blank])
    assert np.array_equal(shown[1][~blank], trace.second[~blank])


@pytest.mark.parametrize("window", WINDOWS)
def test_coherence_and_cross_spectrum_equal_their_views(tmp_path, window):
    trace = analysis.coherence(X, Y, window=window, **segments())
    shown = view(tmp_path, "coh", X, Y, window=window, **tool_segments())
    assert_frequency_axis(shown, trace)
    assert np.array_equal(shown[0], trace.values)
    for density in (False, True):
        trace = analysis.cross_spectrum(X, Y, window=window, density=density, unit="V", **segments())
        shown = view(tmp_path, "crs", X, Y, window=window, density=density, **tool_segments())
        assert np.array_equal(shown[0], trace.values)
        assert np.array_equal(shown[1], trace.second)
        assert (shown["unit0"], shown["unit1"]) == (trace.unit, trace.second_unit)


# ---- correlations ----------------------------------------------------------

@pytest.mark.parametrize("normalise", [True, False])
@pytest.mark.parametrize("start", [0, 123])
def test_correlations_equal_the_correlation_views(tmp_path, normalise, start):
    def assert_lag_axis(shown, trace):
        assert shown["points"] == len(trace.x) == N
        assert shown["xstart"] == trace.x[0]
        assert shown["xstep"] == np.float32(DT)
        np.testing.assert_allclose(shown["xstart"] + np.arange(N) * float(shown["xstep"]), trace.x,
                                   rtol=0, atol=1e-9 * N * DT)

    trace = analysis.cross_correlation(X, Y, DT, N, start=start, normalise=normalise)
    shown = view(tmp_path, "ccr", X, Y, normed=normalise, **tool_segments(start))
    assert_lag_axis(shown, trace)
    assert np.array_equal(shown[0], trace.values)
    shown = view(tmp_path, "acr", X, Y, normed=normalise, **tool_segments(start))
    for slot, x in enumerate((X, Y)):
        trace = analysis.autocorrelation(x, DT, N, start=start, normalise=normalise)
        assert_lag_axis(shown, trace)
        assert np.array_equal(shown[slot], trace.values)


# ---- a recording ------------------------------------------------------------

def test_psd_of_a_recording_equals_the_psd_view_of_its_samples(tmp_path):
    rate, frames = 8000, 3 * 4096 + 100
    path = record("continuous", str(tmp_path / "run.vrd"), 2, frames, rate, 4096)
    rec = vrd.read(path)
    assert rec.dt == pytest.approx(1 / rate, rel=1e-12)
    for channel in range(2):
        x = rec.channel(channel)
        # The writer's counter, (j mod 2^21) + c / 4: the recording's own samples.
        assert np.array_equal(x, (np.arange(frames) + channel / 4).astype(np.float32))
        trace = analysis.psd(x, rec.dt, points=1024, overlap=0.5, scale="db", density=True, unit="V")
        shown = view(tmp_path, "psd", x, dt=repr(rec.dt), points=1024, hop=512, window=2, scale=1, density=1)
        assert_frequency_axis(shown, trace, points=1024, dt=rec.dt)
        assert np.array_equal(shown[0], trace.values)


# ---- streaming analysers ----------------------------------------------------

@pytest.mark.parametrize("bands, weighting, tau", [(3, 0, 1.0), (1, 1, 0.125), (12, 3, 0.035), (3, 2, 0.0)])
@pytest.mark.parametrize("block", [480, 1000, 4096])
def test_octave_levels_equal_the_analyser_fed_in_blocks(tmp_path, bands, weighting, tau, block):
    dt = 1.0 / 48000
    x = signal(3, frames=48000 + 77, dt=dt)
    levels = analysis.octave_levels(x, dt, bands, weighting=weighting, time_weighting=tau, low=20.0, high=20000.0)
    shown = view(tmp_path, "octave", x, dt=repr(dt), bands=bands, weighting=weighting, low=20.0, high=20000.0,
                 tau=repr(tau), block=block)
    assert shown["bands"] == len(levels.levels) > 0
    assert np.array_equal(shown["centres"], levels.centre)
    assert np.array_equal(shown["levels"], levels.levels)
    assert (shown["weighted"], shown["unweighted"]) == (levels.total, levels.unweighted_total)


@pytest.mark.parametrize("statistic", ["ONE", "MEAN", "RMS", "MIN", "MAX"])
@pytest.mark.parametrize("block", [480, 1000, 777])
def test_multimeter_equals_the_statistic_the_view_takes_block_by_block(tmp_path, statistic, block):
    dt = 1.0 / 48000
    window = 4800  # 0.1 s
    x = (signal(4, frames=5 * window + 123, dt=dt) + 0.25).astype(np.float32)
    shown = view(tmp_path, "multimeter", x, window=window, block=block,
                 statistic=["ONE", "MEAN", "RMS", "MIN", "MAX"].index(statistic))
    taken = int(shown["taken"])
    assert taken > 4 * window
    # The view evaluates once its ring holds the window, then starts a new
    # one: its value is the statistic of the window ending there.
    assert shown["value"] == analysis.multimeter(x[:taken], dt, statistic, seconds=window * dt)
