"""ASCII digits to kanji numerals (option arabic_to_kansuji)."""

import pytest

from zenkor import Normalizer

U128_MAX = 2**128 - 1


def a2k(text):
    return Normalizer("none", arabic_to_kansuji=True).normalize(text)


@pytest.mark.parametrize(
    "text, want",
    [
        ("", ""),
        ("0", "〇"),
        ("000", "〇"),
        ("007", "七"),
        ("10", "十"),
        ("11", "十一"),
        ("20", "二十"),
        ("105", "百五"),
        ("1000", "千"),
        ("1100", "千百"),
        ("1234", "千二百三十四"),
        ("2020", "二千二十"),
        ("10000", "一万"),  # a leading one is kept before a group marker
        ("12345", "一万二千三百四十五"),
        ("10000000", "千万"),
        ("100000001", "一億一"),  # empty groups get no marker
        ("1000000000000", "一兆"),
        ("10000000000000000", "一京"),
        ("99999999999999999999", "九千九百九十九京九千九百九十九兆九千九百九十九億九千九百九十九万九千九百九十九"),
        ("3.14", "三.十四"),
        ("1,000", "一,〇"),
        ("-5", "-五"),
        ("１２", "１２"),
        ("第3章は12ページ", "第三章は十二ページ"),
    ],
)
def test_digit_runs(text, want):
    assert a2k(text) == want


@pytest.mark.parametrize(
    "digits",
    [
        "100000000000000000000",  # 10^20: the 京 group would need five digits
        str(U128_MAX),
        str(U128_MAX + 1),  # 39 digits beyond 128 bits
        "9" * 40,
    ],
)
def test_runs_without_a_rendering_stay(digits):
    assert a2k(f"a{digits}b") == f"a{digits}b"


def test_leading_zeros_do_not_count_towards_the_limits():
    assert a2k("0" * 50 + "12") == "十二"


def test_option_inside_every_preset(preset):
    text = "第3章に120人"
    on = Normalizer(preset, arabic_to_kansuji=True, kansuji_to_arabic=False).normalize(text)
    off = Normalizer(preset, arabic_to_kansuji=False).normalize(text)
    assert on == "第三章に百二十人"
    assert off == text


def test_runs_before_the_era_stage():
    # The letter form takes ASCII digits only, so once they are kanji it no
    # longer matches; the name form reads kanji years.
    n = Normalizer("none", arabic_to_kansuji=True, era_to_western=True)
    assert n.normalize("平成30年") == "2018年"
    assert n.normalize("H30年") == "H三十年"
