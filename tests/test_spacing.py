"""White space runs and spacing between CJK and Latin text."""

import pytest

from zenkor import Normalizer


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        ("a\t \u3000b", "a b"),
        ("a \n b", "a \n b"),  # a line feed is not collapsible
        ("  a  ", " a "),  # runs at the ends become one space each
        ("\u3000", " "),
        ("a\u00a0\u2003b", "a\u00a0\u2003b"),  # other Unicode spaces are left alone
        ("日本\u3000\u3000語", "日本 語"),
    ],
)
def test_collapse_spaces(text, want):
    assert Normalizer("none", collapse_spaces=True).normalize(text) == want


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        ("日本 語", "日本語"),
        ("日本 ABC", "日本ABC"),
        ("ABC 日本", "ABC日本"),
        ("ABC DEF", "ABC DEF"),
        (" 日本 ", " 日本 "),  # ends stay
        ("日本  語", "日本語"),
        ("日本   ", "日本   "),  # a trailing run has nothing after it
        ("a \u3000b", "a\u3000b"),  # U+3000 is CJK
        ("a\u3000 b", "a\u3000b"),
        ("a 𠮷", "a𠮷"),  # plane 2
        ("a 한", "a 한"),  # hangul is not CJK here
        ("a ｡ b", "a ｡ b"),  # U+FF61 is not CJK here
        ("a ｦ b", "aｦb"),
        ("a\t日", "a\t日"),  # only U+0020 is removed
        ("日 a b", "日a b"),
        ("日本語 \t 漢字", "日本語\t漢字"),  # spaces next to a tab see the tab and CJK
    ],
)
def test_cjk_spacing_remove(text, want):
    assert Normalizer("none", cjk_spacing="remove").normalize(text) == want


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        ("日本語ABC", "日本語 ABC"),
        ("ABC日本語", "ABC 日本語"),
        ("第1回", "第 1 回"),
        ("日本、ABC", "日本、ABC"),
        ("（ABC）", "（ABC）"),
        ("日本 ABC", "日本 ABC"),
        ("０a", "０ a"),  # fullwidth forms are CJK, not punctuation
        ("a𠮷b", "a 𠮷 b"),
        ("aｱ", "a ｱ"),
        ("a한", "a한"),
        ("a－b", "a－b"),  # fullwidth punctuation on one side
        ("é日", "é日"),  # only ASCII letters and digits count
    ],
)
def test_cjk_spacing_insert(text, want):
    assert Normalizer("none", cjk_spacing="insert").normalize(text) == want


def test_cjk_spacing_keep_leaves_text_alone():
    text = "日本 語ABC"
    assert Normalizer("none", cjk_spacing="keep").normalize(text) == text
