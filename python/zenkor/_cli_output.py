"""Where the command line writes, so that a failed run loses no file.

-o names a regular file (or a symlink to one): the run writes a temporary file
beside the file itself, and only a run that succeeds renames it into place,
keeping the file's mode and the link.  Anything else -o names (a device, a
FIFO, /dev/stdout) is written directly, as there is nothing to replace; "-"
and no -o at all are standard output.
"""

from __future__ import annotations

import contextlib
import os
import stat
import sys
import tempfile
from collections.abc import Iterator
from typing import BinaryIO


class Output:
    """The stream to write to; commit() makes what was written the output."""

    def __init__(self, label: str, stream: BinaryIO, target: str | None = None, temp: str | None = None) -> None:
        self.label = label  # the name used in messages
        self.stream = stream
        self.target = target  # the regular file a successful run replaces
        self.temp = temp

    def commit(self) -> None:
        self.stream.flush()
        if self.temp is None or self.target is None:
            return
        os.fsync(self.stream.fileno())
        try:
            info = os.stat(self.target)
        except FileNotFoundError:
            umask = os.umask(0)
            os.umask(umask)
            os.chmod(self.temp, 0o666 & ~umask)
        else:
            with contextlib.suppress(OSError):  # only root may give a file away; the mode is what matters
                os.chown(self.temp, info.st_uid, info.st_gid)
            os.chmod(self.temp, stat.S_IMODE(info.st_mode))
        os.replace(self.temp, self.target)
        self.temp = None


def _is_standard_output(info: os.stat_result) -> bool:
    with contextlib.suppress(OSError, AttributeError, ValueError):
        return sys.stdout is not None and os.path.samestat(info, os.fstat(sys.stdout.fileno()))
    return False


@contextlib.contextmanager
def open_output(name: str | None) -> Iterator[Output]:
    """The output for -o `name` (None when there is no -o).  Unless commit()
    was called, a regular file is left as it was on the way out."""
    info = None
    if name is not None and name != "-":
        with contextlib.suppress(FileNotFoundError):  # a new file, or a dangling link whose target is created
            info = os.stat(name)
    if name is None or name == "-" or (info is not None and _is_standard_output(info)):
        # /dev/stdout, or the file standard output was sent to, is written through
        # standard output: opening it again would truncate a file the shell appends to.
        yield Output("<stdout>", sys.stdout.buffer)
        return
    if info is not None and not stat.S_ISREG(info.st_mode):
        with open(name, "wb") as stream:
            yield Output(name, stream)
        return
    target = os.path.realpath(name)
    fd, temp = tempfile.mkstemp(dir=os.path.dirname(target), prefix=f".{os.path.basename(target)}.", suffix=".tmp")
    output = Output(name, os.fdopen(fd, "wb"), target, temp)
    try:
        with output.stream:
            yield output
    finally:
        if output.temp is not None:
            with contextlib.suppress(OSError):
                os.unlink(output.temp)
