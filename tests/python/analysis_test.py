"""krv.analysis, the bindings of KRV's measurements, against analytic
answers."""

import glob
import os
import threading

import numpy as np
import pytest

from conftest import BIN_DIR

if not glob.glob(str(BIN_DIR / "_analysis.cpython-*.so")) and "KRV_REQUIRE_ANALYSIS" not in os.environ:
    pytest.skip("krv._analysis is not built (no pybind11)", allow_module_level=True)

import krv.analysis as analysis  # noqa: E402

DT = 1e-4
N = 1024
WINDOWS = ["Rectangle", "Bartlett", "Hann", "Hamming", "Blackman", "Flattop", "Low sidelobe"]


def tone(bin_, amplitude=1.0, frames=16 * N, phase=0.0, dt=DT, points=N):
    t = np.arange(frames) * dt
    return (amplitude * np.cos(2 * np.pi * bin_ / (points * dt) * t + phase)).astype(np.float32)


def noise(sigma, frames=64 * N, seed=1):
    return np.random.default_rng(seed).normal(0.0, sigma, frames).astype(np.float32)


@pytest.mark.parametrize("window", WINDOWS)
def test_a_tone_on_a_bin_reads_its_amplitude_peak_and_rms(window):
    x = tone(37, amplitude=2.5)
    peak = analysis.amplitude_spectrum(x, DT, N, window=window)
    rms = analysis.amplitude_spectrum(x, DT, N, window=window, amplitude="rms")
    assert peak.x[37] == pytest.approx(37 / (N * DT))
    assert peak.values[37] == pytest.approx(2.5, rel=2e-3)
    assert rms.values[37] == pytest.approx(2.5 / np.sqrt(2), rel=2e-3)
    assert peak.second is None


def test_dc_reads_its_value_and_the_phase_of_a_sine_is_minus_90_degrees():
    assert analysis.amplitude_spectrum(np.full(N, 1.5, np.float32), DT, N).values[0] == pytest.approx(1.5)
    sine = tone(20, phase=-np.pi / 2)
    shown = analysis.amplitude_spectrum(sine, DT, N, window="rectangle", display="Mag+Phase", unit="V")
    assert shown.values[20] == pytest.approx(1.0, rel=1e-4)
    assert shown.second[20] == pytest.approx(-90.0, abs=0.01)
    assert shown.second_unit == "\u00b0"
    parts = analysis.amplitude_spectrum(sine, DT, N, window="rectangle", display="RE+IM", unit="V")
    assert (parts.values[20], parts.second[20]) == (pytest.approx(0, abs=1e-4), pytest.approx(-1, rel=1e-4))
    assert (parts.unit, parts.second_unit) == ("V (RE)", "V (IM)")


@pytest.mark.parametrize("window", WINDOWS)
def test_white_noise_density_reads_its_variance_over_the_bandwidth(window):
    sigma = 0.5
    psd = analysis.psd(noise(sigma), DT, N, overlap=0.5, window=window, density=True, unit="V")
    # One-sided: the variance spread over 0 … 1/(2·dt).
    assert psd.values[1:].mean() == pytest.approx(sigma ** 2 * 2 * DT, rel=0.03)
    assert psd.unit == "Vrms\u00b2/Hz"


def test_psd_scales_of_a_tone():
    x = tone(100, amplitude=np.sqrt(2))           # 1 V rms
    linear = analysis.psd(x, DT, N, window="rectangle")
    assert linear.values[100] == pytest.approx(1.0, rel=1e-4)
    assert analysis.psd(x, DT, N, window="rectangle", scale="dBV").values[100] == pytest.approx(0.0, abs=1e-3)
    assert analysis.psd(x, DT, N, window="rectangle", scale="dbu").values[100] == pytest.approx(
        -20 * np.log10(0.7746), abs=1e-3)
    relative = analysis.psd(x, DT, N, window="rectangle", scale="10 log p/pmax")
    assert relative.values.max() == pytest.approx(0.0, abs=1e-6)


def test_psd_averaging_modes_agree_with_each_other():
    x = noise(1.0, frames=8 * N)
    linear = analysis.psd(x, DT, N, scale="linear").values
    rows = analysis.psd(x, DT, N, scale="linear", average="cascade").values
    peak = analysis.psd(x, DT, N, scale="linear", average="peak hold").values
    assert rows.shape == (8, N // 2)
    np.testing.assert_allclose(rows.mean(axis=0), linear, rtol=1e-4)
    np.testing.assert_allclose(peak, rows.max(axis=0), rtol=1e-6)
    two = analysis.psd(x, DT, N, averages=2, scale="linear").values
    np.testing.assert_allclose(two, rows[:2].mean(axis=0), rtol=1e-4)


@pytest.mark.parametrize("estimator", ["H0", "H1", "H2"])
def test_frf_of_a_known_gain(estimator):
    x = noise(1.0)
    shown = analysis.frf(x, 3 * x, DT, N, estimator=estimator)
    assert shown.unit == "dB"
    np.testing.assert_allclose(shown.values[1:], 20 * np.log10(3), atol=1e-3)
    np.testing.assert_allclose(shown.second[1:], 0.0, atol=0.01)
    parts = analysis.frf(x, -3 * x, DT, N, estimator=estimator, display="RE+IM", unit="N")
    np.testing.assert_allclose(parts.values[1:], -3.0, rtol=1e-4)
    np.testing.assert_allclose(parts.second[1:], 0.0, atol=1e-3)


def test_h1_is_unbiased_by_noise_in_the_output_and_h2_by_noise_in_the_input():
    x = noise(1.0, seed=1)
    y = 2 * x + noise(1.0, seed=2)
    h1 = analysis.frf(x, y, DT, N, estimator="H1", level="lin").values[1:]
    h2 = analysis.frf(x, y, DT, N, estimator="H2", level="lin").values[1:]
    assert np.median(h1) == pytest.approx(2.0, rel=0.03)
    # H2 = Gyy/Gyx = 2 + 1/2 for this noise.
    assert np.median(h2) == pytest.approx(2.5, rel=0.03)


def test_coherence_is_one_for_a_linear_relation_and_small_for_independent_noise():
    x = noise(1.0, seed=1)
    assert analysis.coherence(x, 0.5 * x, DT, N).values[1:].min() == pytest.approx(1.0, abs=1e-4)
    unrelated = analysis.coherence(x, noise(1.0, seed=2), DT, N).values
    assert unrelated.mean() < 0.05                 # 1/64 expected for 64 averages


def test_cross_spectrum_of_a_channel_with_itself_is_its_power_spectrum():
    x = noise(1.0)
    cross = analysis.cross_spectrum(x, x, DT, N, overlap=0.5, density=True, unit="V")
    np.testing.assert_allclose(cross.values, analysis.psd(x, DT, N, overlap=0.5, density=True).values, rtol=1e-4)
    np.testing.assert_allclose(cross.second, 0.0, atol=1e-3)
    assert cross.unit == "Vrms\u00b2/Hz"


@pytest.mark.parametrize("delay", [0, 7, -33])
def test_a_known_delay_peaks_in_the_cross_correlation(delay):
    x = noise(1.0, frames=N)
    y = np.roll(x, delay)                          # y(t) = x(t − delay), circularly
    shown = analysis.cross_correlation(x, y, DT, N)
    peak = int(np.argmax(shown.values))
    assert shown.x[peak] == pytest.approx(delay * DT)
    assert shown.values[peak] == pytest.approx(1.0, abs=1e-5)


def test_autocorrelation_of_a_tone_is_a_cosine_of_the_lag():
    shown = analysis.autocorrelation(tone(8, frames=N) + 3.0, DT, N)  # the mean is removed
    np.testing.assert_allclose(shown.values, np.cos(2 * np.pi * 8 * shown.x / (N * DT)), atol=1e-4)
    unnormalised = analysis.autocorrelation(tone(8, frames=N), DT, N, normalise=False)
    assert unnormalised.values[N // 2] == pytest.approx(N / 2, rel=1e-4)   # Σ cos² = N/2


def test_spectrogram_rows_find_a_tone_that_moves():
    x = np.concatenate([tone(50, frames=4 * N), tone(200, frames=4 * N)])
    shown = analysis.spectrogram(x, DT, N, window="rectangle")
    assert shown.values.shape == (8, N // 2) and shown.unit == "dB"
    assert list(shown.values.argmax(axis=1)) == [50] * 4 + [200] * 4
    assert shown.values[0, 50] == pytest.approx(10 * np.log10(0.5), abs=1e-3)


def test_one_pascal_rms_at_1_khz_reads_94_db():
    rate = 48000
    t = np.arange(2 * rate) / rate
    x = (np.sqrt(2) * np.sin(2 * np.pi * 1000 * t)).astype(np.float32)
    expected = 20 * np.log10(1 / 20e-6)            # 93.98 dB
    for weighting in ["linear", "A", "C"]:
        levels = analysis.octave_levels(x, 1 / rate, 3, weighting=weighting, time_weighting="fast")
        band = int(np.argmin(np.abs(levels.centre - 1000)))
        assert levels.centre[band] == pytest.approx(1000, rel=1e-3)
        assert levels.levels[band] == pytest.approx(expected, abs=0.1)
        assert levels.total == pytest.approx(expected, abs=0.1)
        assert levels.unweighted_total == pytest.approx(expected, abs=0.1)
        assert levels.levels[band + 3] < expected - 20   # the band an octave above
    assert analysis.octave_levels(x, 1 / rate, 1, weighting="A").unit == "dBA"


def test_multimeter_statistics_of_a_sine_and_its_window():
    x = tone(10, amplitude=3.0, frames=10 * N)
    assert analysis.multimeter(x) == pytest.approx(3 / np.sqrt(2), rel=1e-5)
    assert analysis.multimeter(x, statistic="MEAN") == pytest.approx(0.0, abs=1e-5)
    assert analysis.multimeter(x, statistic="max") == pytest.approx(3.0, rel=1e-6)
    assert analysis.multimeter(x, statistic="min") == pytest.approx(-3.0, rel=1e-6)
    assert analysis.multimeter(x, statistic="one") == x[-1]
    stepped = np.concatenate([np.zeros(1000), np.full(1000, 5.0)]).astype(np.float32)
    assert analysis.multimeter(stepped, DT, "mean", seconds=1000 * DT) == pytest.approx(5.0)
    assert analysis.multimeter(stepped, DT, "mean", seconds=2000 * DT) == pytest.approx(2.5)


def test_strided_and_float64_input_give_what_float32_gives():
    x = noise(1.0)
    frames = np.stack([x, -x], axis=1)                # channel 0 strided
    np.testing.assert_array_equal(analysis.psd(frames[:, 0], DT, N).values, analysis.psd(x, DT, N).values)
    np.testing.assert_array_equal(analysis.psd(x.astype(np.float64), DT, N).values, analysis.psd(x, DT, N).values)


def test_a_psd_plan_gives_the_function_form_s_values_in_new_arrays_or_in_place():
    x = noise(1.0)
    plan = analysis.psd_plan(DT, N, overlap=0.5, window="Flattop", scale="db", density=True)
    want = analysis.psd(x, DT, N, overlap=0.5, window="Flattop", scale="db", density=True)
    np.testing.assert_array_equal(plan(x), want.values)
    np.testing.assert_array_equal(plan.x, want.x)
    assert plan.unit == want.unit
    out = np.full(N // 2, np.nan, np.float32)
    assert plan(x, out=out) is out
    np.testing.assert_array_equal(out, want.values)
    # Another record length, float64 and strided input, rows kept by "Cascade".
    shorter = x[: 8 * N]
    np.testing.assert_array_equal(plan(shorter.astype(np.float64)), analysis.psd(shorter, DT, N, overlap=0.5,
                                  window="Flattop", scale="db", density=True).values)
    cascade = analysis.psd_plan(DT, N, averages=4, average="Cascade")
    np.testing.assert_array_equal(cascade(np.stack([x, -x], axis=1)[:, 0]),
                                  analysis.psd(x, DT, N, averages=4, average="Cascade").values)
    for wrong in (np.empty(N // 2, np.float64), np.empty(N // 4, np.float32), np.empty(N, np.float32)[::2]):
        with pytest.raises(ValueError, match="out must be"):
            plan(x, out=wrong)
    with pytest.raises(ValueError, match="too short"):
        plan(x[: N - 1])


def test_threads_analyse_side_by_side_with_their_own_results():
    signals = [noise(1.0, seed=s) for s in range(4)]
    expected = [analysis.psd(s, DT, N, overlap=0.5).values for s in signals]
    results = [None] * 4

    def run(i):
        for _ in range(5):
            results[i] = analysis.psd(signals[i], DT, N, overlap=0.5).values

    threads = [threading.Thread(target=run, args=(i,)) for i in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for got, want in zip(results, expected):
        np.testing.assert_array_equal(got, want)


@pytest.mark.parametrize("call, message", [
    (lambda: analysis.psd(noise(1.0), DT, 1000), "power of two"),
    (lambda: analysis.psd(noise(1.0, frames=N - 1), DT, N), "too short"),
    (lambda: analysis.psd(noise(1.0), DT, N, averages=65), "too short"),
    (lambda: analysis.psd(noise(1.0), DT, N, window="kaiser"), "window"),
    (lambda: analysis.psd(noise(1.0), DT, N, overlap=1.0), "overlap"),
    (lambda: analysis.psd(noise(1.0), 0.0, N), "dt"),
    (lambda: analysis.coherence(noise(1.0), noise(1.0, frames=N), DT, N), "as many"),
    (lambda: analysis.spectrogram(noise(1.0, frames=N), DT, N), "two segments"),
    (lambda: analysis.octave_levels(noise(1.0), DT, 5), "bands per octave"),
    (lambda: analysis.psd(np.zeros((N, 2), np.float32), DT, N), "one-dimensional"),
])
def test_bad_settings_raise_value_error_with_the_reason(call, message):
    with pytest.raises(ValueError, match=message):
        call()
