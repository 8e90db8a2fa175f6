"""krv.zq against real writer processes: zq-gen, vrd play and a Python
writer in a child process."""

import os
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest

from conftest import PYTHON, record, run, tool, wait_for
import krv.vrd as vrd
import krv.zq as zq


def collect(reader, frames, timeout=30, on_block=None):
    """Reads every channel until each holds frames samples; returns them
    and the channels as they were defined while the samples came."""
    got, channels = None, []
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        time.sleep(0.01)
        blocks = reader.read()
        if not blocks:
            continue
        if got is None:
            got = [[] for _ in blocks]
            channels = reader.channels()
        for pieces, block in zip(got, blocks):
            pieces.append(block)
        if on_block and blocks[0].size:
            on_block(blocks[0].size)
        if min(sum(p.size for p in pieces) for pieces in got) >= frames:
            break
    return [np.concatenate(pieces) for pieces in (got or [])], channels


def test_reads_what_zq_gen_writes_without_gaps(processes):
    frames, rate = 60000, 20000
    reader = zq.Reader(client=4)    # before the writer: from its first sample on
    gen = processes(tool("zq-gen"), "-s", "counter", "-n", "3", "-r", rate, "-c", frames, "--hold", "-q")
    samples, channels = collect(reader, frames)
    assert [(c.index, c.number, c.unit) for c in channels] == [(0, 1, "V"), (1, 2, "V"), (2, 3, "V")]
    assert all(c.dt == pytest.approx(1 / rate) for c in channels)
    # Channel k carries the sample index plus k.
    for k, channel in enumerate(samples):
        np.testing.assert_array_equal(channel, np.arange(frames) + k)
    assert reader.lost() == [0, 0, 0]
    assert gen.popen.poll() is None     # held by --hold until stopped


def test_a_stalled_reader_is_told_its_loss(processes):
    # At 250 kHz a ring of 2^19 samples lasts 2.1 s: a reader that stalls
    # longer than that loses.
    rate = 250000
    reader = zq.Reader(client=5)
    processes(tool("zq-gen"), "-s", "counter", "-n", "1", "-r", rate, "-q")
    first = collect(reader, rate // 10)[0][0]
    assert reader.lost(0) == 0
    np.testing.assert_array_equal(first, np.arange(first.size))
    # Read nothing until the writer is well over a ring past this reader.
    ring = zq.status().channels[0].capacity
    assert wait_for(lambda: zq.status().channels[0].written > first.size + ring + ring // 8, timeout=60)
    after = reader.read()[0]
    lost = reader.lost(0)
    assert lost > ring // 8
    # The samples skipped are exactly those counted; what is read is whole.
    assert after[0] == first[-1] + 1 + lost
    np.testing.assert_array_equal(np.diff(after), 1)
    shown = run(PYTHON, "-m", "krv", "stat")
    assert shown.returncode == 0, shown.stderr
    assert "client 5" in shown.stdout and "lost %d" % lost in shown.stdout, shown.stdout


def test_vrd_play_arrives_whole_in_order_with_the_recordings_channels(tmp_path, processes):
    rate, frames = 4000, 3 * 4000
    path = record("continuous", str(tmp_path / "counter.vrd"), 3, frames, rate, 4096)
    reader = zq.Reader(client=6)
    play = processes(tool("vrd"), "play", path)
    times = []
    samples, channels = collect(reader, frames, on_block=lambda n: times.append((time.monotonic(), n)))
    assert play.wait()[0] == 0
    rec = vrd.read(path)
    assert [(c.number, c.name, c.unit, c.dt) for c in channels] == \
           [(c.number, c.name, c.unit, c.dt) for c in rec.channels]
    for k, channel in enumerate(samples):
        np.testing.assert_array_equal(channel, rec.data[:, k])
    # A generous bound on the pace: the exact one is measured in a benchmark.
    (start, first), (end, _) = times[0], times[-1]
    pace = (frames - first) / (end - start)
    assert 0.75 * rate < pace < 1.25 * rate


WRITER = textwrap.dedent("""
    import sys, numpy as np, krv.zq as zq
    w = zq.Writer([(3, "Temp, inner", "\u00b0C", 1e-3), (7, "force", "N", 1e-3)])
    w.write(np.stack([np.arange(5000), -np.arange(5000)], axis=1))
    print("ready", flush=True)
    sys.stdin.read()
""")


def test_writer_publishes_and_a_second_writer_gets_the_librarys_reason():
    reader = zq.Reader(client=7)
    child = subprocess.Popen([PYTHON, "-c", WRITER], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "ready\n"
        assert [(c.number, c.name, c.unit, c.dt) for c in zq.channels()] == \
               [(3, "Temp, inner", "\u00b0C", 1e-3), (7, "force", "N", 1e-3)]
        frames = reader.read_frames()
        np.testing.assert_array_equal(frames, np.stack([np.arange(5000), -np.arange(5000)], axis=1))
        with pytest.raises(zq.BusyError) as caught:
            zq.Writer([(1, "x", "V", 1e-3)])
        assert caught.value.code == zq.E_BUSY
        assert "live writer (pid %d)" % child.pid in str(caught.value)
    finally:
        child.stdin.close()
        child.wait(10)
    # Its end released the service: this process may write now.
    assert wait_for(lambda: not zq.channels())
    with zq.Writer([(1, "x", "V", 1e-3), (2, "y", "V", 1e-3)]) as writer:
        with pytest.raises(ValueError):
            writer.write(np.zeros(3))
    with pytest.raises(zq.ZqError) as caught:
        zq.Writer([(1, "x", "V", 0.0)])
    assert caught.value.code == zq.E_ARGUMENT
    with pytest.raises(ValueError):
        zq.Reader(client=16)


def test_a_released_writer_and_numbers_a_c_int_cannot_hold_give_clear_errors():
    writer = zq.Writer([(1, "x", "V", 1e-3)])
    writer.write(np.zeros(4))
    writer.release()
    with pytest.raises(zq.ZqError) as caught:
        writer.write(np.zeros(4))
    assert "released" in str(caught.value)
    # Cut to its low 32 bits, 2^40 + 7 would have become channel number 7.
    for number in (2 ** 40 + 7, 2 ** 31, -2 ** 31 - 1):
        with pytest.raises(ValueError, match="does not fit a C int"):
            zq.Writer([(number, "x", "V", 1e-3)])
    assert zq.channels() == []
    with zq.Writer([(2 ** 31 - 1, "top", "V", 1e-3)]):
        assert [c.number for c in zq.channels()] == [2 ** 31 - 1]
    reader = zq.Reader(client=3)
    for call in (lambda: reader.read_channel(2 ** 32), lambda: reader.available(2 ** 40),
                 lambda: reader.lost(2 ** 32 + 1), lambda: reader.reset(2 ** 33),
                 lambda: reader.read_channel(0, 2 ** 32 + 5)):
        with pytest.raises(ValueError):
            call()


FULL_SHM = textwrap.dedent("""
    import krv.zq as zq
    for make in (lambda: zq.Reader(client=1), lambda: zq.Writer([(1, "x", "V", 1e-3)])):
        try:
            make()
            print("no error")
        except zq.ZqError as error:
            print(error.code, error)
""")


def test_a_full_dev_shm_gives_errors_not_a_crash():
    # A 4 KiB tmpfs over /dev/shm in a mount namespace of the child's own.
    script = ("mount --make-rprivate / && mount -t tmpfs -o size=4k krvtest /dev/shm || exit 42; "
              "exec \"$0\" -c \"$1\"")
    try:
        result = subprocess.run(["unshare", "--mount", "sh", "-c", script, PYTHON, FULL_SHM],
                                capture_output=True, text=True, timeout=60)
    except FileNotFoundError:
        pytest.skip("no unshare program")
    if result.returncode == 42 or "unshare failed" in result.stderr:
        pytest.skip("cannot mount a small /dev/shm here: " + result.stderr)
    assert result.returncode == 0, "ended by signal %d: %s" % (-result.returncode, result.stderr)
    lines = result.stdout.splitlines()
    assert len(lines) == 2, result.stdout
    for line, what in zip(lines, (".readers", "")):
        assert line.startswith("%d " % zq.E_SEGMENT), line
        assert "/dev/shm cannot hold %s%s (" % (os.environ["ZQ_NAME"], what) in line
        assert "KiB of shared memory needed" in line


LOADED_NAME = "import krv.zq as zq; print(zq.load_library()._name)"


def test_the_versioned_library_of_an_installed_krv_is_the_last_resort(tmp_path):
    # A copy of the package outside the source tree, no KRV tools on PATH and
    # no KRV_ZQ_LIB: only the system's library search is left, which holds
    # the soname alone, as an installed KRV does.
    import shutil
    package = tmp_path / "site"
    shutil.copytree(os.path.dirname(zq.__file__), package / "krv")
    libs = tmp_path / "lib"
    libs.mkdir()
    shutil.copy(os.path.realpath(tool("libzq.so")), libs / "libzq.so.1")
    env = {"PATH": "/usr/bin:/bin", "PYTHONPATH": str(package), "LD_LIBRARY_PATH": str(libs),
           "ZQ_NAME": os.environ["ZQ_NAME"], "PYTHONDONTWRITEBYTECODE": "1"}
    result = subprocess.run([PYTHON, "-c", LOADED_NAME], env=env, capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "libzq.so.1"

    # An unversioned library on the search path, or KRV_ZQ_LIB, comes first.
    shutil.copy(libs / "libzq.so.1", libs / "libzq.so")
    result = subprocess.run([PYTHON, "-c", LOADED_NAME], env=env, capture_output=True, text=True, timeout=120)
    assert result.stdout.strip() == "libzq.so", result.stderr
    env["KRV_ZQ_LIB"] = os.path.realpath(tool("libzq.so"))
    result = subprocess.run([PYTHON, "-c", LOADED_NAME], env=env, capture_output=True, text=True, timeout=120)
    assert result.stdout.strip() == env["KRV_ZQ_LIB"], result.stderr
