"""Dictionaries that keep words whole: whole-word entries, canonical forms that guard themselves,
and the marks through merges, pickling and copying."""

import copy
import pickle

import pytest

from zenkor import Normalizer

SMARTPHONE = {"スマートフォン": ["スマホ"]}


@pytest.mark.parametrize(
    "mapping, text, expected",
    [
        # Not inside a run of katakana, on either side.
        (SMARTPHONE, "スマホケース", "スマホケース"),
        (SMARTPHONE, "ニュースマホ", "ニュースマホ"),
        (SMARTPHONE, "スマホを買った", "スマートフォンを買った"),
        (SMARTPHONE, "新スマホ", "新スマートフォン"),
        (SMARTPHONE, "スマホ・ケース", "スマートフォン・ケース"),  # the middle dot separates words
        (SMARTPHONE, "スマホー", "スマホー"),  # ー continues a katakana word
        (SMARTPHONE, "スマホx", "スマートフォンx"),  # katakana then Latin: two words
        # Not inside a run of Latin letters, full-width and accented ones included.
        ({"media": ["medi"]}, "mediation medi", "mediation media"),
        ({"media": ["medi"]}, "ｍｅｄｉａｔｉｏｎ", "ｍｅｄｉａｔｉｏｎ"),
        ({"café": ["cafe"]}, "cafés cafe", "cafés café"),
        ({"café": ["cafe"]}, "2cafe3", "2café3"),  # digits are not letters
        # The longest refused, a shorter variant at the same place is taken.
        ({"X": ["ガン"], "Y": ["ガンス"]}, "ルガンスク", "ルガンスク"),
        ({"X": ["ab"], "Y": ["abc"]}, "abcd ab", "abcd X"),
        ({"P": ["スマ"], "Q": ["スマホケ"]}, "スマホケース", "スマホケース"),
        ({"P": ["東京"], "Q": ["東京タ"]}, "東京タワー", "Pタワー"),
        # Kanji and hiragana have no runs to keep.
        ({"国際連合": ["国連"]}, "安保理と国連軍", "安保理と国際連合軍"),
    ],
)
def test_whole_word_edges(mapping, text, expected):
    assert Normalizer("none").with_custom_dict(mapping, whole_words=True).normalize(text) == expected


def test_entries_match_anywhere_unless_asked():
    assert Normalizer("none").with_custom_dict(SMARTPHONE).normalize("スマホケース") == "スマートフォンケース"
    n = Normalizer("none").with_custom_dict(SMARTPHONE).with_custom_dict({"ガラケー": ["ケータイ"]}, whole_words=True)
    assert n.normalize("スマホケータイズ") == "スマートフォンケータイズ"


@pytest.mark.parametrize(
    "mapping, text, expected",
    [
        # Text already canonical is not read as a shorter variant followed by more.
        ({"東京都": ["東京"], "水曜日": ["水曜"]}, "東京都庁と水曜日", "東京都庁と水曜日"),
        ({"東京都": ["東京"], "水曜日": ["水曜"]}, "東京の空、水曜に", "東京都の空、水曜日に"),
        ({"ab": ["a"]}, "ab a", "ab ab"),
        # A longer variant still wins over the guard.
        ({"東京都": ["東京"], "東京都庁舎": ["東京都庁"]}, "東京都庁へ", "東京都庁舎へ"),
        # A variant equal to a canonical form keeps its own mapping: no chains are followed.
        ({"b": ["a"], "c": ["b"]}, "a b", "b c"),
        # An empty canonical form deletes and guards nothing.
        ({"": ["xyz"]}, "axyzb", "ab"),
    ],
)
def test_canonical_forms_guard_themselves(mapping, text, expected):
    assert Normalizer("none").with_custom_dict(mapping).normalize(text) == expected


def test_guards_are_written_as_stored():
    # for_search writes the canonical form otherwise: the guard finds it and writes it back.
    n = Normalizer("for_search").with_custom_dict({"ウィキペディア": ["ウィキ"]})
    assert Normalizer("for_search").normalize("ウィキペディア") == "ウイキペデイア"
    assert n.normalize("ウィキペディア") == n.normalize("ｳｲｷﾍﾟﾃﾞｲｱ") == n.normalize("ウィキ") == "ウィキペディア"
    assert n.explain("ウイキペデイア")[-1] == ("custom_dict", "ウィキペディア")
    # Text that is already what the guard writes is no edit at all.
    assert Normalizer("none").with_custom_dict({"水曜日": ["水曜"]}).explain("水曜日") == []


def test_a_guard_is_whole_word_when_an_entry_naming_its_form_is():
    dryer = {"ドライヤー": ["ドライア"]}
    # for_search drops the final ー, so the guard of ドライヤー reads ドライヤ.
    n = Normalizer("for_search").with_custom_dict(dryer, whole_words=True)
    assert n.normalize("ドライヤーズ") == "ドライヤーズ"
    assert n.normalize("ドライヤ") == "ドライヤー"
    n = Normalizer("for_search").with_custom_dict(dryer)
    assert n.normalize("ドライヤ") == "ドライヤー"


def test_guards_are_not_entries():
    n = Normalizer("none").with_custom_dict({"東京都": ["東京"], "水曜日": ["水曜"]})
    assert n.custom_dict_size == 2
    assert n.custom_dict_items() == [("東京", "東京都"), ("水曜", "水曜日")]


def test_a_later_entry_replaces_the_mark():
    n = Normalizer("none").with_custom_dict(SMARTPHONE, whole_words=True)
    assert n.normalize("スマホケース") == "スマホケース"
    n.with_custom_dict(SMARTPHONE)
    assert n.normalize("スマホケース") == "スマートフォンケース"
    n.load_custom_dict_json('{"スマートフォン": ["スマホ"]}', whole_words=True)
    assert n.normalize("スマホケース") == "スマホケース"
    assert n.custom_dict_size == 1


@pytest.mark.parametrize("save", [pickle.dumps, copy.copy, copy.deepcopy], ids=["pickle", "copy", "deepcopy"])
def test_marks_survive_saving(save):
    n = Normalizer("for_search").with_custom_dict(SMARTPHONE, whole_words=True).with_custom_dict({"国際連合": ["国連"]})
    saved = save(n)
    back = pickle.loads(saved) if isinstance(saved, bytes) else saved
    texts = ["スマホケース", "スマホを", "国連軍", "国際連合", "ｽﾏﾎ!"]
    assert [back.normalize(t) for t in texts] == [n.normalize(t) for t in texts]
    assert back.normalize("スマホケース") == "スマホケース"
    assert back.custom_dict_items() == n.custom_dict_items()


def test_the_keyword_takes_a_bool_only(dict_file):
    n = Normalizer("none")
    with pytest.raises(TypeError, match=r"^with_custom_dict\(\) argument 'whole_words' must be bool, not int$"):
        n.with_custom_dict(SMARTPHONE, whole_words=1)
    path = dict_file("words.csv", "スマホ,スマートフォン\n")
    with pytest.raises(TypeError, match="argument 'whole_words' must be bool, not str"):
        n.load_custom_dict_file(path, "csv", "yes")
    assert n.custom_dict_size == 0
    assert n.load_custom_dict_file(path, whole_words=True).normalize("スマホケース") == "スマホケース"
