"""Changed texts written straight from a str's own storage (one, two or four bytes a character).

The path over code units must give what the UTF-8 path gives: the same text, in the narrowest
storage that holds it (a str stored wider than it needs compares equal but is not what CPython
itself would make), and the input object itself when nothing changed in the end.
normalize_with_offsets runs every step through UTF-8, so it is the reference here.
"""

from __future__ import annotations

import sys

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from zenkor import Normalizer


def copy(s: str) -> str:
    """A str CPython makes itself, in the narrowest storage for its characters."""
    return s.encode("utf-8").decode("utf-8")


@pytest.mark.parametrize(
    ("options", "text", "want"),
    [
        # Two bytes a character to ASCII, and to Latin-1.
        (dict(preset="for_search"), "ＡＢＣ", "abc"),
        (dict(preset="for_search"), "Ｃａｆé", "café"),
        # Latin-1 to two bytes a character.
        (dict(nfkc=True), "¼x", "1⁄4x"),
        (dict(nfkc=True), "µ", "μ"),
        # Four bytes a character kept where a character past U+FFFF stays.
        (dict(nfkc=True), "\U00020bb7ＡＢ", "\U00020bb7AB"),
        # Trimming leaves ASCII of a text stored in two bytes.
        (dict(preset="for_search"), "\u3000ａｂ\u3000", "ab"),
        # Runs, a final ー, loanword spellings, iteration marks, a sound mark that joins nothing.
        (dict(preset="for_search"), "すごーーーい!!!!", "すごーい!!"),
        (dict(preset="for_search"), "コンピューター", "コンピュータ"),
        (dict(preset="for_search"), "ヴァイオリン", "バイオリン"),
        (dict(preset="for_search"), "人々", "人人"),
        (dict(preset="for_search"), "(ﾟ∀ﾟ)", "(\u309c∀\u309c)"),
        (dict(preset="for_search"), "Σ(ﾟДﾟ)", "σ(\u309cд\u309c)"),
        (dict(preset="for_search"), "ｶﾞｯﾂ", "ガッツ"),
    ],
)
def test_changed_text_in_the_narrowest_storage(options, text, want):
    out = Normalizer(**options).normalize(text)
    assert out == want
    assert sys.getsizeof(out) == sys.getsizeof(copy(want))


@pytest.mark.parametrize(
    ("preset", "text", "same"),
    [
        ("for_search", "カー", True),  # a final ー found, the word too short to lose it
        ("for_search", "カー。", True),
        ("for_search", "ｶｰ", False),
        ("neologdn_compat", "a  b", False),
    ],
)
def test_text_the_steps_leave_as_it_is_comes_back_itself(preset, text, same):
    fresh = copy(text)
    out = Normalizer(preset).normalize(fresh)
    assert (out is fresh) is same


ALPHABET = st.sampled_from(
    list("aAzZ09 .,-~!?()<>:@#\t\r\n")
    + ["é", "µ", "¼", "ß", "Σ", "İ", "\u3000", "\u00a0", "\u2028"]
    + list("ＡＺａ０（）＞＜｡｢ｱｶﾞﾊﾟｰﾟ")
    + list("あかがアカガウヴァィェォーー〜ゝゞヽヾ々年平成舊國體")
    + ["\u3099", "\u309a", "\u309b", "\u309c", "\u200b", "\ufe0f", "\u2500", "①", "㈱"]
    + ["\U00020bb7", "\U0001d400", "\U0001f600"]
)


@settings(max_examples=300)
@given(st.lists(ALPHABET, max_size=24).map("".join), st.sampled_from(Normalizer.presets()))
def test_every_text_as_the_utf8_path_gives_it(text, preset):
    n = Normalizer(preset)
    fresh = copy(text)
    out = n.normalize(fresh)
    want = n.normalize_with_offsets(text)[0]
    assert out == want
    assert sys.getsizeof(out) == sys.getsizeof(copy(want))
    assert (out is fresh) == (want == text)
    assert n.normalize_batch([fresh]) == [out]
