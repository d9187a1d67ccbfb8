"""Character-level edit distance against the textbook two-row table."""

import random
import subprocess
import sys
import threading
import time

from hypothesis import given, settings
from hypothesis import strategies as st
import pytest

from zenkor import levenshtein


def reference(a: str, b: str) -> int:
    prev = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        cur = [i] + [0] * len(b)
        for j, cb in enumerate(b, 1):
            cur[j] = min(cur[j - 1] + 1, prev[j] + 1, prev[j - 1] + (ca != cb))
        prev = cur
    return prev[-1]


@pytest.mark.parametrize(
    "a, b, want",
    [
        ("", "", 0),
        ("", "abc", 3),
        ("abc", "", 3),
        ("kitten", "sitting", 3),
        ("東京都", "京都府", 2),
        ("ab", "ba", 2),
        ("😀", "a", 1),
        ("😀😀", "😀", 1),
        ("a" * 64, "a" * 63 + "b", 1),
        ("a" * 65, "b" * 65, 65),
        ("x" + "a" * 200 + "y", "a" * 200, 2),
    ],
)
def test_known_distances(a, b, want):
    assert levenshtein(a, b) == want
    assert levenshtein(b=b, a=a) == want


# Small alphabets make matches, and so the interesting cells, frequent; the
# lengths cross the 64-character word size in both arguments.
texts = st.text(alphabet="abcあい😀", max_size=150)


@settings(max_examples=300)
@given(texts, texts)
def test_equals_two_row_table(a, b):
    assert levenshtein(a, b) == reference(a, b)


@settings(max_examples=50)
@given(st.text(max_size=300), st.text(max_size=300))
def test_any_text_equals_two_row_table(a, b):
    assert levenshtein(a, b) == reference(a, b)


@pytest.mark.parametrize("alphabet", ["ab", "abあ😀", "".join(chr(0x4E00 + i) for i in range(500)) + "😀🙂"])
@pytest.mark.parametrize("length", [63, 64, 65, 127, 128, 129, 255, 256, 257])
def test_equals_two_row_table_across_block_edges(alphabet, length):
    # Unrelated texts, and the same text after a few edits (small distances,
    # long runs of matches), with the pattern's length at a block's edge.
    rng = random.Random(length)
    a = "".join(rng.choice(alphabet) for _ in range(length))
    b = "".join(rng.choice(alphabet) for _ in range(length + rng.randrange(40)))
    close = a
    for _ in range(6):
        at = rng.randrange(len(close))
        close = close[:at] + rng.choice(["", rng.choice(alphabet), rng.choice(alphabet) + close[at]]) + close[at + 1 :]
    for x, y in [(a, b), (a, close)]:
        assert levenshtein(x, y) == reference(x, y)


def test_long_comparisons_let_other_threads_run():
    # Comparing two 30,000-character texts takes tens of milliseconds; a
    # thread that wakes every half millisecond gets turns meanwhile only if
    # the comparison runs without the interpreter lock.
    rng = random.Random(7)
    a = "".join(chr(0x4E00 + rng.randrange(2000)) for _ in range(30_000))
    b = "".join(chr(0x4E00 + rng.randrange(2000)) for _ in range(30_000))
    ticks = []
    stop = threading.Event()

    def tick():
        while not stop.is_set():
            ticks.append(None)
            time.sleep(0.0005)

    ticker = threading.Thread(target=tick)
    ticker.start()
    try:
        time.sleep(0.01)
        before = len(ticks)
        levenshtein(a, b)
        during = len(ticks) - before
    finally:
        stop.set()
        ticker.join()
    assert during >= 5


def test_memory_stays_linear_with_many_distinct_characters():
    # 200 000 distinct characters against a short text: a match vector per
    # distinct character and 64-character block would need 5 GB.  Run with a
    # 1 GiB address-space limit in a separate interpreter.
    code = """
import resource
resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))
from zenkor import levenshtein
a = "".join(chr(0x10000 + i) for i in range(200000))
assert levenshtein(a, "xy") == 200000
assert levenshtein("xy" + a[:1000], a) == 199002
"""
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
