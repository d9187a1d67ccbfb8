"""Reading UTF-8 text from a byte stream in blocks of whole lines.

A block ends at a line break, so no UTF-8 sequence is ever cut in two and an
invalid byte can be traced to its line.  Lines end at LF; a CR before the LF
belongs to the line break.  A last line without a line break is a line too.
"""

from __future__ import annotations

from collections.abc import Iterator
from dataclasses import dataclass
from typing import BinaryIO

# Bytes asked of the stream at a time.  Large enough that one normalize_batch
# call per block costs little; small enough that --jobs threads share a file
# of a few megabytes, and that a pipe's lines come through without waiting.
BLOCK_BYTES = 1 << 18

ERRORS = ("strict", "replace", "skip")


class InputError(Exception):
    """Input that cannot be read any further; the message says where and why."""


@dataclass
class Block:
    lines: list[str]
    size: int  # bytes read from the stream for this block
    skipped: int = 0  # lines left out for invalid UTF-8 (errors="skip")


def _split(text: str) -> list[str]:
    # REQUIRES: text ends with "\n", so a CR LF pair is never cut.
    return text.replace("\r\n", "\n").split("\n")[:-1]


def _decode_skipping(data: bytes) -> tuple[list[str], int]:
    lines: list[str] = []
    skipped = 0
    for raw in data.split(b"\n")[:-1]:
        try:
            lines.append(raw.decode("utf-8"))
        except UnicodeDecodeError:
            skipped += 1
    return [line[:-1] if line.endswith("\r") else line for line in lines], skipped


def read_blocks(stream: BinaryIO, name: str, errors: str = "strict", interactive: bool = False) -> Iterator[Block]:
    """The lines of `stream` block by block.

    With errors="strict", the lines before an invalid one come as a last
    block, then InputError names the line and the byte offset (from 0) of the
    first invalid byte.  "replace" puts U+FFFD for invalid bytes; "skip" leaves
    out lines that hold any.  Interactive streams are read a line at a time.
    A failing read raises InputError too.
    """
    line = 1  # number of the first line of the next block
    offset = 0  # byte offset of the next block in the stream
    unread = 0  # bytes read but not yet handed out in a block
    head: list[bytes] = []  # a line begun but not ended by what was read so far
    while True:
        try:
            chunk = stream.readline() if interactive else stream.read1(BLOCK_BYTES)
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
            data = b"".join(head) + b"\n"
            head = []
        else:
            return

        skipped = 0
        try:
            lines = _split(data.decode("utf-8"))
        except UnicodeDecodeError as err:
            if errors == "replace":
                lines = _split(data.decode("utf-8", "replace"))
            elif errors == "skip":
                lines, skipped = _decode_skipping(data)
            else:
                good = data.rfind(b"\n", 0, err.start) + 1
                yield Block(_split(data[:good].decode("utf-8")), unread)
                bad_line = line + data.count(b"\n", 0, good)
                raise InputError(
                    f"{name}:{bad_line}: invalid UTF-8 at byte offset {offset + err.start} "
                    f"(0x{data[err.start]:02x}); the rest of this input is not read"
                ) from None
        yield Block(lines, unread, skipped)
        unread = 0
        line += data.count(b"\n")
        offset += len(data)
