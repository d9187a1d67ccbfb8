"""Reading UTF-8 text from a byte stream in blocks of whole lines.

A block ends at a line break, so no UTF-8 sequence is ever cut in two and an
invalid byte can be traced to its line.  Lines end at LF; a CR before the LF
belongs to the line break, and so does a CR that ends the input.  A last line
without a line break is a line too.  Each line keeps its own line break
("\\n", "\\r\\n", or for the last line "\\r" or ""), so that writing every
line back with it gives the input again.
"""

from __future__ import annotations

import re
from collections.abc import Iterator
from dataclasses import dataclass
from typing import BinaryIO

# Bytes asked of the stream at a time, for one thread.  Large enough that one
# normalize_batch call per block costs little, and that two threads have a
# few chunks of it to share; small enough that the output of a file of a few
# megabytes starts soon.  A pipe's lines come through without waiting, as
# read1 returns what the pipe holds.
BLOCK_BYTES = 1 << 18

ERRORS = ("strict", "replace", "skip")
NEWLINES = ("keep", "lf")

# What decoding with "surrogateescape" makes of each invalid byte; valid UTF-8
# never decodes to these.
_ESCAPED_BYTE = re.compile("[\udc80-\udcff]")


class InputError(Exception):
    """Input that cannot be read any further; the message says where and why."""


@dataclass
class Block:
    lines: list[str]
    ends: list[str]  # each line's line break
    size: int  # bytes read from the stream for this block
    skipped: int = 0  # lines left out for invalid UTF-8 (errors="skip")


def _split(text: str, newline: str) -> tuple[list[str], list[str]]:
    """The lines of `text` and their line breaks.  `text` ends with LF unless
    it ends the input, so a CR LF pair is never cut."""
    lines = text.split("\n")
    last = lines.pop()
    if "\r\n" in text:
        ends = ["\r\n" if line.endswith("\r") else "\n" for line in lines]
        lines = [line[:-1] if end == "\r\n" else line for line, end in zip(lines, ends)]
    else:
        ends = ["\n"] * len(lines)  # the common case, at the speed of C
    if last.endswith("\r"):  # a CR that ends the input ends its last line
        lines.append(last[:-1])
        ends.append("\r")
    elif last:
        lines.append(last)
        ends.append("")
    if newline == "lf":
        ends = ["\n"] * len(lines)
    return lines, ends


def read_blocks(stream: BinaryIO, name: str, errors: str = "strict", newline: str = "keep",
                interactive: bool = False, block_bytes: int = BLOCK_BYTES) -> Iterator[Block]:
    """The lines of `stream` block by block.

    With errors="strict", the lines before an invalid one come as a last
    block, then InputError names the line and the byte column (from 1) of the
    first invalid byte as NAME:LINE:COLUMN.  "replace" puts U+FFFD for invalid
    bytes; "skip" leaves out lines that hold any.  newline="lf" ends every
    line with LF, the last one included.  Blocks hold about `block_bytes`
    (more for a longer line); interactive streams are read a line at a time.  A failing read raises InputError too.
    """
    line = 1  # number of the first line of the next block
    unread = 0  # bytes read but not yet handed out in a block
    head: list[bytes] = []  # a line begun but not ended by what was read so far
    while True:
        try:
            chunk = stream.readline() if interactive else stream.read1(block_bytes)
        except OSError as err:
            raise InputError(f"{name}: {err.strerror or err}") from None
        unread += len(chunk)
        if chunk:
            cut = chunk.rfind(b"\n") + 1
            if cut == 0:
                head.append(chunk)  # collected in a list: a long line costs linear time
                continue
            data = b"".join([*head, chunk[:cut]])
            head = [chunk[cut:]] if cut < len(chunk) else []
        elif head:
            data = b"".join(head)
            head = []
        else:
            return

        skipped = 0
        try:
            lines, ends = _split(data.decode("utf-8"), newline)
        except UnicodeDecodeError as err:
            if errors == "replace":
                lines, ends = _split(data.decode("utf-8", "replace"), newline)
            elif errors == "skip":
                escaped, escaped_ends = _split(data.decode("utf-8", "surrogateescape"), newline)
                kept = [(text, end) for text, end in zip(escaped, escaped_ends) if not _ESCAPED_BYTE.search(text)]
                lines, ends = [text for text, _ in kept], [end for _, end in kept]
                skipped = len(escaped) - len(kept)
            else:
                good = data.rfind(b"\n", 0, err.start) + 1
                yield Block(*_split(data[:good].decode("utf-8"), newline), unread)
                bad_line = line + data.count(b"\n", 0, good)
                raise InputError(
                    f"{name}:{bad_line}:{err.start - good + 1}: invalid UTF-8 (0x{data[err.start]:02x}); "
                    "the rest of this input is not read"
                ) from None
        yield Block(lines, ends, unread, skipped)
        unread = 0
        line += data.count(b"\n")
