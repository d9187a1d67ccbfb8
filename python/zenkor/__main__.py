"""Command line: normalize UTF-8 text line by line.

    python -m zenkor [--preset NAME] [-s KEY=VALUE ...] [--dict FILE ...] [--sudachi FILE ...]
                     [-o FILE] [--jobs N] [--errors strict|replace|skip] [--newline keep|lf]
                     [--no-progress] [--explain] [FILE ...]
    python -m zenkor --list-options

Reads the files (or standard input when none is given, or for "-") and writes
each line normalized, with its own line break, to standard output or to the
output file; with --explain, each line followed by the steps that changed it.

Exit status: 0 when every input was read whole; 1 when an input or a
dictionary could not be read (whole) or the output could not be written; 2 for
a bad command line, in one line "zenkor: error: ..."; 130 when interrupted.
Other failures are reported as "zenkor: PATH: reason".
"""

from __future__ import annotations

import argparse
import contextlib
import functools
import itertools
import os
import stat
import sys
from collections.abc import Callable, Iterable, Iterator
from typing import Any, BinaryIO, NoReturn

from . import Normalizer, __version__
from ._cli_input import BLOCK_BYTES, ERRORS, NEWLINES, Block, InputError, read_blocks
from ._cli_options import OptionValueError, option_names, option_table, parse_setting
from ._cli_output import open_output

PROG = "zenkor"


class UsageError(Exception):
    """A bad command line: reported in one line, exit status 2.

    Raised from argparse's type functions too: argparse lets through what is
    neither a ValueError nor a TypeError, so the message is not prefixed."""


class Parser(argparse.ArgumentParser):
    def error(self, message: str) -> NoReturn:
        # argparse's own complaints (unknown flags, missing values), in one line, not the usage block.
        raise UsageError(f"{message}; see --help")


def _positive_int(text: str) -> int:
    if not text.strip().isdigit() or int(text) < 1:
        raise UsageError(f'--jobs must be a whole number >= 1 (got "{text}")')
    return int(text)


def _word(flag: str, words: Iterable[str]) -> Callable[[str], str]:
    """A flag's value that is one of `words`, in any case."""
    choices = tuple(words)

    def read(text: str) -> str:
        word = text.strip().lower()
        if word not in choices:
            raise UsageError(f'{flag} must be {", ".join(choices[:-1])} or {choices[-1]} (got "{text}")')
        return word

    return read


def _setting(text: str) -> tuple[str, Any]:
    try:
        return parse_setting(text)
    except OptionValueError as err:
        raise UsageError(str(err)) from None


def build_parser() -> argparse.ArgumentParser:
    parser = Parser(
        prog=PROG,
        description="Normalize Japanese text line by line (UTF-8 in, UTF-8 out).",
    )
    parser.add_argument("files", nargs="*", metavar="FILE", help="input files; standard input when none or '-'")
    parser.add_argument(
        "--preset", metavar="NAME", type=_word("--preset", Normalizer.presets()),
        help="one of: " + ", ".join(Normalizer.presets()) + " (default neologdn_compat)",
    )
    parser.add_argument(
        "-s", "--set", "--option", dest="options", metavar="KEY=VALUE", action="append", type=_setting, default=[],
        help="set one option, on top of the preset; repeatable.  Booleans: true/false, yes/no, on/off, 1/0; "
        "none for options that may be unset; url_wrap=PREFIX,SUFFIX; words in any case; see --list-options",
    )
    parser.add_argument(
        "--dict", dest="dictionaries", metavar="FILE", action="append", default=[], type=lambda p: ("custom", p),
        help="load a custom dictionary (.json, .csv, .tsv or .txt); repeatable, later entries win",
    )
    parser.add_argument(
        "--sudachi", dest="dictionaries", metavar="FILE", action="append", type=lambda p: ("sudachi", p),
        help="load a Sudachi synonyms.txt; repeatable, in order with --dict",
    )
    parser.add_argument(
        "-o", "--output", metavar="FILE",
        help="write to FILE, replaced only when the whole run succeeds ('-': standard output)",
    )
    parser.add_argument(
        "-j", "--jobs", metavar="N", type=_positive_int, default=os.cpu_count() or 1,
        help="threads normalizing each block of lines (default: the number of cores); output order is kept; "
        "--explain runs on one",
    )
    parser.add_argument(
        "--errors", metavar="|".join(ERRORS), type=_word("--errors", ERRORS), default="strict",
        help="invalid UTF-8: stop reading that input (strict, the default), write U+FFFD (replace) "
        "or leave the line out (skip)",
    )
    parser.add_argument(
        "--newline", metavar="|".join(NEWLINES), type=_word("--newline", NEWLINES), default="keep",
        help="line breaks: each line's own, LF or CR LF, and none after a last line without one "
        "(keep, the default); or LF after every line (lf)",
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
    # Counted in kB and MB of 1000 bytes, as the labels say.
    return tqdm(total=total, unit="B", unit_scale=True, unit_divisor=1000, file=sys.stderr, dynamic_ncols=True)


def wants_progress(args: argparse.Namespace, out: BinaryIO) -> bool:
    # A bar would garble text being typed in, or output going to the same terminal.
    def is_terminal(stream: Any) -> bool:
        return stream is not None and stream.isatty()

    return (
        not args.no_progress
        and is_terminal(sys.stderr)
        and not ("-" in (args.files or ["-"]) and is_terminal(sys.stdin))
        and not is_terminal(out)
    )


class DictionaryError(Exception):
    """A dictionary file that cannot be read or holds something it should not."""

    def __init__(self, path: str, reason: str) -> None:
        super().__init__(f"{path}: {reason}")


def _dictionary_reason(path: str, err: Exception) -> str:
    """The library's message without what "zenkor: PATH: " already says."""
    if isinstance(err, OSError) and err.errno:
        return os.strerror(err.errno)
    message = str(err)
    for head in (f"cannot read {path}: ", f"invalid custom dict {path}: ",
                 f"invalid sudachi synonyms {path}: sudachi synonyms: "):
        if message.startswith(head):
            return message[len(head):]
    return message


def build_normalizer(args: argparse.Namespace) -> Normalizer:
    try:
        normalizer = Normalizer(args.preset, **dict(args.options))
    except (TypeError, ValueError) as err:  # options that only clash together
        raise UsageError(str(err)) from None
    for kind, path in args.dictionaries:
        try:
            if kind == "custom":
                normalizer.load_custom_dict_file(path)
            else:
                normalizer.load_sudachi_synonyms(path)
        except ValueError as err:
            if str(err).startswith("unknown custom dict format"):  # told by the name alone
                raise UsageError(f"--dict {path}: {str(err).replace('custom dict ', 'dictionary ')}") from None
            raise DictionaryError(path, _dictionary_reason(path, err)) from None
        except OSError as err:
            raise DictionaryError(path, _dictionary_reason(path, err)) from None
    return normalizer


def normalize_block(normalizer: Normalizer, jobs: int, lines: list[str], ends: list[str]) -> str:
    """The lines normalized, each with its line break, by `jobs` threads."""
    return "".join(itertools.chain.from_iterable(zip(normalizer.normalize_batch(lines, jobs=jobs), ends)))


def explain_block(normalizer: Normalizer, lines: list[str], ends: list[str]) -> str:
    """For --explain: each line, then an indented line per step that changed it."""
    parts = []
    for line, end in zip(lines, ends):
        parts.append(line)
        step_break = end or "\n"
        parts += [f"{step_break}  {step.option}: {step.text}" for step in normalizer.explain(line)]
        parts.append(end)
    return "".join(parts)


def write_blocks(work: Callable[[list[str], list[str]], str], blocks: Iterable[Block], out: BinaryIO,
                 reporter: Reporter) -> int:
    """Writes each block's lines as `work` (normalize_block, or explain_block)
    makes them, in order, each block as soon as it is done, and returns the
    number of lines skipped.  A failing input raises only after every block
    before the failure is written."""
    skipped = 0
    for block in blocks:
        skipped += block.skipped
        if block.lines:
            out.write(work(block.lines, block.ends).encode("utf-8"))
            out.flush()
        reporter.advance(block.size)
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
    if args.explain:
        work = functools.partial(explain_block, normalizer)
    else:
        work = functools.partial(normalize_block, normalizer, args.jobs)
    # Blocks grow with the threads that share each one (normalize_batch cuts it into chunks of
    # 16 K to 64 K characters), up to 64 threads' worth.
    block_bytes = BLOCK_BYTES * min(args.jobs, 64)
    for name in args.files or ["-"]:
        label = "<stdin>" if name == "-" else name
        try:
            with input_stream(name) as stream:
                blocks = read_blocks(stream, label, args.errors, args.newline, interactive=stream.isatty(),
                                     block_bytes=block_bytes)
                skipped = write_blocks(work, blocks, out, reporter)
            if skipped:
                reporter.warn(f"{label}: left out {skipped} line{'s' * (skipped != 1)} of invalid UTF-8")
        except InputError as err:
            reporter.warn(str(err))
            status = 1
        except OSError as err:
            if err.filename is None:
                raise  # not about the input: the output failed
            reporter.warn(f"{label}: {err.strerror}")
            status = 1
    return status


def silence_stdout() -> None:
    """Points standard output at /dev/null, so that the interpreter's own
    flush at exit finds nothing to fail on."""
    with contextlib.suppress(OSError, AttributeError, ValueError):
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())


def normalize_command(args: argparse.Namespace, reporter: Reporter) -> int:
    normalizer = build_normalizer(args)
    label = "<stdout>" if args.output in (None, "-") else args.output
    try:
        with open_output(args.output) as output:
            if wants_progress(args, output.stream):
                reporter.progress = open_progress(args.files or ["-"])
            status = run(args, normalizer, output.stream, reporter)
            if status == 0:
                output.commit()
            elif output.target is not None:
                reporter.warn(f"{label}: not written, as an input failed")
            else:
                output.stream.flush()
            return status
    except BrokenPipeError:
        raise
    except OSError as err:
        reporter.warn(f"{label}: {err.strerror or err}")
        if label == "<stdout>":
            silence_stdout()
        return 1
    finally:
        reporter.close()


def main(argv: list[str] | None = None) -> int:
    reporter = Reporter()
    try:
        args = build_parser().parse_args(argv)
        key, is_setting, _ = (args.output or "").partition("=")
        if is_setting and key in option_names():
            # -o used to set options; a file named like one is almost surely that.
            raise UsageError(f"-o names the output file; to set an option write -s {args.output}")
        if args.output in (None, "-") and sys.stdout is None:
            reporter.warn("standard output is closed")
            return 1
        if args.list_options:
            sys.stdout.write(option_table())
            sys.stdout.flush()
            return 0
        return normalize_command(args, reporter)
    except UsageError as err:
        reporter.warn(f"error: {err}")
        return 2
    except DictionaryError as err:
        reporter.warn(str(err))
        return 1
    except KeyboardInterrupt:
        reporter.warn("interrupted")
        return 130
    except BrokenPipeError:
        # The reader went away (for example `| head -1`): not an error.
        silence_stdout()
        return 0


if __name__ == "__main__":
    sys.exit(main())
