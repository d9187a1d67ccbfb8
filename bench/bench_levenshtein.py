"""Edit distance against peer libraries on pairs of real sentences.

    python bench/bench_levenshtein.py [--repeat N]

Peers are timed when installed (`pip install ".[bench]"`); the last column is
the peer's time divided by zenkor's (above 1: zenkor is faster).  Every library
must return the same total distance, or the row says so.
"""

from __future__ import annotations

import argparse
from typing import Callable

import zenkor
from common import best_of, corpus_lines, fresh_pairs, optional


def peers() -> dict[str, Callable[[str, str], int]]:
    found: dict[str, Callable[[str, str], int]] = {"zenkor": zenkor.levenshtein}
    if rapidfuzz := optional("rapidfuzz.distance.Levenshtein"):
        found["rapidfuzz"] = rapidfuzz.distance
    if levenshtein := optional("Levenshtein"):
        found["Levenshtein"] = levenshtein.distance
    return found


def timed_total(repeat: int, pairs: list[tuple[bytes, bytes]], fn: Callable[[str, str], int]) -> tuple[float, int]:
    """Best time over fresh str objects, and the total distance, which every library must agree on."""
    seconds = best_of(repeat, lambda ab: sum(map(fn, *ab)), lambda: fresh_pairs(pairs))
    return seconds, sum(map(fn, *fresh_pairs(pairs)))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    lines = corpus_lines("ja_wikipedia_ner_sentences.txt")
    sentences = list(zip(lines[0:8000:2], lines[1:8000:2]))
    paragraphs = corpus_lines("ja_jsquad_wikipedia.txt")
    workloads = {
        "words (12 chars)": [(a.decode()[:12].encode(), b.decode()[:12].encode()) for a, b in sentences],
        "sentences": sentences,
        "paragraphs": list(zip(paragraphs[0:400:2], paragraphs[1:400:2])),
    }
    print(f"{'work':<18} {'library':<12} {'us/pair':>10} {'peer/zenkor':>12}")
    for work, pairs in workloads.items():
        ours = None
        for name, fn in peers().items():
            seconds, total = timed_total(args.repeat, pairs, fn)
            per_pair = seconds / len(pairs) * 1e6
            if ours is None:
                ours, expected = seconds, total
                print(f"{work:<18} {name:<12} {per_pair:10.2f}")
            else:
                agree = "" if total == expected else "  (different results!)"
                print(f"{work:<18} {name:<12} {per_pair:10.2f} {seconds / ours:12.2f}{agree}")


if __name__ == "__main__":
    main()
