"""Recording files (``*.vrd``) as numpy arrays.

A recording is a 32-byte head ("Vorn64", then at bytes 8..15 the byte offset
of the text header, little-endian), the samples as little-endian 32-bit
floats in blocks, and a Windows-1252 text header behind the last block.
Block b holds ``block_frames`` values of channel 0, then of channel 1, ...;
channel i of block b starts at byte 32 + (b * channels + i) * block_frames * 4,
and only the first ``frames - b * block_frames`` values of the last block
count.

While a recording is open its writer keeps the header it will get in a side
record ``<file>.hdr``. A file whose writer died has no header; ``vrd repair``
gives it one from the side record.

Example::

    rec = krv.vrd.read("data/20261208_101500_042.vrd")
    t = rec.time()                  # seconds, one per frame
    left = rec.data[:, 0]           # frames x channels, float32
"""

import datetime
import fcntl
import math
import mmap
import os
import re
import stat
from dataclasses import dataclass

import numpy as np

__all__ = ["Channel", "ChannelBlocks", "Recording", "VrdError", "NoHeaderError", "read", "to_dask"]

HEAD_BYTES = 32
MAGIC = b"Vorn64"
# A header (and a side record) longer than this is taken for damage.
MAX_HEADER_BYTES = 16 << 20
# Candidates for a header behind the last block of a file whose head was
# never pointed at it, tried from the end of the file backwards (a channel
# name may hold the text too).
_HEADER_CANDIDATES = 8
_BEGIN_LINE = b"beginheader:\r\n"
_MADV_POPULATE_READ = 22  # <linux/mman.h>; Python 3.11's mmap module lacks it


class VrdError(Exception):
    """The file is no recording, or it is damaged; the text says why."""


class NoHeaderError(VrdError):
    """The recording has no text header: its writer never closed it.

    ``side_record`` is the path of the side record when one with a valid
    header lies beside the file (then ``vrd repair`` can make the file
    whole), else None; ``being_written`` tells that a running program still
    writes the recording.
    """

    def __init__(self, message, side_record=None, being_written=False):
        super().__init__(message)
        self.side_record = side_record
        self.being_written = being_written


@dataclass(frozen=True)
class Channel:
    """A channel of a recording: its number (``pchan``), name, unit and
    sample interval ``dt`` in seconds."""

    number: int
    name: str
    unit: str
    dt: float


# Windows-1252 -> Unicode. Every byte decodes to one code point; the five
# bytes the code page leaves unassigned decode to the C1 control of the same
# number, as Windows does (Python's "cp1252" codec refuses them).
_HIGH = (
    "\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021"
    "\u02c6\u2030\u0160\u2039\u0152\u008d\u017d\u008f"
    "\u0090\u2018\u2019\u201c\u201d\u2022\u2013\u2014"
    "\u02dc\u2122\u0161\u203a\u0153\u009d\u017e\u0178"
)
_WINDOWS1252 = {0x80 + i: c for i, c in enumerate(_HIGH)}


def _text(raw):
    return raw.decode("latin-1").translate(_WINDOWS1252)


# The numbers of a header, in the grammar vrd reads them with: decimal as
# the writer prints them ("%d", "%lld", "%g"), no blanks, no hexadecimal,
# no "inf" or "nan", nothing behind the number. A comma is taken as decimal
# separator (writers before the C locale fix printed "%g" in the user's
# locale).
_INT = re.compile(rb"[+-]?[0-9]+")
_DECIMAL = re.compile(rb"[+-]?[0-9]+(?:[.,][0-9]+)?(?:[eE][+-]?[0-9]+)?")
_MAX_INT_CHARS = 24
_MAX_DECIMAL_CHARS = 64
_INT64 = (-(1 << 63), (1 << 63) - 1)


def _int64(raw):
    if len(raw) > _MAX_INT_CHARS or not _INT.fullmatch(raw):
        return None
    value = int(raw)
    return value if _INT64[0] <= value <= _INT64[1] else None


def _double(raw):
    """A finite float, or None. Below the smallest double a value rounds
    to 0, as in vrd; above the largest there is none."""
    if len(raw) > _MAX_DECIMAL_CHARS or not _DECIMAL.fullmatch(raw):
        return None
    value = float(raw.replace(b",", b"."))
    return value if math.isfinite(value) else None


def _quoted(line):
    shown = bytes(b if b >= 0x20 else 0x3F for b in line[:40])
    return '"' + _text(shown) + ('..."' if len(line) > 40 else '"')


class _HeaderError(Exception):
    def __init__(self, reason, ended_early=False):
        super().__init__(reason)
        self.ended_early = ended_early


@dataclass
class _Header:
    type: str = ""
    start_time: str = ""
    block_frames: int = 0
    frames: int = 0
    channels: list = None
    offsets: list = None
    closing_frames: int = -1


_HEAD_KEYS = (b"typ:", b"org:Block", b"starttime:", b"frames:")
_CHANNEL_KEYS = (b"channel_offset:", b"name:", b"unit:", b"pchan:", b"clk:")


def _keyed_lines(*keys):
    # Lines (split at "\n", one "\r" before it dropped) that begin with one
    # of keys; group 1 is the key, group 2 the rest. The first line of a
    # header is never one of them, so each key follows a "\n". Written as
    # first letter, look-behind, rest, so that the engine skips from letter
    # to letter in its fast loop: any other line, and a header of millions
    # of blank lines, costs no Python step.
    alternatives = b"|".join(re.escape(k[:1]) + b"(?<=\\n" + re.escape(k[:1]) + b")" + re.escape(k[1:])
                             for k in keys)
    return re.compile(rb"(%s)([^\n]*?)\r?$" % alternatives, re.M)


_IN_HEAD = _keyed_lines(*(_HEAD_KEYS + (b"endheader:",)))
_BETWEEN_CHANNELS = _keyed_lines(b"beginchannel:", b"endchannel:", b"closing:")
_IN_CHANNEL = _keyed_lines(*(_CHANNEL_KEYS + (b"beginchannel:", b"endchannel:")))
# Keys that make up a whole line.
_WHOLE_LINE_KEYS = (b"endheader:", b"beginchannel:", b"endchannel:")


def _matches(pattern, text, start):
    """Yields (key, value, end of line) of the keyed lines from start on;
    the whole-line keys only where nothing follows them."""
    for match in pattern.finditer(text, start):
        key, value = match.group(1), match.group(2)
        if key in _WHOLE_LINE_KEYS and value:
            continue
        yield key, value, match.end()


def _parse_header(text):
    """The header that begins text; raises _HeaderError with the reason.
    Work grows linearly with the text."""
    first = text.find(b"\n")
    first_line = text if first < 0 else text[:first]
    if first_line not in (b"beginheader:", b"beginheader:\r"):
        raise _HeaderError('the header does not begin with a "beginheader:" line')
    header = _Header(channels=[], offsets=[])
    seen = set()
    position = None
    if first < 0:
        raise _HeaderError('the header ends before its "endheader:" line', ended_early=True)
    for key, value, end in _matches(_IN_HEAD, text, first + 1):
        if key == b"endheader:":
            position = end
            break
        _head_line(header, seen, key, value)
    if position is None:
        raise _HeaderError('the header ends before its "endheader:" line', ended_early=True)
    for key in _HEAD_KEYS:
        if key not in seen:
            raise _HeaderError('line "%s" is missing before "endheader:"' % key.decode())
    if header.type != "real":
        raise _HeaderError('line "typ:%s": only "typ:real" (32-bit float samples) is known' % header.type)
    _channels(header, text, position)
    if not header.channels:
        raise _HeaderError('the header names no channel (no "beginchannel:" line)')
    return header


def _head_line(header, seen, key, value):
    if key in seen:
        raise _HeaderError('line "%s" appears twice' % key.decode())
    seen.add(key)
    if key == b"typ:":
        header.type = _text(value)
    elif key == b"org:Block":
        blocks = _int64(value)
        if blocks is None or not 1 <= blocks <= 0x7FFFFFFF:
            raise _HeaderError("bad block length in line " + _quoted(key + value))
        header.block_frames = blocks
    elif key == b"starttime:":
        header.start_time = _text(value)
    else:
        frames = _int64(value)
        if frames is None or frames < 0:
            raise _HeaderError("bad frame count in line " + _quoted(key + value))
        header.frames = frames


def _channels(header, text, position):
    """The channels behind "endheader:", from position on."""
    while True:
        for key, value, end in _matches(_BETWEEN_CHANNELS, text, position):
            if key == b"beginchannel:":
                break
            if key == b"endchannel:":
                raise _HeaderError('"endchannel:" without "beginchannel:"')
            closing = _int64(value)
            if closing is None or closing < 0:
                raise _HeaderError("bad frame count in line " + _quoted(key + value))
            header.closing_frames = closing
        else:
            return
        position = _channel(header, text, end)


def _channel(header, text, position):
    """One channel from behind its "beginchannel:" line; returns where its
    "endchannel:" line ends."""
    where = "channel %d: " % len(header.channels)
    fields = {}
    for key, value, end in _matches(_IN_CHANNEL, text, position):
        if key == b"beginchannel:":
            raise _HeaderError(where + '"endchannel:" is missing before the next "beginchannel:"')
        if key == b"endchannel:":
            for k in _CHANNEL_KEYS:
                if k not in fields:
                    raise _HeaderError(where + 'line "%s" is missing' % k.decode())
            header.channels.append(Channel(fields[b"pchan:"], fields[b"name:"], fields[b"unit:"],
                                           fields[b"clk:"]))
            header.offsets.append(fields[b"channel_offset:"])
            return end
        if key in fields:
            raise _HeaderError(where + 'line "%s" appears twice' % key.decode())
        if key in (b"name:", b"unit:"):
            parsed = _text(value)
        elif key == b"clk:":
            parsed = _double(value)
        else:
            parsed = _int64(value)
            if key == b"channel_offset:" and parsed is not None and parsed < 0:
                parsed = None
        if parsed is None:
            raise _HeaderError(where + "bad line " + _quoted(key + value))
        fields[key] = parsed
    raise _HeaderError(where + 'the header ends before its "endchannel:" line', ended_early=True)


def _blocks_needed(header):
    return -(-header.frames // header.block_frames)


def _block_bytes(header):
    return len(header.channels) * header.block_frames * 4


def _start_time(text):
    # "%d.%02d.%4d %2d:%02d:%02d" in local time.
    match = re.fullmatch(r"\s*(\d+)\.(\d+)\.\s*(\d+)\s+(\d+):(\d+):(\d+)\s*", text)
    if not match:
        return None
    day, month, year, hour, minute, second = map(int, match.groups())
    try:
        return datetime.datetime(year, month, day, hour, minute, second)
    except ValueError:
        return None


class _File:
    """What a recording's head and header say (no samples are read)."""

    def __init__(self, path):
        self.path = os.fspath(path)
        self.warnings = []
        self.side_valid = False
        self.side_exists = False
        self.being_written = False
        self.side_error = ""
        try:
            fd = os.open(self.path, os.O_RDONLY | os.O_CLOEXEC)
        except OSError as error:
            raise VrdError("cannot open %s: %s" % (self.path, error.strerror)) from None
        try:
            self._load(fd)
        finally:
            os.close(fd)

    def _fail(self, reason):
        raise VrdError("%s: %s" % (self.path, reason))

    def _load(self, fd):
        info = os.fstat(fd)
        if not stat.S_ISREG(info.st_mode):
            self._fail("no regular file")
        self.size = info.st_size
        self._load_side_record()
        if self.size < HEAD_BYTES:
            if not self.side_exists:
                self._fail("no recording: shorter than the 32-byte head")
            self._no_header()
        head = os.pread(fd, HEAD_BYTES, 0)
        if len(head) < HEAD_BYTES:
            self._fail("cannot read the head")
        if head[:6] != MAGIC:
            self._fail('no recording: its head does not begin with "Vorn64"')
        self.head_offset = int.from_bytes(head[8:16], "little")
        if self.head_offset == 0:
            if self._find_header_at_end(fd):
                self.warnings.append('the head does not point at the header (the program ended while '
                                     'closing the file); run "vrd repair %s"' % self.path)
                self._add_channel_warnings()
                return
            self._no_header()
        if self.head_offset < HEAD_BYTES:
            self._fail("damaged head: its header offset %d points into the head" % self.head_offset)
        if self.head_offset >= self.size:
            self._fail("cut short: the head points at a header at byte %d, but the file ends at byte %d"
                       % (self.head_offset, self.size))
        self._load_header_at(fd, self.head_offset)

    def _no_header(self):
        base = "no text header: the recording was never closed (the program ended abnormally)"
        if self.being_written:
            raise NoHeaderError("%s: the recording is still being written; read it once it is closed"
                                % self.path, None, True)
        if self.side_valid:
            raise NoHeaderError('%s: %s; run "vrd repair %s" first' % (self.path, base, self.path),
                                self.path + ".hdr")
        why = ("its side record is damaged (%s)" % self.side_error if self.side_exists
               else "it has no side record %s.hdr" % self.path)
        raise NoHeaderError('%s: %s, and %s, so "vrd repair" cannot rebuild the header; '
                            '"vrd csv %s -c CHANNELS -b BLOCKFRAMES" reads its whole blocks'
                            % (self.path, base, why, self.path))

    def _load_side_record(self):
        path = self.path + ".hdr"
        try:
            fd = os.open(path, os.O_RDONLY | os.O_CLOEXEC | os.O_NONBLOCK)
        except OSError:
            return
        self.side_exists = True
        try:
            try:
                fcntl.flock(fd, fcntl.LOCK_SH | fcntl.LOCK_NB)
            except BlockingIOError:
                self.being_written = True
            except OSError:
                pass
            info = os.fstat(fd)
            if not stat.S_ISREG(info.st_mode) or info.st_size > MAX_HEADER_BYTES:
                self.side_error = path + " is no side record"
                return
            text = os.pread(fd, info.st_size, 0)
        finally:
            os.close(fd)
        try:
            self.side_header = _parse_header(text)
            self.side_valid = True
        except _HeaderError as error:
            self.side_error = str(error)

    def _load_header_at(self, fd, offset):
        length = self.size - offset
        if length > MAX_HEADER_BYTES:
            self._fail("damaged head: the header at byte %d would be %d bytes long, more than the 16 MiB "
                       "a header may take" % (offset, length))
        text = os.pread(fd, length, offset)
        if len(text) < 12 and b"beginheader:".startswith(text):
            self._fail("cut short: the file ends %d bytes into its header" % len(text))
        if not text.startswith(b"beginheader:"):
            self._fail('damaged head: its header offset %d points at no header (there is no "beginheader:" '
                       "line)" % offset)
        try:
            self.header = _parse_header(text)
        except _HeaderError as error:
            self._fail(("cut short: " if error.ended_early else "corrupt header: ") + str(error))
        self.data_bytes = offset - HEAD_BYTES
        whole = self.data_bytes // _block_bytes(self.header)
        if _blocks_needed(self.header) > whole:
            self._fail("cut short: the header's %d frames need %d blocks of %d bytes, but the file holds %d "
                       "bytes of data before its header" % (self.header.frames, _blocks_needed(self.header),
                                                            _block_bytes(self.header), self.data_bytes))
        if self.data_bytes % _block_bytes(self.header):
            self.warnings.append("the data is no whole number of blocks")
        self._add_channel_warnings()

    def _find_header_at_end(self, fd):
        """A header right behind the block its frame count ends in, running
        to the end of the file: what a writer that died between writing the
        header and pointing the head at it leaves."""
        window = min(self.size - HEAD_BYTES, MAX_HEADER_BYTES)
        if window < len(_BEGIN_LINE):
            return False
        window_start = self.size - window
        tail = os.pread(fd, window, window_start)
        at = len(tail)
        for _ in range(_HEADER_CANDIDATES):
            at = tail.rfind(_BEGIN_LINE, 0, at - 1 + len(_BEGIN_LINE)) if at > 0 else -1
            if at < 0:
                return False
            try:
                header = _parse_header(tail[at:])
            except _HeaderError:
                continue
            data_bytes = window_start + at - HEAD_BYTES
            if self.side_valid and (header.block_frames != self.side_header.block_frames
                                    or len(header.channels) != len(self.side_header.channels)):
                continue
            if data_bytes % _block_bytes(header) or data_bytes // _block_bytes(header) != _blocks_needed(header):
                continue
            self.header = header
            self.data_bytes = data_bytes
            return True
        return False

    def _add_channel_warnings(self):
        for i, offset in enumerate(self.header.offsets):
            expected = HEAD_BYTES + i * self.header.block_frames * 4
            if offset != expected:
                self.warnings.append("channel %d: channel_offset %d instead of %d" % (i, offset, expected))
                if len(self.warnings) > 16:
                    return


def _as_slice(indices):
    """A slice that picks exactly these indices in this order, or None."""
    if len(indices) == 1:
        return slice(indices[0], indices[0] + 1)
    step = indices[1] - indices[0]
    if step <= 0 or any(b - a != step for a, b in zip(indices, indices[1:])):
        return None
    return slice(indices[0], indices[-1] + 1, step)


class Recording:
    """A recording read with numpy.memmap.

    ``channels``: the channels read (all, or those asked for, in that order);
    ``start_time``: the local time the recording began (a naive
    datetime.datetime; None if the header's text is no date, see
    ``start_time_text``); ``frames``: samples per channel; ``block_frames``:
    frames per block of the file; ``warnings``: what ``vrd info`` would warn
    about (e.g. a head that was never pointed at its header).

    ``data`` is a float32 array of frames x channels in channel-major
    (Fortran) order: ``data[:, i]`` is contiguous. The file keeps each
    channel's samples together only within a block, so ``data`` is a view
    of the file's memory map, without a copy, when the recording is one
    block (every trigger recording and any recording shorter than a block)
    or has one channel. Otherwise no single strided view can span the
    blocks: ``data`` is then assembled from the map on first use, one copy
    in memory (block by block, each channel's piece in one move), and kept.
    To go through a recording larger than memory without that copy use
    ``blocks`` or ``iter_blocks()``, which are views of the map, or
    ``channel(i)``, which copies one channel only.

    The map reads the file as it is on disk when the samples are touched:
    if another program truncates the recording meanwhile (or it lies on a
    medium that goes away), touching samples past the new end ends this
    process with SIGBUS, as with any memory map. ``read(path, copy=True)``
    reads the samples into memory once instead; ``blocks`` and ``data`` are
    then views of that copy.
    """

    def __init__(self, path, file, channels=None, copy=False):
        header = file.header
        self.path = file.path
        self.frames = header.frames
        self.block_frames = header.block_frames
        self.start_time_text = header.start_time
        self.start_time = _start_time(header.start_time)
        self.warnings = list(file.warnings)
        count = len(header.channels)
        if channels is None:
            self._indices = list(range(count))
        else:
            self._indices = [_channel_index(c, count) for c in channels]
            if not self._indices:
                raise ValueError("no channel chosen")
        self.channels = [header.channels[i] for i in self._indices]
        # The sample period of the file is one for all its channels (the
        # writer keeps the last one given): the last channel's.
        self.dt = header.channels[-1].dt
        self._count = count
        self._blocks = _blocks_needed(header)
        self._map = None
        shape = (self._blocks, count, self.block_frames)
        if self._blocks and copy:
            self._map = _read_samples(self.path, shape)
            self._map.flags.writeable = False
        elif self._blocks:
            self._map = np.memmap(self.path, dtype="<f4", mode="r", offset=HEAD_BYTES, shape=shape)
            # Samples are mostly read front to back, once.
            self._advise(mmap.MADV_SEQUENTIAL)
        self._data = None

    def _advise(self, advice):
        # Only an optimisation: numpy does not promise its mmap, nor every
        # kernel each advice.
        handle = getattr(self._map, "_mmap", None)
        try:
            handle.madvise(advice)
        except (AttributeError, OSError, ValueError):
            pass

    def __repr__(self):
        return "<Recording %s: %d frames of %d channels at %g s>" % (
            self.path, self.frames, len(self.channels), self.dt)

    @property
    def blocks(self):
        """The file's blocks as a view of the memory map: an array of
        blocks x channels (of the file, all of them) x block_frames. The
        last block's values past ``frames`` have no meaning."""
        if self._map is None:
            return np.zeros((0, self._count, self.block_frames), dtype=np.float32)
        return self._map

    def iter_blocks(self):
        """Yields (first frame, frames x channels view) block by block,
        without copying; the last block only with its valid frames."""
        for b in range(self._blocks):
            valid = min(self.block_frames, self.frames - b * self.block_frames)
            yield b * self.block_frames, self._block_view(b, valid)

    def _block_view(self, b, valid):
        pick = _as_slice(self._indices)
        if pick is not None:
            return self._map[b, pick, :valid].T.view(np.ndarray)
        return np.stack([self._map[b, i, :valid] for i in self._indices], axis=1)

    @property
    def data(self):
        if self._data is None:
            self._data = self._make_data()
        return self._data

    def _make_data(self):
        k = len(self._indices)
        if self._map is None:
            return np.zeros((0, k), dtype=np.float32, order="F")
        if self._blocks == 1:
            return self._block_view(0, self.frames)
        if self._count == 1:
            return self._map.reshape(-1)[:self.frames].reshape(self.frames, 1).view(np.ndarray)
        if set(self._indices) == set(range(self._count)):
            # Every page is read: map them all in one call instead of a page
            # fault each (Linux 5.14 on; older kernels refuse the advice).
            self._advise(getattr(mmap, "MADV_POPULATE_READ", _MADV_POPULATE_READ))
        out = np.empty((self.frames, k), dtype=np.float32, order="F")
        for j, i in enumerate(self._indices):
            self._copy_channel(i, out[:, j])
        return out

    def _copy_channel(self, index, out):
        _copy_rows(self._map[:, index, :], self.frames, out)

    def channel(self, i):
        """Channel i of those read (an index into ``channels``) as a 1-D
        float32 array: a view of the map or of ``data`` where one exists,
        else a copy of that channel alone."""
        index = self._indices[i]
        if self._data is not None or self._blocks <= 1 or self._count == 1:
            return self.data[:, i]
        out = np.empty(self.frames, dtype=np.float32)
        self._copy_channel(index, out)
        return out

    def channel_blocks(self, i):
        """Channel i of those read as it lies in the file, without a copy:
        a ChannelBlocks whose rows are views of the map, one per block."""
        index = self._indices[i]
        if self._map is None:
            return ChannelBlocks(np.zeros((0, self.block_frames), dtype=np.float32), 0)
        return ChannelBlocks(self._map[:, index, :].view(np.ndarray), self.frames)

    def time(self):
        """The time of each frame in seconds from the start (float64)."""
        return np.arange(self.frames, dtype=np.float64) * self.dt

    @property
    def duration(self):
        return self.frames * self.dt


class ChannelBlocks:
    """One channel of a recording in the file's blocks: ``rows`` (blocks x
    block_frames float32, each row contiguous, the rows apart by the other
    channels' values) holds the channel's values front to back, the first
    ``frames`` of them. krv.analysis.psd reads it in place; ``np.asarray``
    of it is the channel copied together, as ``Recording.channel`` gives it."""

    __slots__ = ("rows", "frames")

    def __init__(self, rows, frames):
        self.rows = rows
        self.frames = frames

    def __len__(self):
        return self.frames

    def __repr__(self):
        return "<ChannelBlocks: %d frames in %d blocks>" % (self.frames, len(self.rows))

    def __array__(self, dtype=None, copy=None):
        out = np.empty(self.frames, dtype=np.float32)
        _copy_rows(self.rows, self.frames, out)
        return out if dtype is None else out.astype(dtype, copy=False)


def _copy_rows(rows, frames, out):
    """The first `frames` values of rows (blocks x block_frames), front to
    back, into out: each block's piece in one move."""
    block_frames = rows.shape[1]
    full, rest = divmod(frames, block_frames)
    out[:full * block_frames].reshape(full, block_frames)[...] = rows[:full]
    if rest:
        out[full * block_frames:] = rows[full, :rest]


def _read_samples(path, shape):
    """The blocks of shape from the file, read into memory."""
    values = int(np.prod(shape))
    with open(path, "rb") as f:
        samples = np.fromfile(f, dtype="<f4", count=values, offset=HEAD_BYTES)
    if samples.size != values:
        raise VrdError("%s: cut short while it was read: %d of %d samples" % (path, samples.size, values))
    return samples.reshape(shape)


def _channel_index(channel, count):
    try:
        index = int(channel)
    except (TypeError, ValueError):
        raise TypeError("channels are given by their index, not %r" % (channel,)) from None
    if index != channel or not 0 <= index < count:
        raise IndexError("the recording has channels 0 to %d, not %r" % (count - 1, channel))
    return index


def read(path, channels=None, copy=False):
    """Reads the recording at path: its header, and its samples as a
    memory map (see Recording). channels: indices (as ``vrd info`` lists
    them) of the channels to read, in the order wanted; None for all.
    copy: read the samples into memory instead of mapping the file, so that
    a recording truncated by another program meanwhile cannot end this
    process with SIGBUS.

    Raises NoHeaderError for a recording whose writer never closed it (the
    text says whether ``vrd repair`` can make it whole) and VrdError with
    the reason for a file that is no recording or is damaged.
    """
    return Recording(path, _File(path), channels, copy)


# Frames per task of to_dask by default: whole blocks adding up to about
# this many bytes per channel read.
_DASK_CHUNK_BYTES = 32 << 20


def _read_frames(path, count, block_frames, indices, first, end):
    """Frames first … end - 1 of the channels `indices` of a recording with
    `count` channels in blocks of `block_frames`, as a frames x channels
    float32 array. Runs in a Dask worker: it maps the file itself, so that
    a task carries only the path and numbers, never samples."""
    first_block, last_block = first // block_frames, (end - 1) // block_frames
    blocks = last_block - first_block + 1
    offset = HEAD_BYTES + first_block * count * block_frames * 4
    mapped = np.memmap(path, dtype="<f4", mode="r", offset=offset, shape=(blocks, count, block_frames))
    out = np.empty((end - first, len(indices)), dtype=np.float32, order="F")
    for b in range(blocks):
        block_start = (first_block + b) * block_frames
        lo, hi = max(first, block_start), min(end, block_start + block_frames)
        for j, i in enumerate(indices):
            out[lo - first:hi - first, j] = mapped[b, i, lo - block_start:hi - block_start]
    return out


def _dask_array(path, channels, chunk_frames):
    import dask.array as da
    from dask.base import tokenize

    rec = read(path, channels)
    indices = list(rec._indices)
    k = len(indices)
    if chunk_frames is None:
        chunk_frames = max(1, _DASK_CHUNK_BYTES // (4 * max(k, 1) * rec.block_frames)) * rec.block_frames
    elif chunk_frames < 1:
        raise ValueError("chunk_frames must be >= 1")
    starts = list(range(0, rec.frames, int(chunk_frames)))
    stat_ = os.stat(rec.path)
    name = "vrd-" + tokenize(rec.path, stat_.st_mtime_ns, stat_.st_size, indices, chunk_frames)
    graph = {}
    sizes = []
    for n, first in enumerate(starts):
        end = min(rec.frames, first + int(chunk_frames))
        graph[(name, n, 0)] = (_read_frames, rec.path, rec._count, rec.block_frames, indices, first, end)
        sizes.append(end - first)
    if not sizes:
        return da.zeros((0, k), dtype=np.float32, chunks=((0,), (k,)))
    return da.Array(graph, name, chunks=(tuple(sizes), (k,)), dtype=np.float32)


def to_dask(paths, channels=None, chunk_frames=None):
    """Recordings as lazy Dask arrays of frames x channels (float32), as
    ``read(path, channels).data`` holds them: one array for one path, a list
    of arrays (one per recording, lengths differ) for a list of paths.

    Headers are read now; the samples only when computed. Each task reads
    ``chunk_frames`` frames (by default whole blocks adding up to about
    32 MB) by mapping the file in the worker, so that only the path travels
    to it: the files must be reachable under the same path on every worker
    of a cluster. Raises as read does for a damaged file.
    """
    if isinstance(paths, (str, os.PathLike)):
        return _dask_array(os.fspath(paths), channels, chunk_frames)
    return [_dask_array(os.fspath(p), channels, chunk_frames) for p in paths]
