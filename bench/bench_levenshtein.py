"""Edit distance against peer libraries on pairs of real text.

    python bench/bench_levenshtein.py [--repeat N] [--lengths 10,100,1000,10000]

Peers are timed when installed (`pip install ".[bench]"`); the last column is
the peer's time divided by zenkor's (above 1: zenkor is faster).  The work is
pairs of consecutive Wikipedia sentences (whole, and their first 12
characters), pairs of paragraphs, and pairs of fixed lengths: two different
windows of the paragraphs, so the distances are those of unrelated text.  The
libraries take turns round by round, every round on fresh str objects (no
cached UTF-8 or other per-object state carries over), and each keeps its best
round of process CPU time, which other load on a shared machine disturbs
least.  Every library must return the same total distance, or the row says so.
"""

from __future__ import annotations

import argparse
import random
import time
from pathlib import Path
from typing import Callable

import zenkor

# shared/ sits beside the checkout (or beside the folder of work trees).
CORPUS = next(
    (p / "shared" / "data" / "corpus" for p in Path(__file__).resolve().parents[1:4] if (p / "shared" / "data").is_dir()),
    Path("shared") / "data" / "corpus",
)


def peers() -> dict[str, Callable[[str, str], int]]:
    found: dict[str, Callable[[str, str], int]] = {"zenkor": zenkor.levenshtein}
    try:
        from rapidfuzz.distance import Levenshtein

        found["rapidfuzz"] = Levenshtein.distance
    except ImportError:
        pass
    try:
        import Levenshtein

        found["Levenshtein"] = Levenshtein.distance
    except ImportError:
        pass
    return found


def pairs_of_length(text: str, length: int, rng: random.Random) -> list[tuple[str, str]]:
    # About 2e8 table cells per round at the longer lengths (a few milliseconds),
    # capped at 20 000 calls for the short ones, where the call itself is timed.
    count = max(2, min(20_000, 200_000_000 // (length * length)))

    def window() -> str:
        start = rng.randrange(len(text) - length)
        return text[start : start + length]

    return [(window(), window()) for _ in range(count)]


def timed(pairs: list[tuple[str, str]], fn: Callable[[str, str], int]) -> tuple[float, int]:
    fresh = [(a.encode().decode(), b.encode().decode()) for a, b in pairs]
    start = time.process_time()
    total = sum(fn(a, b) for a, b in fresh)
    return time.process_time() - start, total


def workloads(lengths: list[int]) -> dict[str, list[tuple[str, str]]]:
    lines = [line for line in (CORPUS / "ja_wikipedia_ner_sentences.txt").read_text(encoding="utf-8").splitlines() if line]
    sentences = list(zip(lines[0:8000:2], lines[1:8000:2]))
    paragraphs = [line for line in (CORPUS / "ja_jsquad_wikipedia.txt").read_text(encoding="utf-8").splitlines() if line]
    work = {
        "words (12 chars)": [(a[:12], b[:12]) for a, b in sentences],
        "sentences": sentences,
        "paragraphs": list(zip(paragraphs[0:400:2], paragraphs[1:400:2])),
    }
    text, rng = "".join(paragraphs), random.Random(1)
    for length in lengths:
        work[f"{length:,} chars"] = pairs_of_length(text, length, rng)
    return work


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=7)
    parser.add_argument("--lengths", default="10,100,1000,10000")
    args = parser.parse_args()

    libraries = peers()
    print(f"{'work':<18} {'library':<12} {'us/pair':>10} {'peer/zenkor':>12}")
    for work, pairs in workloads([int(n) for n in args.lengths.split(",") if n]).items():
        best = {name: float("inf") for name in libraries}
        totals: dict[str, int] = {}
        for _ in range(args.repeat):
            for name, fn in libraries.items():
                seconds, totals[name] = timed(pairs, fn)
                best[name] = min(best[name], seconds)
        for name, seconds in best.items():
            per_pair = f"{seconds / len(pairs) * 1e6:10.2f}"
            if name == "zenkor":
                print(f"{work:<18} {name:<12} {per_pair}")
            else:
                agree = "" if totals[name] == totals["zenkor"] else "  (different results!)"
                print(f"{work:<18} {name:<12} {per_pair} {seconds / best['zenkor']:12.2f}{agree}")


if __name__ == "__main__":
    main()
