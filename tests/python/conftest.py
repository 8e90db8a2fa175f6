"""Fixtures of the krv package tests: a private channel buffer namespace
and config folder per test, and the programs of the build (KRV_BIN_DIR)."""

import csv
import itertools
import os
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))

BIN_DIR = Path(os.environ.get("KRV_BIN_DIR", ROOT / "build" / "bin"))
PYTHON = sys.executable
_namespaces = itertools.count()


@pytest.fixture(autouse=True)
def private_world(tmp_path, monkeypatch):
    name = "krvpytest-%d-%d" % (os.getpid(), next(_namespaces))
    monkeypatch.setenv("ZQ_NAME", name)
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
    monkeypatch.setenv("KRV_BIN_DIR", str(BIN_DIR))
    monkeypatch.setenv("PYTHONPATH", str(ROOT / "python"))
    yield name
    for segment in (name, name + ".readers"):
        try:
            os.unlink("/dev/shm/" + segment)
        except FileNotFoundError:
            pass


def tool(name):
    return str(BIN_DIR / name)


def run(*args, **kwargs):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True, timeout=120, **kwargs)


def record(mode, path, channels, frames, rate, block_frames=None):
    """A recording made by CRecordFile: channel c of frame j holds
    (j mod 2^21) + c / 4; mode continuous, trigger or killed (its writer
    dies before closing it)."""
    args = [tool("krv_recording_writer"), mode, path, channels]
    args += [frames, rate] if mode == "trigger" else [block_frames, frames, rate]
    result = run(*args)
    if mode == "killed":
        assert result.returncode == -signal.SIGKILL, result.stderr
    else:
        assert result.returncode == 0, result.stderr
    return path


def vrd_csv(path):
    """What `vrd csv` exports: the header row and the rows as floats."""
    result = run(tool("vrd"), "csv", path)
    assert result.returncode == 0, result.stderr
    rows = list(csv.reader(result.stdout.splitlines()))
    return rows[0], [[float(v) for v in row] for row in rows[1:]]


class Process:
    """A program started in the background, ended by SIGTERM (then
    SIGKILL) when the test leaves."""

    def __init__(self, *args):
        self.popen = subprocess.Popen([str(a) for a in args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                      text=True)

    def wait(self, timeout=30):
        try:
            out, err = self.popen.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.popen.kill()
            out, err = self.popen.communicate()
            raise AssertionError("%s did not end in %g s: %s" % (self.popen.args[0], timeout, err))
        return self.popen.returncode, out, err

    def stop(self):
        if self.popen.poll() is None:
            self.popen.send_signal(signal.SIGTERM)
            try:
                self.popen.wait(10)
            except subprocess.TimeoutExpired:
                self.popen.kill()
                self.popen.wait()
        self.popen.communicate()


@pytest.fixture
def processes():
    started = []

    def start(*args):
        started.append(Process(*args))
        return started[-1]

    yield start
    for process in reversed(started):
        process.stop()


def wait_for(condition, timeout=20, step=0.01):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()
