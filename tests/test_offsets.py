"""Normalizer.normalize_with_offsets: where each output character came from."""

import functools

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from zenkor import Normalizer

# One configuration per preset, and options no preset turns on (or on in other ways), so that
# every step and every kind of edit is traced: wrapping, placeholders, inserted spaces, upper
# case, kana both ways, kanji numerals, protection of every kind, and a dictionary.
CONFIGS = [(preset, {}) for preset in Normalizer.presets()] + [
    ("none", {"case": "upper", "cjk_spacing": "insert", "arabic_to_kansuji": True}),
    ("none", {"case": "lower", "nfkc": True, "cjk_spacing": "remove", "repeat_limit": 1}),
    ("none", {"kana": "kata_to_hira", "unify_loanword_kana": True, "expand_cjk_compat": True}),
    (
        "for_search",
        {"emoji_placeholder": "<絵>", "url_wrap": ("<", ">"), "protect_emails": True, "protect_mentions": True,
         "protect_hashtags": True},
    ),
]
DICTIONARY = {"幽遊白書": ["幽☆遊☆白書", "ゆうはく"], "": ["ぬ"]}


@functools.lru_cache(maxsize=None)
def normalizer(index):
    preset, options = CONFIGS[index]
    n = Normalizer(preset, **options)
    return n.with_custom_dict(DICTIONARY) if index == len(CONFIGS) - 1 else n


# Kanji some step writes without reading them: iteration marks repeat the kanji before them,
# and arabic_to_kansuji writes the numerals.
ITERATION_MARKS = set("々〻ゝゞヽヾ")
NUMERALS = set("〇一二三四五六七八九十百千万億兆京零")


@functools.lru_cache(maxsize=None)
def unchanged_kanji(index):
    """Kanji this normalizer leaves as they are and writes for no other character: wherever one
    stands in the output, it was copied from the input."""
    n = normalizer(index)
    written = set()
    for code in range(0x30000):
        if not 0xD800 <= code <= 0xDFFF and (out := n.normalize(chr(code))) != chr(code):
            written.update(out)
    kanji = map(chr, [*range(0x3400, 0x4DC0), *range(0x4E00, 0xA000)])
    return frozenset(c for c in kanji if c not in written and c not in NUMERALS and n.normalize(c) == c)


def check_offsets(index, text):
    n = normalizer(index)
    out, offsets = n.normalize_with_offsets(text)
    assert out == n.normalize(text)
    assert len(offsets) == len(out) + 1
    assert offsets[-1] == len(text)
    assert all(a <= b for a, b in zip(offsets, offsets[1:])), offsets
    assert 0 <= offsets[0]
    # Each copied character maps to itself, and to an input character of its own.
    copied = [i for i, c in enumerate(out) if c in unchanged_kanji(index) and text[offsets[i]] not in ITERATION_MARKS]
    assert [text[offsets[i]] for i in copied] == [out[i] for i in copied], (text, out, offsets)
    assert all(offsets[i] < offsets[j] for i, j in zip(copied, copied[1:]))


TRICKY = list("ＡＢｶﾞﾊﾟｰ　 \t\r\n\u200b\u200e\ufe0f😊👍①㍻㈱ー〜～‐─“”々ゝヽ二十五百千1,.平成令和元年ヴァウィﾞ゛\u3099ΣßİA猫犬幽☆遊白書ゆうはくぬ")
TRICKY += ["https://x.jp/a.", "a@b.jp", "@user", "#tag", "ｗｗｗｗ", "!!!!", "3.50", "2024-01-05"]
TEXTS = st.lists(st.one_of(st.sampled_from(TRICKY), st.characters(blacklist_categories=("Cs",))), max_size=30)


@settings(max_examples=300)
@given(TEXTS.map("".join), st.integers(0, len(CONFIGS) - 1))
def test_offsets_hold_on_random_text(text, index):
    check_offsets(index, text)


@pytest.mark.parametrize("index", range(len(CONFIGS)), ids=[f"{p} {o}" for p, o in CONFIGS])
def test_offsets_hold_on_the_corpus(index, corpus_lines):
    for line in corpus_lines[:: 1 if index < 5 else 4]:
        check_offsets(index, line)
    check_offsets(index, "\n".join(corpus_lines[:2000]))  # long enough to run without the interpreter lock


N = Normalizer


@pytest.mark.parametrize(
    "n, text, want, offsets",
    [
        # unchanged characters map to themselves, replaced ones to what they replaced
        (N("none", nfkc=True), "ＡＢＣ", "ABC", [0, 1, 2, 3]),
        (N("none", nfkc=True), "ＡＢ" * 1000, "AB" * 1000, list(range(2001))),
        (N("none", case="lower"), "ΣΑΣ", "σας", [0, 1, 2, 3]),
        # many to one: the first of the replaced characters
        (N("none", nfkc=True), "ｶﾞｷ", "ガキ", [0, 2, 3]),
        (N("none", unify_loanword_kana=True), "ヴァイオリン", "バイオリン", [0, 2, 3, 4, 5, 6]),
        (N("none", kansuji_to_arabic=True), "二十五人", "25人", [0, 1, 3, 4]),
        # one to many: all at the replaced character
        (N("none", nfkc=True), "㍻元年", "平成元年", [0, 0, 1, 2, 3]),
        (N("none", case="upper"), "ßa", "SSA", [0, 0, 1, 2]),
        (N("none", emoji_placeholder="<絵>"), "a😊😊b", "a<絵>b", [0, 1, 1, 1, 3, 4]),
        # several for several: in order; what is the same at either end maps to itself
        (N("none", arabic_to_kansuji=True), "第12回", "第十二回", [0, 1, 2, 3, 4]),
        (N("none", era_to_western=True), "平成31年", "2019年", [0, 1, 2, 3, 4, 5]),
        (N("none", canonicalize_numbers=True), "007", "7", [2, 3]),
        (N("none", canonicalize_numbers=True), "1,000円", "1000円", [0, 2, 3, 4, 5, 6]),
        (N("none").with_custom_dict({"幽遊白書": ["幽☆遊☆白書"]}), "幽☆遊☆白書だ", "幽遊白書だ", [0, 1, 4, 5, 6, 7]),
        (N("none", expand_iteration_marks=True), "人々", "人人", [0, 1, 2]),
        # deleted characters fall into the span of the character before them
        (N("none", remove_zero_width=True), "a\u200bb", "ab", [0, 2, 3]),
        (N("none", normalize_newlines=True), "a\r\nb", "a\nb", [0, 2, 3, 4]),
        (N("none", strip_trailing_prolonged=True), "サーバー", "サーバ", [0, 1, 2, 4]),
        (N("none", repeat_limit=2), "わわわわ", "わわ", [0, 1, 4]),
        (N("none", collapse_spaces=True, trim=True), "  a  b  ", "a b", [2, 3, 5, 8]),
        # inserted characters map to where they were inserted
        (N("none", cjk_spacing="insert"), "漢字abc", "漢字 abc", [0, 1, 2, 2, 3, 4, 5]),
        (N("none", url_wrap=("<", ">")), "see https://x.jp now", "see <https://x.jp> now",
         [0, 1, 2, 3, 4, *range(4, 16), 16, 16, 17, 18, 19, 20]),
        # nothing to change
        (N("for_search"), "", "", [0]),
        (N("for_search"), "変わらない", "変わらない", [0, 1, 2, 3, 4, 5]),
    ],
)
def test_offsets_follow_the_rules(n, text, want, offsets):
    assert n.normalize_with_offsets(text) == (want, offsets)


@pytest.mark.parametrize(
    "call, error, message",
    [
        (lambda n: n.normalize_with_offsets(1), TypeError, "normalize_with_offsets() argument 'text' must be str, not int"),
        (lambda n: n.normalize_with_offsets(), TypeError, "missing required argument 'text'"),
        (lambda n: n.normalize_with_offsets("\ud800ＡＢ"), UnicodeEncodeError, "surrogates not allowed"),
        (lambda n: n.explain(b"x"), TypeError, "explain() argument 'text' must be str, not bytes"),
        (lambda n: n.explain("\ud800ＡＢ"), UnicodeEncodeError, "surrogates not allowed"),
    ],
)
def test_bad_arguments(call, error, message):
    with pytest.raises(error, match=message.replace("(", r"\(").replace(")", r"\)")):
        call(Normalizer("for_search"))
