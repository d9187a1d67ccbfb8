"""Kanji forms: variation selectors, traditional forms, variant kanji."""

import pytest

from zenkor import Normalizer

VS17 = "\U000E0100"  # first ideographic variation selector


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        ("葛" + VS17, "葛"),
        ("葛\U000E01EF", "葛"),  # last ideographic selector
        ("a\ufe00b\ufe0ec", "abc"),  # both ends of the standardized range
        ("❤\ufe0f", "❤\ufe0f"),  # VS16 belongs to emoji handling, not here
        ("x\U000E00FF\U000E01F0", "x\U000E00FF\U000E01F0"),  # just outside the range
        ("辻" + VS17 + "子" + VS17 + "ab", "辻子ab"),
    ],
)
def test_remove_variation_selectors(text, want):
    assert Normalizer("none", remove_variation_selectors=True).normalize(text) == want


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        ("國學", "国学"),
        ("擧舉", "挙挙"),
        ("瓣辨辯", "弁弁弁"),
        ("鬥鬪", "闘闘"),
        ("乘", "乗"),  # first source
        ("龜", "亀"),  # last source
        ("国学", "国学"),  # modern forms are not sources
        ("ab國cd", "ab国cd"),
        ("髙", "髙"),  # a variant kanji, not a traditional form
    ],
)
def test_kyujitai_to_shinjitai(text, want):
    assert Normalizer("none", kyujitai_to_shinjitai=True).normalize(text) == want


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        ("髙橋", "高橋"),
        ("𠮷野家", "吉野家"),  # four-byte source, also the last one
        ("冨", "富"),  # first source
        ("渕", "淵"),
        ("篭", "籠"),
        ("嶋嶌", "島島"),
        ("﨑", "崎"),
        ("淵籠", "淵籠"),  # targets stay
        ("國", "國"),  # a traditional form, not a variant
        ("\U00020BB6\U00020BB8", "\U00020BB6\U00020BB8"),  # neighbours of 𠮷
    ],
)
def test_unify_itaiji(text, want):
    assert Normalizer("none", unify_itaiji=True).normalize(text) == want


def test_both_tables_in_either_state_give_final_forms():
    text = "國髙𠮷龜"
    both = Normalizer("none", kyujitai_to_shinjitai=True, unify_itaiji=True)
    assert both.normalize(text) == "国高吉亀"
    assert both.normalize(both.normalize(text)) == "国高吉亀"
