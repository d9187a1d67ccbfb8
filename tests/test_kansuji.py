"""Kanji numerals to ASCII digits (option kansuji_to_arabic)."""

from hypothesis import given, settings
from hypothesis import strategies as st
import pytest

from zenkor import Normalizer

KANJI_DIGITS = "〇一二三四五六七八九"
U128_MAX = 2**128 - 1


def k2a(text):
    return Normalizer("none", kansuji_to_arabic=True).normalize(text)


def kanji_digits(number):
    return "".join(KANJI_DIGITS[int(d)] for d in str(number))


@pytest.mark.parametrize(
    "text, want",
    [
        ("", ""),
        ("二千二十四年", "2024年"),
        ("二〇二四年", "2024年"),
        ("三百", "300"),
        ("百二十三万四千五百六十七", "1234567"),
        ("十人", "10人"),
        ("一人と一つ", "1人と1つ"),
        ("百円 / 十万円", "100円 / 100000円"),
        ("九七式", "97式"),
        ("〇〇七", "7"),
        ("零零", "0"),
        ("一二三四", "1234"),
        ("二千歳", "2000歳"),  # idioms are tried only where a run starts
        ("三八百屋", "3800屋"),  # ... so 八百屋 inside a run is no idiom
        ("一万一億", "100010000"),  # big units need not descend
        ("一万万", "20000"),
        ("〇十", "10"),  # a zero before a unit counts as one in a kanji group
        ("二京円", "20000000000000000円"),
        ("二京", "20000000000000000"),
        ("二京\U00031350", "20000000000000000\U00031350"),  # past the last ideograph
        ("五番", "5番"),
    ]
    # A lone digit kanji before each counter suffix.
    + [("一" + c, "1" + c) for c in "つ人位個円回年度才日月枚歳番章"],
)
def test_kanji_runs_that_are_quantities(text, want):
    assert k2a(text) == want


@pytest.mark.parametrize(
    "text",
    [
        "万円", "万一", "万", "億万",  # big units only, or a big unit first
        "一般", "統一", "十",  # a lone numeral kanji inside a word
        "数百", "何千", "幾万", "不二",  # vague or negated
        "三郎", "一郎", "十一郎",  # names
        "〇〇さん",
        "二三日",  # two digit kanji without 〇: a range
        "一二三",
        "八百屋", "八百長", "十八番", "五十嵐", "千歳", "五月雨", "一石二鳥", "百人一首",
        "十人十色", "五月蝿",  # would read 10人, 5月 without the idiom
        "十分",  # 分 is no counter
        "八百万円",  # the idiom 八百万 is taken first
        "二京人",  # 京 before another ideograph is the capital, not 10^16
        "二京\U0003134F",  # ... up to the end of the ideographs beyond the BMP
    ],
)
def test_kanji_runs_that_stay(text):
    assert k2a(text) == text


@pytest.mark.parametrize(
    "text, want",
    [
        # The context characters are read at the text's very edges too.
        ("一", "一"),
        ("三人", "3人"),
        ("第三", "第3"),
        ("数", "数"),
        ("何十", "何十"),
        ("十郎", "十郎"),
        ("第〇〇", "第〇〇"),
        # Context only matters next to the run, not further away.
        ("数 百", "数 百"),
        ("数の三百", "数の300"),
        ("三百の数", "300の数"),
        (".五万", ".50000"),  # only ASCII digits after a "." are a fraction
    ],
)
def test_context_at_the_edges(text, want):
    assert k2a(text) == want


@pytest.mark.parametrize(
    "text, want",
    [
        ("1万2千円", "12000円"),
        ("2.5億", "250000000"),
        ("1,000万", "10000000"),
        ("1万2", "10002"),
        ("3千", "3000"),
        ("1億2千万", "120000000"),
        ("0十万", "0"),  # an explicit zero before a unit counts as zero here
        ("1,000.5万", "10005000"),
        ("1.23456万", "1.23456万"),  # not a whole number
        ("1万万", "1万万"),
        ("1二", "1二"),
        ("1.5十", "1.5十"),
        ("二0二4", "二0二4"),  # starts with a kanji but holds ASCII digits
        ("１万", "１万"),  # full-width digits are ordinary characters
        ("数1万", "数10000"),  # no context rule on the mixed path
        ("2024", "2024"),
        ("3.14", "3.14"),
        ("1,000", "1,000"),
    ],
)
def test_mixed_and_ascii_runs(text, want):
    assert k2a(text) == want


@pytest.mark.parametrize(
    "text",
    ["1,0000万", "12,0345万", "0,5万", "1,2万", "1,000,0000万", ".5万", "約.5万", "〇.5万"],
)
def test_digits_after_a_separator_no_run_took_stay(text):
    # Reading the digits after such a comma as a number of their own would
    # turn 1,0000万 into 1,0, and .5万 (half of 万) into .50000.
    assert k2a(text) == text


@pytest.mark.parametrize(
    "text, want",
    [
        # A "." after a "." is part of an ellipsis: the digits after it start
        # a number, which a unit after them scales.
        ("...5千円", "...5000円"),
        ("a..5万", "a..50000"),
        ("1..5万", "1..50000"),
        ("..1万2千", "..12000"),
        ("...05千", "...5000"),
        ("..1,000万", "..10000000"),
        ("..2.5億", "..250000000"),
        # One "." is still a decimal point, also with dots further back.
        ("x.5万", "x.5万"),
        ("1.5万", "15000"),
        (". .5万", ". .5万"),
        (".5万..5万", ".5万..50000"),
        ("1..5", "1..5"),  # no kanji: nothing to convert
    ],
)
def test_digits_after_an_ellipsis_start_a_number(text, want):
    assert k2a(text) == want


def test_an_ellipsis_from_nfkc_is_no_decimal_point():
    n = Normalizer("for_compare")
    assert n.normalize("えっ…5千円") == n.normalize("えっ5千円") == "えっ5000円"


@pytest.mark.parametrize(
    "text, want",
    [
        (kanji_digits(U128_MAX), str(U128_MAX)),
        (kanji_digits(U128_MAX + 1), kanji_digits(U128_MAX + 1)),
        ("九" * 39, "九" * 39),  # 39 digits, but above 2^128 - 1
        ("一" + "〇" * 38, "1" + "0" * 38),  # 39 digits that fit
        ("一" * 40, "一" * 40),
        ("一" + "〇" * 22 + "京", "1" + "0" * 38),
        ("一" + "〇" * 23 + "京", "一" + "〇" * 23 + "京"),  # group times 京 overflows
        ("九" * 39 + "万", "九" * 39 + "万"),  # the group itself overflows
        (f"{U128_MAX}万", f"{U128_MAX}万"),
        (f"{U128_MAX // 10**4}万", str(U128_MAX // 10**4 * 10**4)),
        # 38 fraction digits still scale; with 39, 10^39 does not fit in 128 bits.
        ("0.0001" + "0" * 34 + "万", "1"),
        ("0.0001" + "0" * 35 + "万", "0.0001" + "0" * 35 + "万"),
    ],
)
def test_128_bit_limits(text, want):
    assert k2a(text) == want


def test_a_failed_run_does_not_disturb_its_neighbours():
    big = "九" * 40
    assert k2a(f"三百{big}。二十人") == f"三百{big}。20人"
    assert k2a(f"{U128_MAX + 1}万と三百") == f"{U128_MAX + 1}万と300"


def test_option_inside_every_preset(preset):
    text = "二千二十四年に百二十人"
    on = Normalizer(preset, kansuji_to_arabic=True, arabic_to_kansuji=False).normalize(text)
    off = Normalizer(preset, kansuji_to_arabic=False).normalize(text)
    assert on == "2024年に120人"
    assert off == text


def test_runs_before_the_era_stage():
    # The kanji year becomes digits first, then the era stage reads it.
    n = Normalizer("none", kansuji_to_arabic=True, era_to_western=True)
    assert n.normalize("平成三十年") == "2018年"
    assert n.normalize("令和元年") == "2019年"


@settings(max_examples=300)
@given(st.integers(min_value=11, max_value=10**20 - 1).filter(lambda n: n not in (100, 1000)))
def test_round_trip_through_kanji(n):
    # Every kanji spelling the other direction writes reads back as the same
    # number (10, 100 and 1000 become a lone 十 百 千, which is no quantity).
    kanji = Normalizer("none", arabic_to_kansuji=True).normalize(str(n))
    assert k2a(kanji) == str(n)


RUN_CHARS = "〇零一二三四五六七八九十百千万億兆京0123456789,."


@settings(max_examples=300)
@given(st.text(alphabet=st.sampled_from(list(RUN_CHARS + "第人郎式数円屋歳 a"))))
def test_only_numeral_runs_are_rewritten(text):
    out = k2a(text)
    assert [c for c in out if c not in RUN_CHARS] == [c for c in text if c not in RUN_CHARS]
