"""The ratio benchmark runs from a fresh clone: on the bundled sample, peers or not.

A smoke run only (one round over a few hundred lines): it checks that every tracked ratio is
printed with its target, never how fast anything is.
"""

import importlib.util
import operator
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]

NFKC = "unicodedata NFKC / for_search"
LEVENSHTEIN = "rapidfuzz / zenkor.levenshtein"
SYNONYMS = "for_search with Sudachi synonyms / without"
NEOLOGDN = "neologdn / neologdn_compat"
PER_LINE = "1 thread / 2 threads, normalize per line (wall)"
BATCH = "1 thread / 2 threads, normalize_batch (wall)"

# (measured, text, target), in the order printed
ROWS = [
    (NFKC, "tweets", ">= 2"),
    (NFKC, "wiki", ">= 2"),
    (NFKC, "reviews", ">= 0.5"),
    (NFKC, "wiki sentences", ">= 0.5"),
    (NFKC, "reviews, lines left as they are", ">= 0.5"),
    (NFKC, "wiki sentences, lines left as they are", ">= 0.5"),
    ("for_search / s.encode().decode()", "tweets", "<= 1.5"),
    ("for_search / s.encode().decode()", "wiki", "<= 1.5"),
    ("neologdn_compat / s.encode().decode()", "tweets", "<= 1"),
    ("neologdn_compat / s.encode().decode()", "wiki", "<= 1"),
    ("for_search / s.encode().decode()", "tweets, changed lines alone (per line)", "<= 1.5"),
    ("for_search / s.encode().decode()", "wiki, changed lines alone (per line)", "<= 1.5"),
    ("for_search / s.encode().decode()", "wiki sentences, changed lines alone (per line)", "<= 1.5"),
    ('str.lower / case="lower" alone', "tweets", ">= 1"),
    ('str.lower / case="lower" alone', "wiki", ">= 1"),
    ("unicodedata NFKC / nfkc=True alone", "reviews", ">= 1"),
    ("unicodedata NFKC / nfkc=True alone", "wiki sentences", ">= 1"),
    (SYNONYMS, "tweets", "<= 1.5"),
    (SYNONYMS, "wiki", "<= 1.5"),
    ("for_search normalize_with_offsets / normalize", "tweets", "<= 3"),
    ("for_search normalize_with_offsets / normalize", "wiki", "<= 3"),
    (LEVENSHTEIN, "10 chars", "> 1"),
    (LEVENSHTEIN, "100 chars", "> 1"),
    (LEVENSHTEIN, "1,000 chars", ">= 1"),
    (LEVENSHTEIN, "10,000 chars", ">= 1"),
    (NEOLOGDN, "tweets", ">= 8"),
    (NEOLOGDN, "wiki", ">= 8"),
    ("bytes left on the caller's str by normalize", "tweets", "== 0"),
    ("bytes left on the caller's str by normalize_batch", "tweets", "== 0"),
    ("bytes left on the caller's str by levenshtein", "tweets", "== 0"),
    ("normalize_batch jobs=1 / jobs=2 (wall)", "tweets", ">= 1.8"),
    ("normalize_batch jobs=1 / jobs=2 (wall)", "wiki", ">= 1.8"),
    (PER_LINE, "tweets", ">= 1"),
    (PER_LINE, "wiki", ">= 1.6"),
    (BATCH, "tweets", ">= 1.8"),
    (BATCH, "wiki", ">= 1.8"),
]

COMPARE = {">=": operator.ge, ">": operator.gt, "<=": operator.le, "==": operator.eq}


@pytest.fixture(scope="module")
def printed(tmp_path_factory: pytest.TempPathFactory) -> tuple[str, list[list[str]]]:
    """The whole output and the table rows of one smoke run, without the synonym file."""
    absent = tmp_path_factory.mktemp("nothing") / "synonyms.txt"
    run = subprocess.run(
        [sys.executable, str(ROOT / "bench" / "bench_ratios.py"), "--quick", "--rounds", "1", "--markdown",
         "--corpus", str(ROOT / "bench" / "data"), "--synonyms", str(absent)],
        capture_output=True, text=True, timeout=120,
    )
    assert run.returncode == 0, run.stderr
    table = [line for line in run.stdout.splitlines() if line.startswith("|")]
    return run.stdout, [[cell.strip() for cell in line.strip("|").split("|")] for line in table[2:]]


def test_every_tracked_ratio_is_printed_once_with_its_target(printed):
    assert [tuple(row[:2]) + (row[3],) for row in printed[1]] == ROWS


def test_output_names_the_bundled_sample_and_the_parallelism_at_hand(printed):
    assert "text: the sample in bench/data" in printed[0]
    assert "parallelism at hand for the thread rows:" in printed[0]
    assert "a thread wakes another and is woken back in" in printed[0]
    assert "hashlib.sha256 in calls as long as for_search's on a Wikipedia paragraph" in printed[0]


def missing_peer(what: str) -> str | None:
    peer = {LEVENSHTEIN: "rapidfuzz", NEOLOGDN: "neologdn"}.get(what)
    return peer if peer and importlib.util.find_spec(peer) is None else None


@pytest.mark.parametrize("index", range(len(ROWS)), ids=[f"{w} ({t})" for w, t, _ in ROWS])
def test_each_row_has_a_value_or_says_why_not(printed, index):
    what, text, value, target, met = printed[1][index]
    if what == SYNONYMS:
        assert value.startswith("not available")
    elif peer := missing_peer(what):
        assert value == f"{peer} not installed"
    else:
        number = int(value) if target == "== 0" else float(value)
        assert number >= 0
        op, bound = target.split()
        if number != float(bound):  # a value printed equal to its bound may have been rounded there
            assert met == ("yes" if COMPARE[op](number, float(bound)) else "no")
