"""Sudachi synonym dictionaries: field rules, canonical choice, the real file."""


import pytest

from zenkor import Normalizer

from shared_data import PUBLIC_SYNONYMS as SYNONYMS



def row(group, headword, form=0, variant=0, flag=0, lexeme=1):
    """A line of synonyms.txt: group, type, expansion flag, lexeme, form type, abbreviation, spelling type,
    field, headword."""
    return f"{group},1,{flag},{lexeme},{form},0,{variant},(),{headword},,"


def load(dict_file, lines, **kwargs):
    return Normalizer("none").load_sudachi_synonyms(dict_file("synonyms.txt", "\n".join(lines) + "\n"), **kwargs)


def entries(dict_file, lines):
    return dict(load(dict_file, lines).custom_dict_items())


@pytest.mark.parametrize(
    "lines, expected",
    [
        # The representative spelling of the representative form is canonical.
        (["000001,1,0,1,0,0,0,(),曖昧,,", "000001,1,0,1,0,0,2,(),あいまい,,"], {"あいまい": "曖昧"}),
        ([row(1, "bb", 1), row(1, "cc", 0, 1), row(1, "aa")], {"bb": "aa", "cc": "aa"}),  # canonical last
        ([row(1, "bb", 1), row(1, "cc", 2)], {"cc": "bb"}),  # none at 0: the first headword
        ([row(1, "xx"), row(1, "yy"), row(1, "yy"), row(1, "xx")], {"yy": "xx"}),  # duplicates: one entry
        ([row(1, "aa"), row("", "bb"), row(1, ""), row(1, "()"), row(1, "cc")], {"cc": "aa"}),
        # Rows of a lexeme need not be adjacent; blank lines separate nothing.
        ([row(1, "aa"), row(2, "pp"), "", row(1, "bb"), row(2, "qq")], {"bb": "aa", "qq": "pp"}),
        # Group and lexeme numbers are compared as text, after trimming.
        ([row("000001", "aa"), row("1", "bb")], {}),
        ([row(" 7 ", "aa", lexeme=" 2"), row("7", "bb", lexeme="2 ")], {"bb": "aa"}),
        ([row(1, "aa", lexeme="01"), row(1, "bb", lexeme="1")], {}),
        # Type fields: "+0" is 0; out of range and junk count as 0 too.
        ([row(1, "bb", "1"), row(1, "aa", "+0", " 0 ")], {"bb": "aa"}),
        ([row(1, "bb", "1"), row(1, "aa", "256", "x")], {"bb": "aa"}),
        ([row(1, "bb", "1"), row(1, "aa", "-1", "")], {"bb": "aa"}),
        ([row(1, "bb", "1"), row(1, "aa", "+", "0")], {"bb": "aa"}),
        ([row(1, "bb", "1"), row(1, "aa", "255")], {"aa": "bb"}),
        # Headwords: one pair of enclosing parentheses goes, ASCII or full-width.
        ([row(1, "株式会社"), row(1, "(株式)"), row(1, "（有限）")], {"株式": "株式会社", "有限": "株式会社"}),
        ([row(1, "xx"), row(1, "((y))")], {"(y)": "xx"}),
        ([row(1, "xx"), row(1, "( y )")], {" y ": "xx"}),
        # Short rows that have some comma are skipped; extra fields are ignored.
        (["a,b,c", row(1, "aa"), "1,1,0,1,0,0,0,(),bb", "1,1,0,1,0,0,0,()", row(1, "cc") + ",x,y"], {"bb": "aa", "cc": "aa"}),
        (["# comment", row(1, "aa"), "#" + row(1, "zz"), row(1, "bb")], {"bb": "aa"}),
    ],
)
def test_lexemes(dict_file, lines, expected):
    assert entries(dict_file, lines) == expected


@pytest.mark.parametrize(
    "lines, expected",
    [
        # Lexemes of one group are different words: each keeps its own canonical form (real rows).
        (
            ["000981,1,0,1,0,0,0,(時間),今日,,", "000981,1,0,1,0,0,2,(時間),きょう,,", "000981,1,0,2,0,0,0,(時間),本日,,"],
            {},
        ),
        (
            [
                "024404,1,0,1,0,0,0,(),水曜日,,",
                "024404,1,0,1,0,2,0,(),水曜,,",
                "024404,1,1,1,0,2,0,(),水,,",
                "024404,1,0,2,0,0,0,(),ウェンズデー,,",
                "024404,1,0,2,0,0,2,(),ウエンズデイ,,",
                "024404,1,0,2,0,0,1,(),Wednesday,,",
            ],
            {"水曜": "水曜日", "ウエンズデイ": "ウェンズデー", "Wednesday": "ウェンズデー"},
        ),
        # Flag 1: never a variant, but may be the canonical form; flag 2: as if the row were not there.
        ([row(1, "影響", flag=1), row(1, "インパクト", 2, flag=1)], {}),
        ([row(1, "概略", flag=1), row(1, "あらまし", 1), row(1, "アウトライン", 1)], {"あらまし": "概略", "アウトライン": "概略"}),
        (["000086,1,2,1,0,0,0,(),黄色,,", row(86, "イエロー", 2), row(86, "yellow", 2)], {"yellow": "イエロー"}),
        ([row(1, "カネ", flag=2), row(1, "マネー", flag=2)], {}),
        # Single characters and hiragana words of fewer than four characters are never variants.
        ([row(1, "雲丹"), row(1, "うに", 0, 2), row(1, "ウニ", 0, 2), row(1, "海", 0, 3)], {"ウニ": "雲丹"}),
        ([row(1, "田舎"), row(1, "いなか", 0, 2), row(1, "いなかー", 0, 2), row(1, "ゐなかゞ", 0, 2)],
         {"いなかー": "田舎", "ゐなかゞ": "田舎"}),
        ([row(1, "靴"), row(1, "くつ", 0, 2), row(1, "くつ下", 0, 2), row(1, "x", 0, 2)], {"くつ下": "靴"}),
    ],
)
def test_expansion_rules(dict_file, lines, expected):
    assert entries(dict_file, lines) == expected


def test_headword_in_several_lexemes_follows_the_last(dict_file):
    shared = [row(1, "aa"), row(2, "pp"), row(1, "shared"), row(2, "shared")]
    assert load(dict_file, shared).normalize("shared") == "pp"
    shared = [row(2, "pp"), row(1, "aa"), row(2, "shared"), row(1, "shared")]
    assert load(dict_file, shared).normalize("shared") == "aa"


@pytest.mark.parametrize(
    "lines, line",
    [
        (["abc"], 1),
        (["# c", "", row(1, "a"), "\u3000", "abc"], 5),
        ([row(1, "a"), "a,b,c", "no commas here"], 3),
    ],
)
def test_line_without_comma_fails(dict_file, lines, line):
    path = dict_file("synonyms.txt", "\r\n".join(lines))
    n = Normalizer("none").with_custom_dict({"K": ["k"]})
    with pytest.raises(ValueError) as info:
        n.load_sudachi_synonyms(path)
    assert str(info.value) == f"invalid sudachi synonyms {path}: sudachi synonyms: too few columns at line {line}"
    assert n.custom_dict_size == 1


def test_merges_with_existing_entries(dict_file):
    n = Normalizer("none").with_custom_dict({"AA": ["aa", "x"]})
    path = dict_file("synonyms.txt", row(1, "BB") + "\n" + row(1, "aa") + "\n")
    n.load_sudachi_synonyms(str(path))
    assert n.custom_dict_size == 2
    assert n.normalize("aa x") == "BB AA"


@pytest.mark.skipif(not SYNONYMS.is_file(), reason="public synonym file not present")
def test_public_synonym_file():
    n = Normalizer("none").load_sudachi_synonyms(SYNONYMS)
    assert n.custom_dict_size > 20000
    cases = {
        "あいまいな点": "曖昧な点",
        "宛先と荒筋": "宛て先と粗筋",
        "summaryとサマリ": "サマリーとサマリー",  # another lexeme of the group of 粗筋
        "曖昧": "曖昧",  # canonical forms stay
    }
    assert {text: n.normalize(text) for text in cases} == cases
    # Variants are pre-normalized: half-width and upper-case spellings match too.
    search = Normalizer("for_search").load_sudachi_synonyms(SYNONYMS)
    assert search.normalize("あいまいな宛先とｻﾏﾘ、SUMMARY") == "曖昧な宛て先とサマリー、サマリー"
    # The same file gives the same dictionary every time.
    again = Normalizer("none").load_sudachi_synonyms(SYNONYMS)
    sample = "".join(line.split(",")[8] for line in SYNONYMS.read_text(encoding="utf-8").splitlines()[::97] if "," in line)
    assert again.normalize(sample) == n.normalize(sample)


@pytest.mark.skipif(not SYNONYMS.is_file(), reason="public synonym file not present")
def test_words_stay_whole_on_real_text():
    search = Normalizer("for_search").load_sudachi_synonyms(SYNONYMS)
    alone = Normalizer("for_search")
    same = ["今日はいい天気ですね", "水曜日", "ようになった", "明らかになった", "と呼ばれる", "国民", "その後", "影響が大きい",
            "ルガンスク", "mediation"]
    assert [search.normalize(t) for t in same] == [alone.normalize(t) for t in same]
    folded = {"スマホを買った": "スマートフォンを買った", "ウイキペデイア": "ウィキペディア", "国連": "国際連合",
              "あいまいな表現": "曖昧な表現", "水曜に会おう": "水曜日に会おう"}
    assert {t: search.normalize(t) for t in folded} == folded


@pytest.mark.skipif(not SYNONYMS.is_file(), reason="public synonym file not present")
def test_a_second_pass_changes_almost_nothing(corpus_files):
    # Only chains the dictionary itself holds (子供たち is a canonical form and a variant of 子供達) may
    # change a line again.
    search = Normalizer("for_search").load_sudachi_synonyms(SYNONYMS)
    for name, lines in corpus_files.items():
        once = search.normalize_batch(lines)
        again = search.normalize_batch(once)
        changed = sum(a != b for a, b in zip(once, again))
        assert changed <= 0.005 * len(lines), f"{name}: {changed} of {len(lines)} lines change again"
