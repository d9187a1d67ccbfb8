"""Newline unification and removal of invisible and control characters."""

import pytest
from hypothesis import given, strategies as st

import zenkor

# Every character stage of the cleanup and folding steps.
STAGES = [
    "normalize_newlines", "remove_bidi_control", "remove_zero_width", "remove_control",
    "expand_cjk_compat", "nfkc", "halfwidth_kana_to_fullwidth",
]


def run(text, **options):
    return zenkor.Normalizer("none", **options).normalize(text)


@pytest.mark.parametrize("stage", STAGES)
def test_empty_text_stays_empty(stage):
    assert run("", **{stage: True}) == ""


@pytest.mark.parametrize(
    "stage, text, want",
    [
        # Every kind of line break becomes one LF; CR LF is one break, not two.
        ("normalize_newlines", "a\r\nb\rc\u2028d\u2029e\u0085f", "a\nb\nc\nd\ne\nf"),
        ("normalize_newlines", "end\r", "end\n"),
        ("normalize_newlines", "\r\r\n", "\n\n"),
        ("normalize_newlines", "\r\u2028", "\n\n"),
        ("normalize_newlines", "\n\r\n\n", "\n\n\n"),
        ("normalize_newlines", "改行\r\n日本語\r", "改行\n日本語\n"),
        # The joiner is not a zero-width space and must survive.
        ("remove_zero_width", "\u200dx\u200b", "\u200dx"),
        ("remove_zero_width", "\ufeffa\u2060b\u200cc\u200b", "abc"),
        ("remove_control", "\t\n\u00a0", "\t\n\u00a0"),
        ("remove_control", "a\r\x0c\x7f\x85b", "ab"),
        ("remove_control", "\x00\x01\x08\x0b\x1f\x80\x9fx", "x"),
        ("remove_control", "\u2028\u2029", "\u2028\u2029"),
        ("remove_bidi_control", "\u202ea\u2066b\u061c", "ab\u061c"),
        ("remove_bidi_control", "\u200e\u200f\u202a\u202b\u202c\u202d\u202e\u2066\u2067\u2068\u2069", ""),
    ],
)
def test_stage(stage, text, want):
    assert run(text, **{stage: True}) == want


@pytest.mark.parametrize(
    "options, want",
    [
        # Newlines are unified first, so control removal keeps the breaks.
        ({"normalize_newlines": True, "remove_control": True}, "a\nb\nc\nd"),
        # Without unification a CR is just a control: CR LF keeps its LF.
        ({"remove_control": True}, "a\nbcd"),
    ],
)
def test_newlines_run_before_control_removal(options, want):
    assert run("a\r\nb\rc\x85d", **options) == want


REMOVED = {
    "remove_bidi_control": set("\u200e\u200f\u202a\u202b\u202c\u202d\u202e\u2066\u2067\u2068\u2069"),
    "remove_zero_width": set("\u200b\u200c\u2060\ufeff"),
    "remove_control": {chr(c) for c in [*range(0x00, 0x09), *range(0x0B, 0x20), *range(0x7F, 0xA0)]},
}

# Text dense in the removed characters and their neighbours, so runs of kept
# bytes start and end at every kind of boundary.
interesting = st.text(
    st.one_of(
        st.sampled_from(sorted(set().union(*REMOVED.values()) | set("\t\n\r\u200d\u061c\u00a0あa"))),
        st.characters(exclude_categories=["Cs"]),
    )
)


@pytest.mark.parametrize("stage", sorted(REMOVED))
@given(text=interesting)
def test_removal_deletes_exactly_its_set(stage, text):
    assert run(text, **{stage: True}) == "".join(ch for ch in text if ch not in REMOVED[stage])
