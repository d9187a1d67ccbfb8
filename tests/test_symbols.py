"""Quotes, dashes, tildes and prolonged sound marks."""

import pytest

from zenkor import Normalizer


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        ("“引用”", '"引用"'),
        ("„a‟", '"a"'),
        ("‘a’", "'a'"),
        ("‚a‛", "'a'"),
        ("＇a＇", "'a'"),
        ("＂a＂", '"a"'),
        ("「a」『b』", "「a」『b』"),
        ("〝a〞〟", "〝a〞〟"),  # double prime quotation marks are not quotes here
        ("′″", "′″"),  # primes either
    ],
)
def test_unify_quotes(text, want):
    assert Normalizer("none", unify_quotes=True).normalize(text) == want


HYPHENS = "\u00ad\u058a\u2010\u2011\u2012\u2013\u2014\u2015\u2212\ufe58\ufe63\uff0d"
TILDES = "~\u02dc\u2053\u223c\u223d\u223e\u301c\uff5e"

# (hyphens, tildes, prolonged), text, want
CASES = [
    ((True, False, False), "0120−3456", "0120-3456"),
    ((True, False, False), "a\u00adb", "a-b"),  # the soft hyphen becomes visible
    ((True, False, False), HYPHENS, "-" * len(HYPHENS)),
    ((True, False, False), "\u2043\u2016", "\u2043\u2016"),  # hyphen bullet stays
    ((True, False, False), "ア─a━", "ア-a-"),  # without prolonged a bar is a dash anywhere
    ((True, False, False), "~ｰ", "~ｰ"),
    ((False, True, False), "10～20 10〜20 10~20", "10〜20 10〜20 10〜20"),
    ((False, True, False), TILDES, "〜" * len(TILDES)),
    ((False, True, False), "a−b", "a−b"),
    ((False, False, True), "ｰ", "ー"),
    ((False, False, True), "ア─", "アー"),
    ((False, False, True), "a─", "a─"),
    ((False, False, True), "─ア", "─ア"),  # nothing before the bar
    ((False, False, True), "ア───", "アーーー"),  # each bar sees the ー written before it
    ((False, False, True), "ぁ─ゖ━", "ぁーゖー"),  # ends of the hiragana range
    ((False, False, True), "ゟ─", "ゟ─"),  # U+309F is past it
    ((False, False, True), "ァ─ヺ─", "ァーヺー"),
    ((False, False, True), "ヽ─", "ヽ─"),
    ((False, False, True), "ｦ─ﾟ─", "ｦーﾟー"),  # halfwidth katakana and sound marks
    ((False, False, True), "ｰ─", "ーー"),  # ｰ became ー, so the bar follows kana
    ((False, False, True), "ア-─", "ア-─"),
    ((True, False, True), "a━", "a-"),
    ((True, False, True), "ア━", "アー"),
    ((True, False, True), "・─", "・-"),  # the middle dot is not kana
    ((True, False, True), "ア‐─", "ア--"),  # the bar follows "-" in the output
    ((False, True, True), "ア~─", "ア〜─"),
    ((True, True, True), "ー─〜~", "ーー〜〜"),
]


@pytest.mark.parametrize(("flags", "text", "want"), CASES)
def test_unify_symbols(flags, text, want):
    hyphens, tildes, prolonged = flags
    n = Normalizer("none", unify_hyphens=hyphens, unify_tildes=tildes, unify_prolonged=prolonged)
    assert n.normalize(text) == want


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        ("ラーーーメン", "ラーメン"),
        ("〜〜", "〜"),
        ("ーー〜〜ー", "ー〜ー"),
        ("ー〜ー〜", "ー〜ー〜"),
        ("ｰｰ~~", "ｰｰ~~"),  # only ー and 〜 themselves
        ("ああ", "ああ"),
    ],
)
def test_collapse_prolonged_run(text, want):
    assert Normalizer("none", collapse_prolonged_run=True).normalize(text) == want


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("ア───ト", "アート"),  # bars become marks, then the run collapses
        ("ｰｰｰ", "ー"),
        ("10～～20", "10〜20"),
    ],
)
def test_symbols_then_collapse(text, want):
    n = Normalizer("none", unify_hyphens=True, unify_tildes=True, unify_prolonged=True, collapse_prolonged_run=True)
    assert n.normalize(text) == want
