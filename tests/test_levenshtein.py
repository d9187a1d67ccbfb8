"""Character-level edit distance against the textbook two-row table."""

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


@settings(max_examples=300, deadline=None)
@given(texts, texts)
def test_equals_two_row_table(a, b):
    assert levenshtein(a, b) == reference(a, b)


@settings(max_examples=50, deadline=None)
@given(st.text(max_size=300), st.text(max_size=300))
def test_any_text_equals_two_row_table(a, b):
    assert levenshtein(a, b) == reference(a, b)
