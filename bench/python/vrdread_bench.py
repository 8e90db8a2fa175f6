"""Benchmarks of the krv Python package, each figure a ratio to a reference
measured in the same run.

  vrd_read/*   krv.vrd.read of a recording of at least 256 MiB against
               numpy.fromfile of the same bytes (target: ratio >= 0.8).
               4 channels: read(...).data assembles frames x channels from
               the memory map (several blocks, one copy). 1 channel: data
               is the map itself; the figure is read + one pass over every
               sample against fromfile + the same pass.
  vrd_header   krv.vrd.read of a recording whose header is 16 MiB of blank
               lines (refused: it never ends) against "vrd info" of the
               same file, process start included (target: ratio >= 0.5).
  vrd_play     vrd play at speed 1 read by a krv.zq reader for 5 s:
               samples per second against the recording's rate (target:
               within 2 %).

Recordings are made by CRecordFile (krv_recording_writer of the test
build, found through KRV_BIN_DIR) in a temporary folder. Times are medians
of several runs with the file in the page cache.
"""

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

import numpy as np  # noqa: E402

import krv.vrd as vrd  # noqa: E402
import krv.zq as zq  # noqa: E402

RUNS = 5
BLOCK = 65536


def median_seconds(action):
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        result = action()
        times.append(time.perf_counter() - start)
        del result
    return statistics.median(times)


def make(path, channels, frames, rate=50000):
    subprocess.run([str(BIN_DIR / "krv_recording_writer"), "continuous", str(path), str(channels), str(BLOCK),
                    str(frames), str(rate)], check=True)
    with open(path, "rb") as f:         # into the page cache, for both sides
        while f.read(1 << 24):
            pass


def report(name, ours, reference, what, target):
    ratio = reference / ours
    verdict = "" if ratio >= target else "  BELOW TARGET"
    print("%-28s %10.1f ms  %-22s %10.1f ms  ratio %.3f (target >= %.1f)%s"
          % (name, ours * 1e3, what, reference * 1e3, ratio, target, verdict))


def bench_read(folder):
    for channels in (4, 1):
        frames = (256 << 20) // (4 * channels) + 1000    # over 256 MiB, a partial last block
        path = folder / ("rec%d.vrd" % channels)
        make(path, channels, frames)
        rec = vrd.read(path)
        count = rec.blocks.size
        assert rec.blocks.nbytes >= 256 << 20

        def reference():
            return np.fromfile(path, dtype="<f4", count=count, offset=vrd.HEAD_BYTES)

        if channels > 1:
            ours = median_seconds(lambda: vrd.read(path).data)
            base = median_seconds(reference)
            report("vrd_read/%dch_%dMiB" % (channels, rec.blocks.nbytes >> 20), ours, base, "numpy.fromfile",
                   0.8)
        else:
            ours = median_seconds(lambda: vrd.read(path).data.sum(dtype=np.float64))
            base = median_seconds(lambda: reference().sum(dtype=np.float64))
            report("vrd_read/%dch_%dMiB+sum" % (channels, rec.blocks.nbytes >> 20), ours, base,
                   "numpy.fromfile+sum", 0.8)
        del rec
        os.unlink(path)


def bench_header(folder):
    path = folder / "blank.vrd"
    head = bytearray(vrd.HEAD_BYTES + 16)
    head[:6] = b"Vorn64"
    head[8:16] = len(head).to_bytes(8, "little")
    path.write_bytes(bytes(head) + b"beginheader:\r\n" + b"\r\n" * ((vrd.MAX_HEADER_BYTES - 14) // 2))

    def ours():
        try:
            vrd.read(path)
        except vrd.VrdError:
            pass

    def reference():
        subprocess.run([str(BIN_DIR / "vrd"), "info", str(path)], capture_output=True)

    report("vrd_header/16MiB_blank", median_seconds(ours), median_seconds(reference), "vrd info", 0.5)
    os.unlink(path)


def bench_play(folder):
    rate, seconds = 10000, 6
    path = folder / "play.vrd"
    subprocess.run([str(BIN_DIR / "krv_recording_writer"), "continuous", str(path), "2", "4096",
                    str(rate * seconds), str(rate)], check=True)
    reader = zq.Reader(client=9)
    play = subprocess.Popen([str(BIN_DIR / "vrd"), "play", str(path)])
    first = None
    total = 0
    try:
        while play.poll() is None or total < rate * seconds:
            time.sleep(0.01)
            blocks = reader.read()
            if not blocks or not blocks[0].size:
                if play.poll() is not None:
                    break
                continue
            now = time.monotonic()
            if first is None:
                first = (now, blocks[0].size)
            else:
                last = now
            total += blocks[0].size
    finally:
        play.wait()
    measured = (total - first[1]) / (last - first[0])
    ratio = measured / rate
    verdict = "" if abs(ratio - 1) <= 0.02 else "  OUTSIDE TARGET"
    print("%-28s %10.1f /s  %-22s %10.1f /s  ratio %.4f (target 1 +- 0.02) over %.2f s%s"
          % ("vrd_play/speed1", measured, "recording's rate", rate, ratio, last - first[0], verdict))


def main():
    # A namespace of its own, so that no KRV or zq-gen of the user is in the way.
    name = "krvbench-python-%d" % os.getpid()
    os.environ["ZQ_NAME"] = name
    try:
        with tempfile.TemporaryDirectory(prefix="krv-bench-", dir=os.environ.get("KRV_BENCH_DIR")) as folder:
            bench_read(Path(folder))
            bench_header(Path(folder))
            bench_play(Path(folder))
    finally:
        for segment in (name, name + ".readers"):
            try:
                os.unlink("/dev/shm/" + segment)
            except FileNotFoundError:
                pass


if __name__ == "__main__":
    main()
