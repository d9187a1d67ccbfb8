"""Compatibility folding: the CJK compatibility table, NFKC and halfwidth kana."""

import unicodedata

import pytest
from hypothesis import given, strategies as st

import zenkor

def run(text, **options):
    return zenkor.Normalizer("none", **options).normalize(text)


@pytest.mark.parametrize(
    "text, want",
    [
        ("⑳㈱㍍", "20(株)メートル"),
        ("①⑨⑩", "1910"),
        ("髙﨑さんと齋藤さん", "高崎さんと斎藤さん"),
        ("邉邊澤濵德齊龍", "辺辺沢浜徳斉竜"),
        ("㈲㈳㈵㈶㈹㈻", "(有)(社)(特)(財)(代)(学)"),
        ("㌔㌘㌢㌫㍉㍑", "キログラムセンチパーセントミリリットル"),
        # Outside the table: left for other stages.
        ("㈴㈷㈸㈺⑴⒈㉑㍻", "㈴㈷㈸㈺⑴⒈㉑㍻"),
        ("abc ①", "abc 1"),
    ],
)
def test_expand_cjk_compat(text, want):
    assert run(text, expand_cjk_compat=True) == want


@pytest.mark.parametrize(
    "text, want",
    [
        ("ＡＢＣ１２３", "ABC123"),
        ("ｶﾀｶﾅ㍻", "カタカナ平成"),
        # Would decompose to a space plus a combining mark: kept as written.
        ("\u00a8\u00af\u00b4\u00b8\u02d8\u02dd\u037a\u0385\u1fbf\u1fc1\u1fee\u2017\u203e\ufe49\ufe4c\ufe70\ufe7e\uffe3",
         "\u00a8\u00af\u00b4\u00b8\u02d8\u02dd\u037a\u0385\u1fbf\u1fc1\u1fee\u2017\u203e\ufe49\ufe4c\ufe70\ufe7e\uffe3"),
        ("\ufc5e\ufc63\ufe77\ufe7d", "\ufc5e\ufc63\ufe77\ufe7d"),
        # Nothing composes or reorders across a kept character.
        ("e\u00a8\u0301", "e\u00a8\u0301"),
        ("e\u0301\u00a8e\u0301", "\u00e9\u00a8\u00e9"),
        # A character NFKC keeps still takes what follows it.
        ("日本e\u0301", "日本\u00e9"),
        ("가\u11a8가", "각가"),
        ("\u0301e\u0301", "\u0301\u00e9"),
        ("ＡＢ漢\u212bｶﾞ", "AB漢\u00c5ガ"),
        # Sound marks after a kana join it, whatever their form.
        ("か゛", "が"),
        ("ハ゜", "パ"),
        ("ｶﾞ", "ガ"),
        ("ｶ゛", "ガ"),
        ("か\uff9e", "が"),
        ("ゝ゛", "ゞ"),
        # After a kana without a voiced form: the combining mark stays after it.
        ("あ゛", "あ\u3099"),
        ("ｱﾞ", "ア\u3099"),
        # Anywhere else a mark is the spacing mark, never a space + combining mark.
        ("゛", "゛"),
        ("a゛", "a゛"),
        ("\u3099", "\u309b"),
        ("a\u3099", "a\u309b"),
        ("a\u309a", "a\u309c"),
        ("ﾟ", "\u309c"),
        ("か゛゛", "が゛"),
        ("漢゜字", "漢\u309c字"),
    ],
)
def test_nfkc(text, want):
    assert run(text, nfkc=True) == want


@pytest.mark.parametrize(
    "text, want",
    [
        # The small katakana of Ainu (U+31F0-U+31FF) are kana: a mark after one
        # joins it as the combining mark, for none has a precomposed form.
        ("ㇷ\u309a", "ㇷ\u309a"),
        ("チェㇷ\u309aオハウ", "チェㇷ\u309aオハウ"),
        ("ㇷ゜", "ㇷ\u309a"),
        ("ㇷﾟ", "ㇷ\u309a"),
        ("ㇰ゛", "ㇰ\u3099"),  # the first of the block
        ("ㇿ\u3099", "ㇿ\u3099"),  # the last
        ("ㇷ゜゜", "ㇷ\u309a゜"),  # a second mark follows a mark
        # Just outside the block a mark is still the spacing one.
        ("\u31e3\u309a", "\u31e3\u309c"),
        ("\u3200\u309a", "(\u1100)\u309c"),
    ],
)
def test_nfkc_small_katakana_take_sound_marks(text, want):
    assert run(text, nfkc=True) == want


def test_small_katakana_with_halfwidth_mark_in_a_preset():
    assert zenkor.Normalizer("for_search").normalize("チェㇷﾟオハウ") == "チェㇷ\u309aオハウ"


NFKC_PASSTHROUGH = {
    *map(chr, [0xA8, 0xAF, 0xB4, 0xB8, 0x37A, 0x384, 0x385, 0x1FBD, 0x1FBF, 0x1FC0, 0x1FC1, 0x1FCD, 0x1FCE,
               0x1FCF, 0x1FDD, 0x1FDE, 0x1FDF, 0x1FED, 0x1FEE, 0x1FFD, 0x1FFE, 0x2017, 0x203E, 0xFE70, 0xFE72,
               0xFE74, 0xFFE3]),
    *map(chr, range(0x2D8, 0x2DE)), *map(chr, range(0xFC5E, 0xFC64)), *map(chr, range(0xFE49, 0xFE4D)),
    *map(chr, range(0xFE76, 0xFE7F)),
}
SOUND_MARKS = set("\u3099\u309a\u309b\u309c\uff9e\uff9f")


def test_passthrough_set_is_what_would_gain_a_space():
    # The kept characters are those that NFKC would turn into a space followed
    # by something, apart from the sound marks, plus four Arabic medial forms.
    gains_space = set()
    for ch in map(chr, range(0x10000)):
        nfkd = unicodedata.normalize("NFKD", ch)
        if len(nfkd) > 1 and nfkd[0] == " ":
            gains_space.add(ch)
    assert gains_space - SOUND_MARKS == NFKC_PASSTHROUGH - set("\ufe77\ufe79\ufe7b\ufe7d")
    assert all(run(ch, nfkc=True) == ch for ch in NFKC_PASSTHROUGH)


# Assigned characters whose normal form is stable across Unicode versions, so
# the standard library's tables can serve as the reference.
ordinary = st.characters(
    exclude_categories=["Cs", "Cn", "Co"],
    exclude_characters="".join(NFKC_PASSTHROUGH | SOUND_MARKS),
)


@given(text=st.text(ordinary))
def test_nfkc_without_exceptions_is_standard_nfkc(text):
    assert run(text, nfkc=True) == unicodedata.normalize("NFKC", text)


@pytest.mark.parametrize(
    "text, want",
    [
        ("ｶﾞｷﾞﾊﾟ", "ガギパ"),
        ("ｳﾞｨｰﾅｽ", "ヴィーナス"),
        ("｢ｱｲｳ｣｡､･", "「アイウ」。、・"),
        # Marks that do not compose stay halfwidth.
        ("ｱﾞ", "ア\uff9e"),
        ("ﾜﾞｦﾞ", "ワ\uff9eヲ\uff9e"),
        ("ｶﾟ", "カ\uff9f"),
        ("ﾟ", "ﾟ"),
        ("ｶﾞﾞ", "ガ\uff9e"),
        # Only halfwidth bases compose; fullwidth text is left alone.
        ("カﾞ", "カﾞ"),
        ("カタカナ ABC ｱ", "カタカナ ABC ア"),
    ],
)
def test_halfwidth_kana_to_fullwidth(text, want):
    assert run(text, halfwidth_kana_to_fullwidth=True) == want


HALFWIDTH = [chr(c) for c in range(0xFF61, 0xFF9E)]


@pytest.mark.parametrize("mark", ["", "\uff9e", "\uff9f"])
def test_every_halfwidth_kana_matches_its_compatibility_form(mark):
    for ch in HALFWIDTH:
        composed = unicodedata.normalize("NFKC", ch + mark)
        if len(composed) != 1 or ch in "ﾜｦ":  # no composition: base, then the mark as written
            want = unicodedata.normalize("NFKC", ch) + mark
        else:
            want = composed
        assert run(ch + mark, halfwidth_kana_to_fullwidth=True) == want, ch + mark


@pytest.mark.parametrize(
    "options, text, want",
    [
        # Table expansion runs before NFKC, which would turn ① into 1 anyway
        # but would turn ㈱ into (株) with no help and 髙 not at all.
        ({"expand_cjk_compat": True, "nfkc": True}, "髙①ＡＢ", "高1AB"),
        # Expanded characters are gone before the compatibility remover runs.
        ({"expand_cjk_compat": True, "remove_cjk_compat": True}, "①㈱", "1(株)"),
        ({"nfkc": True, "halfwidth_kana_to_fullwidth": True}, "ｶﾞｰﾄﾞ", "ガード"),
    ],
)
def test_stage_order(options, text, want):
    assert run(text, **options) == want
