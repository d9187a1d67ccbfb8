"""Throughput of zenkor against peer libraries on the same work, over the real corpus.

    python bench/bench_peers.py [--repeat N]

Each row times one kind of work done by zenkor and by every peer that is
installed (install the peers with `pip install ".[bench]"`), and prints the
peer's time divided by zenkor's: above 1 means zenkor is faster.
"""

from __future__ import annotations

import argparse
import time
import unicodedata
from pathlib import Path
from typing import Callable

import zenkor

# shared/ sits beside the checkout (or beside the folder of work trees).
CORPUS = next(
    (p / "shared" / "data" / "corpus" for p in Path(__file__).resolve().parents[1:4] if (p / "shared" / "data").is_dir()),
    Path("shared") / "data" / "corpus",
)


def load_corpus() -> list[str]:
    lines: list[str] = []
    for path in sorted(CORPUS.glob("*.txt")):
        lines.extend(path.read_text(encoding="utf-8").splitlines())
    return lines


def best_of(repeat: int, lines: list[str], fn: Callable[[list[str]], object]) -> float:
    """Best time of `fn` over fresh copies of `lines`.

    Fresh str objects each round, so no library profits from what an earlier
    round left cached in the strings (such as their UTF-8 form).
    """
    best = float("inf")
    for _ in range(repeat):
        fresh = [line.encode("utf-8").decode("utf-8") for line in lines]
        start = time.perf_counter()
        fn(fresh)
        best = min(best, time.perf_counter() - start)
    return best


def peers() -> dict[str, dict[str, Callable[[str], str]]]:
    """Work name -> {peer name: per-line function}, for the peers installed."""
    work: dict[str, dict[str, Callable[[str], str]]] = {
        "nfkc": {"unicodedata": lambda s: unicodedata.normalize("NFKC", s)},
        "halfwidth kana": {},
        "neologdn_compat preset": {},
    }
    try:
        import neologdn

        work["neologdn_compat preset"]["neologdn"] = neologdn.normalize
    except ImportError:
        pass
    try:
        import mojimoji

        work["halfwidth kana"]["mojimoji"] = lambda s: mojimoji.han_to_zen(s, digit=False, ascii=False)
    except ImportError:
        pass
    try:
        import jaconv

        work["halfwidth kana"]["jaconv"] = lambda s: jaconv.h2z(s, kana=True, digit=False, ascii=False)
    except ImportError:
        pass
    return work


ZENKOR = {
    "nfkc": zenkor.Normalizer("none", nfkc=True),
    "halfwidth kana": zenkor.Normalizer("none", halfwidth_kana_to_fullwidth=True),
    "neologdn_compat preset": zenkor.Normalizer("neologdn_compat"),
}


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    lines = load_corpus()
    size = sum(len(line.encode("utf-8")) for line in lines)
    print(f"corpus: {len(lines)} lines, {size / 1e6:.1f} MB; best of {args.repeat}")
    print(f"{'work':<24} {'library':<14} {'seconds':>9} {'MB/s':>8} {'peer/zenkor':>12}")
    for work, normalizer in ZENKOR.items():
        ours = best_of(args.repeat, lines, normalizer.normalize_batch)
        print(f"{work:<24} {'zenkor':<14} {ours:9.3f} {size / ours / 1e6:8.1f} {'':>12}")
        for name, fn in peers()[work].items():
            theirs = best_of(args.repeat, lines, lambda fresh: [fn(line) for line in fresh])
            print(f"{work:<24} {name:<14} {theirs:9.3f} {size / theirs / 1e6:8.1f} {theirs / ours:12.2f}")
    print(f"{'preset':<24} {'':<14}")
    for preset in zenkor.Normalizer.presets():
        n = zenkor.Normalizer(preset)
        t = best_of(args.repeat, lines, n.normalize_batch)
        print(f"{preset:<24} {'zenkor':<14} {t:9.3f} {size / t / 1e6:8.1f}")


if __name__ == "__main__":
    main()
