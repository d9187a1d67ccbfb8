"""Throughput of zenkor against peer libraries on the same work, over the real corpus.

    python bench/bench_peers.py [--repeat N]

Each row times one kind of work done by zenkor and by every peer that is
installed (install the peers with `pip install ".[bench]"`), and prints the
peer's time divided by zenkor's: above 1 means zenkor is faster.
"""

from __future__ import annotations

import argparse
import unicodedata
from typing import Callable

import zenkor
from common import best_of, corpus_lines, fresh, optional


def peers() -> dict[str, dict[str, Callable[[str], str]]]:
    """Work name -> {peer name: per-line function}, for the peers installed."""
    work: dict[str, dict[str, Callable[[str], str]]] = {
        "nfkc": {"unicodedata": lambda s: unicodedata.normalize("NFKC", s)},
        "halfwidth kana": {},
        "neologdn_compat preset": {},
    }
    if neologdn := optional("neologdn"):
        work["neologdn_compat preset"]["neologdn"] = neologdn.normalize
    if mojimoji := optional("mojimoji"):
        work["halfwidth kana"]["mojimoji"] = lambda s: mojimoji.han_to_zen(s, digit=False, ascii=False)
    if jaconv := optional("jaconv"):
        work["halfwidth kana"]["jaconv"] = lambda s: jaconv.h2z(s, kana=True, digit=False, ascii=False)
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

    lines = corpus_lines()
    size = sum(map(len, lines))
    print(f"corpus: {len(lines)} lines, {size / 1e6:.1f} MB; best of {args.repeat}")
    print(f"{'work':<24} {'library':<14} {'seconds':>9} {'MB/s':>8} {'peer/zenkor':>12}")
    for work, normalizer in ZENKOR.items():
        ours = best_of(args.repeat, normalizer.normalize_batch, lambda: fresh(lines))
        print(f"{work:<24} {'zenkor':<14} {ours:9.3f} {size / ours / 1e6:8.1f} {'':>12}")
        for name, fn in peers()[work].items():
            theirs = best_of(args.repeat, lambda strs: [fn(s) for s in strs], lambda: fresh(lines))
            print(f"{work:<24} {name:<14} {theirs:9.3f} {size / theirs / 1e6:8.1f} {theirs / ours:12.2f}")
    print(f"{'preset':<24} {'':<14}")
    for preset in zenkor.Normalizer.presets():
        n = zenkor.Normalizer(preset)
        t = best_of(args.repeat, n.normalize_batch, lambda: fresh(lines))
        print(f"{preset:<24} {'zenkor':<14} {t:9.3f} {size / t / 1e6:8.1f}")


if __name__ == "__main__":
    main()
