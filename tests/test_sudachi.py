"""Sudachi synonym dictionaries: field rules, canonical choice, the real file."""


import pytest

from zenkor import Normalizer

from shared_data import PUBLIC_SYNONYMS as SYNONYMS



def row(group, headword, form=0, variant=0):
    return f"{group},1,0,1,{form},0,{variant},(),{headword},,"


def load(dict_file, lines):
    return Normalizer("none").load_sudachi_synonyms(dict_file("synonyms.txt", "\n".join(lines) + "\n"))


@pytest.mark.parametrize(
    "lines, expected",
    [
        # The representative spelling of the representative form is canonical.
        (["000001,1,0,1,0,0,0,(),曖昧,,", "000001,1,0,1,0,0,2,(),あいまい,,"], {"あいまい": "曖昧"}),
        ([row(1, "b", 1), row(1, "c", 0, 1), row(1, "a")], {"b": "a", "c": "a"}),  # canonical last
        ([row(1, "b", 1), row(1, "c", 2)], {"c": "b"}),  # none at 0: the first headword
        ([row(1, "x"), row(1, "y"), row(1, "y"), row(1, "x")], {"y": "x"}),  # duplicates: one entry
        ([row(1, "a"), row("", "b"), row(1, ""), row(1, "()"), row(1, "c")], {"c": "a"}),
        # Rows of a group need not be adjacent; blank lines separate nothing.
        ([row(1, "a"), row(2, "p"), "", row(1, "b"), row(2, "q")], {"b": "a", "q": "p"}),
        # Group numbers are compared as text.
        ([row("000001", "a"), row("1", "b")], {"b": "b"}),
        ([row(" 7 ", "a"), row("7", "b")], {"b": "a"}),
        # Type fields: "+0" is 0; out of range and junk count as 0 too.
        ([row(1, "b", "1"), row(1, "a", "+0", " 0 ")], {"b": "a"}),
        ([row(1, "b", "1"), row(1, "a", "256", "x")], {"b": "a"}),
        ([row(1, "b", "1"), row(1, "a", "-1", "")], {"b": "a"}),
        ([row(1, "b", "1"), row(1, "a", "+", "0")], {"b": "a"}),
        ([row(1, "b", "1"), row(1, "a", "255")], {"a": "b"}),
        # Headwords: one pair of enclosing parentheses goes, ASCII or full-width.
        ([row(1, "株式会社"), row(1, "(株)"), row(1, "（有）")], {"株": "株式会社", "有": "株式会社"}),
        ([row(1, "x"), row(1, "(")], {"(": "x"}),
        ([row(1, "x"), row(1, "((y))")], {"(y)": "x"}),
        ([row(1, "x"), row(1, "( y )")], {" y ": "x"}),
        # Short rows that have some comma are skipped; extra fields are ignored.
        (["a,b,c", row(1, "a"), "1,1,0,1,0,0,0,(),b", row(1, "c") + ",more,fields"], {"b": "a", "c": "a"}),
        (["# comment", row(1, "a"), "#" + row(1, "z"), row(1, "b")], {"b": "a", "z": "z"}),
    ],
)
def test_groups(dict_file, lines, expected):
    n = load(dict_file, lines)
    assert {word: n.normalize(word) for word in expected} == expected


def test_headword_in_several_groups_follows_the_last_group(dict_file):
    n = load(dict_file, [row(1, "a"), row(2, "p"), row(1, "shared"), row(2, "shared")])
    assert n.normalize("shared") == "p"
    n = load(dict_file, [row(2, "p"), row(1, "a"), row(2, "shared"), row(1, "shared")])
    assert n.normalize("shared") == "a"


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
    n = Normalizer("none").with_custom_dict({"A": ["a", "x"]})
    path = dict_file("synonyms.txt", row(1, "B") + "\n" + row(1, "a") + "\n")
    n.load_sudachi_synonyms(str(path))
    assert n.custom_dict_size == 2
    assert n.normalize("ax") == "BA"


@pytest.mark.skipif(not SYNONYMS.is_file(), reason="public synonym file not present")
def test_public_synonym_file():
    n = Normalizer("none").load_sudachi_synonyms(SYNONYMS)
    assert n.custom_dict_size > 30000
    cases = {
        "あいまいな点": "曖昧な点",
        "宛先と荒筋": "宛て先と粗筋",
        "summaryとサマリ": "粗筋と粗筋",
        "曖昧": "曖昧",  # canonical forms stay
    }
    assert {text: n.normalize(text) for text in cases} == cases
    # Variants are pre-normalized: half-width and upper-case spellings match too.
    search = Normalizer("for_search").load_sudachi_synonyms(SYNONYMS)
    assert search.normalize("あいまいな宛先とｻﾏﾘｰ、SUMMARY") == "曖昧な宛て先と粗筋、粗筋"
    # The same file gives the same dictionary every time.
    again = Normalizer("none").load_sudachi_synonyms(SYNONYMS)
    sample = "".join(line.split(",")[8] for line in SYNONYMS.read_text(encoding="utf-8").splitlines()[::97] if "," in line)
    assert again.normalize(sample) == n.normalize(sample)
