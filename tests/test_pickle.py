"""Saving and copying normalizers: pickle, copy, deepcopy and worker processes."""

import copy
import multiprocessing
import pickle
from concurrent.futures import ProcessPoolExecutor

import pytest

import shared_data
from shared_data import SYNONYMS
from zenkor import Normalizer, _native


def pickled(n, protocol=pickle.HIGHEST_PROTOCOL):
    return pickle.loads(pickle.dumps(n, protocol=protocol))


COPIES = {
    "pickle": pickled,
    "pickle protocol 0": lambda n: pickled(n, 0),
    "copy": copy.copy,
    "deepcopy": copy.deepcopy,
}


@pytest.fixture(scope="module")
def corpus_lines():
    return shared_data.corpus_lines()


@pytest.mark.parametrize("with_sudachi", [False, True], ids=["plain", "sudachi"])
@pytest.mark.parametrize("preset", Normalizer.presets())
def test_round_trip_normalizes_the_corpus_alike(preset, with_sudachi, corpus_lines):
    n = Normalizer(preset)
    if with_sudachi:
        n.load_sudachi_synonyms(SYNONYMS)
    restored = pickled(n)
    assert restored.custom_dict_items() == n.custom_dict_items()
    assert restored.normalize_batch(corpus_lines) == n.normalize_batch(corpus_lines)


# Option states a round trip through the constructor's keywords would get wrong
# or that take a path of their own in the conversion.
STATES = [
    ("for_search", {"url_wrap": ("<", ">"), "protect_urls": False}),  # keywords replay this with protection on
    ("for_search", {"url_wrap": ("[", "]")}),
    ("none", {"emoji_placeholder": "<絵>", "repeat_limit": 3, "case": "upper", "kana": "kata_to_hira"}),
    ("for_compare", {"repeat_limit": None, "cjk_spacing": "insert"}),
    ("neologdn_compat", {}),
]


@pytest.mark.parametrize("how", COPIES)
@pytest.mark.parametrize("preset, options", STATES)
def test_copies_keep_the_exact_option_state(how, preset, options):
    n = Normalizer(preset, **options)
    duplicate = COPIES[how](n)
    assert type(duplicate) is Normalizer and duplicate is not n
    assert duplicate.config == n.config
    assert repr(duplicate) == repr(n)
    text = "ｱｲｳ😀😀 https://a.jp/X 令和元年　ＡＢＣ"
    assert duplicate.normalize(text) == n.normalize(text)


def test_url_wrap_without_protection_stays_off():
    n = Normalizer("for_search", url_wrap=("<", ">"), protect_urls=False)
    assert n.normalize("x https://a.jp y") == "x https://a.jp y"
    assert pickled(n).normalize("x https://a.jp y") == "x https://a.jp y"
    # What a copy made from the config dict does instead.
    assert Normalizer(**n.config).normalize("x https://a.jp y") == "x <https://a.jp> y"


@pytest.mark.parametrize("how", COPIES)
def test_dictionary_entries_are_restored_without_normalizing_again(how):
    # for_compare is not idempotent on this variant: normalized once it ends in
    # ゜д゜, normalized twice in ゚д゜, which no longer matches normalized text.
    n = Normalizer("for_compare").with_custom_dict({"驚き": ["ィ(ﾟдﾟ)"]})
    once = n.custom_dict_items()
    assert once == [("ィ゜д゜", "驚き")]
    duplicate = COPIES[how](n)
    assert duplicate.custom_dict_items() == once
    assert duplicate.normalize("私もィ(ﾟдﾟ)") == n.normalize("私もィ(ﾟдﾟ)") == "私も驚き"


def test_a_copy_is_independent_of_its_original():
    n = Normalizer("none").with_custom_dict({"A": ["a"]})
    duplicate = copy.copy(n).with_custom_dict({"B": ["b"]})
    assert n.custom_dict_items() == [("a", "A")]
    assert duplicate.custom_dict_items() == [("a", "A"), ("b", "B")]
    n.clear_custom_dict()
    assert duplicate.normalize("ab") == "AB"


@pytest.mark.parametrize(
    "build, want",
    [
        (lambda: Normalizer("none"), []),
        (lambda: Normalizer("none").with_custom_dict({"X": []}), []),
        # A variant given again counts as given last.
        (lambda: Normalizer("none").with_custom_dict({"A": ["a", "b"]}).with_custom_dict({"C": ["a"]}),
         [("b", "A"), ("a", "C")]),
        # Variants appear normalized, and those that become equal collapse.
        (lambda: Normalizer("neologdn_compat").with_custom_dict({"スマホ": ["ｽﾏﾎ", "スマホ　"]}), [("スマホ", "スマホ")]),
        (lambda: Normalizer("for_search").with_custom_dict({"サーバー": ["ｻｰﾊﾞｰ"]}), [("サーバ", "サーバー")]),
        (lambda: Normalizer("none").with_custom_dict({"A": ["a"]}).clear_custom_dict(), []),
    ],
)
def test_custom_dict_items(build, want):
    n = build()
    assert n.custom_dict_items() == want
    assert len(want) == n.custom_dict_size


class Tagged(Normalizer):
    """A subclass with attributes of its own, as users write them."""


def test_subclass_and_its_attributes_survive():
    n = Tagged("for_search").with_custom_dict({"A": ["a"]})
    n.label = "nightly"
    for duplicate in (pickled(n), copy.copy(n), copy.deepcopy(n)):
        assert type(duplicate) is Tagged
        assert duplicate.label == "nightly"
        assert duplicate.custom_dict_items() == [("a", "A")]


@pytest.mark.parametrize(
    "args, error",
    [
        ((int, {}, []), "must be a Normalizer class"),
        ((Normalizer, [], []), "argument 'config' must be dict, not list"),
        ((Normalizer, {"nfck": True}, []), 'unknown option "nfck"'),
        ((Normalizer, {"kansuji_to_arabic": True, "arabic_to_kansuji": True}, []), "cannot both be enabled"),
        ((Normalizer, {}, [("a",)]), "(variant, canonical) pairs of str"),
        ((Normalizer, {}, 5), "not iterable"),
    ],
)
def test_restore_rejects_what_it_did_not_save(args, error):
    with pytest.raises((TypeError, ValueError), match=error.replace("(", r"\(").replace(")", r"\)")):
        _native._restore_normalizer(*args)


@pytest.fixture(scope="module")
def dictionary_normalizer():
    return Normalizer("for_search", url_wrap=("<", ">")).with_custom_dict({"幽遊白書": ["幽白", "ﾕｳﾊｸ"]})


TEXTS = ["ﾕｳﾊｸの最終回 https://a.jp", "幽白　ＡＢＣ", "國學院😀"]


@pytest.mark.parametrize("method", ["spawn", "fork", "forkserver"])
def test_pool_map_in_worker_processes(method, dictionary_normalizer):
    want = dictionary_normalizer.normalize_batch(TEXTS)
    with multiprocessing.get_context(method).Pool(2) as pool:
        assert pool.map(dictionary_normalizer.normalize, TEXTS) == want
        assert pool.map(dictionary_normalizer.normalize_batch, [TEXTS, TEXTS[::-1]]) == [want, want[::-1]]


def test_process_pool_executor(dictionary_normalizer):
    want = dictionary_normalizer.normalize_batch(TEXTS)
    with ProcessPoolExecutor(2, mp_context=multiprocessing.get_context("spawn")) as pool:
        assert list(pool.map(dictionary_normalizer.normalize, TEXTS)) == want


@pytest.mark.parametrize(
    "key, note",
    [
        ("nfck", 'did you mean "nfkc"?'),
        ("repeatlimit", 'did you mean "repeat_limit"?'),
        ("url_warp", 'did you mean "url_wrap"?'),
        ("Case", 'did you mean "case"?'),
        ("protect_url", 'did you mean "protect_urls"?'),
        ("zzzzzz", None),
    ],
)
def test_unknown_option_suggests_a_close_name(key, note):
    with pytest.raises(TypeError) as info:
        Normalizer(**{key: True})
    assert str(info.value) == f'unknown option "{key}"; see Normalizer.config for valid keys'
    assert getattr(info.value, "__notes__", None) == ([note] if note else None)
