"""Every speed ratio the project tracks, each beside its target, measured in one process.

    python bench/bench_ratios.py [--rounds N] [--quick] [--markdown] [--plot FILE.png]
                                 [--corpus DIR] [--synonyms PATH]

Each row divides the time of one side by the time of the other, both doing the same calls on the
same lines: the best of N interleaved rounds (A, B, A, B, ...), each side on freshly decoded str
objects. Rows on one thread count CPU time (time.process_time), which other programs on the
machine hardly inflate; the thread rows count wall time, which is what threads are for, and need
two idle cores to mean anything (the header shows the load average). Absolute times on a shared
machine are noisy, which is why only ratios are tracked.

Peers come with `pip install ".[bench]"`; a row whose peer is missing says so. Text comes from
shared/data/corpus beside the checkout, or from the sample in bench/data when that is absent.
"""

from __future__ import annotations

import argparse
import hashlib
import operator
import os
import platform
import random
import sys
import threading
import time
import unicodedata
from collections import deque
from dataclasses import dataclass
from functools import partial
from importlib.metadata import PackageNotFoundError, version
from pathlib import Path
from typing import Callable, Iterable, Sequence

import zenkor
from common import CORPUS, SAMPLE, SYNONYMS, corpus_lines, fresh, fresh_pairs, interleaved, optional

TEXTS = {
    "tweets": "ja_emoticon_tweets.txt",
    "wiki": "ja_jsquad_wikipedia.txt",
    "reviews": "ja_quasi_reviews.txt",
    "wiki sentences": "ja_wikipedia_ner_sentences.txt",
}
NOISY = ("tweets", "wiki")  # NFKC changes 67% and 45% of their lines
CLEAN = ("reviews", "wiki sentences")  # already normal: NFKC changes hardly a line


# The thread rows take this many times the rounds: wall time on two cores of a virtual machine
# varies far more from round to round than CPU time on one (the same chunk of work takes from 0.8
# to 1.6 ms), and the best of more rounds is the one least disturbed.
THREAD_ROUNDS = 3

COMPARE = {">=": operator.ge, ">": operator.gt, "<=": operator.le, "==": operator.eq}


@dataclass(frozen=True)
class Target:
    op: str  # a key of COMPARE
    bound: float

    def met(self, value: float) -> bool:
        return COMPARE[self.op](value, self.bound)

    def __str__(self) -> str:
        return f"{self.op} {self.bound:g}"


@dataclass
class Row:
    what: str
    text: str
    target: Target
    value: float | None = None
    detail: str = ""  # the two times, or why there is no value
    fault: str = ""  # set when the sides disagree: the ratio then proves nothing
    unit: str = "ratio"  # or "bytes", a count

    @property
    def met(self) -> str:
        if self.value is None:
            return "-"
        return "yes" if self.target.met(self.value) and not self.fault else "no"

    @property
    def shown(self) -> str:
        if self.value is None:
            return "-"
        return f"{self.value:.2f}" if self.unit == "ratio" else f"{self.value:.0f}"


def consume(results: Iterable[object]) -> None:
    # Drops each result as soon as it is made: per-call work includes freeing what it returns.
    deque(results, maxlen=0)


def per_call(fn: Callable[[str], object]) -> Callable[[list[str]], None]:
    # map() keeps the loop in C, so the peers' sides and ours carry the same small overhead.
    return lambda lines: consume(map(fn, lines))


def per_pair(fn: Callable[[str, str], object]) -> Callable[[tuple[list[str], list[str]]], None]:
    return lambda pairs: consume(map(fn, *pairs))


def ceiling(lines: list[str]) -> None:
    """`s.encode().decode()` per line: the least any str -> str call over UTF-8 can cost."""
    consume(map(bytes.decode, map(str.encode, lines)))


class Bench:
    def __init__(self, corpus: Path, synonyms: Path, rounds: int, quick: bool) -> None:
        self.rounds = rounds
        self.quick = quick
        self.synonyms = synonyms
        self.lines: dict[str, list[bytes]] = {}
        for text, name in TEXTS.items():
            lines = corpus_lines(name, corpus)
            if quick:  # an evenly spaced few hundred lines: every kind of line, a fraction of the time
                lines = lines[:: max(1, len(lines) // 300)]
            self.lines[text] = lines
        self.for_search = zenkor.Normalizer("for_search")
        self.rows: list[Row] = []
        self.parallel = (0.0, 0.0)  # parallelism() before and after the thread rows
        self.round_trip = 0.0  # wake_up()
        self.hashing = (0.0, 0, 0.0)  # hashing_at_call_length()

    def ratio(
        self,
        what: str,
        text: str,
        target: Target,
        numerator: Callable,
        denominator: Callable,
        make_input: Callable | None = None,
        clock: Callable[[], float] = time.process_time,
        rounds: int | None = None,
    ) -> Row:
        """Adds the row numerator time / denominator time, by default over fresh lines of `text`."""
        make_input = make_input or partial(fresh, self.lines[text])
        times = interleaved({"numerator": numerator, "denominator": denominator}, make_input, rounds or self.rounds, clock)
        a, b = times["numerator"], times["denominator"]
        row = Row(what, text, target, detail=f"{a * 1e3:.2f} / {b * 1e3:.2f} ms")
        if b > 0:
            row.value = a / b
        else:
            row.detail = "too fast for the clock"
        self.rows.append(row)
        return row

    def missing(self, what: str, texts: Sequence[str], target: Target, why: str) -> None:
        self.rows.extend(Row(what, text, target, detail=why) for text in texts)

    def nfkc_against_presets(self) -> None:
        nfkc = per_call(partial(unicodedata.normalize, "NFKC"))
        for_search = per_call(self.for_search.normalize)
        for texts, target in ((NOISY, Target(">=", 2.0)), (CLEAN, Target(">=", 0.5))):
            for text in texts:
                self.ratio("unicodedata NFKC / for_search", text, target, nfkc, for_search)
        # Of the clean texts, the lines for_search leaves as they are (86% and 53% of them): what
        # a text costs when there is nothing to do. The rest of their lines do need steps.
        for text in CLEAN:
            unchanged = [line for line in self.lines[text] if self.for_search.normalize(line.decode()) == line.decode()]
            row = self.ratio(
                "unicodedata NFKC / for_search", f"{text}, lines left as they are", Target(">=", 0.5), nfkc, for_search,
                partial(fresh, unchanged),
            )
            row.detail += f"; {len(unchanged) / len(self.lines[text]):.0%} of its lines"

    def presets_against_ceiling(self) -> None:
        for preset, target in (("for_search", Target("<=", 1.5)), ("neologdn_compat", Target("<=", 1.0))):
            normalize = per_call(zenkor.Normalizer(preset).normalize)
            for text in NOISY:
                self.ratio(f"{preset} / s.encode().decode()", text, target, normalize, ceiling)

    def changed_lines_against_ceiling(self) -> None:
        """Only the lines for_search changes, one call each, against the same ceiling: what a line
        that does change costs, which the lines left as they are hide in the rows of whole texts.
        The target is the one for whole texts: a line that changes should cost about what a clean
        one does."""
        normalize = per_call(self.for_search.normalize)
        for text in (*NOISY, "wiki sentences"):
            changed = [line for line in self.lines[text] if self.for_search.normalize(line.decode()) != line.decode()]
            row = self.ratio(
                "for_search / s.encode().decode()", f"{text}, changed lines alone (per line)", Target("<=", 1.5),
                normalize, ceiling, partial(fresh, changed),
            )
            row.detail += f"; {len(changed) / len(self.lines[text]):.0%} of its lines"

    def single_options(self) -> None:
        lower = per_call(zenkor.Normalizer("none", case="lower").normalize)
        for text in NOISY:
            self.ratio('str.lower / case="lower" alone', text, Target(">=", 1.0), per_call(str.lower), lower)
        nfkc = per_call(zenkor.Normalizer("none", nfkc=True).normalize)
        for text in CLEAN:
            self.ratio(
                "unicodedata NFKC / nfkc=True alone",
                text,
                Target(">=", 1.0),
                per_call(partial(unicodedata.normalize, "NFKC")),
                nfkc,
            )

    def synonyms_cost(self) -> None:
        what, target = "for_search with Sudachi synonyms / without", Target("<=", 1.5)
        if not self.synonyms.is_file():
            return self.missing(what, NOISY, target, f"not available (no {self.synonyms}; --synonyms PATH)")
        with_dict = zenkor.Normalizer("for_search").load_sudachi_synonyms(self.synonyms)
        # The first call that meets a variant compiles the matcher: not part of the steady cost.
        # (A canonical form such as 曖昧 starts no variant, and would leave it for the first round.)
        with_dict.normalize("あいまい")
        for text in NOISY:
            self.ratio(what, text, target, per_call(with_dict.normalize), per_call(self.for_search.normalize))

    def offsets_cost(self) -> None:
        """What mapping back costs: normalize_with_offsets runs every step on its own and records
        what each changed, which normalize never does."""
        normalize = per_call(self.for_search.normalize)
        with_offsets = per_call(self.for_search.normalize_with_offsets)
        for text in NOISY:
            self.ratio("for_search normalize_with_offsets / normalize", text, Target("<=", 3.0), with_offsets, normalize)

    def edit_distance(self) -> None:
        what = "rapidfuzz / zenkor.levenshtein"
        targets = {10: Target(">", 1.0), 100: Target(">", 1.0), 1_000: Target(">=", 1.0), 10_000: Target(">=", 1.0)}
        rapidfuzz = optional("rapidfuzz.distance.Levenshtein")
        if rapidfuzz is None:
            for length, target in targets.items():
                self.missing(what, [f"{length:,} chars"], target, "rapidfuzz not installed")
            return
        # Japanese-ish strings: slices of the corpus run together, paired with a copy carrying
        # one edit per ten characters, the way near-duplicates differ.
        text = "".join(line for lines in self.lines.values() for line in fresh(lines))
        rng = random.Random(9)
        for length, target in targets.items():
            count = max(2, (20_000 if self.quick else 200_000) // length)
            pairs = [similar_pair(text, length, rng) for _ in range(count)]

            theirs, ours = per_pair(rapidfuzz.distance), per_pair(zenkor.levenshtein)
            row = self.ratio(what, f"{length:,} chars", target, theirs, ours, partial(fresh_pairs, pairs))
            a, b = fresh_pairs(pairs)
            if list(map(rapidfuzz.distance, a, b)) != list(map(zenkor.levenshtein, a, b)):
                row.fault = "results differ from rapidfuzz"
            row.detail += f", {count} pairs"

    def neologdn(self) -> None:
        what, target = "neologdn / neologdn_compat", Target(">=", 8.0)
        neologdn = optional("neologdn")
        if neologdn is None:
            return self.missing(what, NOISY, target, "neologdn not installed")
        ours = per_call(zenkor.Normalizer("neologdn_compat").normalize)
        for text in NOISY:
            self.ratio(what, text, target, per_call(neologdn.normalize), ours)

    def bytes_left(self) -> None:
        """Bytes a call leaves on the caller's str objects: CPython caches the UTF-8 form on a
        str once asked for it, memory that lives as long as the caller's string."""
        non_ascii = [line for line in self.lines["tweets"] if not line.isascii()][:1000]
        calls: dict[str, Callable[[list[str]], object]] = {
            "normalize": per_call(self.for_search.normalize),
            "normalize_batch": self.for_search.normalize_batch,
            "levenshtein": lambda strs: consume(map(zenkor.levenshtein, strs, reversed(strs))),
        }
        for name, call in calls.items():
            strs = fresh(non_ascii)
            before = sum(map(sys.getsizeof, strs))
            call(strs)
            left = sum(map(sys.getsizeof, strs)) - before
            detail = f"{len(strs)} str, {sum(map(len, non_ascii)):,} UTF-8 bytes"
            what = f"bytes left on the caller's str by {name}"
            self.rows.append(Row(what, "tweets", Target("==", 0), left, detail, unit="bytes"))

    def threads(self) -> None:
        """One for_search normalizer shared by two threads, each doing half the lines, against
        one thread doing them all."""

        def make_input(text: str) -> Callable[[], dict[int, list[list[str]]]]:
            def split() -> dict[int, list[list[str]]]:
                lines = self.lines[text]
                # Alternate lines, so that both halves hold as many long lines as short ones, and
                # make each half's str objects on their own, as each thread would read its own
                # input: halves cut from one list of fresh objects would leave every other object
                # to the other thread, and two threads writing reference counts of neighbouring
                # objects make their cores trade those cache lines (tweets: 1.70 instead of 1.85).
                return {1: [fresh(lines)], 2: [fresh(lines[0::2]), fresh(lines[1::2])]}

            return split

        n = self.for_search
        # One call on all the lines, its chunks shared by two threads, against the same call alone.
        shared = partial(n.normalize_batch, jobs=2)
        for text in NOISY:
            self.ratio(
                "normalize_batch jobs=1 / jobs=2 (wall)", text, Target(">=", 1.8), n.normalize_batch, shared,
                clock=time.perf_counter, rounds=THREAD_ROUNDS * self.rounds,
            )
        kinds = (
            ("normalize per line", per_call(n.normalize), {"tweets": 1.0, "wiki": 1.6}),
            ("normalize_batch", n.normalize_batch, {"tweets": 1.8, "wiki": 1.8}),
        )
        for kind, work, bounds in kinds:
            for text, bound in bounds.items():
                self.ratio(
                    f"1 thread / 2 threads, {kind} (wall)",
                    text,
                    Target(">=", bound),
                    in_threads(1, work),
                    in_threads(2, work),
                    make_input(text),
                    time.perf_counter,
                    THREAD_ROUNDS * self.rounds,
                )

    def parallelism(self) -> float:
        """What two threads gain on this machine at the moment: hashing 1 MB blocks, which runs
        without the interpreter lock, in one thread and in two. Near 2 when two cores are idle;
        the thread rows cannot do better than this."""
        blocks = [bytes(1 << 20)] * (8 if self.quick else 32)
        parts = {1: [blocks], 2: [blocks[0::2], blocks[1::2]]}
        work = per_call(hashlib.sha256)
        one, two = interleaved(
            {1: in_threads(1, work), 2: in_threads(2, work)}, lambda: parts, self.rounds, time.perf_counter
        ).values()
        return one / two

    def wake_up(self) -> float:
        """Microseconds for one thread to wake another and be woken back (two Events in turn, best
        of the rounds). A thread that finds the interpreter lock taken sleeps until it is given
        back, so this is about what each such wait costs: per-call thread rows of calls much
        shorter than it cannot gain."""
        trips = 200 if self.quick else 2000
        ping, pong = threading.Event(), threading.Event()

        def other() -> None:
            for _ in range(trips):
                ping.wait()
                ping.clear()
                pong.set()

        def side(_: None) -> None:
            worker = threading.Thread(target=other)
            worker.start()
            for _ in range(trips):
                ping.set()
                pong.wait()
                pong.clear()
            worker.join()

        return interleaved({"": side}, lambda: None, self.rounds, time.perf_counter)[""] / trips * 1e6

    def hashing_at_call_length(self) -> tuple[float, int, float]:
        """The per-call thread row on Wikipedia text, done by CPython's own hashlib: sha256 in
        calls as long as a for_search call on a paragraph, which it makes without the interpreter
        lock (from 2 KiB up), in one thread and in two. Each such call waits to take the lock
        back, as a normalize call does, so that row cannot expect more than this. Returns the microseconds per
        normalize call, the bytes hashed per call and 1 thread / 2 threads."""
        lines = self.lines["wiki"]
        per_line = interleaved({"": per_call(self.for_search.normalize)}, partial(fresh, lines), self.rounds)[""]
        per_line /= len(lines)
        probe = [bytes(1 << 20)] * 8
        per_byte = interleaved({"": per_call(hashlib.sha256)}, lambda: probe, self.rounds)[""] / (8 << 20)
        size = max(2048, round(per_line / per_byte)) if per_byte > 0 else 2048
        blocks = [bytes(size)] * max(len(lines), (4 << 20) // size)
        parts = {1: [blocks], 2: [blocks[0::2], blocks[1::2]]}
        work = per_call(hashlib.sha256)
        one, two = interleaved(
            {1: in_threads(1, work), 2: in_threads(2, work)},
            lambda: parts,
            THREAD_ROUNDS * self.rounds,
            time.perf_counter,
        ).values()
        return per_line * 1e6, size, one / two

    def run(self) -> list[Row]:
        self.nfkc_against_presets()
        self.presets_against_ceiling()
        self.changed_lines_against_ceiling()
        self.single_options()
        self.synonyms_cost()
        self.offsets_cost()
        self.edit_distance()
        self.neologdn()
        self.bytes_left()
        before = self.parallelism()
        self.threads()
        self.parallel = (before, self.parallelism())
        self.round_trip = self.wake_up()
        self.hashing = self.hashing_at_call_length()
        return self.rows


def in_threads(count: int, work: Callable[[list], object]) -> Callable[[dict[int, list[list]]], None]:
    """A side that runs `work` in `count` threads, one per part; starting them is part of the
    time on both sides."""

    def side(parts: dict[int, list[list]]) -> None:
        workers = [threading.Thread(target=work, args=(part,)) for part in parts[count]]
        for worker in workers:
            worker.start()
        for worker in workers:
            worker.join()

    return side


def similar_pair(text: str, length: int, rng: random.Random) -> tuple[bytes, bytes]:
    start = rng.randrange(len(text) - length + 1)
    a = text[start : start + length]
    b = list(a)
    for _ in range(max(1, length // 10)):
        at = rng.randrange(len(b))
        edit = rng.randrange(3)
        if edit == 0:
            b[at] = rng.choice(text)
        elif edit == 1:
            b.insert(at, rng.choice(text))
        else:
            del b[at]
    return a.encode(), "".join(b).encode()


def installed(package: str) -> str:
    try:
        return version(package)
    except PackageNotFoundError:
        return "not installed"


def source(corpus: Path) -> str:
    return "the sample in bench/data" if corpus.resolve() == SAMPLE.resolve() else str(corpus)


def describe(bench: Bench, corpus: Path) -> list[str]:
    sizes = ", ".join(
        f"{text} {len(lines):,} lines {sum(map(len, lines)) / 1e6:.2f} MB" for text, lines in bench.lines.items()
    )
    peers = ", ".join(f"{p} {installed(p)}" for p in ("neologdn", "rapidfuzz"))
    load = f", load average {os.getloadavg()[0]:.2f}" if hasattr(os, "getloadavg") else ""
    return [
        f"zenkor {zenkor.__version__}, Python {platform.python_version()}, {peers}; {os.cpu_count()} cores{load}",
        f"text: {source(corpus)}{' (--quick: a few hundred lines each)' if bench.quick else ''}: {sizes}",
        f"best of {bench.rounds} interleaved rounds ({THREAD_ROUNDS * bench.rounds} for the thread rows), fresh str "
        "objects each round; CPU time on one thread, wall time for the thread rows",
    ]


def print_table(rows: list[Row]) -> None:
    headers = ("ratio", "text", "value", "target", "met", "detail")
    cells = [(r.what, r.text, r.shown, str(r.target), r.met, "; ".join(filter(None, [r.detail, r.fault]))) for r in rows]
    widths = [max(len(c[i]) for c in [headers, *cells]) for i in range(len(headers) - 1)]
    for cell in [headers, *cells]:
        print("  ".join(c.rjust(w) if i in (2, 3) else c.ljust(w) for i, (c, w) in enumerate(zip(cell, widths))), cell[-1])


def print_markdown(rows: list[Row]) -> None:
    print("| measured | text | value | target | met |")
    print("|---|---|---:|---|---|")
    for r in rows:
        value = r.shown if r.value is not None else r.detail
        met = f"{r.met} ({r.fault})" if r.fault else r.met
        print(f"| {r.what} | {r.text} | {value} | {r.target} | {met} |")


def plot(rows: list[Row], path: Path, title: str) -> None:
    """One bar per ratio, drawn from 1 (both sides equally fast) to its value, the target as a
    black mark; the byte counts, which have no ratio, stay in the table."""
    import matplotlib

    matplotlib.use("Agg")  # draws to a file; no display needed
    import matplotlib.pyplot as plt

    shown = [r for r in rows if r.unit == "ratio" and r.value is not None]
    fig, ax = plt.subplots(figsize=(10, 0.32 * len(shown) + 1.8))
    ys = list(range(len(shown)))[::-1]
    colors = ["tab:green" if r.met == "yes" else "tab:red" for r in shown]
    ax.barh(ys, [r.value - 1 for r in shown], left=1, color=colors, height=0.6)
    ax.scatter([r.target.bound for r in shown], ys, marker="|", s=300, color="black", zorder=3, label="target")
    ax.set_yticks(ys, [f"{r.what} ({r.text})  {r.target}" for r in shown], fontsize=8)
    ax.set_xscale("log")  # ratios from 0.03 to 30 sit side by side, and 1/2 lies as far from 1 as 2
    ax.axvline(1.0, color="grey", linewidth=0.8)
    ax.set_xlabel("first side's time / second side's time (green: target met, red: not met)")
    ax.set_title(title, fontsize=9)
    ax.legend(loc="lower right")
    fig.tight_layout()
    fig.savefig(path, dpi=120)
    plt.close(fig)


def main(argv: Sequence[str] | None = None) -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, help="interleaved rounds per row (default 7, 3 with --quick)")
    parser.add_argument("--quick", action="store_true", help="a smoke run: fewer rounds, a few hundred lines per text")
    parser.add_argument("--markdown", action="store_true", help="print a table for the README")
    parser.add_argument("--plot", type=Path, metavar="FILE.png", help="draw the ratios against their targets")
    parser.add_argument("--corpus", type=Path, default=CORPUS, help=f"folder of the corpus files (default {CORPUS})")
    parser.add_argument("--synonyms", type=Path, default=SYNONYMS, help="the Sudachi synonyms.txt")
    args = parser.parse_args(argv)
    rounds = args.rounds if args.rounds is not None else 3 if args.quick else 7
    if rounds < 1:
        parser.error("--rounds must be at least 1")

    bench = Bench(args.corpus, args.synonyms, rounds, args.quick)
    header = describe(bench, args.corpus)
    print("\n".join(header), flush=True)
    print()
    rows = bench.run()
    if args.markdown:
        print_markdown(rows)
    else:
        print_table(rows)
    print(
        "\nparallelism at hand for the thread rows: {:.2f} before them, {:.2f} after".format(*bench.parallel),
        "(1 thread / 2 threads hashing 1 MB blocks, wall; 2 means two idle cores)",
    )
    print(f"a thread wakes another and is woken back in {bench.round_trip:.1f} µs (best of {rounds} rounds)")
    print(
        "hashlib.sha256 in calls as long as for_search's on a Wikipedia paragraph ({:.1f} µs, {:,} bytes),"
        " 1 thread / 2 threads: {:.2f}".format(*bench.hashing)
    )
    if args.plot:
        try:
            title = f"zenkor {zenkor.__version__} on {source(args.corpus)}, best of {rounds} interleaved rounds"
            plot(rows, args.plot, title)
        except ImportError:
            sys.exit('--plot needs matplotlib: pip install ".[bench]"')
        print(f"\nplot written to {args.plot}")


if __name__ == "__main__":
    main()
