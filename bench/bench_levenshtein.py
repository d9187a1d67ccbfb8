"""Edit distance against peer libraries on pairs of real sentences.

    python bench/bench_levenshtein.py [--repeat N]

Peers are timed when installed (`pip install ".[bench]"`); the last column is
the peer's time divided by zenkor's (above 1: zenkor is faster).  Every library
must return the same total distance, or the row says so.
"""

from __future__ import annotations

import argparse
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


def best_of(repeat: int, pairs: list[tuple[str, str]], fn: Callable[[str, str], int]) -> tuple[float, int]:
    best, total = float("inf"), 0
    for _ in range(repeat):
        fresh = [(a.encode().decode(), b.encode().decode()) for a, b in pairs]
        start = time.perf_counter()
        total = sum(fn(a, b) for a, b in fresh)
        best = min(best, time.perf_counter() - start)
    return best, total


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    lines = [line for line in (CORPUS / "ja_wikipedia_ner_sentences.txt").read_text(encoding="utf-8").splitlines() if line]
    sentences = list(zip(lines[0:8000:2], lines[1:8000:2]))
    paragraphs = [l for l in (CORPUS / "ja_jsquad_wikipedia.txt").read_text(encoding="utf-8").splitlines() if l]
    workloads = {
        "words (12 chars)": [(a[:12], b[:12]) for a, b in sentences],
        "sentences": sentences,
        "paragraphs": list(zip(paragraphs[0:400:2], paragraphs[1:400:2])),
    }
    print(f"{'work':<18} {'library':<12} {'us/pair':>10} {'peer/zenkor':>12}")
    for work, pairs in workloads.items():
        ours = None
        for name, fn in peers().items():
            seconds, total = best_of(args.repeat, pairs, fn)
            per_pair = seconds / len(pairs) * 1e6
            if ours is None:
                ours, expected = seconds, total
                print(f"{work:<18} {name:<12} {per_pair:10.2f}")
            else:
                agree = "" if total == expected else "  (different results!)"
                print(f"{work:<18} {name:<12} {per_pair:10.2f} {seconds / ours:12.2f}{agree}")


if __name__ == "__main__":
    main()
