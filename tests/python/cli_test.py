"""python -m krv: help, a recording's header, the service, bad arguments."""

from conftest import PYTHON, record, run, tool, wait_for


def krv(*args):
    return run(PYTHON, "-m", "krv", *args)


def test_info_shows_the_header_and_failures_give_one_line(tmp_path):
    path = record("continuous", str(tmp_path / "a.vrd"), 2, 10000, 8000, 4096)
    shown = krv("info", path, "--stats")
    assert shown.returncode == 0, shown.stderr
    assert "frames: 10000 (1.25 s)" in shown.stdout
    assert "block frames: 4096" in shown.stdout
    # Channel 1 holds j + 1/4 for j = 0 .. 9999: mean 4999.75.
    assert "1: number 2 name 'Temp, inner' unit '\u00b0C' dt 0.000125 s (8000 Hz)" in shown.stdout
    assert "mean 4999.75" in shown.stdout
    for args in (["info", str(tmp_path / "missing.vrd")], ["info", tool("vrd")]):
        failed = krv(*args)
        assert failed.returncode == 1 and failed.stdout == ""
        assert failed.stderr.count("\n") == 1, failed.stderr
    for bad in ([], ["play"], ["info"], ["info", path, "--fast"], ["stat", "extra"]):
        failed = krv(*bad)
        assert failed.returncode == 2, bad
        assert failed.stderr.count("\n") == 1, failed.stderr
    helped = krv("--help")
    assert helped.returncode == 0 and "info" in helped.stdout and "stat" in helped.stdout
    assert krv("info", "--help").returncode == 0


def test_stat_shows_the_writer_and_its_channels(processes):
    assert krv("stat").returncode == 1         # no service in this namespace yet
    gen = processes(tool("zq-gen"), "-n", "2", "-r", "1000", "--prefix", "Probe", "-q")
    shown = wait_for(lambda: (lambda r: r if "channels: 2" in r.stdout else None)(krv("stat")))
    assert shown, krv("stat").stdout
    assert "writer: pid %d (alive)" % gen.popen.pid in shown.stdout
    assert "1: number 2 name 'Probe 2' unit 'V' rate 1000 Hz" in shown.stdout
