"""The channel buffer service from Python, over libzq.so with ctypes.

The library is found through the environment variable KRV_ZQ_LIB (its
path), else beside the KRV tools (KRV_BIN_DIR, or the folder of ``vrd``,
``zq-gen`` or ``krv`` on PATH), else in the build folder of the source tree
this package lies in, else by the system's library search
(LD_LIBRARY_PATH), last as the versioned libzq.so.1 of an installed KRV.
The namespace is the one libzq takes from ZQ_NAME.

Reading a live channel::

    reader = krv.zq.Reader(client=1)
    while True:
        time.sleep(0.1)
        for channel, samples in zip(reader.channels(), reader.read()):
            print(channel.name, samples.size, samples.mean())

Samples are float32 numpy arrays in the channel's unit. A reader client
(1 .. 15) keeps its own position per channel in this process; KRV itself
uses clients 1, 2 and 3 in its own process, so any client number is fine in
another one.

Timing: every call looks for the writer's channels while it has none, so
``channels()`` right after a writer (in any process) completed its
definition already lists them; a writer that dies without releasing is
noticed within 50 ms. A full /dev/shm gives ZqError (code E_SEGMENT) with
the size needed, never a crash.
"""

import ctypes
import os
import shutil
import sys
import tempfile
import threading
from dataclasses import dataclass
from pathlib import Path

import numpy as np

__all__ = ["Channel", "Reader", "Writer", "ZqError", "BusyError", "channels", "status", "load_library"]

MAX_CHANNELS = 64
MAX_CLIENTS = 16
MAX_READER_SLOTS = 64

OK = 0
E_ARGUMENT = -1
E_SEGMENT = -2
E_BUSY = -3
E_NOCHANNEL = -4
E_SEQUENCE = -5

_MEANINGS = {
    E_ARGUMENT: "index, count or client out of range",
    E_SEGMENT: "the shared segment cannot be created or mapped",
    E_BUSY: "another live writer owns the namespace",
    E_NOCHANNEL: "channel not defined",
    E_SEQUENCE: "call out of order",
}


class ZqError(Exception):
    """A call of the library failed; ``code`` is its ZQ_E_* result, the
    text the library's own message where it gave one."""

    def __init__(self, message, code=None):
        super().__init__(message)
        self.code = code


class BusyError(ZqError):
    """Another live process is the writer of the namespace."""


class LibraryNotFound(ZqError):
    """libzq.so could not be loaded."""


@dataclass(frozen=True)
class Channel:
    """A channel of the service: its index (0 up), channel number, name,
    unit and sample interval ``dt`` in seconds."""

    index: int
    number: int
    name: str
    unit: str
    dt: float


class _WriterStatus(ctypes.Structure):
    _fields_ = [("segmentName", ctypes.c_char * 256), ("segmentPresent", ctypes.c_int),
                ("writerPid", ctypes.c_int), ("writerAlive", ctypes.c_int), ("heartbeatAge", ctypes.c_double),
                ("generation", ctypes.c_uint), ("nrOfChan", ctypes.c_int)]


class _ChanStatus(ctypes.Structure):
    _fields_ = [("chanNumber", ctypes.c_int), ("name", ctypes.c_char * 64), ("unit", ctypes.c_char * 32),
                ("sampleInterval", ctypes.c_double), ("capacity", ctypes.c_longlong),
                ("written", ctypes.c_longlong)]


class _ReaderStatus(ctypes.Structure):
    _fields_ = [("pid", ctypes.c_int), ("alive", ctypes.c_int), ("client", ctypes.c_int),
                ("generation", ctypes.c_uint), ("position", ctypes.c_longlong * MAX_CHANNELS),
                ("lost", ctypes.c_longlong * MAX_CHANNELS)]


_PROTOTYPES = {
    "ZQ_SetNrOfChan": (ctypes.c_int, [ctypes.c_int]),
    "ZQ_SetChanDef": (ctypes.c_int, [ctypes.c_int, ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p,
                                     ctypes.c_char_p, ctypes.c_double, ctypes.c_double, ctypes.c_double,
                                     ctypes.c_double, ctypes.c_double, ctypes.c_int]),
    "ZQ_WriteChanOneFloatValue": (ctypes.c_int, [ctypes.c_int, ctypes.POINTER(ctypes.c_float)]),
    "ZQ_WriteFrames": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_int]),
    "ZQ_ReleaseWriter": (ctypes.c_int, []),
    "ZQ_Register": (ctypes.c_int, [ctypes.c_int, ctypes.c_void_p]),
    "ZQ_ResetBuffer": (ctypes.c_int, [ctypes.c_int, ctypes.c_int]),
    "ZQ_FreezeBuffers": (ctypes.c_int, [ctypes.c_int]),
    "ZQ_CheckChan": (ctypes.c_int, [ctypes.c_int, ctypes.c_int]),
    "ZQ_ReadChan": (ctypes.c_int, [ctypes.c_int, ctypes.c_int, ctypes.c_void_p, ctypes.c_int]),
    "ZQ_CheckChanEx": (ctypes.c_int, [ctypes.c_int, ctypes.c_int]),
    "ZQ_ReadChanEx": (ctypes.c_int, [ctypes.c_int, ctypes.c_int, ctypes.c_void_p, ctypes.c_int, ctypes.c_int]),
    "ZQ_GetChanLost": (ctypes.c_longlong, [ctypes.c_int, ctypes.c_int]),
    "ZQ_GetNrOfChan": (ctypes.c_int, []),
    "ZQ_GetChanName": (ctypes.c_char_p, [ctypes.c_int]),
    "ZQ_GetChanUnit": (ctypes.c_char_p, [ctypes.c_int]),
    "ZQ_GetChanClkrate": (ctypes.c_double, [ctypes.c_int]),
    "ZQ_GetChanPChan": (ctypes.c_int, [ctypes.c_int]),
    "ZQ_GetWriterStatus": (ctypes.c_int, [ctypes.POINTER(_WriterStatus)]),
    "ZQ_GetChanStatus": (ctypes.c_int, [ctypes.c_int, ctypes.POINTER(_ChanStatus)]),
    "ZQ_GetReaderStatus": (ctypes.c_int, [ctypes.c_int, ctypes.POINTER(_ReaderStatus)]),
}

_library = None
_library_lock = threading.Lock()
_LIBRARY_NAME = "libzq.so"
# The run-time name of an installed libzq (its soname); an installed KRV has
# no unversioned libzq.so unless the development link was installed too.
_INSTALLED_NAME = "libzq.so.1"


def _candidates():
    bin_dir = os.environ.get("KRV_BIN_DIR")
    if bin_dir:
        yield Path(bin_dir) / _LIBRARY_NAME
    for tool in ("vrd", "zq-gen", "zq-stat", "krv"):
        found = shutil.which(tool)
        if found:
            folder = Path(os.path.realpath(found)).parent
            yield folder / _LIBRARY_NAME
            yield folder.parent / "lib" / _LIBRARY_NAME
    # Run from the source tree: python/krv/zq.py -> build/bin.
    yield Path(__file__).resolve().parents[2] / "build" / "bin" / _LIBRARY_NAME


def _load_from_search_path(tried):
    """libzq.so by the system's library search, else, as the last resort,
    the versioned library of an installed KRV; None when neither loads."""
    for name in (_LIBRARY_NAME, _INSTALLED_NAME):
        tried.append(name + " on the library search path")
        try:
            return ctypes.CDLL(name)
        except OSError:
            pass
    return None


def load_library(path=None):
    """The loaded libzq (a ctypes.CDLL), loaded on first use; path, when
    given, names the file to load instead of the search above."""
    global _library
    with _library_lock:
        if _library is not None and path is None:
            return _library
        explicit = path or os.environ.get("KRV_ZQ_LIB")
        if explicit:
            tried = [str(explicit)]
            try:
                library = ctypes.CDLL(str(explicit))
            except OSError as error:
                raise LibraryNotFound("cannot load the channel buffer library %s: %s" % (explicit, error)) from None
        else:
            library, tried = None, []
            for candidate in _candidates():
                tried.append(str(candidate))
                if candidate.is_file():
                    library = ctypes.CDLL(str(candidate))
                    break
            if library is None:
                library = _load_from_search_path(tried)
            if library is None:
                raise LibraryNotFound("cannot find the channel buffer library %s (tried %s); set KRV_ZQ_LIB "
                                      "to its path" % (_LIBRARY_NAME, ", ".join(tried)))
        for name, (result, arguments) in _PROTOTYPES.items():
            function = getattr(library, name)
            function.restype = result
            function.argtypes = arguments
        _library = library
        return library


# The library reports why a writer call failed in a "*** ..." line on
# stderr; it is taken from there into the exception. Only the writer's
# definition calls are wrapped: they are rare, while the redirection is
# process-wide (other threads' stderr output in that moment is passed on
# afterwards).
_stderr_lock = threading.Lock()


def _call_with_message(function, *arguments):
    with _stderr_lock:
        sys.stderr.flush()
        saved = os.dup(2)
        try:
            with tempfile.TemporaryFile() as capture:
                os.dup2(capture.fileno(), 2)
                try:
                    result = function(*arguments)
                finally:
                    os.dup2(saved, 2)
                capture.seek(0)
                text = capture.read().decode("utf-8", "replace")
        finally:
            os.close(saved)
    messages, others = [], []
    for line in text.splitlines():
        (messages if line.startswith("*** ") else others).append(line)
    if others:
        sys.stderr.write("\n".join(others) + "\n")
    return result, "; ".join(line[4:] for line in messages)


_INT_MIN, _INT_MAX = -(1 << 31), (1 << 31) - 1


def _c_int(value, what):
    """value as an int that a C int holds; ValueError otherwise (ctypes
    would silently cut it to its low 32 bits)."""
    if isinstance(value, bool) or not isinstance(value, (int, np.integer)):
        raise TypeError("%s is an int, not %r" % (what, value))
    value = int(value)
    if not _INT_MIN <= value <= _INT_MAX:
        raise ValueError("%s %d does not fit a C int" % (what, value))
    return value


def _check(result, what, message=""):
    if result >= 0:
        return result
    text = message or "%s: %s (error %d)" % (what, _MEANINGS.get(result, "failed"), result)
    raise (BusyError if result == E_BUSY else ZqError)(text, result)


def _decode(raw):
    return (raw or b"").decode("utf-8", "replace")


def channels():
    """The channels the service holds now (empty while no live writer
    has defined any)."""
    lib = load_library()
    count = lib.ZQ_GetNrOfChan()
    return [_channel(lib, i) for i in range(count)]


def _channel(lib, index):
    return Channel(index, lib.ZQ_GetChanPChan(index), _decode(lib.ZQ_GetChanName(index)),
                   _decode(lib.ZQ_GetChanUnit(index)), lib.ZQ_GetChanClkrate(index))


class Reader:
    """A reader client of this process (1 .. 15).

    ``read()`` freezes the client and returns the samples that arrived
    since its previous freeze, one float32 array per channel. A client
    more than a ring (at least 2 s) behind loses the oldest samples;
    ``lost()`` counts them. Creating the reader registers the client, so
    that it starts with the samples that arrive from then on (or, when the
    channels are defined later, with their first sample).
    """

    def __init__(self, client=1):
        if not isinstance(client, int) or not 1 <= client < MAX_CLIENTS:
            raise ValueError("a reader client is 1 to %d, not %r" % (MAX_CLIENTS - 1, client))
        self.client = client
        self._lib = load_library()
        result, message = _call_with_message(self._lib.ZQ_Register, client, None)
        _check(result, "ZQ_Register", message)

    def channels(self):
        return channels()

    def reset(self, channel=-1):
        """Drops the unread samples of every channel (or of one)."""
        _check(self._lib.ZQ_ResetBuffer(self.client, _c_int(channel, "a channel index")), "ZQ_ResetBuffer")

    def freeze(self):
        """Fixes per channel the block that arrived since the previous
        freeze; returns the number of channels."""
        _check(self._lib.ZQ_FreezeBuffers(self.client), "ZQ_FreezeBuffers")
        return self._lib.ZQ_GetNrOfChan()

    def available(self, channel):
        """Length of the channel's frozen block."""
        return _check(self._lib.ZQ_CheckChan(self.client, _c_int(channel, "a channel index")), "ZQ_CheckChan")

    def read_channel(self, channel, count=None):
        """The frozen block of a channel (its newest count samples when
        count is shorter) as a float32 array."""
        channel = _c_int(channel, "a channel index")
        if count is None:
            count = self.available(channel)
        count = _c_int(count, "a count")
        out = np.empty(max(count, 0), dtype=np.float32)
        got = _check(self._lib.ZQ_ReadChan(self.client, channel, out.ctypes.data, count), "ZQ_ReadChan")
        return out[:got]

    def read(self):
        """Freezes and returns one array per channel with its new samples."""
        return [self.read_channel(c) for c in range(self.freeze())]

    def read_frames(self):
        """Freezes and returns the new frames of channels that share one
        sample rate as a frames x channels float32 array (the newest
        frames that every channel has)."""
        count = self.freeze()
        if count == 0:
            return np.zeros((0, 0), dtype=np.float32)
        frames = min(self.available(c) for c in range(count))
        out = np.empty((count, frames), dtype=np.float32)
        got = [_check(self._lib.ZQ_ReadChan(self.client, c, out[c].ctypes.data, frames), "ZQ_ReadChan")
               for c in range(count)]
        # A block the writer overran shrinks to its newest part: keep the
        # newest frames that every channel still has, aligned at the end.
        common = min(got)
        if common == frames:
            return out.T
        return np.stack([out[c, got[c] - common:got[c]] for c in range(count)], axis=1)

    def lost(self, channel=None):
        """Samples of a channel (of each channel when None) this client lost
        because it fell more than a ring behind."""
        if channel is None:
            return [self.lost(c) for c in range(self._lib.ZQ_GetNrOfChan())]
        return _check(self._lib.ZQ_GetChanLost(self.client, _c_int(channel, "a channel index")), "ZQ_GetChanLost")


def _text_argument(text, what):
    raw = str(text).encode("utf-8")
    if b"\0" in raw:
        raise ValueError("%s must not hold a NUL character" % what)
    return raw


class Writer:
    """Makes this process the writer of the namespace and defines channels.

    channels: a sequence of (number, name, unit, dt) or objects with those
    attributes (krv.vrd.Channel and krv.zq.Channel both do). Raises
    BusyError while another live process is the writer. The channels stay
    until ``release()``, the end of a ``with`` block or of the process.
    Samples go in with ``write(frames)``, frames x channels.
    """

    def __init__(self, channels, value_range=(-10.0, 10.0)):
        self._lib = load_library()
        self._count = 0
        self.define(channels, value_range)

    def define(self, channels, value_range=(-10.0, 10.0)):
        specs = [_channel_spec(c) for c in channels]
        if not 1 <= len(specs) <= MAX_CHANNELS:
            raise ValueError("a definition has 1 to %d channels, not %d" % (MAX_CHANNELS, len(specs)))
        result, message = _call_with_message(self._lib.ZQ_SetNrOfChan, len(specs))
        _check(result, "ZQ_SetNrOfChan", message)
        for index, (number, name, unit, dt) in enumerate(specs):
            result, message = _call_with_message(
                self._lib.ZQ_SetChanDef, index, number, str(number).encode(), _text_argument(name, "a name"),
                _text_argument(unit, "a unit"), b"+", dt, value_range[0], value_range[1], -99.0, 99.0, 0)
            if result < 0:
                self._lib.ZQ_ReleaseWriter()
                _check(result, "ZQ_SetChanDef", message)
        self._count = len(specs)

    def write(self, frames):
        """Appends frames: an array of frames x channels (a 1-D array is one
        value per channel for each frame in turn, frame after frame)."""
        if self._count == 0:
            raise ZqError("ZQ_WriteFrames: this writer was released; define channels again first", E_NOCHANNEL)
        values = np.ascontiguousarray(frames, dtype=np.float32).reshape(-1)
        if values.size % self._count:
            raise ValueError("%d values are no whole number of frames of %d channels" % (values.size, self._count))
        total = values.size // self._count
        step = max(1, (1 << 24) // self._count)
        for first in range(0, total, step):
            chunk = values[first * self._count:(first + step) * self._count]
            _check(self._lib.ZQ_WriteFrames(chunk.ctypes.data, chunk.size // self._count), "ZQ_WriteFrames")
        return total

    def release(self):
        """Gives up the writer role: the channels vanish for every reader."""
        self._lib.ZQ_ReleaseWriter()
        self._count = 0

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.release()


def _channel_spec(channel):
    if hasattr(channel, "dt"):
        number, name, unit, dt = channel.number, channel.name, channel.unit, channel.dt
    else:
        number, name, unit, dt = channel
    return _c_int(number, "a channel number"), name, unit, float(dt)


@dataclass
class ChannelStatus:
    index: int
    number: int
    name: str
    unit: str
    dt: float
    capacity: int
    written: int


@dataclass
class ReaderStatus:
    pid: int
    alive: bool
    client: int
    generation: int
    position: list
    lost: list


@dataclass
class Status:
    """The namespace as zq-stat shows it."""

    segment: str
    present: bool
    writer_pid: int
    writer_alive: bool
    heartbeat_age: float
    generation: int
    channels: list
    readers: list


def status():
    """The service's state, read without attaching as a reader."""
    lib = load_library()
    writer = _WriterStatus()
    _check(lib.ZQ_GetWriterStatus(ctypes.byref(writer)), "ZQ_GetWriterStatus")
    chans = []
    for index in range(writer.nrOfChan if writer.segmentPresent else 0):
        chan = _ChanStatus()
        if lib.ZQ_GetChanStatus(index, ctypes.byref(chan)) != OK:
            continue
        chans.append(ChannelStatus(index, chan.chanNumber, _decode(chan.name), _decode(chan.unit),
                                   chan.sampleInterval, chan.capacity, chan.written))
    readers = []
    for slot in range(MAX_READER_SLOTS):
        reader = _ReaderStatus()
        if lib.ZQ_GetReaderStatus(slot, ctypes.byref(reader)) == 1:
            readers.append(ReaderStatus(reader.pid, bool(reader.alive), reader.client, reader.generation,
                                        list(reader.position), list(reader.lost)))
    return Status(_decode(writer.segmentName), bool(writer.segmentPresent), writer.writerPid,
                  bool(writer.writerAlive), writer.heartbeatAge, writer.generation, chans, readers)
