"""Edit distance against peer libraries on pairs of real text.

    python bench/bench_levenshtein.py [--repeat N] [--lengths 10,100,1000,10000]

Peers are timed when installed (`pip install ".[bench]"`); the last column is
the peer's time divided by zenkor's (above 1: zenkor is faster).  The work is
pairs of consecutive Wikipedia sentences (whole, and their first 12
characters), pairs of paragraphs, and pairs of fixed lengths: two different
windows of the paragraphs run together, so the distances are those of
unrelated text.  The libraries take turns round by round on fresh str objects,
and each keeps its best round of CPU time.  Every library must return the same
total distance, or the row says so.
"""

from __future__ import annotations

import argparse
import random
from functools import partial
from typing import Callable

import zenkor
from common import corpus_lines, fresh_pairs, interleaved, optional


def peers() -> dict[str, Callable[[str, str], int]]:
    found: dict[str, Callable[[str, str], int]] = {"zenkor": zenkor.levenshtein}
    if rapidfuzz := optional("rapidfuzz.distance.Levenshtein"):
        found["rapidfuzz"] = rapidfuzz.distance
    if levenshtein := optional("Levenshtein"):
        found["Levenshtein"] = levenshtein.distance
    return found


def pairs_of_length(text: str, length: int, rng: random.Random) -> list[tuple[bytes, bytes]]:
    # About 2e8 table cells per round at the longer lengths (a few milliseconds),
    # at most 20,000 calls for the short ones, where the call itself is timed.
    count = max(2, min(20_000, 200_000_000 // (length * length)))

    def window() -> bytes:
        start = rng.randrange(len(text) - length)
        return text[start : start + length].encode()

    return [(window(), window()) for _ in range(count)]


def workloads(lengths: list[int]) -> dict[str, list[tuple[bytes, bytes]]]:
    lines = corpus_lines("ja_wikipedia_ner_sentences.txt")
    sentences = list(zip(lines[0:8000:2], lines[1:8000:2]))
    paragraphs = corpus_lines("ja_jsquad_wikipedia.txt")
    work = {
        "words (12 chars)": [(a.decode()[:12].encode(), b.decode()[:12].encode()) for a, b in sentences],
        "sentences": sentences,
        "paragraphs": list(zip(paragraphs[0:400:2], paragraphs[1:400:2])),
    }
    text, rng = b"".join(paragraphs).decode(), random.Random(1)
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
        calls = {name: partial(lambda fn, ab: sum(map(fn, *ab)), fn) for name, fn in libraries.items()}
        best = interleaved(calls, partial(fresh_pairs, pairs), args.repeat)
        totals = {name: sum(map(fn, *fresh_pairs(pairs))) for name, fn in libraries.items()}
        for name, seconds in best.items():
            per_pair = f"{seconds / len(pairs) * 1e6:10.2f}"
            if name == "zenkor":
                print(f"{work:<18} {name:<12} {per_pair}")
            else:
                agree = "" if totals[name] == totals["zenkor"] else "  (different results!)"
                print(f"{work:<18} {name:<12} {per_pair} {seconds / best['zenkor']:12.2f}{agree}")


if __name__ == "__main__":
    main()
