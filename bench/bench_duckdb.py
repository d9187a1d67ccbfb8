"""A DuckDB SELECT through zenkor.duckdb against normalize_batch on the same lines.

    python bench/bench_duckdb.py [--rounds N] [--quick] [--corpus DIR]

The corpus's lines (every file, in name order) sit in a DuckDB table of one VARCHAR column.
One side runs `SELECT zenkor_normalize(text) FROM corpus` and fetches the result as an Arrow
table; the other normalizes the same lines, as a list of fresh str objects, with one
normalize_batch call. Both use the `for_search` preset. It prints MB/s of UTF-8 for each and
their ratio: CPU time, DuckDB held to one thread, the best of N interleaved rounds. duckdb and
pyarrow come with `pip install ".[bench]"`.
"""

from __future__ import annotations

import argparse
import os
import time
from pathlib import Path
from typing import Sequence

import zenkor
from common import CORPUS, corpus_lines, fresh, interleaved, optional

QUERY = "SELECT zenkor_normalize(text) FROM corpus"


def main(argv: Sequence[str] | None = None) -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=None, help="interleaved rounds (default 7, 2 with --quick)")
    parser.add_argument("--quick", action="store_true", help="a smoke run: a few hundred lines")
    parser.add_argument("--corpus", type=Path, default=CORPUS, help=f"folder of the corpus files (default {CORPUS})")
    args = parser.parse_args(argv)
    rounds = args.rounds if args.rounds is not None else 2 if args.quick else 7
    if rounds < 1:
        parser.error("--rounds must be at least 1")
    duckdb, pa = optional("duckdb"), optional("pyarrow")
    if duckdb is None or pa is None:
        raise SystemExit('bench_duckdb.py needs duckdb and pyarrow: pip install ".[bench]"')
    import zenkor.duckdb

    lines = corpus_lines(corpus=args.corpus)
    if args.quick:
        lines = lines[:: max(1, len(lines) // 300)]
    megabytes = sum(map(len, lines)) / 1e6
    normalizer = zenkor.Normalizer("for_search")
    con = duckdb.connect(config={"threads": 1})
    con.register("lines", pa.table({"text": pa.array(fresh(lines), pa.string())}))
    con.execute("CREATE TABLE corpus AS SELECT text FROM lines")
    zenkor.duckdb.register(con, normalizer=normalizer)

    sides = {
        f"duckdb {QUERY}": lambda _: con.sql(QUERY).to_arrow_table(),
        "for_search normalize_batch(list)": normalizer.normalize_batch,
    }
    selected = con.sql(QUERY).to_arrow_table().column(0).to_pylist()
    if selected != normalizer.normalize_batch(fresh(lines)):
        raise SystemExit("the SELECT and normalize_batch disagree: the figures would mean nothing")
    times = interleaved(sides, lambda: fresh(lines), rounds, time.process_time)
    con.close()

    load = f"; load average {os.getloadavg()[0]:.2f}" if hasattr(os, "getloadavg") else ""
    print(f"zenkor {zenkor.__version__}, duckdb {duckdb.__version__}, pyarrow {pa.__version__}{load}")
    print(f"text: {args.corpus}{' (--quick)' if args.quick else ''}: {len(lines):,} lines {megabytes:.2f} MB")
    print(f"best of {rounds} interleaved rounds, CPU time, one thread\n")
    width = max(map(len, sides))
    for side, seconds in times.items():
        print(f"{side.ljust(width)} {megabytes / seconds:8.0f} MB/s")
    select, batch = times.values()
    print(f"\nnormalize_batch / SELECT time: {batch / select:.2f}")


if __name__ == "__main__":
    main()
