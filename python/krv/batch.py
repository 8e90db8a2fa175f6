"""One analysis over many recordings with Dask, gathered into a table.

Each recording is one task: the worker reads it (mapping the file there,
so only the path travels), runs the analysis on every chosen channel and
returns its rows; the rows of all recordings make one pandas DataFrame.
The tasks run on Dask's default scheduler, or on the distributed cluster
of an active ``dask.distributed.Client`` (a ``LocalCluster`` or a real
cluster by its scheduler address), or on ``scheduler`` when given. The
files must be reachable under the same paths on every worker.

Example::

    from functools import partial
    from dask.distributed import Client, LocalCluster
    import krv.analysis, krv.batch

    with LocalCluster(n_workers=2) as cluster, Client(cluster):
        table = krv.batch.analyse(paths, partial(krv.analysis.psd, points=4096, overlap=0.5),
                                  channels=[0, 1])
"""

import functools
import inspect
import os

import numpy as np

from . import analysis, vrd

__all__ = ["analyse", "psd_table", "rows_of"]

_KEYS = ["file", "channel", "name", "unit"]


def _takes_unit(function):
    try:
        return "unit" in inspect.signature(function).parameters
    except (TypeError, ValueError):
        return False


def rows_of(result):
    """The result of one analysis as a dict of columns: a Trace gives one
    row per x ("x", "value" and "second" where there is one; the rows of
    "Cascade" or "Spctgrm" add "row"), OctaveLevels one row per band plus
    the totals, a number the column "value", a dict its own columns."""
    if isinstance(result, analysis.Trace):
        values = np.asarray(result.values)
        rows = values.reshape(-1, len(result.x))
        columns = {"x": np.tile(result.x, rows.shape[0]), "value": rows.reshape(-1), "value_unit": result.unit}
        if values.ndim > 1:
            columns["row"] = np.repeat(np.arange(rows.shape[0]), len(result.x))
        if result.second is not None:
            columns["second"] = np.tile(result.second, rows.shape[0])
            columns["second_unit"] = result.second_unit
        return columns
    if isinstance(result, analysis.OctaveLevels):
        return {"x": result.centre, "value": result.levels, "value_unit": "dB", "total": result.total,
                "total_unit": result.unit, "unweighted_total": result.unweighted_total}
    if isinstance(result, dict):
        return dict(result)
    return {"value": [float(result)]}


def _reads_blocks(function):
    """True for the analyses that read a channel in place from the
    recording's blocks (krv.analysis.psd, also within a functools.partial):
    they are spared the copy of each channel."""
    while isinstance(function, functools.partial):
        function = function.func
    return getattr(function, "reads_blocks", False)


def _recording_rows(path, function, channels, stamp=None):
    """The table of one recording: runs in a worker. ``stamp`` (the file's
    size and modification time) only makes the task's key: a recording
    written anew under the same path is analysed anew, never answered
    from results a scheduler still holds."""
    import pandas as pd

    rec = vrd.read(path, channels)
    tables = []
    with_unit = _takes_unit(function)
    channel_of = rec.channel_blocks if _reads_blocks(function) else rec.channel
    for i, channel in enumerate(rec.channels):
        samples = channel_of(i)
        result = function(samples, rec.dt, unit=channel.unit) if with_unit else function(samples, rec.dt)
        table = pd.DataFrame(rows_of(result))
        keys = {"file": rec.path, "channel": rec._indices[i], "name": channel.name, "unit": channel.unit}
        for column, value in reversed(keys.items()):
            table.insert(0, column, value)
        tables.append(table)
    return pd.concat(tables, ignore_index=True) if tables else pd.DataFrame(columns=_KEYS)


def _stamp(path):
    try:
        info = os.stat(path)
    except OSError:
        return None   # the worker reports the missing file
    return info.st_size, info.st_mtime_ns


def analyse(paths, function, channels=None, scheduler=None):
    """``function(samples, dt)`` (and ``unit=`` when it takes one) on the
    chosen channels (indices; None for all) of each recording, as one
    DataFrame with the columns file, channel, name, unit and those of
    ``rows_of(result)``, recordings in the order given. ``function`` must
    pickle (a module-level function or a functools.partial of one) when
    the workers are processes. ``scheduler`` is passed to dask.compute."""
    import dask
    import pandas as pd

    paths = [os.fspath(p) for p in paths]
    task = dask.delayed(_recording_rows, pure=True)
    tables = dask.compute(*[task(p, function, channels, _stamp(p)) for p in paths], scheduler=scheduler)
    if not tables:
        return pd.DataFrame(columns=_KEYS)
    return pd.concat(tables, ignore_index=True)


def psd_table(paths, channels=None, scheduler=None, **settings):
    """The PSD (krv.analysis.psd with ``settings``: points, overlap,
    window, scale, density …) of every chosen channel of every recording,
    one row per recording, channel and frequency ("x" in Hz, "value")."""
    return analyse(paths, functools.partial(analysis.psd, **settings), channels, scheduler)
