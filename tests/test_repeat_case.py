"""Repeated characters and letter case."""

import pytest

from zenkor import Normalizer


@pytest.mark.parametrize(
    ("limit", "text", "want"),
    [
        (2, "", ""),
        (2, "！！！！", "！！"),
        (2, "ああああ", "ああ"),
        (2, "wwww1111....", "wwww1111...."),
        (2, "」」」", "」」」"),
        (2, "(((]]]>>>}}}", "(((]]]>>>}}}"),
        (2, "〈〈〈【【【】】】", "〈〈〈【【【】】】"),
        (2, "（（（［［［｛｛｛｝｝｝", "（（（［［［｛｛｛｝｝｝"),
        (2, "    ", "  "),
        (2, "\n\n\n", "\n\n"),
        (2, "！！a！！！", "！！a！！"),
        (2, "!!!???", "!!??"),  # other ASCII punctuation is shortened
        (2, "ＡＡＡ", "ＡＡ"),  # fullwidth letters are not exempt
        (2, "〇〇〇〇", "〇〇"),
        (2, "😀😀😀", "😀😀"),  # four-byte characters count as one
        (2, "ああ.ああ", "ああ.ああ"),  # an exempt character ends the run
        (3, "ーーーーー", "ーーー"),
        (1, "ーーー", "ー"),
        (1, "あいあい", "あいあい"),
        (1, "！！ａ！！", "！ａ！"),
        (100, "あ" * 150, "あ" * 100),
    ],
)
def test_repeat_limit(limit, text, want):
    assert Normalizer("none", repeat_limit=limit).normalize(text) == want


@pytest.mark.parametrize(
    ("action", "text", "want"),
    [
        ("lower", "", ""),
        ("lower", "ＡＢＣ", "ａｂｃ"),
        ("lower", "ΟΔΟΣ", "οδος"),
        ("lower", "ΟΔΟΣ ΣΑ", "οδος σα"),  # final form only at the end of a word
        ("lower", "Σ", "σ"),  # no cased letter before it
        ("lower", "ΑΣ'Α", "ασ'α"),  # the apostrophe is case-ignorable: a cased letter follows
        ("lower", "İ", "i\u0307"),
        ("lower", "ABC漢字カナ", "abc漢字カナ"),
        ("lower", "\U00010400", "\U00010428"),  # four-byte letters
        ("upper", "straße", "STRASSE"),
        ("upper", "ﬁ", "FI"),
        ("upper", "ａｂｃ", "ＡＢＣ"),
        ("upper", "abc漢字", "ABC漢字"),
    ],
)
def test_case(action, text, want):
    assert Normalizer("none", case=action).normalize(text) == want


def test_case_keep_leaves_text_alone():
    text = "ＡＢＣ straße ΟΔΟΣ"
    assert Normalizer("none", case="keep").normalize(text) == text
