"""Hiragana/katakana conversion (option kana) and iteration marks (option expand_iteration_marks)."""

import pytest

from zenkor import Normalizer


def kana(action, text):
    return Normalizer("none", kana=action).normalize(text)


def expand(text):
    return Normalizer("none", expand_iteration_marks=True).normalize(text)


@pytest.mark.parametrize(
    "text, want",
    [
        ("ひらがなゝゞ", "ヒラガナヽヾ"),
        ("ぁゔゕゖ", "ァヴヵヶ"),  # the block's edges
        ("ゟ", "ゟ"),
        ("ー", "ー"),
        ("漢字とabc", "漢字トabc"),
        ("\u3099\u309a゛゜", "\u3099\u309a゛゜"),  # voicing marks are not letters
    ],
)
def test_hira_to_kata(text, want):
    assert kana("hira_to_kata", text) == want


@pytest.mark.parametrize(
    "text, want",
    [
        ("カタカナー", "かたかなー"),
        ("ヴ", "ゔ"),
        ("ァヵヶ", "ぁゕゖ"),
        ("ヽヾ", "ゝゞ"),
        ("ヷヸヹヺ・ヿ", "ヷヸヹヺ・ヿ"),
        ("ㇰㇿ", "ㇰㇿ"),
        ("ｶﾀｶﾅ", "ｶﾀｶﾅ"),
    ],
)
def test_kata_to_hira(text, want):
    assert kana("kata_to_hira", text) == want


@pytest.mark.parametrize(
    "text, want",
    [
        ("", ""),
        ("人々", "人人"),
        ("時々々", "時時時"),  # a chain repeats the same character
        ("人〻", "人人"),
        ("𠀋々", "𠀋𠀋"),  # a kanji outside the BMP
        ("\U0002FFFF々", "\U0002FFFF\U0002FFFF"),
        ("\U00030000々", "\U00030000々"),  # past the kanji range of this stage
        ("々", "々"),  # nothing before it
        ("々々", "々々"),
        ("あ々", "あ々"),
        ("こゝろ", "こころ"),
        ("がゝ", "がか"),
        ("ぽゝ", "ぽほ"),
        ("すゞ", "すず"),
        ("ぶゞ", "ぶぶ"),
        ("ぱゞ", "ぱば"),
        ("うゞ", "うゔ"),
        ("ゔゞ", "ゔゔ"),
        ("あゞ", "あゞ"),
        ("カヽ", "カカ"),
        ("カヾ", "カガ"),
        ("ハヽヾ", "ハハバ"),  # each mark repeats what was just written
        ("ウヾ", "ウヴ"),
        ("ヷヽ", "ヷヷ"),
        ("かヽ", "かヽ"),  # the script does not match
        ("カゝ", "カゝ"),
        ("ゝ", "ゝ"),
        ("a ゝ", "a ゝ"),
    ],
)
def test_expand_iteration_marks(text, want):
    assert expand(text) == want


@pytest.mark.parametrize(
    "text, want",
    [
        # A kana mark right before an opening parenthesis is a kaomoji's arm.
        ("ウズウズヽ(；▽；)ノ", "ウズウズヽ(；▽；)ノ"),
        ("ヤキモキヽ(｀Д´)ﾉ", "ヤキモキヽ(｀Д´)ﾉ"),
        ("ヤッタヾ(＾∇＾)", "ヤッタヾ(＾∇＾)"),
        ("ウズヽ（；▽；）ノ", "ウズヽ（；▽；）ノ"),
        ("こゝ(", "こゝ("),
        ("すゞ（", "すゞ（"),
        ("ハヽヾ(", "ハハヾ("),  # in a chain only the arm stays
        ("ハヾ(ヽ", "ハヾ(ヽ"),
        # Other brackets, or a parenthesis further on, make no arm.
        ("カヽ", "カカ"),
        ("カヽ「", "カカ「"),
        ("カヽ[", "カカ["),
        ("カヽ)", "カカ)"),
        ("カヽ｟", "カカ｟"),
        ("カヽ ()", "カカ ()"),
        ("時々(笑)", "時時(笑)"),  # kanji marks repeat as before
    ],
)
def test_kaomoji_arms_stay(text, want):
    assert expand(text) == want


def test_kaomoji_arm_after_nfkc():
    # NFKC has turned "（" into "(" before the marks are read.
    assert Normalizer("for_search").normalize("ウズウズヽ（；▽；）ノ") == "ウズウズヽ(;▽;)ノ"


# Each plain kana with its voiced and semi-voiced forms, in both scripts.
PLAIN = "かきくけこさしすせそたちつてとはひふへほ" + "カキクケコサシスセソタチツテトハヒフヘホ"
VOICED = "がぎぐげござじずぜぞだぢづでどばびぶべぼ" + "ガギグゲゴザジズゼゾダヂヅデドバビブベボ"
SEMI_PLAIN = "はひふへほ" + "ハヒフヘホ"
SEMI_VOICED = "ぱぴぷぺぽ" + "パピプペポ"


def marks(c):
    return ("ゝ", "ゞ") if c < "ァ" else ("ヽ", "ヾ")


@pytest.mark.parametrize(
    "text, want",
    [(v + marks(v)[0], v + p) for p, v in zip(PLAIN, VOICED)]
    + [(p + marks(p)[1], p + v) for p, v in zip(PLAIN, VOICED)]
    + [(s + marks(s)[0], s + p) for p, s in zip(SEMI_PLAIN, SEMI_VOICED)]
    + [(s + marks(s)[1], s + v) for s, v in zip(SEMI_VOICED, VOICED[15:20] + VOICED[35:40])],
)
def test_every_voicing_pair(text, want):
    assert expand(text) == want


def test_options_inside_every_preset(preset):
    assert Normalizer(preset, kana="hira_to_kata").normalize("ひらがな") == "ヒラガナ"
    assert Normalizer(preset, kana="kata_to_hira").normalize("カタカナ") == "かたかな"
    assert Normalizer(preset, kana="keep").normalize("ひらカタ") == "ひらカタ"
    # 々 counts as a symbol, so symbol removal (on in for_compare) stays off here.
    assert Normalizer(preset, expand_iteration_marks=True, remove_symbols=False).normalize("人々") == "人人"
    assert Normalizer(preset, expand_iteration_marks=False, remove_symbols=False).normalize("人々") == "人々"


def test_marks_expand_before_kana_conversion():
    n = Normalizer("none", expand_iteration_marks=True, kana="hira_to_kata")
    assert n.normalize("こゝろ") == "ココロ"
    assert Normalizer("none", kana="hira_to_kata").normalize("こゝろ") == "コヽロ"
