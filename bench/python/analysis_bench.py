"""Benchmarks of krv.analysis and krv.batch, each figure a ratio to a
reference measured in the same run.

  psd_batch     the PSD (N = 4096, 50 % overlap, Hann, dB, density) of every
                channel of 8 recordings (2 channels, 2^22 frames each) by
                krv.batch on a LocalCluster of 2 single-threaded worker
                processes, started before timing, against the same table
                computed serially in this process (target: ratio >= 1.5
                on two free cores).
  psd_call      krv.analysis.psd of one segment of 4096 samples against
                the same PowerSpectralDensity call timed inside C++: the
                binding's overhead (settings by name, arrays made, GIL
                released) (target: ratio >= 0.5).

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
FRAMES = 1 << 22
SETTINGS = dict(points=4096, overlap=0.5, window="hann", scale="db", density=True)


def median_seconds(action, runs=RUNS):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def report(name, ours, reference, what, target):
    ratio = reference / ours
    verdict = "" if ratio >= target else "  BELOW TARGET"
    print("%-14s %10.3f ms  %-26s %10.3f ms  ratio %.3f (target >= %.1f)%s"
          % (name, ours * 1e3, what, reference * 1e3, ratio, target, verdict))


def make(path):
    subprocess.run([str(BIN_DIR / "krv_recording_writer"), "continuous", str(path), "2", "65536", str(FRAMES),
                    "50000"], check=True)
    with open(path, "rb") as f:
        while f.read(1 << 24):
            pass
    return str(path)


def bench_batch(folder):
    from distributed import Client, LocalCluster

    paths = [make(folder / ("rec%d.vrd" % n)) for n in range(RECORDINGS)]
    function = functools.partial(analysis.psd, **SETTINGS)
    serial = median_seconds(lambda: batch.analyse(paths, function, scheduler="sync"))
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                      silence_logs=40) as cluster, Client(cluster):
        batch.analyse(paths[:2], function)          # workers import krv and load the module
        parallel = median_seconds(lambda: batch.analyse(paths, function))
    report("psd_batch", parallel, serial, "serial, this process", 1.5)


def bench_call():
    x = np.random.default_rng(1).normal(size=4096).astype(np.float32)
    repeat = 2000
    direct = statistics.median(analysis._kernels.time_psd_direct(x, 1e-4, 4096, 2048, repeat) for _ in range(5))

    def binding():
        for _ in range(repeat):
            analysis.psd(x, 1e-4, 4096, hop=2048, window="hann", scale="linear")

    ours = median_seconds(binding, 5) / repeat
    report("psd_call", ours, direct, "PowerSpectralDensity, C++", 0.5)


def main():
    bench_call()
    with tempfile.TemporaryDirectory(prefix="krv-analysis-bench-") as folder:
        bench_batch(Path(folder))


if __name__ == "__main__":
    main()
