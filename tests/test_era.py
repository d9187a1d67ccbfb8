"""Japanese era years to Western years (option era_to_western)."""

import pytest

from zenkor import Normalizer


def era(text):
    return Normalizer("none", era_to_western=True).normalize(text)


@pytest.mark.parametrize(
    "text, want",
    [
        ("", ""),
        ("令和元年", "2019年"),
        ("令和5年3月", "2023年3月"),
        ("平成30年度", "2018年度"),
        ("平成三十一年", "2019年"),
        ("昭和六十四年", "1989年"),
        ("明治45年", "1912年"),
        ("大正15年", "1926年"),
        ("明治元年", "1868年"),
        # Far from the previous 年, near the next one, and with several 年 around.
        ("あ" * 40 + "令和元年" + "い" * 40, "あ" * 40 + "2019年" + "い" * 40),
        ("年" * 3 + "x" * 30 + "平成三十一年年", "年" * 3 + "x" * 30 + "2019年年"),
        ("令和元" + "あ" * 10 + "年", "令和元" + "あ" * 10 + "年"),
        ("うう" * 20 + " H31年と S64年", "うう" * 20 + " 2019年と 1989年"),
        ("H30年", "2018年"),
        ("R01年", "2019年"),
        ("M1年", "1868年"),
        ("T15年", "1926年"),
        ("令和99年", "2117年"),
        ("令和九十九年", "2117年"),
        ("平成十年", "1998年"),
        ("平成一十年", "1998年"),
        ("平成十五年", "2003年"),
        ("平成二年", "1990年"),
        ("第H30年", "第2018年"),  # a non-ASCII character before the letter
        ("(S64年)", "(1989年)"),
        ("_H30年", "_2018年"),  # only ASCII letters and digits block the letter form
        ("昭和64年と平成元年", "1989年と1989年"),
        ("平成30年平成31年", "2018年2019年"),
    ],
)
def test_era_years(text, want):
    assert era(text) == want


@pytest.mark.parametrize(
    "text",
    [
        "平成32年", "昭和65年", "令和0年", "明治四十六年", "大正16年",  # out of range
        "令和100年",  # three digits
        "昭和40年代", "平成年間", "平成元年間",
        "平成30", "令和", "令和元", "H", "H30",  # the text ends early
        "AH30年", "5H30年",  # a letter or digit before the letter form
        "h30年",
        "H元年", "H三十年",  # the letter form takes ASCII digits only
        "平成３０年",
        "平成 30年",
        "平成二三年",
        "平成〇年",
    ],
)
def test_not_era_years(text):
    assert era(text) == text


def test_option_inside_every_preset(preset):
    assert Normalizer(preset, era_to_western=True).normalize("令和5年3月") == "2023年3月"
    assert Normalizer(preset, era_to_western=False).normalize("令和5年3月") == "令和5年3月"
