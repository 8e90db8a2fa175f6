"""krv.vrd.to_dask and krv.batch over recordings made by CRecordFile, on
Dask's local schedulers and a two-worker LocalCluster of processes."""

import csv
import functools
import glob
import os
import pickle

import numpy as np
import pytest

from conftest import BIN_DIR, PYTHON, record, run

pytest.importorskip("dask")
pd = pytest.importorskip("pandas")
if not glob.glob(str(BIN_DIR / "_analysis.cpython-*.so")) and "KRV_REQUIRE_ANALYSIS" not in os.environ:
    pytest.skip("krv._analysis is not built (no pybind11)", allow_module_level=True)

import krv.analysis as analysis  # noqa: E402
import krv.batch as batch  # noqa: E402
import krv.vrd as vrd  # noqa: E402

RATE = 8000


def recordings(tmp_path, shapes):
    """Recordings of (channels, block frames, frames)."""
    paths = []
    for n, (channels, block_frames, frames) in enumerate(shapes):
        path = str(tmp_path / ("rec%d.vrd" % n))
        paths.append(record("continuous", path, channels, frames, RATE, block_frames))
    return paths


SIX = [(3, 4096, 20000), (2, 1024, 9000), (4, 512, 8192), (1, 2048, 12345), (3, 8192, 5000), (2, 256, 16000)]


def test_to_dask_equals_read_per_recording(tmp_path):
    paths = recordings(tmp_path, [SIX[0], SIX[2], (3, 1024, 9000)])
    for channels, chunk_frames in [(None, None), ([2, 0], 1500), ([1], 1024)]:
        arrays = vrd.to_dask(paths, channels=channels, chunk_frames=chunk_frames)
        assert len(arrays) == 3
        for path, lazy in zip(paths, arrays):
            expected = vrd.read(path, channels).data
            assert lazy.shape == expected.shape and lazy.dtype == np.float32
            np.testing.assert_array_equal(lazy.compute(scheduler="sync"), expected)
    single = vrd.to_dask(paths[0], chunk_frames=3000)
    np.testing.assert_array_equal(single[4000:4100].compute(), vrd.read(paths[0]).data[4000:4100])


def test_to_dask_tasks_carry_the_path_not_the_samples(tmp_path):
    [path] = recordings(tmp_path, [(4, 4096, 100000)])
    lazy = vrd.to_dask(path)
    graph = dict(lazy.__dask_graph__())
    assert len(pickle.dumps(graph)) < 4096        # the samples are 1.6 MB
    for task in graph.values():
        assert not any(isinstance(part, np.ndarray) for part in task)


def test_to_dask_of_an_empty_recording_and_bad_channels(tmp_path):
    [path] = recordings(tmp_path, [(2, 256, 0)])
    assert vrd.to_dask(path).compute().shape == (0, 2)
    with pytest.raises(IndexError):
        vrd.to_dask(path, channels=[5])


PSD = dict(points=1024, overlap=0.5, window="hann", scale="db", density=True)


def serial_psd_table(paths, channels):
    """The table built without Dask, straight from read and psd."""
    tables = []
    for path in paths:
        rec = vrd.read(path, channels)
        for i, channel in enumerate(rec.channels):
            psd = analysis.psd(rec.channel(i), rec.dt, unit=channel.unit, **PSD)
            tables.append(pd.DataFrame({"file": path, "channel": channel.number - 1, "name": channel.name,
                                        "unit": channel.unit, "x": psd.x, "value": psd.values,
                                        "value_unit": psd.unit}))
    return pd.concat(tables, ignore_index=True)


def test_psd_table_equals_read_and_psd_per_recording(tmp_path):
    paths = recordings(tmp_path, SIX[:2])
    table = batch.psd_table(paths, channels=[1, 0], scheduler="sync", **PSD)
    expected = serial_psd_table(paths, [1, 0])
    pd.testing.assert_frame_equal(table, expected, check_exact=True)


def test_a_channel_read_in_its_blocks_gives_the_psd_of_the_channel_copied_together(tmp_path):
    # Blocks a multiple of the hop, segments across block ends, blocks
    # shorter than a segment, one block only; the last block part-filled.
    paths = recordings(tmp_path, [(3, 4096, 20000), (2, 700, 9001), (2, 300, 5000), (2, 8192, 3000)])
    for path in paths:
        rec = vrd.read(path)
        for i in range(len(rec.channels)):
            blocks = rec.channel_blocks(i)
            assert len(blocks) == rec.frames
            np.testing.assert_array_equal(np.asarray(blocks), rec.channel(i))
            for average in ["linear", "peak hold", "cascade"]:
                in_place = analysis.psd(blocks, rec.dt, average=average, **PSD)
                together = analysis.psd(rec.channel(i), rec.dt, average=average, **PSD)
                np.testing.assert_array_equal(in_place.values, together.values)
                assert in_place.unit == together.unit


def test_channel_blocks_that_are_no_recording_s_layout_are_refused():
    rows = np.zeros((4, 1024), dtype=np.float32)
    with pytest.raises(ValueError, match="contiguous"):
        analysis.psd(vrd.ChannelBlocks(rows[:, ::2], 2048), 1e-3, points=256)
    with pytest.raises(ValueError, match="frames"):
        analysis.psd(vrd.ChannelBlocks(rows, 4097), 1e-3, points=256)
    with pytest.raises(ValueError, match="float32"):
        analysis.psd(vrd.ChannelBlocks(rows.astype(np.float64), 4096), 1e-3, points=256)
    with pytest.raises(ValueError, match="too short"):
        analysis.psd(vrd.ChannelBlocks(rows, 100), 1e-3, points=256)


# distributed 2022.12 on the tornado of Debian 12 warns as it starts.
@pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")
def test_batch_on_a_two_worker_local_cluster_equals_the_serial_result(tmp_path):
    distributed = pytest.importorskip("distributed")
    paths = recordings(tmp_path, SIX)
    function = functools.partial(analysis.psd, **PSD)
    serial = batch.analyse(paths, function, channels=[0], scheduler="sync")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  silence_logs=40) as cluster, distributed.Client(cluster) as client:
        parallel = batch.analyse(paths, function, channels=[0])
        # The tasks ran on the two worker processes, not in this one.
        assert len(client.scheduler_info()["workers"]) == 2
    pd.testing.assert_frame_equal(parallel, serial)
    assert list(parallel["file"].unique()) == paths


def test_rows_of_scalars_and_octave_levels(tmp_path):
    paths = recordings(tmp_path, SIX[3:5])
    table = batch.analyse(paths, functools.partial(analysis.multimeter, statistic="max"), scheduler="sync")
    # The writer stores frame j of channel c as j + c/4.
    expected = [12344.0] + [4999.0, 4999.25, 4999.5]
    assert list(table["value"]) == expected
    assert list(table["channel"]) == [0, 0, 1, 2]
    octaves = batch.analyse(paths[:1], functools.partial(analysis.octave_levels, bands_per_octave=1),
                            scheduler="sync")
    assert {"x", "value", "total", "unweighted_total"} <= set(octaves.columns)


def test_command_line_psd_writes_the_table(tmp_path):
    paths = recordings(tmp_path, SIX[:2])
    out = tmp_path / "table.csv"
    result = run(PYTHON, "-m", "krv", "psd", *paths, "--channels", "1,0", "--points", "1024", "--scale", "db",
                 "--density", "--out", out)
    assert result.returncode == 0, result.stderr
    with open(out, newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    expected = serial_psd_table(paths, [1, 0])
    assert len(rows) == len(expected)
    assert [r["file"] for r in rows[:1]] == [paths[0]] and rows[0]["channel"] == "1"
    np.testing.assert_allclose([float(r["value"]) for r in rows], expected["value"], rtol=1e-6)

    bad = run(PYTHON, "-m", "krv", "psd", paths[0], "--points", "1000")
    assert bad.returncode == 1 and "power of two" in bad.stderr
    missing = run(PYTHON, "-m", "krv", "psd", str(tmp_path / "none.vrd"))
    assert missing.returncode == 1
    usage = run(PYTHON, "-m", "krv", "psd", paths[0], "--channels", "x")
    assert usage.returncode == 2
