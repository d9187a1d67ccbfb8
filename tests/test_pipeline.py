"""Whole-pipeline behaviour: trimming, joining, and stages switched off."""

from hypothesis import given, settings
from hypothesis import strategies as st
import pytest

from zenkor import Normalizer

PRESETS = Normalizer.presets()

WHITE_SPACE = "\t\n\x0b\x0c\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000"


def test_empty_input_gives_empty_output(preset):
    assert Normalizer(preset).normalize("") == ""


@settings(max_examples=200)
@given(st.text())
def test_none_preset_is_identity(text):
    assert Normalizer("none").normalize(text) == text


@settings(max_examples=200)
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


def test_real_text_is_stable_and_batch_equals_single(preset, corpus_files):
    n = Normalizer(preset)
    lines = [line for file_lines in corpus_files.values() for line in file_lines[:400]]
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


@settings(max_examples=300)
@given(interesting)
def test_no_text_breaks_any_configuration(text):
    for n in EVERYTHING:
        out = n.normalize(text)
        assert isinstance(out, str)
        out.encode("utf-8")  # valid text: no lone surrogates
        assert n.normalize_batch([text]) == [out]


# Each pair of stages below, run in the pipeline's fixed order, gives `want`;
# the other order would give something else.
@pytest.mark.parametrize(
    "options, text, want",
    [
        # NFKC unfolds a compatibility ideograph into the old form the kanji table knows.
        (dict(nfkc=True, kyujitai_to_shinjitai=True), "\uf914", "楽"),
        # Half-width kana are widened before the kana conversion sees them.
        (dict(nfkc=True, kana="kata_to_hira"), "ｶﾞｷﾞ", "がぎ"),
        (dict(halfwidth_kana_to_fullwidth=True, expand_iteration_marks=True), "ｶヽ", "カカ"),
        # Loanword spellings are folded while still katakana, before kana conversion.
        (dict(unify_loanword_kana=True, kana="kata_to_hira"), "ヴァイオリン", "ばいおりん"),
        (dict(unify_loanword_kana=True, kana="hira_to_kata"), "ゔぁ", "ヴァ"),
        # Expanded circled digits and squared words are no longer there to be removed.
        (dict(expand_cjk_compat=True, remove_cjk_compat=True), "①㈱㌔⑴", "1(株)キロ"),
        # Bars become prolonged marks, the run collapses, then the final one goes.
        (dict(unify_prolonged=True, collapse_prolonged_run=True, strip_trailing_prolonged=True), "サーバ──", "サーバ"),
        (dict(halfwidth_kana_to_fullwidth=True, strip_trailing_prolonged=True), "ｻｰﾊﾞｰ", "サーバ"),
        # Emoji go before the numeral stages read the digits around them.
        (dict(emoji="remove", kansuji_to_arabic=True), "二😀十 一😀人", "20 1人"),
        (dict(emoji="remove", canonicalize_numbers=True), "1,😀000", "1000"),
        # Kanji numerals become digits before era years are read, and back.
        (dict(kansuji_to_arabic=True, era_to_western=True), "平成二〇年", "2008年"),
        (dict(arabic_to_kansuji=True, era_to_western=True), "平成30年", "2018年"),
        # Symbols go before runs are counted, runs before letters are folded.
        (dict(remove_symbols=True, repeat_limit=2), "あ、あ、あ", "ああ"),
        (dict(repeat_limit=2, case="lower"), "Ａａａ İİİ", "ａａａ i\u0307i\u0307"),
        # Newlines are unified before control characters are removed.
        (dict(normalize_newlines=True, remove_control=True), "a\r\nb\rc\x85d", "a\nb\nc\nd"),
        (dict(remove_control=True), "a\r\nb\rc\x85d", "a\nbcd"),
    ],
)
def test_stage_order(options, text, want):
    assert Normalizer("none", **options).normalize(text) == want


def test_dictionary_runs_last_and_never_inside_protected_pieces():
    n = Normalizer("for_search").with_custom_dict({"例": ["example"], "スマートフォン": ["ｽﾏﾎ", "ＳＭＡＰＨＯ"]})
    # Variants were normalized like the text: half-width and full-width, upper case.
    assert n.normalize("ｽﾏﾎとSmaPhoとスマホ") == "スマートフォンとスマートフォンとスマートフォン"
    assert n.normalize("see https://example.com/example example @example #example") == (
        "see https://example.com/example 例 @example #example"
    )
    # Nor across one: the pieces on either side are matched separately.
    glued = Normalizer("none", protect_urls=True).with_custom_dict({"X": ["ab"]})
    assert glued.normalize("ahttp://x.jpb ab") == "ahttp://x.jpb X"


# Mixed sentences worked through the stages by hand, one preset at a time.
TWEET = (
    "  【速報】ｽｰﾊﾟｰﾏｰｹｯﾄの“セール”は令和元年１０月１日〜３日！！！　時々ヴァイオリン三百人→"
    "https://Example.com/Sale?id=007 まで😊😊 #お得 @Bob ㈱ＡＢＣ・國學院の髙橋さん、コンピューター２台で１，０００円。。。\r\n"
)
REPORT = (
    "Ｈ３０年の売上は２．５億円、前年比−１２％（約１万２千件）。\u200bメール: Info@Example.co.jp へ ‘至急’ "
    "ｳﾞｨｰｶﾞﾝ向けﾒﾆｭｰ～ ΣΟΦΙΑ ß 2024-01-05 ｻｰﾊﾞｰ─ 葛\U000e0100城 いすゞ 👨\u200d👩\u200d👧 ⑴ ㍉ "
)


@pytest.mark.parametrize(
    "preset, text, want",
    [
        ("none", TWEET, TWEET),
        ("neologdn_compat", TWEET,
         "【速報】スーパーマーケットの“セール”は令和元年10月1日〜3日!!! 時々ヴァイオリン三百人→"
         "https://Example.com/Sale?id=007 まで😊😊 #お得 @Bob (株)ABC・國學院の髙橋さん、コンピューター2台で1,000円。。。"),
        ("for_search", TWEET,
         '【速報】スーパーマーケットの"セール"は2019年10月1日〜3日!! 時時バイオリン三百人→'
         "https://Example.com/Sale?id=007 まで #お得 @Bob (株)abc・国学院の高橋さん、コンピュータ2台で1,000円。。"),
        ("for_display", TWEET,
         "【速報】スーパーマーケットの“セール”は令和元年１０月１日〜３日！！！　時々ヴァイオリン三百人→"
         "https://Example.com/Sale?id=007 まで😊😊 #お得 @Bob ㈱ＡＢＣ・國學院の髙橋さん、コンピューター２台で１，０００円。。。"),
        ("for_compare", TWEET,
         "速報スーパーマーケットのセールは2019年10月1日3日時時バイオリン300人→httpsexamplecomsaleid7"
         "までお得bob株abc・国学院の高橋さんコンピュータ2台で1000円"),
        ("none", REPORT, REPORT),
        ("neologdn_compat", REPORT,
         "H30年の売上は2.5億円、前年比-12%(約1万2千件)。メール: Info@Example.co.jp へ ‘至急’ "
         "ヴィーガン向けメニュー〜 ΣΟΦΙΑ ß 2024-01-05 サーバー 葛\U000e0100城 いすゞ 👨\u200d👩\u200d👧 (1) ミリ"),
        ("for_search", REPORT,
         "2018年の売上は2.5億円、前年比-12%(約1万2千件)。メール: Info@Example.co.jp へ '至急' "
         "ビーガン向けメニュ〜 σοφια ß 2024-01-05 サーバ 葛城 いすず (1) ミリ"),
        ("for_display", REPORT,
         "Ｈ３０年の売上は２．５億円、前年比−１２％（約１万２千件）。\u200bメール: Info@Example.co.jp へ ‘至急’ "
         "ヴィーガン向けメニュー～ ΣΟΦΙΑ ß 2024-01-05 サーバーー 葛\U000e0100城 いすゞ 👨\u200d👩\u200d👧 ⑴ ㍉"),
        ("for_compare", REPORT,
         "2018年の売上は250000000円前年比12約12000件メールinfoexamplecojpへ至急ビーガン向けメニュσοφια ß "
         "2024 1 5サーバ葛城いすず1ミリ"),
    ],
    ids=lambda v: v if v in PRESETS else None,
)  # fmt: skip
def test_presets_on_mixed_sentences(preset, text, want):
    assert Normalizer(preset).normalize(text) == want
