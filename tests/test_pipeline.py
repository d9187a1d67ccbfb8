"""Whole-pipeline behaviour: trimming, joining, and stages switched off."""

from hypothesis import given, settings
from hypothesis import strategies as st
import pytest

from zenkor import Normalizer

from shared_data import CORPUS

PRESETS = Normalizer.presets()

WHITE_SPACE = "\t\n\x0b\x0c\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000"


@pytest.mark.parametrize("preset", PRESETS)
def test_empty_input_gives_empty_output(preset):
    assert Normalizer(preset).normalize("") == ""


@settings(max_examples=200, deadline=None)
@given(st.text())
def test_none_preset_is_identity(text):
    assert Normalizer("none").normalize(text) == text


@settings(max_examples=200, deadline=None)
@given(st.text(alphabet=st.sampled_from(list(WHITE_SPACE) + ["a", "字", "\u200b"])))
def test_trim_removes_every_outer_white_space(text):
    out = Normalizer("none", trim=True).normalize(text)
    assert out == text.strip(WHITE_SPACE)


@pytest.mark.parametrize("text", ["", " ", WHITE_SPACE, "\u3000\u3000\n"])
def test_only_white_space_trims_to_nothing(text):
    assert Normalizer("none", trim=True).normalize(text) == ""


def test_trim_keeps_inner_white_space_and_near_misses():
    n = Normalizer("none", trim=True)
    assert n.normalize("\u3000 a \u3000 b \n") == "a \u3000 b"
    # U+200B and U+180E are not White_Space.
    assert n.normalize("\u200b a \u180e") == "\u200b a \u180e"


def corpus_lines(limit=400):
    lines = []
    for path in sorted(CORPUS.glob("*.txt")):
        with path.open(encoding="utf-8") as f:
            for i, line in enumerate(f):
                if i >= limit:
                    break
                lines.append(line.rstrip("\n"))
    return lines


@pytest.mark.skipif(not CORPUS.is_dir(), reason="corpus not present")
@pytest.mark.parametrize("preset", PRESETS)
def test_real_text_is_stable_and_batch_equals_single(preset):
    n = Normalizer(preset)
    lines = corpus_lines()
    assert lines
    out = n.normalize_batch(lines)
    assert out == [n.normalize(line) for line in lines]
    # Every output is valid text that round-trips through UTF-8.
    for line in out:
        assert line.encode("utf-8").decode("utf-8") == line
    if preset == "none":
        assert out == lines


# Every option on at once (one numeral direction at a time), with protection.
EVERYTHING = [
    Normalizer(preset, **extra)
    for preset in PRESETS
    for extra in (
        {},
        dict(Normalizer("for_compare").config, protect_urls=True, protect_emails=True,
             protect_mentions=True, protect_hashtags=True, url_wrap=("<", ">"), emoji_placeholder="E",
             repeat_limit=1, kana="hira_to_kata", cjk_spacing="insert"),
        dict(Normalizer("for_search").config, kansuji_to_arabic=False, arabic_to_kansuji=True,
             canonicalize_numbers=True, remove_symbols=True, remove_cjk_compat=True, case="upper",
             kana="kata_to_hira", cjk_spacing="remove"),
    )
]

# Text made of the characters the stages care about, plus anything at all.
interesting = st.text(
    alphabet=st.one_of(
        st.sampled_from(list("0123456789,.-/:年月日〇一二三十百千万億兆元明大昭平令和ゝゞヽヾ々〻ーｰ～〜ﾞﾟ゛゜ｶﾊﾟ@#htps:/w.ab_ 　\r\n\u200b\ufe0f😀👍🏻①㈱㍍國")),
        st.characters(codec="utf-8"),
    ),
    max_size=80,
)


@settings(max_examples=300, deadline=None)
@given(interesting)
def test_no_text_breaks_any_configuration(text):
    for n in EVERYTHING:
        out = n.normalize(text)
        assert isinstance(out, str)
        out.encode("utf-8")  # valid text: no lone surrogates
        assert n.normalize_batch([text]) == [out]
