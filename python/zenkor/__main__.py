"""Command line: normalize UTF-8 text line by line.

    python -m zenkor [--preset NAME] [-s KEY=VALUE ...] [--dict FILE ...] [--sudachi FILE ...]
                     [-o FILE] [--jobs N] [--errors strict|replace|skip] [--no-progress]
                     [--explain] [FILE ...]
    python -m zenkor --list-options

Reads the files (or standard input when none is given, or for "-") and writes
each line normalized to standard output or to the output file; with --explain,
each line followed by the steps that changed it.

Exit status: 0 when every input was read whole; 1 when an input could not be
read (whole) or the output could not be written; 2 for a bad preset, option
or dictionary; 130 when interrupted.
"""

from __future__ import annotations

import argparse
import contextlib
import functools
import os
import queue
import stat
import sys
import tempfile
import threading
from collections.abc import Callable, Iterable, Iterator
from concurrent.futures import Future, ThreadPoolExecutor
from typing import Any, BinaryIO

from . import Normalizer, __version__
from ._cli_input import ERRORS, Block, InputError, read_blocks
from ._cli_options import OptionValueError, option_names, option_table, parse_setting

PROG = "zenkor"


def _positive_int(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        value = 0
    if value < 1:
        raise argparse.ArgumentTypeError(f"expected a whole number >= 1, got {text!r}")
    return value


def _setting(text: str) -> tuple[str, Any]:
    try:
        return parse_setting(text)
    except OptionValueError as err:
        raise argparse.ArgumentTypeError(str(err)) from None


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog=PROG,
        description="Normalize Japanese text line by line (UTF-8 in, UTF-8 out).",
    )
    parser.add_argument("files", nargs="*", metavar="FILE", help="input files; standard input when none or '-'")
    parser.add_argument(
        "--preset", metavar="NAME", help="one of: " + ", ".join(Normalizer.presets()) + " (default neologdn_compat)"
    )
    parser.add_argument(
        "-s", "--set", "--option", dest="options", metavar="KEY=VALUE", action="append", type=_setting, default=[],
        help="set one option, on top of the preset; repeatable.  Booleans: true/false, yes/no, on/off, 1/0; "
        "none for options that may be unset; url_wrap=PREFIX,SUFFIX; see --list-options",
    )
    parser.add_argument(
        "--dict", dest="dictionaries", metavar="FILE", action="append", default=[], type=lambda p: ("custom", p),
        help="load a custom dictionary (.json, .csv, .tsv or .txt); repeatable, later entries win",
    )
    parser.add_argument(
        "--sudachi", dest="dictionaries", metavar="FILE", action="append", type=lambda p: ("sudachi", p),
        help="load a Sudachi synonyms.txt; repeatable, in order with --dict",
    )
    parser.add_argument("-o", "--output", metavar="FILE", help="write to FILE (replaced only once all is written)")
    parser.add_argument(
        "-j", "--jobs", metavar="N", type=_positive_int, default=os.cpu_count() or 1,
        help="threads normalizing at once (default: the number of cores); output order is kept",
    )
    parser.add_argument(
        "--errors", choices=ERRORS, default="strict",
        help="invalid UTF-8: stop reading that input (strict, the default), write U+FFFD (replace) "
        "or leave the line out (skip)",
    )
    parser.add_argument("--no-progress", action="store_true", help="no progress bar on a terminal")
    parser.add_argument(
        "--explain", action="store_true",
        help="write each line, then one indented line per step that changed it: 'OPTION: text after the step'",
    )
    parser.add_argument("--list-options", action="store_true", help="list every option, its kind and preset values")
    parser.add_argument("--version", action="version", version=f"{PROG} {__version__}")
    return parser


class Reporter:
    """Messages on standard error, and the progress bar when there is one."""

    def __init__(self, progress: Any = None) -> None:
        self.progress = progress

    def warn(self, message: str) -> None:
        if sys.stderr is None:
            return
        if self.progress is not None:
            self.progress.write(f"{PROG}: {message}", file=sys.stderr)
        else:
            print(f"{PROG}: {message}", file=sys.stderr)

    def advance(self, size: int) -> None:
        if self.progress is not None:
            self.progress.update(size)

    def close(self) -> None:
        if self.progress is not None:
            self.progress.close()


def open_progress(files: list[str]) -> Any:
    """A byte counter with rate, and the total when every input is a regular file."""
    # Imported here: only a terminal needs it, and `import zenkor` stays light.
    from tqdm import tqdm

    def size(name: str) -> int | None:
        """None for standard input, a pipe, or a file that will be reported missing."""
        with contextlib.suppress(OSError):
            info = os.stat(name)
            if name != "-" and stat.S_ISREG(info.st_mode):
                return info.st_size
        return None

    sizes = [size(name) for name in files]
    total = None if None in sizes else sum(s for s in sizes if s is not None)
    return tqdm(total=total, unit="B", unit_scale=True, unit_divisor=1024, file=sys.stderr, dynamic_ncols=True)


def wants_progress(args: argparse.Namespace) -> bool:
    # A bar would garble text being typed in, or output going to the same terminal.
    def is_terminal(stream: Any) -> bool:
        return stream is not None and stream.isatty()

    return (
        not args.no_progress
        and is_terminal(sys.stderr)
        and not ("-" in args.files and is_terminal(sys.stdin))
        and not (args.output is None and is_terminal(sys.stdout))
    )


def build_normalizer(args: argparse.Namespace) -> Normalizer:
    normalizer = Normalizer(args.preset, **dict(args.options))
    for kind, path in args.dictionaries:
        if kind == "custom":
            normalizer.load_custom_dict_file(path)
        else:
            normalizer.load_sudachi_synonyms(path)
    return normalizer


@contextlib.contextmanager
def output_file(path: str) -> Iterator[BinaryIO]:
    """A temporary file beside `path` that replaces it once the block ends
    normally; on an exception it is removed and `path` is left as it was."""
    directory = os.path.dirname(os.path.abspath(path))
    fd, temp = tempfile.mkstemp(dir=directory, prefix=f".{os.path.basename(path)}.", suffix=".tmp")
    try:
        with os.fdopen(fd, "wb") as out:
            yield out
            out.flush()
            os.fsync(out.fileno())
        try:
            mode = stat.S_IMODE(os.stat(path).st_mode)
        except FileNotFoundError:
            umask = os.umask(0)
            os.umask(umask)
            mode = 0o666 & ~umask
        os.chmod(temp, mode)
        os.replace(temp, path)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(temp)
        raise


class OrderedWriter:
    """Writes normalized blocks in input order, each as soon as it and all
    before it are done, from a thread of its own: a pause in the input never
    holds back output that is ready.  At most `window` blocks wait, which
    bounds memory.  A failure to write is raised in the caller's thread by
    the next call."""

    def __init__(self, out: BinaryIO, reporter: Reporter, window: int) -> None:
        self.out = out
        self.reporter = reporter
        self.queue: queue.Queue[tuple[Future[list[str]], int]] = queue.Queue(maxsize=window)
        self.error: BaseException | None = None
        threading.Thread(target=self._write_all, name="zenkor-writer", daemon=True).start()

    def _write_all(self) -> None:
        while True:
            future, size = self.queue.get()
            try:
                if self.error is None:
                    self.out.write(("\n".join(future.result()) + "\n").encode("utf-8"))
                    self.out.flush()
                    self.reporter.advance(size)
            except BaseException as err:  # handed to the caller's thread
                self.error = err
            finally:
                self.queue.task_done()

    def _check(self) -> None:
        if self.error is not None:
            raise self.error

    def put(self, future: Future[list[str]], size: int) -> None:
        self._check()
        self.queue.put((future, size))

    def drain(self) -> None:
        """Returns once everything put so far is written."""
        self.queue.join()
        self._check()


def explain_batch(normalizer: Normalizer, lines: list[str]) -> list[str]:
    """For --explain: each line, then an indented line per step that changed it."""
    return [
        "".join([line, *(f"\n  {step.option}: {step.text}" for step in normalizer.explain(line))]) for line in lines
    ]


def normalize_blocks(pool: ThreadPoolExecutor, work: Callable[[list[str]], list[str]], blocks: Iterable[Block],
                     writer: OrderedWriter) -> int:
    """Hands each block's lines to `work` (normalize_batch, or explain_batch)
    on the pool's threads, and the results to the writer in order; returns the number of lines skipped.  When the input
    fails, every block before the failure is written first, then the
    InputError goes on."""
    skipped = 0
    try:
        for block in blocks:
            skipped += block.skipped
            if block.lines:
                writer.put(pool.submit(work, block.lines), block.size)
            else:
                writer.reporter.advance(block.size)
    except InputError:
        writer.drain()
        raise
    return skipped


@contextlib.contextmanager
def input_stream(name: str) -> Iterator[BinaryIO]:
    if name != "-":
        with open(name, "rb") as stream:
            yield stream
    elif sys.stdin is None:
        raise InputError("standard input is closed")
    else:
        yield sys.stdin.buffer


def run(args: argparse.Namespace, normalizer: Normalizer, out: BinaryIO, reporter: Reporter) -> int:
    status = 0
    pool = ThreadPoolExecutor(max_workers=args.jobs)
    writer = OrderedWriter(out, reporter, window=2 * args.jobs)
    work = functools.partial(explain_batch, normalizer) if args.explain else normalizer.normalize_batch
    try:
        for name in args.files or ["-"]:
            label = "<stdin>" if name == "-" else name
            try:
                with input_stream(name) as stream:
                    blocks = read_blocks(stream, label, args.errors, interactive=stream.isatty())
                    skipped = normalize_blocks(pool, work, blocks, writer)
                if skipped:
                    writer.drain()  # the message comes after the lines before it
                    reporter.warn(f"{label}: left out {skipped} line{'s' * (skipped != 1)} of invalid UTF-8")
            except InputError as err:
                reporter.warn(str(err))
                status = 1
            except OSError as err:
                if err.filename is None:
                    raise  # not about the input: the output failed
                writer.drain()
                reporter.warn(f"{label}: {err.strerror}")
                status = 1
        writer.drain()
    finally:
        pool.shutdown(wait=False, cancel_futures=True)
    return status


def silence_stdout() -> None:
    """Points standard output at /dev/null, so that the interpreter's own
    flush at exit finds nothing to fail on."""
    with contextlib.suppress(OSError, AttributeError, ValueError):
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())


def normalize_command(args: argparse.Namespace, reporter: Reporter) -> int:
    try:
        normalizer = build_normalizer(args)
    except (TypeError, ValueError, OSError) as err:
        reporter.warn(str(err))
        for note in getattr(err, "__notes__", ()):
            reporter.warn(note)
        return 2
    if wants_progress(args):
        reporter.progress = open_progress(args.files or ["-"])
    try:
        if args.output is not None:
            with output_file(args.output) as out:
                return run(args, normalizer, out, reporter)
        status = run(args, normalizer, sys.stdout.buffer, reporter)
        sys.stdout.flush()
        return status
    except BrokenPipeError:
        raise
    except OSError as err:
        reporter.warn(f"cannot write {args.output or 'standard output'}: {err.strerror or err}")
        if args.output is None:
            silence_stdout()
        return 1
    finally:
        reporter.close()


def main(argv: list[str] | None = None) -> int:
    reporter = Reporter()
    try:
        parser = build_parser()
        args = parser.parse_args(argv)
        if args.output is None and sys.stdout is None:
            reporter.warn("standard output is closed")
            return 1
        key, is_setting, _ = (args.output or "").partition("=")
        if is_setting and key in option_names():
            # -o used to set options; a file named like one is almost surely that.
            parser.error(f"-o names the output file; to set an option write -s {args.output}")
        if args.list_options:
            sys.stdout.write(option_table())
            sys.stdout.flush()
            return 0
        return normalize_command(args, reporter)
    except KeyboardInterrupt:
        reporter.warn("interrupted")
        return 130
    except BrokenPipeError:
        # The reader went away (for example `| head -1`): not an error.
        silence_stdout()
        return 0


if __name__ == "__main__":
    sys.exit(main())
