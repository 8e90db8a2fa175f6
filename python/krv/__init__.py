"""KRV companion package: recordings and the channel buffer service from
Python.

    krv.vrd.read(path)   a recording (*.vrd) as numpy arrays
    krv.vrd.to_dask(p)   recordings as lazy Dask arrays
    krv.zq               live channels of the channel buffer service
    krv.analysis         KRV's measurements (import it: needs the compiled
                         module of a KRV build with pybind11)
    krv.batch            one analysis over many recordings with Dask

``python -m krv --help`` lists the command lines.
"""

from . import vrd, zq  # zq loads libzq.so only on first use

__version__ = "1.01"

__all__ = ["vrd", "zq"]
