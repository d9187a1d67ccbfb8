"""Emoji removal and replacement."""

import pytest

from zenkor import Normalizer

FAMILY = "\U0001f468\u200d\U0001f469\u200d\U0001f467"

# One code point from each end of every emoji block.
EMOJI_EDGES = [
    "\u200d",
    "\u2600", "\u26ff", "\u2700", "\u27bf",
    "\ufe00", "\ufe0f",
    "\U0001f1e6", "\U0001f1ff",
    "\U0001f300", "\U0001f64f",
    "\U0001f680", "\U0001f6ff",
    "\U0001f900", "\U0001f9ff",
    "\U0001fa70", "\U0001faff",
]  # fmt: skip

# Code points next to the blocks, and signs with an emoji presentation elsewhere.
NOT_EMOJI = [
    "\u200c", "\u200e", "\u25ff", "\u27c0", "\ufdff", "\ufe10",
    "\U0001f1e5", "\U0001f200", "\U0001f650", "\U0001f67f", "\U0001f700", "\U0001f8ff",
    "\U0001fa00", "\U0001fa6f", "\U0001fb00",
    "©", "®", "‼", "™", "⌚", "⏩", "Ⓜ", "▪", "⬅", "⭐", "〰", "〽", "㊗", "\u20e3",
    "\U0001f004", "\U0001f0cf", "\U0001f170", "\U0001f251", "\U000e0020", "\U000e007f",
]  # fmt: skip


@pytest.mark.parametrize("ch", EMOJI_EDGES)
def test_emoji_block_ends_are_removed(ch):
    assert Normalizer("none", emoji="remove").normalize("a" + ch + "b") == "ab"


@pytest.mark.parametrize("ch", NOT_EMOJI)
def test_non_emoji_stay(ch):
    text = "a" + ch + "b"
    assert Normalizer("none", emoji="remove").normalize(text) == text
    assert Normalizer("none", emoji_placeholder="[E]").normalize(text) == text


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        ("今日は😀です", "今日はです"),
        ("★♪", ""),
        ("⭐©", "⭐©"),
        ("a\u200db", "ab"),
        ("👍🏽" + FAMILY + "🇯🇵", ""),
    ],
)
def test_remove(text, want):
    assert Normalizer("none", emoji="remove").normalize(text) == want


@pytest.mark.parametrize(
    ("text", "want"),
    [
        ("", ""),
        ("😀", "[E]"),
        ("😀😀", "[E]"),
        ("👍🏽", "[E]"),
        ("❤\ufe0f", "[E]"),
        (FAMILY, "[E]"),
        ("🇯🇵", "[E]"),
        ("😀 😀", "[E] [E]"),
        ("#\ufe0f\u20e3", "#[E]\u20e3"),
        ("a😀b😀c", "a[E]b[E]c"),
        ("😀abc😀", "[E]abc[E]"),  # an ASCII run between emoji ends the run
        ("😀日😀", "[E]日[E]"),
    ],
)
def test_placeholder_per_run(text, want):
    assert Normalizer("none", emoji_placeholder="[E]").normalize(text) == want


@pytest.mark.parametrize("text", ["今日は😀です", "😀 😀", FAMILY + "x", "#\ufe0f\u20e3"])
def test_empty_placeholder_equals_remove(text):
    removed = Normalizer("none", emoji="remove").normalize(text)
    assert Normalizer("none", emoji_placeholder="").normalize(text) == removed


def test_placeholder_may_itself_hold_emoji_and_multibyte_text():
    n = Normalizer("none", emoji_placeholder="😀絵")
    assert n.normalize("a✨✨b🚀") == "a😀絵b😀絵"


def test_keep_returns_text_unchanged():
    text = "今日は😀です" + FAMILY
    assert Normalizer("none", emoji="keep").normalize(text) == text
