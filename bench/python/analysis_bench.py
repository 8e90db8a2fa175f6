"""Benchmarks of krv.analysis and krv.batch, each figure a ratio to a
reference measured in the same run.

  psd_batch     the PSD (N = 4096, 50 % overlap, Hann, dB, density) of every
                channel of 8 recordings (2 channels, 2^24 frames each: 1 GiB
                of samples) by krv.batch on a LocalCluster of 2
                single-threaded worker processes, started before timing,
                against the same table computed serially in this process:
                the speed-up (target >= 1.6 on two free cores).
  psd_call      the PSD of one segment of 4096 samples by a krv.analysis
                call against the same PowerSpectralDensity call timed inside
                C++ on the same data: the binding's time as a multiple of
                the C++ call's, the two timed in turn and the median of
                the ratios of neighbouring runs taken. psd_plan(...)(x,
                out=...) is the binding (target <= 1.1); a plan returning new arrays and the
                function form psd(x, dt, ...) are shown beside it.

Recordings are made by CRecordFile (krv_recording_writer of the test
build, found through KRV_BIN_DIR) in a temporary folder and read once
before timing, so that both sides find them in the page cache. Times are
medians of several runs.
"""

import functools
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))
BIN_DIR = Path(os.environ.get("KRV_BIN_DIR", ROOT / "build" / "bin"))
os.environ.setdefault("KRV_BIN_DIR", str(BIN_DIR))

import numpy as np  # noqa: E402

import krv.analysis as analysis  # noqa: E402
import krv.batch as batch  # noqa: E402

RUNS = 3
RECORDINGS = 8
FRAMES = 1 << 24
SETTINGS = dict(points=4096, overlap=0.5, window="hann", scale="db", density=True)


def median_seconds(action, runs=RUNS):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def report(name, ratio, what, target, at_most):
    met = ratio <= target if at_most else ratio >= target
    print("%-14s ratio %6.3f  %-52s (target %s %.1f)%s"
          % (name, ratio, what, "<=" if at_most else ">=", target, "" if met else "  MISSED"))


def note(name, ratio, what):
    print("%-14s ratio %6.3f  %s" % (name, ratio, what))


def make(path):
    subprocess.run([str(BIN_DIR / "krv_recording_writer"), "continuous", str(path), "2", "65536", str(FRAMES),
                    "50000"], check=True)
    with open(path, "rb") as f:
        while f.read(1 << 24):
            pass
    return str(path)


def forget(client):
    """Waits until the scheduler holds no task: a run submitted while the
    last run's results are still being released would get them back
    instead of computing."""
    deadline = time.monotonic() + 60
    while client.run_on_scheduler(lambda dask_scheduler: len(dask_scheduler.tasks)):
        if time.monotonic() > deadline:
            raise RuntimeError("the scheduler still holds tasks after 60 s")
        time.sleep(0.02)


def bench_batch(folder):
    from distributed import Client, LocalCluster

    paths = [make(folder / ("rec%d.vrd" % n)) for n in range(RECORDINGS)]
    function = functools.partial(analysis.psd, **SETTINGS)
    serial = median_seconds(lambda: batch.analyse(paths, function, scheduler="sync"))
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                      silence_logs=40) as cluster, Client(cluster) as client:
        batch.analyse(paths[:2], function)          # workers import krv and load the module
        times = []
        for _ in range(RUNS):
            forget(client)
            start = time.perf_counter()
            table = batch.analyse(paths, function)
            times.append(time.perf_counter() - start)
        parallel = statistics.median(times)
    assert len(table) == RECORDINGS * 2 * SETTINGS["points"] // 2
    report("psd_batch", serial / parallel, "serial %.2f s / LocalCluster(2) %.2f s" % (serial, parallel), 1.6,
           at_most=False)


def bench_call():
    x = np.random.default_rng(1).normal(size=4096).astype(np.float32)
    repeat = 3000
    direct = statistics.median(analysis._kernels.time_psd_direct(x, 1e-4, 4096, 2048, repeat) for _ in range(7))
    plan = analysis.psd_plan(1e-4, 4096, hop=2048, window="hann", scale="linear")
    out = np.empty(2048, np.float32)

    def planned_into():
        for _ in range(repeat):
            plan(x, out)

    def planned():
        for _ in range(repeat):
            plan(x)

    def function():
        for _ in range(repeat):
            analysis.psd(x, 1e-4, 4096, hop=2048, window="hann", scale="linear")

    # The two sides alternate, and the figure is the median of the ratios
    # of neighbouring runs, so that the machine's drift (clock, other
    # programs) between runs does not enter it.
    pairs = []
    for _ in range(9):
        pairs.append((analysis._kernels.time_psd_direct(x, 1e-4, 4096, 2048, repeat),
                      median_seconds(planned_into, 1) / repeat))
    ratio = statistics.median(ours / direct_one for direct_one, ours in pairs)
    ours = statistics.median(ours for _, ours in pairs)
    direct_paired = statistics.median(direct_one for direct_one, _ in pairs)
    report("psd_call", ratio, "psd_plan(x, out) %.2f us / C++ %.2f us" % (ours * 1e6, direct_paired * 1e6),
           1.1, at_most=True)
    seconds = median_seconds(planned, 7) / repeat
    note("psd_call_new", seconds / direct, "psd_plan(x) %.2f us, a new array per call" % (seconds * 1e6))
    seconds = median_seconds(function, 7) / repeat
    note("psd_function", seconds / direct, "psd(x, dt, ...) %.2f us, settings by name" % (seconds * 1e6))


def main():
    bench_call()
    with tempfile.TemporaryDirectory(prefix="krv-analysis-bench-") as folder:
        bench_batch(Path(folder))


if __name__ == "__main__":
    main()
