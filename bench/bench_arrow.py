"""normalize_arrow against the dataframe engines' own Unicode kernels and against normalize_batch.

    python bench/bench_arrow.py [--rounds N] [--quick] [--markdown] [--corpus DIR]

Every side normalizes the same lines of tweets and of Wikipedia text: pyarrow's and polars' NFKC
kernels over an Arrow column, and zenkor with `nfkc=True` alone and with the `for_search` preset,
through normalize_batch (a list of fresh str objects) and through normalize_arrow (the Arrow
column). It prints MB/s of UTF-8 per side, then the ratios the project tracks, each beside its
target. Times are CPU time on one core (pyarrow and polars are held to one thread), the best of
N interleaved rounds. pyarrow and polars come with `pip install ".[bench]"`.
"""

from __future__ import annotations

import argparse
import os
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Sequence

# Before polars is imported: it sizes its thread pool once.
os.environ.setdefault("POLARS_MAX_THREADS", "1")

import zenkor
from bench_ratios import Row, Target, print_markdown, print_table, source
from common import CORPUS, corpus_lines, fresh, interleaved, optional

TEXTS = {"tweets": "ja_emoticon_tweets.txt", "wiki": "ja_jsquad_wikipedia.txt"}

PA_NFKC = "pyarrow.compute.utf8_normalize(arr, \"NFKC\")"
PL_NFKC = 'polars Series.str.normalize("NFKC")'


@dataclass
class Column:
    """One text as every side takes it; only the str objects are made anew for each round."""

    lines: list[bytes]
    arrow: object  # a pyarrow string array
    series: object  # a polars String series

    def round(self) -> dict[str, object]:
        return {"strs": fresh(self.lines), "arrow": self.arrow, "series": self.series}


def sides(pc, nfkc: zenkor.Normalizer, for_search: zenkor.Normalizer) -> dict[str, Callable[[dict], object]]:
    return {
        PA_NFKC: lambda c: pc.utf8_normalize(c["arrow"], "NFKC"),
        PL_NFKC: lambda c: c["series"].str.normalize("NFKC"),
        "zenkor nfkc=True normalize_batch(list)": lambda c: nfkc.normalize_batch(c["strs"]),
        "zenkor nfkc=True normalize_arrow(arr)": lambda c: nfkc.normalize_arrow(c["arrow"]),
        "zenkor for_search normalize_batch(list)": lambda c: for_search.normalize_batch(c["strs"]),
        "zenkor for_search normalize_arrow(arr)": lambda c: for_search.normalize_arrow(c["arrow"]),
    }


# (what, numerator side, denominator side, target)
RATIOS = [
    ("pyarrow NFKC / nfkc=True normalize_arrow", PA_NFKC, "zenkor nfkc=True normalize_arrow(arr)", 3.0),
    ("polars NFKC / nfkc=True normalize_arrow", PL_NFKC, "zenkor nfkc=True normalize_arrow(arr)", 3.0),
    ("pyarrow NFKC / for_search normalize_arrow", PA_NFKC, "zenkor for_search normalize_arrow(arr)", 1.0),
    (
        "nfkc=True normalize_batch / normalize_arrow",
        "zenkor nfkc=True normalize_batch(list)",
        "zenkor nfkc=True normalize_arrow(arr)",
        2.0,
    ),
    (
        "for_search normalize_batch / normalize_arrow",
        "zenkor for_search normalize_batch(list)",
        "zenkor for_search normalize_arrow(arr)",
        2.0,
    ),
]


def disagreement(pa, normalizers: Sequence[zenkor.Normalizer], column: Column) -> str:
    """Why the ratios would prove nothing: the two zenkor paths giving different values."""
    strs = fresh(column.lines)
    for n in normalizers:
        if pa.array(n.normalize_arrow(column.arrow)).to_pylist() != n.normalize_batch(strs):
            return f"normalize_arrow and normalize_batch differ ({n!r})"
    return ""


def run(corpus: Path, rounds: int, quick: bool) -> tuple[list[str], dict[str, dict[str, float]], list[Row]]:
    pa, pc, pl = optional("pyarrow"), optional("pyarrow.compute"), optional("polars")
    if pa is None or pl is None:
        raise SystemExit('bench_arrow.py needs pyarrow and polars: pip install ".[bench]"')
    pa.set_cpu_count(1)
    nfkc, for_search = zenkor.Normalizer("none", nfkc=True), zenkor.Normalizer("for_search")
    all_sides = sides(pc, nfkc, for_search)
    speeds: dict[str, dict[str, float]] = {}
    rows: list[Row] = []
    sizes = []
    for text, name in TEXTS.items():
        lines = corpus_lines(name, corpus)
        if quick:  # an evenly spaced few hundred lines
            lines = lines[:: max(1, len(lines) // 300)]
        strs = fresh(lines)
        column = Column(lines, pa.array(strs, pa.string()), pl.Series(strs, dtype=pl.String))
        megabytes = sum(map(len, lines)) / 1e6
        sizes.append(f"{text} {len(lines):,} lines {megabytes:.2f} MB")
        times = interleaved(all_sides, column.round, rounds, time.process_time)
        speeds[text] = {side: megabytes / t if t > 0 else float("inf") for side, t in times.items()}
        fault = disagreement(pa, (nfkc, for_search), column)
        for what, numerator, denominator, bound in RATIOS:
            a, b = times[numerator], times[denominator]
            row = Row(what, text, Target(">=", bound), detail=f"{a * 1e3:.2f} / {b * 1e3:.2f} ms", fault=fault)
            if b > 0:
                row.value = a / b
            else:
                row.detail = "too fast for the clock"
            rows.append(row)
    load = f"; load average {os.getloadavg()[0]:.2f}" if hasattr(os, "getloadavg") else ""
    header = [
        f"zenkor {zenkor.__version__}, pyarrow {pa.__version__}, polars {pl.__version__}{load}",
        f"text: {source(corpus)}{' (--quick)' if quick else ''}: {', '.join(sizes)}",
        f"best of {rounds} interleaved rounds, CPU time, one thread per library",
    ]
    return header, speeds, rows


def print_speeds(speeds: dict[str, dict[str, float]], markdown: bool) -> None:
    texts = list(speeds)
    names = list(next(iter(speeds.values())))
    if markdown:
        print("| MB/s | " + " | ".join(texts) + " |")
        print("|---|" + "---:|" * len(texts))
        for name in names:
            print(f"| {name} | " + " | ".join(f"{speeds[t][name]:.0f}" for t in texts) + " |")
        return
    width = max(map(len, names))
    print("MB/s".ljust(width), *(t.rjust(8) for t in texts))
    for name in names:
        print(name.ljust(width), *(f"{speeds[t][name]:8.0f}" for t in texts))


def main(argv: Sequence[str] | None = None) -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, help="interleaved rounds (default 7, 3 with --quick)")
    parser.add_argument("--quick", action="store_true", help="a smoke run: a few hundred lines per text")
    parser.add_argument("--markdown", action="store_true", help="print tables for the README")
    parser.add_argument("--corpus", type=Path, default=CORPUS, help=f"folder of the corpus files (default {CORPUS})")
    args = parser.parse_args(argv)
    rounds = args.rounds if args.rounds is not None else 3 if args.quick else 7
    if rounds < 1:
        parser.error("--rounds must be at least 1")
    header, speeds, rows = run(args.corpus, rounds, args.quick)
    print("\n".join(header), end="\n\n")
    print_speeds(speeds, args.markdown)
    print()
    (print_markdown if args.markdown else print_table)(rows)


if __name__ == "__main__":
    main()
