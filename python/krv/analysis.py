"""KRV's own measurements for numpy arrays.

The functions run the C++ analysis of KRV's views (the compiled module
``krv._analysis``) with the settings of the views' panels, so that a script
reads what the screen shows. Samples are float32; a C-contiguous float32
array is used in place, anything else is converted once. The computation
runs without the GIL: threads analyse side by side.

A record is cut into ``averages`` segments of ``points`` samples (a power
of two), one every ``hop`` samples from ``start``; ``averages=0`` takes as
many as fit ("Auto"). ``overlap`` (a fraction below 1) may stand for
``hop``: overlap 0.5 is hop points/2. The frequency axis is k / (points·dt)
for k = 0 … points/2 − 1.

Settings are given by the panels' names, case and blanks ignored, or by
their list keys: ``window`` "Rectangle", "Bartlett", "Hann", "Hamming",
"Blackman", "Flattop", "Low sidelobe"; ``average`` "Linear", "Peak hold",
"Cascade", "Spctgrm"; ``scale`` "Lin. RMS" (or "linear"), "10 log p/p0"
(or "db"), "10 log p/pmax" (or "dbmax"), "dBV", "dBu".

Example::

    rec = krv.vrd.read("run.vrd")
    psd = krv.analysis.psd(rec.channel(0), rec.dt, points=4096, overlap=0.5,
                           scale="db", density=True)
    psd.x, psd.values, psd.unit       # Hz, dB, "dB"
"""

import functools
import glob
import importlib.util
import os
import sys
from dataclasses import dataclass
from pathlib import Path

import numpy as np

from .vrd import ChannelBlocks

__all__ = ["Trace", "OctaveLevels", "amplitude_spectrum", "psd", "psd_plan", "frf", "coherence", "cross_spectrum",
           "autocorrelation", "cross_correlation", "spectrogram", "octave_levels", "multimeter"]


def _load_module():
    """krv._analysis: installed beside this file, or from a build tree's
    bin folder (KRV_BIN_DIR, else build/bin of the source tree)."""
    try:
        from . import _analysis
        return _analysis
    except ImportError:
        pass
    folders = [os.environ.get("KRV_BIN_DIR"), Path(__file__).resolve().parents[2] / "build" / "bin"]
    for folder in filter(None, folders):
        found = sorted(glob.glob(os.path.join(str(folder), "_analysis.cpython-*.so")))
        if found:
            spec = importlib.util.spec_from_file_location(__package__ + "._analysis", found[0])
            module = importlib.util.module_from_spec(spec)
            spec.loader.exec_module(module)
            sys.modules[spec.name] = module
            return module
    raise ImportError("krv._analysis is not built: build KRV with pybind11 (Debian pybind11-dev, python3-dev) "
                      "and set KRV_BIN_DIR to its bin folder")


_kernels = _load_module()


@dataclass
class Trace:
    """A measurement's result: ``x`` the axis (frequency in Hz, or lag in
    seconds), ``values`` one value per x (rows x len(x) for "Cascade" and
    "Spctgrm"), ``second`` the second quantity where there is one (phase in
    degrees, imaginary part), else None; units as the view labels them."""

    x: np.ndarray
    values: np.ndarray
    unit: str
    second: np.ndarray = None
    second_unit: str = ""


@dataclass
class OctaveLevels:
    """Band levels in dB re 20 µPa at the band centres (Hz), the weighted
    overall level ``total`` (unit "dB", "dBA", "dBB" or "dBC") and the
    unweighted one ``unweighted_total`` (OASPL, dB)."""

    centre: np.ndarray
    levels: np.ndarray
    total: float
    unweighted_total: float
    unit: str


class _Names:
    """One of the panels' lists: a setting's name (case, blanks, dots and
    underscores ignored) or list key to its key, remembered per value so
    that a repeated call pays a dictionary look-up."""

    def __init__(self, what, names):
        self.what = what
        self.names = names
        self.known = {}

    def __call__(self, value):
        try:
            return self.known[value]
        except (KeyError, TypeError):
            pass
        key = self.resolve(value)
        try:
            self.known[value] = key
        except TypeError:   # unhashable: resolved every time
            pass
        return key

    def resolve(self, value):
        if isinstance(value, (int, np.integer)):
            if not 0 <= value < len(self.names):
                raise ValueError("no such %s: %d" % (self.what, value))
            return int(value)
        wanted = str(value).lower().replace(" ", "").replace(".", "").replace("_", "")
        for key, aliases in enumerate(self.names):
            if wanted in aliases:
                return key
        raise ValueError("no such %s: %r" % (self.what, value))


_WINDOWS = _Names("window", (("rectangle", "rect"), ("bartlett",), ("hann", "hanning"), ("hamming",),
                              ("blackman",), ("flattop",), ("lowsidelobe",)))
_AVERAGES = _Names("average", (("linear", "lin"), ("peakhold", "peak"), ("cascade",), ("spctgrm", "spectrogram")))
_SCALES = _Names("scale", (("linrms", "linear", "lin"), ("10logp/p0", "db"), ("10logp/pmax", "dbmax"), ("dbv",),
                           ("dbu", "dbuv")))
_AMPLITUDES = _Names("amplitude", (("peak",), ("rms",)))
_INTEGRATIONS = _Names("integration", (("none", "off"), ("int", "single"), ("intint", "double")))
_FFT_DISPLAYS = _Names("display", (("mag", "magnitude"), ("mag+phase", "magphase"), ("re+im", "reim")))
_FRF_DISPLAYS = _Names("display", (("mag+phase", "magphase"), ("re+im", "reim")))
_ESTIMATORS = _Names("estimator", (("h0",), ("h1",), ("h2",)))
_FRF_LEVELS = _Names("level", (("linrms", "linear", "lin"), ("10log", "db")))
_WEIGHTINGS = _Names("weighting", (("linear", "lin", "z"), ("a", "aweight"), ("b", "bweight"),
                                   ("c", "cweight")))
_TIME_WEIGHTINGS = {"slow": 1.0, "fast": 0.125, "35ms": 0.035}
_STATISTICS = _Names("statistic", (("one",), ("mean",), ("rms",), ("min",), ("max",)))


def _samples(x):
    return np.ascontiguousarray(x, dtype=np.float32)


def _hop(points, hop, overlap):
    if hop is not None and overlap is not None:
        raise ValueError("give hop or overlap, not both")
    if overlap is not None:
        if not 0 <= overlap < 1:
            raise ValueError("overlap is a fraction from 0 to below 1, not %r" % overlap)
        return max(1, int(round(points * (1 - overlap))))
    return points if hop is None else int(hop)


# The axes are shared by the results of equal settings (read-only): making
# them costs more than a short transform.
@functools.lru_cache(maxsize=64)
def _frequencies(points, dt):
    axis = np.arange(points // 2) / (points * dt)
    axis.flags.writeable = False
    return axis


def _segments(points, dt, hop, overlap, averages, start):
    return dict(dt=float(dt), points=int(points), hop=_hop(points, hop, overlap), averages=int(averages),
                start=int(start))


def amplitude_spectrum(x, dt, points=1024, *, hop=None, overlap=None, averages=0, start=0, window="hann",
                       average="linear", amplitude="peak", integration="none", display="mag", unit=""):
    """The FFT view's amplitude spectrum: a sine of amplitude A on a bin
    reads A ("peak") or A/√2 ("rms"). ``display`` "Mag" (averaged), "Mag+Phase"
    or "RE+IM" (first segment only; the phase in degrees or the imaginary
    part in ``second``); ``integration`` "Int" or "Int Int" divides by ω or ω²."""
    values, second, unit1, unit2 = _kernels.amplitude_spectrum(
        _samples(x), window=_WINDOWS(window), average=_AVERAGES(average),
        amplitude=_AMPLITUDES(amplitude),
        integration=_INTEGRATIONS(integration),
        display=_FFT_DISPLAYS(display), unit=unit,
        **_segments(points, dt, hop, overlap, averages, start))
    return Trace(_frequencies(points, dt), values, unit1, second, unit2)


def psd(x, dt, points=1024, *, hop=None, overlap=None, averages=0, start=0, window="hann", average="linear",
        scale="linear", density=False, unit=""):
    """The PSD view's power spectrum: the mean square per bin (a sine of
    amplitude A on a bin reads A²/2), in the level ``scale``, per Hz with
    ``density`` (divided by the bin spacing and the window's noise
    bandwidth, so that white noise of variance σ² reads σ²·2·dt).
    ``x`` may also be a krv.vrd.ChannelBlocks (``Recording.channel_blocks``):
    the channel is then read in place from the recording's blocks, with
    the same result as from the channel copied together."""
    settings = (float(dt), int(points), _hop(points, hop, overlap), int(averages), int(start), _WINDOWS(window),
                _AVERAGES(average), _SCALES(scale), bool(density), unit)
    if isinstance(x, ChannelBlocks):
        values, unit = _kernels.psd_blocks(x.rows, x.frames, *settings)
    else:
        values, unit = _kernels.psd(x, *settings)
    return Trace(_frequencies(points, dt), values, unit)


# krv.batch hands this function a recording's channels as ChannelBlocks.
psd.reads_blocks = True


def psd_plan(dt, points=1024, *, hop=None, overlap=None, averages=0, start=0, window="hann", average="linear",
             scale="linear", density=False, unit=""):
    """The PSD with its settings fixed, for many records of one length:
    ``plan(x)`` returns the values of ``psd(x, dt, points, …)``, and
    ``plan(x, out=array)`` writes them into a float32 array of their shape
    instead of a new one; ``plan.x`` is the frequency axis, ``plan.unit``
    the values' unit after the first call. The settings are read once, so
    that a call costs about what the C++ analysis costs."""
    return _kernels.PsdPlan(float(dt), int(points), _hop(points, hop, overlap), int(averages), int(start),
                            _WINDOWS(window), _AVERAGES(average), _SCALES(scale), bool(density), unit,
                            _frequencies(points, dt))


def frf(x, y, dt, points=1024, *, hop=None, overlap=None, averages=0, start=0, window="hann", display="mag+phase",
        estimator="h0", level="10log", unit=""):
    """The FRF view's frequency response of output y to input x, by
    ``estimator`` "H0", "H1" or "H2": magnitude (linear, or 20·log10 with
    ``level`` "10 log") and phase in degrees, or real and imaginary part."""
    first, second, unit1, unit2 = _kernels.frf(
        _samples(x), _samples(y), window=_WINDOWS(window),
        display=_FRF_DISPLAYS(display), estimator=_ESTIMATORS(estimator),
        level=_FRF_LEVELS(level), unit=unit, **_segments(points, dt, hop, overlap, averages, start))
    return Trace(_frequencies(points, dt), first, unit1, second, unit2)


def coherence(x, y, dt, points=1024, *, hop=None, overlap=None, averages=0, start=0, window="hann"):
    """Magnitude-squared coherence of x and y over the segments, 0 … 1."""
    values = _kernels.coherence(_samples(x), _samples(y), window=_WINDOWS(window),
                                **_segments(points, dt, hop, overlap, averages, start))
    return Trace(_frequencies(points, dt), values, "")


def cross_spectrum(x, y, dt, points=1024, *, hop=None, overlap=None, averages=0, start=0, window="hann",
                   density=False, unit=""):
    """The cross spectrum X·conj(Y) as a mean square (``values``, per Hz
    with ``density``) and its phase in degrees (``second``)."""
    magnitude, phase, unit1, unit2 = _kernels.cross_spectrum(
        _samples(x), _samples(y), window=_WINDOWS(window), density=bool(density), unit=unit,
        **_segments(points, dt, hop, overlap, averages, start))
    return Trace(_frequencies(points, dt), magnitude, unit1, phase, unit2)


@functools.lru_cache(maxsize=64)
def _lags(points, dt):
    axis = (np.arange(points) - points // 2) * dt
    axis.flags.writeable = False
    return axis


def cross_correlation(x, y, dt, points=1024, *, start=0, normalise=True):
    """Circular cross correlation of the segment of ``points`` samples from
    ``start`` of x and y, means removed: values at lags (i − points/2)·dt;
    y delayed by d against x peaks at lag +d. ``normalise`` divides by
    √(Σx²·Σy²) (coefficients in −1 … 1)."""
    values = _kernels.correlate(_samples(x), _samples(y), points=int(points), start=int(start),
                                normalise=bool(normalise))
    return Trace(_lags(points, dt), values, "")


def autocorrelation(x, dt, points=1024, *, start=0, normalise=True):
    """Circular autocorrelation of a segment; see cross_correlation."""
    samples = _samples(x)
    return cross_correlation(samples, samples, dt, points, start=start, normalise=normalise)


def spectrogram(x, dt, points=1024, *, hop=None, overlap=None, averages=0, start=0, window="hann", scale="db"):
    """The spectrogram view's rows: segments x bins of power levels in
    ``scale`` (at least two segments)."""
    rows, unit = _kernels.spectrogram(_samples(x), window=_WINDOWS(window),
                                      scale=_SCALES(scale),
                                      **_segments(points, dt, hop, overlap, averages, start))
    return Trace(_frequencies(points, dt), rows, unit)


def octave_levels(x, dt, bands_per_octave=3, *, weighting="linear", time_weighting="slow", low=20.0, high=20000.0):
    """The octave view's levels after all of x has run through its filter
    bank (x in Pa; levels in dB re 20 µPa: 1 Pa rms reads 94 dB):
    ``bands_per_octave`` 1, 3, 6, 12 or 24 between ``low`` and ``high`` Hz
    (up to the Nyquist frequency), ``weighting`` "Linear", "A", "B" or "C",
    ``time_weighting`` "Slow" (1 s), "Fast" (125 ms), "35ms" or a time
    constant in seconds (0: no averaging)."""
    if isinstance(time_weighting, str):
        try:
            tau = _TIME_WEIGHTINGS[time_weighting.lower().replace(" ", "")]
        except KeyError:
            raise ValueError("no such time weighting: %r" % time_weighting) from None
    else:
        tau = float(time_weighting)
    centre, levels, total, unweighted, unit = _kernels.octave_levels(
        _samples(x), dt=float(dt), bands_per_octave=int(bands_per_octave),
        weighting=_WEIGHTINGS(weighting), low=float(low), high=float(high), tau=tau)
    return OctaveLevels(centre, levels, total, unweighted, unit)


def multimeter(x, dt=None, statistic="rms", *, seconds=None):
    """The multimeter's value over the last ``seconds`` of x (all of x
    when None; dt is needed only with seconds): "ONE" the newest sample,
    "MEAN", "RMS", "MIN" or "MAX"."""
    if seconds is None:
        window = 0
    else:
        if not dt or dt <= 0:
            raise ValueError("a window in seconds needs dt")
        window = max(1, int(round(seconds / dt, 9)))
    return _kernels.multimeter(_samples(x), window=window, statistic=_STATISTICS(statistic))
