"""Command line: normalize UTF-8 text line by line.

    python -m zenkor [--preset NAME] [--option KEY=VALUE ...] [--explain] [FILE ...]

Reads the files (or standard input when none is given, or for "-") and writes
each line normalized to standard output; with --explain, each line followed by
the steps that changed it.
"""

from __future__ import annotations

import argparse
import ast
import itertools
import sys
from collections.abc import Iterator
from typing import Any, BinaryIO

from . import Normalizer, __version__

# Lines are normalized in batches so the native code releases the interpreter
# lock once per batch instead of once per line.
BATCH_LINES = 1024


def parse_option(text: str) -> tuple[str, Any]:
    """Splits KEY=VALUE; VALUE is a Python literal where it reads as one."""
    key, sep, raw = text.partition("=")
    if not sep or not key:
        raise argparse.ArgumentTypeError(f"expected KEY=VALUE, got {text!r}")
    try:
        value = ast.literal_eval(raw)
    except (ValueError, SyntaxError, MemoryError, RecursionError):
        value = raw
    return key.strip(), value


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="zenkor",
        description="Normalize Japanese text line by line (UTF-8 in, UTF-8 out).",
    )
    parser.add_argument("files", nargs="*", metavar="FILE", help="input files; standard input when none or '-'")
    parser.add_argument(
        "--preset",
        metavar="NAME",
        help="one of: " + ", ".join(Normalizer.presets()) + " (default neologdn_compat)",
    )
    parser.add_argument(
        "--option",
        "-o",
        metavar="KEY=VALUE",
        action="append",
        type=parse_option,
        default=[],
        help="set one option; repeatable; VALUE is a Python literal (True, None, 2, ('<', '>')) or plain text",
    )
    parser.add_argument(
        "--explain",
        action="store_true",
        help="write each line, then one indented line per step that changed it: 'OPTION: text after the step'",
    )
    parser.add_argument("--version", action="version", version=f"zenkor {__version__}")
    return parser


def read_lines(stream: BinaryIO) -> Iterator[str]:
    for raw in stream:
        line = raw.decode("utf-8")
        if line.endswith("\n"):
            line = line[:-1]
            if line.endswith("\r"):
                line = line[:-1]
        yield line


def normalize_stream(normalizer: Normalizer, stream: BinaryIO, out: BinaryIO) -> None:
    # Someone typing at a terminal gets each line back at once.
    interactive = stream.isatty()
    lines = read_lines(stream)
    while batch := list(itertools.islice(lines, 1 if interactive else BATCH_LINES)):
        results = normalizer.normalize_batch(batch)
        out.write(("\n".join(results) + "\n").encode("utf-8"))
        if interactive:
            out.flush()


def explain_stream(normalizer: Normalizer, stream: BinaryIO, out: BinaryIO) -> None:
    interactive = stream.isatty()
    for line in read_lines(stream):
        steps = "".join(f"  {step.option}: {step.text}\n" for step in normalizer.explain(line))
        out.write(f"{line}\n{steps}".encode("utf-8"))
        if interactive:
            out.flush()


def main(argv: list[str] | None = None) -> int:
    args = build_parser().parse_args(argv)
    try:
        normalizer = Normalizer(args.preset, **dict(args.option))
    except (TypeError, ValueError) as err:
        print(f"zenkor: {err}", file=sys.stderr)
        return 2

    out = sys.stdout.buffer
    process = explain_stream if args.explain else normalize_stream
    for name in args.files or ["-"]:
        try:
            if name == "-":
                process(normalizer, sys.stdin.buffer, out)
            else:
                with open(name, "rb") as stream:
                    process(normalizer, stream, out)
        except BrokenPipeError:
            # The reader went away (for example `| head`); that is not an error.
            sys.stderr.close()
            return 0
        except OSError as err:
            print(f"zenkor: {err}", file=sys.stderr)
            return 1
        except UnicodeError as err:
            print(f"zenkor: {name}: {err}", file=sys.stderr)
            return 1
    out.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
