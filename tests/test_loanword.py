"""Loanword katakana (options unify_loanword_kana and strip_trailing_prolonged)."""

import pytest

from zenkor import Normalizer


def unify(text):
    return Normalizer("none", unify_loanword_kana=True).normalize(text)


def strip(text):
    return Normalizer("none", strip_trailing_prolonged=True).normalize(text)


@pytest.mark.parametrize(
    "text, want",
    [
        ("", ""),
        ("ヴァイオリン", "バイオリン"),
        ("ヴィーナス", "ビーナス"),
        ("ヴェネツィア", "ベネツィア"),
        ("ヴォーカル", "ボーカル"),
        ("ヴュー", "ビュー"),
        ("ヴャヴョ", "ビャビョ"),
        ("ヴ", "ブ"),
        ("ヴー", "ブー"),
        ("ヴヴァ", "ブバ"),
        ("ウィスキー", "ウイスキー"),
        ("ウェブ", "ウエブ"),
        ("ウォーター", "ウオーター"),
        ("パーティー", "パーテイー"),
        ("ディスク", "デイスク"),
        ("トゥ", "ツ"),
        ("ドゥ", "ズ"),
        ("ヂヅヰヱ", "ジズイエ"),
        ("ウィィ", "ウイィ"),  # pairs never overlap
        ("ゔぁ", "ゔぁ"),  # hiragana is left alone
        ("ｳｨ", "ｳｨ"),  # so is half-width katakana
        ("abcヴ", "abcブ"),
    ],
)
def test_unify_loanword_kana(text, want):
    assert unify(text) == want


@pytest.mark.parametrize(
    "text, want",
    [
        ("", ""),
        ("コンピューター", "コンピュータ"),
        ("サーバー", "サーバ"),  # four characters, the ー included
        ("カー", "カー"),
        ("ビール", "ビール"),
        ("ユーザーー", "ユーザー"),  # one ー per word
        ("ユーザー・サーバー", "ユーザ・サーバ"),
        ("サーバーとユーザー", "サーバとユーザ"),
        ("スーパーマーケット", "スーパーマーケット"),
        ("ｻｰﾊﾞｰ", "ｻｰﾊﾞｰ"),
        ("ーーーー", "ーーー"),
        ("ㇰㇱㇲー", "ㇰㇱㇲ"),
        ("サーバーヽ", "サーバヽ"),  # ヽ is no word character: the word ends before it
        ("abc サーバー", "abc サーバ"),
    ],
)
def test_strip_trailing_prolonged(text, want):
    assert strip(text) == want


def test_options_inside_every_preset(preset):
    assert Normalizer(preset, unify_loanword_kana=True).normalize("ヴァイオリン") == "バイオリン"
    assert Normalizer(preset, unify_loanword_kana=False).normalize("ヴァイオリン") == "ヴァイオリン"
    assert Normalizer(preset, strip_trailing_prolonged=True).normalize("サーバー") == "サーバ"
    assert Normalizer(preset, strip_trailing_prolonged=False).normalize("サーバー") == "サーバー"


def test_loanwords_unify_before_kana_conversion():
    # Hiragana ゔぁ is not folded; converted to katakana afterwards it stays ヴァ.
    n = Normalizer("none", unify_loanword_kana=True, kana="hira_to_kata")
    assert n.normalize("ゔぁ") == "ヴァ"
    assert n.normalize("ヴァ") == "バ"


def test_strip_runs_after_kana_conversion():
    n = Normalizer("none", strip_trailing_prolonged=True, kana="hira_to_kata")
    assert n.normalize("さーばー") == "サーバ"
