"""What every benchmark here shares: where the text is, fresh copies of it, and the timer.

The full corpora live in shared/data beside the checkout (found by tests/shared_data.py, as the
tests find them); a fresh clone without them falls back on the small sample in bench/data, so
every benchmark runs anywhere.
"""

from __future__ import annotations

import gc
import importlib
import importlib.util
import time
from pathlib import Path
from types import ModuleType
from typing import Callable, Mapping, TypeVar

ROOT = Path(__file__).resolve().parents[1]


def _shared_data() -> ModuleType:
    # One rule for where the text is, kept in the tests' helper.
    found = importlib.util.spec_from_file_location("shared_data", ROOT / "tests" / "shared_data.py")
    assert found is not None and found.loader is not None
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


_SHARED = _shared_data()
SAMPLE: Path = _SHARED.SAMPLE
CORPUS: Path = _SHARED.CORPUS
# The public file only: the benchmarks measure its size, not a small stand-in.
SYNONYMS: Path = _SHARED.PUBLIC_SYNONYMS

T = TypeVar("T")


def read_lines(path: Path) -> list[bytes]:
    """The lines of a UTF-8 file as bytes, so each round can decode its own fresh str objects."""
    return [line for line in path.read_bytes().split(b"\n") if line]


def fresh(lines: list[bytes]) -> list[str]:
    """New str objects for one round.

    A str that has been through an earlier round may carry a cached UTF-8 copy, which would
    flatter any library that asks for one; a freshly decoded str never does.
    """
    return [line.decode("utf-8") for line in lines]


def fresh_pairs(pairs: list[tuple[bytes, bytes]]) -> tuple[list[str], list[str]]:
    """New str objects for one round of two-argument calls: the first strings and the second."""
    return fresh([a for a, _ in pairs]), fresh([b for _, b in pairs])


def corpus_lines(name: str | None = None, corpus: Path = CORPUS) -> list[bytes]:
    """The lines of one corpus file, or of all of them in name order."""
    paths = [corpus / name] if name else sorted(corpus.glob("*.txt"))
    return [line for path in paths for line in read_lines(path)]


def interleaved(
    sides: Mapping[str, Callable[[T], object]],
    make_input: Callable[[], T],
    rounds: int,
    clock: Callable[[], float] = time.process_time,
) -> dict[str, float]:
    """Best time of each side over `rounds` interleaved rounds (A, B, A, B, ...).

    Each side gets its own fresh input, made outside the timed region. Interleaving puts every
    side through the same moments of a shared, noisy machine; the best round is the one least
    disturbed. The default clock is the process's CPU time, which other programs on the machine
    do not inflate; thread benchmarks pass a wall clock.
    """
    best = dict.fromkeys(sides, float("inf"))
    for _ in range(rounds):
        for name, side in sides.items():
            work = make_input()
            gc.disable()  # as timeit does: a collection belongs to neither side
            try:
                start = clock()
                side(work)
                elapsed = clock() - start
            finally:
                gc.enable()
            best[name] = min(best[name], elapsed)
            del work
    return best


def best_of(
    rounds: int,
    fn: Callable[[T], object],
    make_input: Callable[[], T] = lambda: None,  # type: ignore[assignment,return-value]
    clock: Callable[[], float] = time.process_time,
) -> float:
    """Best time of `fn` alone over `rounds` rounds, each on a fresh input."""
    return interleaved({"": fn}, make_input, rounds, clock)[""]


def optional(module: str) -> ModuleType | None:
    """A peer library, or None when it is not installed (`pip install ".[bench]"`)."""
    try:
        return importlib.import_module(module)
    except ImportError:
        return None
