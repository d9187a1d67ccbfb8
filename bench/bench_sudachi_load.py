"""Cost of a large synonym dictionary: loading the public Sudachi synonym file,
the first normalization (which compiles the matcher), steady throughput,
matching time against adversarial variants, and the memory a dictionary of
hundreds of thousands of kanji words takes.

    python bench/bench_sudachi_load.py [--repeat N] [--synonyms PATH]
"""

from __future__ import annotations

import argparse
import random
import resource
from pathlib import Path
from typing import Callable

import zenkor
from common import SYNONYMS, best_of, corpus_lines, fresh


def timed(fn: Callable[[], object]) -> float:
    return best_of(1, lambda _: fn())


def load_phases(path: Path, repeat: int) -> None:
    print(f"{'preset':<18}{'read':>9}{'load':>10}{'first match':>13}{'entries':>9}")
    read = best_of(repeat, lambda _: path.read_text(encoding="utf-8"))
    for preset in zenkor.Normalizer.presets():
        # Reads, parses, expands the groups and pre-normalizes every variant, into a fresh normalizer.
        load = best_of(repeat, lambda n: n.load_sudachi_synonyms(path), lambda: zenkor.Normalizer(preset))
        # Compiles the matcher, then matches one short text, each round on a normalizer freshly loaded
        # outside the timing.
        def loaded() -> zenkor.Normalizer:
            return zenkor.Normalizer(preset).load_sudachi_synonyms(path)

        first = best_of(repeat, lambda n: n.normalize("あいまいな宛先"), loaded)
        size = loaded().custom_dict_size
        print(f"{preset:<18}{read * 1e3:>7.1f}ms{load * 1e3:>8.1f}ms{first * 1e3:>11.1f}ms{size:>9}")


def throughput(path: Path, repeat: int) -> None:
    lines = corpus_lines()
    size_mb = sum(map(len, lines)) / 1e6
    plain = zenkor.Normalizer("none")
    with_dict = zenkor.Normalizer("none").load_sudachi_synonyms(path)
    with_dict.normalize("warm up")
    base = best_of(repeat, plain.normalize_batch, lambda: fresh(lines))
    full = best_of(repeat, with_dict.normalize_batch, lambda: fresh(lines))
    print(f"\ncorpus {size_mb:.1f} MB, preset none: {size_mb / base:.0f} MB/s without, "
          f"{size_mb / full:.0f} MB/s with the dictionary")


def adversarial(repeat: int) -> None:
    # "a" matches everywhere while a long variant "aaa...ab" keeps looking
    # ahead; a scanner that re-reads after each match slows down with k.
    text = "a" * 1_000_000
    print("\nvariants {a, a*k+b} over a million 'a':")
    for k in (10, 100, 1000, 10000):
        n = zenkor.Normalizer("none").with_custom_dict({"x": ["a"], "y": ["a" * k + "b"]})
        n.normalize("a")
        print(f"  k={k:<6}{best_of(repeat, lambda _: n.normalize(text)) * 1e3:>8.1f} ms")


def peak_mb() -> float:
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def wide_dictionary() -> None:
    # Two-kanji variants drawn evenly from thousands of kanji: the states near
    # the root of the matcher have children spread over the whole alphabet.
    rng = random.Random(1)
    kanji = [chr(0x4E00 + i) for i in range(6000)]
    variants = {rng.choice(kanji) + rng.choice(kanji) for _ in range(300_000)}
    mapping = {"正": sorted(variants)}
    text = "".join(rng.choice(kanji) for _ in range(1_000_000))
    before = peak_mb()
    n = zenkor.Normalizer("none").with_custom_dict(mapping)
    # The first text that holds a variant compiles the search.
    compile_time = timed(lambda: n.normalize(min(variants)))
    match_time = timed(lambda: n.normalize(text))
    print(f"\n{len(variants)} two-kanji variants: compile {compile_time * 1e3:.0f} ms, "
          f"a million kanji {match_time * 1e3:.0f} ms, peak memory +{peak_mb() - before:.0f} MB")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--synonyms", type=Path, default=SYNONYMS)
    args = parser.parse_args()
    if args.synonyms.is_file():
        load_phases(args.synonyms, args.repeat)
        throughput(args.synonyms, args.repeat)
    else:
        print(f"{args.synonyms} not found: skipping the load timings")
    adversarial(args.repeat)
    wide_dictionary()


if __name__ == "__main__":
    main()
