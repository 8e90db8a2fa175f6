"""python -m krv: thin command lines over krv.vrd, krv.zq and krv.batch.

Exit status: 0 done, 1 failure (a file that is no readable recording, no
library), 2 bad arguments (one line on stderr).
"""

import argparse
import sys

EXIT_FAILURE = 1
EXIT_USAGE = 2


class _Parser(argparse.ArgumentParser):
    # Bad arguments: one line with the reason, exit 2.
    def error(self, message):
        sys.stderr.write("%s: %s (see --help)\n" % (self.prog, message))
        sys.exit(EXIT_USAGE)


def _parser():
    parser = _Parser(prog="python -m krv",
                     description="Read KRV recordings and show the channel buffer service.")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", parser_class=_Parser)
    info = commands.add_parser("info", help="show a recording's header and channels",
                               description="Shows the header of a recording (*.vrd): start time, frames, "
                                           "block length and channels.")
    info.add_argument("file", metavar="FILE", help="the recording")
    info.add_argument("--stats", action="store_true",
                      help="also minimum, maximum, mean and RMS of every channel (reads every sample)")
    commands.add_parser("stat", help="show the channel buffer service",
                        description="Shows the channel buffer service of the namespace (ZQ_NAME): the "
                                    "writer, its channels and every reader client's position and loss "
                                    "count.")
    psd = commands.add_parser("psd", help="PSD of every chosen channel of recordings, as a CSV table",
                              description="Computes the PSD of KRV's PSD view for every chosen channel of "
                                          "each recording (in parallel with Dask) and writes one CSV row per "
                                          "recording, channel and frequency.")
    psd.add_argument("files", metavar="FILE", nargs="+", help="the recordings")
    psd.add_argument("--channels", type=_channel_list, default=None,
                     help="channel indices as vrd info lists them, e.g. 0,2 (default: all)")
    psd.add_argument("--points", type=int, default=4096, help="transform length, a power of two (default 4096)")
    psd.add_argument("--overlap", type=float, default=0.5, help="segment overlap, 0 to below 1 (default 0.5)")
    psd.add_argument("--averages", type=int, default=0, help="segments averaged, 0 = as many as fit (default)")
    psd.add_argument("--window", default="hann", help="Rectangle, Bartlett, Hann (default), Hamming, Blackman, "
                                                       "Flattop or \"Low sidelobe\"")
    psd.add_argument("--scale", default="linear", help="linear (default, mean square), db, dbmax, dbv or dbu")
    psd.add_argument("--density", action="store_true", help="per Hz")
    psd.add_argument("--scheduler", metavar="ADDRESS",
                     help="a dask.distributed scheduler (tcp://host:8786); default: threads of this process")
    psd.add_argument("--out", metavar="CSV", help="the table's file (default: standard output)")
    return parser


def _channel_list(text):
    try:
        return [int(c) for c in text.split(",") if c.strip()]
    except ValueError:
        raise argparse.ArgumentTypeError("channels are indices separated by commas, not %r" % text) from None


def _psd(args):
    from . import batch, vrd
    settings = dict(points=args.points, overlap=args.overlap, averages=args.averages, window=args.window,
                    scale=args.scale, density=args.density)
    client = None
    try:
        if args.scheduler:
            from dask.distributed import Client
            client = Client(args.scheduler)
        table = batch.psd_table(args.files, channels=args.channels, **settings)
    except (vrd.VrdError, ValueError, IndexError, OSError) as error:
        sys.stderr.write("python -m krv: %s\n" % error)
        return EXIT_FAILURE
    finally:
        if client is not None:
            client.close()
    table.to_csv(args.out if args.out else sys.stdout, index=False)
    return 0


def _info(path, stats):
    from . import vrd
    try:
        rec = vrd.read(path)
    except vrd.VrdError as error:
        sys.stderr.write("python -m krv: %s\n" % error)
        return EXIT_FAILURE
    start = rec.start_time.isoformat(sep=" ") if rec.start_time else repr(rec.start_time_text)
    print("file: %s" % rec.path)
    print("start time: %s" % start)
    print("frames: %d (%g s)" % (rec.frames, rec.duration))
    print("block frames: %d" % rec.block_frames)
    print("channels: %d" % len(rec.channels))
    for i, channel in enumerate(rec.channels):
        line = "  %d: number %d name %r unit %r dt %g s (%g Hz)" % (
            i, channel.number, channel.name, channel.unit, channel.dt, 1 / channel.dt if channel.dt else 0)
        if stats and rec.frames:
            values = rec.channel(i).astype("float64")
            line += " min %g max %g mean %g rms %g" % (values.min(), values.max(), values.mean(),
                                                       (values ** 2).mean() ** 0.5)
        print(line)
    for warning in rec.warnings:
        print("warning: %s" % warning)
    return 0


def _stat():
    from . import zq
    try:
        state = zq.status()
    except zq.ZqError as error:
        sys.stderr.write("python -m krv: %s\n" % error)
        return EXIT_FAILURE
    if not state.present:
        print("segment: %s (none)" % state.segment)
        return EXIT_FAILURE
    print("segment: %s" % state.segment)
    if state.writer_pid <= 0:
        print("writer: none")
    else:
        print("writer: pid %d (%s), heartbeat %.3f s ago" % (
            state.writer_pid, "alive" if state.writer_alive else "dead", state.heartbeat_age))
    print("channels: %d" % len(state.channels))
    for c in state.channels:
        print("  %d: number %d name %r unit %r rate %g Hz ring %d written %d" % (
            c.index, c.number, c.name, c.unit, 1 / c.dt if c.dt else 0, c.capacity, c.written))
    if not state.readers:
        print("readers: none")
    for r in state.readers:
        print("reader: pid %d (%s) client %d" % (r.pid, "alive" if r.alive else "dead", r.client))
        for c in range(len(state.channels)):
            print("  channel %d position %d lost %d" % (c, r.position[c], r.lost[c]))
    return 0


def main(argv=None):
    parser = _parser()
    args = parser.parse_args(argv)
    if args.command is None:
        parser.error("a command is needed: info, stat or psd")
    if args.command == "info":
        return _info(args.file, args.stats)
    if args.command == "psd":
        return _psd(args)
    return _stat()


if __name__ == "__main__":
    sys.exit(main())
