"""Removal of enclosed and compatibility characters and of symbols."""

import pytest

from zenkor import Normalizer


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        ("①㈱㌔﨑", ""),
        ("株キロ", "株キロ"),
        ("a\u2460\u24ffb", "ab"),  # enclosed alphanumerics, both ends
        ("a\u3200\u33ffb", "ab"),  # enclosed letters and squared words, both ends
        ("a\uf900\ufaffb", "ab"),  # compatibility ideographs, both ends
        ("\u245f\u2500\u31ff\u3400\uf8ff\ufb00", "\u245f\u2500\u31ff\u3400\uf8ff\ufb00"),  # neighbours stay
        ("\U0002f800", "\U0002f800"),  # the supplementary compatibility block is not included
    ],
)
def test_remove_cjk_compat(text, want):
    assert Normalizer("none", remove_cjk_compat=True).normalize(text) == want


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        # digits on both sides
        ("1,234円", "1234円"),
        ("1,234,567", "1234567"),
        ("1,23", "1 23"),
        ("1,2345", "1 2345"),
        ("1,234a", "1234a"),  # three digits then a letter is still a separator
        ("1,234.5", "1234.5"),
        ("3.14", "3.14"),
        ("12:30", "12 30"),
        ("2024/01/01", "2024 01 01"),
        ("1\u202f000", "1 000"),
        ("1、2", "1 2"),
        ("1..2", "12"),  # the second "." follows a ".", not a digit
        ("1,,234", "1234"),
        ("1.a", "1a"),
        ("a-1", "a1"),
        ("1-", "1"),
        ("1:2:3", "1 2 3"),
        # neighbours come from the input: the "," sees the deleted ".", not the 1
        ("1.,5", "15"),
        ("１，２３４", "１２３４"),  # fullwidth digits are not digits here
        # everything else
        ("「東京」、大阪。", "東京大阪"),
        ("〇々", "〇"),
        ("・ー", "・ー"),
        (",1", "1"),  # a symbol at the start goes even before a digit
        (".5", "5"),
        ("a\tb\nc\rd\fe f", "a\tb\nc\rd\fe f"),
        ("a\x0bb\x00c\x7fd", "abcd"),
        ("a\u3000b", "a\u3000b"),
        ("a\u2000b\u206fc", "abc"),
        ("a\u3001b\u303fc", "abc"),
        ("ａ！＼｀｛･ｦ", "ａｦ"),
        ("©°→■★￥", "©°→■★￥"),
        ("#tag @user", "tag user"),
    ],
)
def test_remove_symbols(text, want):
    assert Normalizer("none", remove_symbols=True).normalize(text) == want


@pytest.mark.parametrize(
    ("preset", "options", "text", "want"),
    [
        ("for_compare", {}, "①㈱", "1株"),  # expanded early, so nothing is left to delete
        ("none", {"remove_cjk_compat": True}, "①㈱", ""),
        ("none", {"nfkc": True, "remove_cjk_compat": True}, "a⓫b", "ab"),  # ⓫ has no NFKC form
    ],
)
def test_cjk_compat_removal_after_folding(preset, options, text, want):
    assert Normalizer(preset, **options).normalize(text) == want
