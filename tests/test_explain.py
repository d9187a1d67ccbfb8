"""Normalizer.explain, and the command line's --explain: which option did what."""

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from test_offsets import CONFIGS, TEXTS, normalizer
from zenkor import ExplainStep, Normalizer
from zenkor._native import __name__ as native

# Every name a step may carry: the option keys, and the dictionary.
NAMES = set(Normalizer().config) | {"custom_dict"}


def check_explain(index, text):
    n = normalizer(index)
    steps = n.explain(text)
    assert (steps[-1].text if steps else text) == n.normalize(text)
    before = text
    for step in steps:
        assert isinstance(step, ExplainStep)
        assert set(step.option.split("+")) <= NAMES, step
        assert step.text != before, (text, steps)  # only steps that changed the text
        before = step.text


@settings(max_examples=300)
@given(TEXTS.map("".join), st.integers(0, len(CONFIGS) - 1))
def test_explain_ends_with_normalize_on_random_text(text, index):
    check_explain(index, text)


@pytest.mark.parametrize("index", range(len(CONFIGS)), ids=[f"{p} {o}" for p, o in CONFIGS])
def test_explain_ends_with_normalize_on_the_corpus(index, corpus_lines):
    for line in corpus_lines[:: 2 if index < 5 else 8]:
        check_explain(index, line)


N = Normalizer


@pytest.mark.parametrize(
    "n, text, want",
    [
        (N("for_search"), "ｻｰﾊﾞｰ", [("nfkc", "サーバー"), ("strip_trailing_prolonged", "サーバ")]),
        (N("for_search"), "変わらない", []),
        (N("for_search"), "", []),
        # the symbol step is named by the options whose characters it wrote
        (N("none", unify_hyphens=True, unify_tildes=True, unify_prolonged=True), "ア─イ‐ウ",
         [("unify_hyphens+unify_prolonged", "アーイ-ウ")]),
        (N("none", unify_hyphens=True, unify_tildes=True, unify_prolonged=True), "1～2", [("unify_tildes", "1〜2")]),
        # options with values go by their key
        (N("none", kana="hira_to_kata"), "ひらがな", [("kana", "ヒラガナ")]),
        (N("none", case="upper", repeat_limit=1), "ßßa", [("repeat_limit", "ßa"), ("case", "SSA")]),
        (N("none", emoji="remove"), "a😊", [("emoji", "a")]),
        (N("none", emoji_placeholder="*"), "a😊", [("emoji_placeholder", "a*")]),
        # wrapping comes first, trimming last, the dictionary just before it
        (N("none", url_wrap=("<", ">"), trim=True).with_custom_dict({"例": ["れい"]}), " れい https://x.jp ",
         [("url_wrap", " れい <https://x.jp> "), ("custom_dict", " 例 <https://x.jp> "), ("trim", "例 <https://x.jp>")]),
        # a step shows the whole text, protected pieces included
        (N("none", protect_urls=True, nfkc=True), "ＡＢ https://x.jp ＣＤ", [("nfkc", "AB https://x.jp CD")]),
    ],
)
def test_explain_names_each_step(n, text, want):
    assert n.explain(text) == want


def test_steps_are_named_tuples():
    (step,) = Normalizer("none", nfkc=True).explain("Ａ")
    assert (step.option, step.text) == tuple(step) == ("nfkc", "A")
    assert type(step).__module__ == native and type(step).__name__ == "ExplainStep"


@pytest.mark.parametrize(
    "args, stdin, want",
    [
        (("--preset", "for_search", "--explain"), "ｻｰﾊﾞｰ\n変わらない\n",
         "ｻｰﾊﾞｰ\n  nfkc: サーバー\n  strip_trailing_prolonged: サーバ\n変わらない\n"),
        (("--explain", "--preset", "none", "-s", "trim=true"), " a \n", " a \n  trim: a\n"),
        # Steps end as their line does; after a last line without a break, LF parts them.
        (("--explain", "--preset", "none", "-s", "trim=true"), " a \r\n b ", " a \r\n  trim: a\r\n b \n  trim: b"),
    ],
)
def test_command_line_explains_line_by_line(args, stdin, want, run_cli):
    result = run_cli(*args, stdin=stdin.encode())
    assert result.returncode == 0, result.stderr
    assert result.stdout.decode("utf-8") == want
