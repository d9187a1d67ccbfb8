"""One spelling for ASCII numbers (option canonicalize_numbers)."""

from hypothesis import given, settings
from hypothesis import strategies as st
import pytest

from zenkor import Normalizer


def canon(text):
    return Normalizer("none", canonicalize_numbers=True).normalize(text)


@pytest.mark.parametrize(
    "text, want",
    [
        ("", ""),
        ("007", "7"),
        ("0", "0"),
        ("00", "0"),
        ("0.50", "0.5"),
        ("3.00", "3"),
        ("0.000", "0"),
        ("1.", "1."),
        (".5", ".5"),
        ("-0.50", "-0.5"),
        ("007abc", "7abc"),
        ("第007号", "第7号"),
        ("２０２４", "２０２４"),
        ("価格は0,100円", "価格は100円"),
        ("0" * 60 + "1." + "5" + "0" * 60, "1.5"),  # any length, as text
    ],
)
def test_plain_numbers(text, want):
    assert canon(text) == want


@pytest.mark.parametrize(
    "text, want",
    [
        ("2024-01-05", "2024-1-5"),
        ("2024-01", "2024-1"),
        ("2024-1-5", "2024-1-5"),
        ("2024-02-30", "2024-2-30"),  # no check against the month
        ("0999-01-01", "999-1-1"),
        ("2024-12-31", "2024-12-31"),
        ("日付2024-01-05", "日付2024-1-5"),  # a date at the very end
        ("2024-01-05-", "2024-1-5-"),
        ("2024-01-05 と 2024-02-03", "2024-1-5 と 2024-2-3"),
        ("2024-13-01", "2024-13-01"),
        ("2024-00-10", "2024-00-10"),
        ("2024-01-32", "2024-01-32"),
        ("2024-001-01", "2024-001-01"),
        ("2024-1-5-6", "2024-1-5-6"),
        ("03-1234-5678", "03-1234-5678"),
        ("010-020", "010-020"),
        ("10-20", "10-20"),
        ("02024-01-05", "02024-01-05"),
        ("2024-01x", "2024-1x"),  # the letter hands the first group over as a number
        ("2024-01.50", "2024-1.5"),
        # A chain that ends in a fraction is read group by group as numbers.
        ("1-01-001.50", "1-1-1.5"),
    ],
)
def test_dates_and_hyphenated_groups(text, want):
    assert canon(text) == want


def test_long_chain_of_groups():
    assert canon("01-" * 5000 + "01.50") == "1-" * 5000 + "1.5"
    assert canon("01-" * 5000 + "01") == "01-" * 5000 + "01"


@pytest.mark.parametrize(
    "text",
    ["1.2.3", "192.168.0.1", "01.02.03", "x1.50", "x007", "abc_01", "v2.0", "A0B0", "x.007"],
)
def test_identifiers_and_dotted_sequences_stay(text):
    assert canon(text) == text


@pytest.mark.parametrize(
    "text, want",
    [
        # Digits after a comma the number did not take in keep their zeros.
        ("0,05", "0,05"),
        ("1,0000円", "1,0000円"),
        ("12,0345", "12,0345"),
        # Unchanged from before: short groups, real separators, dates, dots.
        ("12,34", "12,34"),
        ("1,2345", "1,2345"),
        ("1,234,567", "1234567"),
        ("1,000.50", "1000.5"),
        ("2024-01-05,1", "2024-1-5,1"),
        ("1.2.3,05", "1.2.3,05"),
        # Only a comma right after a digit: elsewhere digits start a number.
        ("a,05", "a,5"),
        (",05", ",5"),
        ("、05", "、5"),
        # Digits after a "." are a fraction even with no digit before it.
        (".05", ".05"),
        ("p<.05", "p<.05"),
        ("打率.050", "打率.050"),
        ("-.050", "-.050"),
        ("１.05", "１.05"),
    ],
)
def test_separator_not_taken_by_the_number(text, want):
    assert canon(text) == want


@pytest.mark.parametrize(
    "text, want",
    [
        # A "." after a "." is part of an ellipsis (NFKC writes "…" as "..."):
        # the digits after it are a number of their own and lose their zeros.
        ("a..05", "a..5"),
        ("...05", "...5"),
        ("1..05", "1..5"),
        ("x..007", "x..7"),
        ("えっ...007円", "えっ...7円"),
        ("...1,000.50", "...1000.5"),
        ("...2024-01-05", "...2024-1-5"),
        ("1.2..05", "1.2..5"),
        ("1..5", "1..5"),
        # One "." is still a decimal point, also when dots follow later.
        (".05", ".05"),
        ("x.05", "x.05"),
        ("1.05", "1.05"),
        ("1.50", "1.5"),
        (". .05", ". .05"),
        (".05..05", ".05..5"),
        ("…05", "…5"),  # without NFKC "…" is no dot at all
    ],
)
def test_digits_after_an_ellipsis_start_a_number(text, want):
    assert canon(text) == want


def test_an_ellipsis_from_nfkc_does_not_keep_zeros():
    n = Normalizer("for_compare")
    assert n.normalize("えっ…05円") == n.normalize("えっ05円") == "えっ5円"


def test_option_inside_every_preset(preset):
    text = "価格1,000.50円 2024-01-05"
    # for_compare also removes symbols and the space after 円; keep both here.
    keep = {"remove_symbols": False, "cjk_spacing": "keep"}
    on = Normalizer(preset, canonicalize_numbers=True, **keep).normalize(text)
    off = Normalizer(preset, canonicalize_numbers=False, **keep).normalize(text)
    assert on == "価格1000.5円 2024-1-5"
    assert off == text


def test_runs_after_the_era_stage():
    n = Normalizer("none", era_to_western=True, canonicalize_numbers=True)
    assert n.normalize("令和6年01月05日") == "2024年1月5日"


NUMBER_BYTES = "0123456789,.-"


@settings(max_examples=300)
@given(st.text(alphabet=st.sampled_from(list(NUMBER_BYTES + "xa_ 年円"))))
def test_only_separators_and_zeros_are_dropped(text):
    # Whatever the shape, the stage only removes "," "." and zeros; every
    # other character survives in order.
    out = canon(text)
    assert len(out) <= len(text)
    kept = [c for c in text if c not in "0,."]
    assert [c for c in out if c not in "0,."] == kept
