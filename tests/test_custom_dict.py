"""Custom dictionaries from Python: matching, merging, clearing, messages."""

import json
import os
import subprocess
import sys
import threading

from hypothesis import given, settings
from hypothesis import strategies as st
import pytest

from zenkor import Normalizer


def plain(mapping):
    """A normalizer whose stages are all off, holding `mapping`."""
    return Normalizer("none").with_custom_dict(mapping)


@pytest.mark.parametrize(
    "mapping, text, expected",
    [
        ({"X": ["ab"], "Y": ["abcd"]}, "abcde", "Ye"),  # longest at the same start
        ({"X": ["ab"], "Y": ["bcd"]}, "abcd", "Xcd"),  # leftmost beats longer
        ({"b": ["a"], "c": ["b"]}, "ab", "bc"),  # no chaining
        ({"幽遊白書": ["幽白"]}, "幽白と幽白", "幽遊白書と幽遊白書"),
        ({"": ["xyz"]}, "axyzb", "ab"),  # empty canonical deletes
        ({"xa": ["a"]}, "a", "xa"),  # a canonical form is not searched again
        ({"吉野家": ["𠮷野家"]}, "𠮷野家へ", "吉野家へ"),  # beyond the BMP
        ({"X": ["ab"]}, "", ""),
        ({"X": ["ab"]}, "no match here", "no match here"),
    ],
)
def test_matching_is_leftmost_longest_single_pass(mapping, text, expected):
    assert plain(mapping).normalize(text) == expected


def reference_apply(mapping, text):
    """Leftmost-longest replacement, one pass, the later key winning a variant; each canonical form
    that is not a variant itself stands for itself, so that text already canonical stays whole."""
    table = {}
    for canonical, variants in mapping.items():
        for v in variants:
            if v and v != canonical:
                table[v] = canonical
    for canonical in set(table.values()):
        if canonical:
            table.setdefault(canonical, canonical)
    out, pos = [], 0
    while pos < len(text):
        hits = [v for v in table if text.startswith(v, pos)]
        if hits:
            best = max(hits, key=len)
            out.append(table[best])
            pos += len(best)
        else:
            out.append(text[pos])
            pos += 1
    return "".join(out)


WORDS = st.text(alphabet="ab幽𠮷", min_size=0, max_size=4)


@settings(max_examples=300)
@given(st.dictionaries(WORDS, st.lists(WORDS, max_size=4), max_size=6), st.text(alphabet="ab幽𠮷c", max_size=30))
def test_matches_a_reference_scan(mapping, text):
    assert plain(mapping).normalize(text) == reference_apply(mapping, text)


def test_variants_that_make_the_search_reread_the_text():
    # Reading forward, each "aa" also compares the long variant; the search
    # gives up and finishes with the linear automaton, which finds the long
    # variant at the end.
    mapping = {"X": ["a" * 1000 + "b"], "Y": ["aa"]}
    text = "a" * 20000 + "b"
    assert plain(mapping).normalize(text) == reference_apply(mapping, text) == "Y" * 9500 + "X"


def test_methods_return_self_and_count_entries():
    n = Normalizer("none")
    assert n.with_custom_dict({"幽遊白書": ["幽白", "ゆうはく"]}) is n
    assert n.custom_dict_size == 2
    assert repr(n) == "Normalizer(preset='none', custom_dict_size=2)"
    assert n.clear_custom_dict() is n
    assert n.custom_dict_size == 0
    assert repr(n) == "Normalizer(preset='none')"
    assert n.normalize("幽白") == "幽白"


@pytest.mark.parametrize(
    "mapping, size",
    [
        ({"a": ["a", ""]}, 0),  # self-mappings and empty variants are skipped
        ({"a": ()}, 0),
        ({"a": ("x", "y")}, 2),
        ({"a": {"x", "y"}}, 2),
        ({"a": {"x": 1, "y": 2}}, 2),  # a dict value gives its keys
        ({"a": (v for v in ["x", "y", "x"])}, 2),
    ],
)
def test_any_iterable_of_variants(mapping, size):
    assert plain(mapping).custom_dict_size == size


def test_later_variant_wins_and_count_does_not_grow():
    n = plain({"A": ["x"]})
    n.with_custom_dict({"B": ["x"]})
    assert n.custom_dict_size == 1
    assert n.normalize("x") == "B"
    # Within one call, the later key wins too.
    assert plain({"A": ["x"], "B": ["x"]}).normalize("x") == "B"


def test_empty_dictionary_is_not_shown_in_repr():
    n = Normalizer("none").with_custom_dict({"a": ["a"]})
    assert n.custom_dict_size == 0
    assert repr(n) == "Normalizer(preset='none')"


class Boom(Exception):
    pass


def exploding():
    yield "fine"
    raise Boom("from the iterator")


@pytest.mark.parametrize(
    "mapping, error, message",
    [
        ({"a": "b"}, TypeError, 'custom dict value for "a" must be a list of str, not str'),
        ({"幽遊白書": "幽白"}, TypeError, 'custom dict value for "幽遊白書" must be a list of str, not str'),
        ({'q"\n': "x"}, TypeError, 'custom dict value for "q\\"\\n" must be a list of str, not str'),
        ({"a": 1}, TypeError, 'custom dict value for "a" must be an iterable of str'),
        ({"a": None}, TypeError, 'custom dict value for "a" must be an iterable of str'),
        ({"a": [1]}, TypeError, "custom dict variants must be str"),
        ({"a": ["x", b"y"]}, TypeError, "custom dict variants must be str"),
        ({1: ["a"]}, TypeError, "custom dict keys must be str"),
        ({"ok": ["fine"], 2: ["a"]}, TypeError, "custom dict keys must be str"),
        ({"a": exploding()}, Boom, "from the iterator"),
    ],
)
def test_mapping_errors_leave_the_object_unchanged(mapping, error, message):
    n = plain({"K": ["k"]})
    with pytest.raises(error) as info:
        n.with_custom_dict(mapping)
    assert str(info.value) == message
    assert n.custom_dict_size == 1
    assert n.normalize("k fine") == "K fine"


@pytest.mark.parametrize("arg", [[("a", ["b"])], "abc", None])
def test_mapping_must_be_a_dict(arg):
    with pytest.raises(TypeError):
        Normalizer("none").with_custom_dict(arg)


def test_dict_subclass_is_accepted():
    class MyDict(dict):
        pass

    assert plain(MyDict({"A": ["a"]})).normalize("a") == "A"


def test_dictionary_methods_need_an_exclusive_borrow():
    n = Normalizer("none")
    seen = []

    def variants():
        # The exclusive borrow is held while the values are iterated.
        for call in (lambda: n.normalize("x"), lambda: n.custom_dict_size):
            with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
                call()
        with pytest.raises(RuntimeError, match="^Already borrowed$"):
            n.clear_custom_dict()
        seen.append(True)
        yield "x"

    n.with_custom_dict({"X": variants()})
    assert seen == [True]
    assert n.normalize("x") == "X"


def test_mutating_the_mapping_while_iterating_reads_a_snapshot():
    mapping = {"A": None, "B": ["b"]}

    def variants():
        mapping.clear()
        mapping["C"] = ["c"]
        yield "a"

    mapping["A"] = variants()
    n = plain(mapping)
    assert n.normalize("abc") == "ABc"


def test_config_is_kept_by_dictionary_methods():
    n = Normalizer("for_search", case="upper")
    config = n.config
    n.with_custom_dict({"X": ["y"]}).clear_custom_dict()
    assert n.config == config


def test_json_string_is_loaded_and_merged():
    n = plain({"A": ["a"]})
    assert n.load_custom_dict_json('{"幽遊白書": ["幽白", "ゆうはく", "幽☆遊☆白書"]}') is n
    assert n.custom_dict_size == 4
    assert n.normalize("a ゆうはく") == "A 幽遊白書"


def test_json_dumps_output_reads_back():
    mapping = {"𠮷野家": ["吉野家", "よしのや"], "\"引用\"\\": ["\t改行\n"]}
    n = Normalizer("none").load_custom_dict_json(json.dumps(mapping))
    assert n.normalize("吉野家\t改行\n") == "𠮷野家\"引用\"\\"


def test_invalid_json_is_a_value_error_and_changes_nothing():
    n = plain({"A": ["a"]})
    with pytest.raises(ValueError) as info:
        n.load_custom_dict_json('{"B": ["b"], "C": "c"}')
    assert str(info.value) == "invalid custom dict json: invalid json at char 0: expected array of strings"
    assert n.custom_dict_size == 1
    assert n.normalize("ab") == "Ab"


def test_json_argument_must_be_str():
    with pytest.raises(TypeError):
        Normalizer("none").load_custom_dict_json(b"{}")


def test_variants_are_prenormalized_and_collapse_in_given_order():
    # With trim on, " x" and "x " both become "x": the later entry wins, and
    # a variant that normalizes to nothing is dropped.
    n = Normalizer("none", trim=True).with_custom_dict({"A": [" x"], "B": ["x ", "   "]})
    assert n.custom_dict_size == 1
    assert n.normalize("x") == "B"
    n = Normalizer("none", trim=True).with_custom_dict({"B": ["x "], "A": [" x"]})
    assert n.normalize("x") == "A"


def test_a_variant_given_again_counts_as_given_last():
    # "ウ" is given again after "ｳ"; both normalize to "ウ", so its second
    # canonical form, the last given, wins over the one of "ｳ".
    n = Normalizer("neologdn_compat").with_custom_dict({"A": ["ウ", "ｳ"], "B": ["ウ"]})
    assert (n.custom_dict_size, n.normalize("ウ")) == (1, "B")
    n = Normalizer("neologdn_compat").load_custom_dict_json('{"A": ["ウ", "ｳ"], "B": ["ウ"]}')
    assert n.normalize("ウ") == "B"


def test_earlier_entries_survive_later_merges():
    n = Normalizer("none", trim=True).with_custom_dict({"A": [" x "]})
    n.with_custom_dict({"B": ["y"]})
    assert n.custom_dict_size == 2
    assert n.normalize("x") == "A"


def test_entries_are_not_normalized_twice():
    # for_compare is not idempotent on this text: removing "&" leaves a
    # prolonged mark that a second pass would strip.  A variant normalized
    # again at the next merge would no longer match text normalized once.
    text = "ピーツ・コーヒー&ティー"
    n = Normalizer("for_compare")
    assert n.normalize(n.normalize(text)) != n.normalize(text)
    n.with_custom_dict({"X": [text]})
    n.with_custom_dict({"Y": ["y"]})
    n.load_custom_dict_json('{"Z": ["z"]}')
    assert n.normalize(text) == "X"


def test_halfwidth_variant_matches_fullwidth_input():
    n = Normalizer("none", halfwidth_kana_to_fullwidth=True).with_custom_dict({"幽遊白書": ["ﾕｳﾊｸ"]})
    assert n.normalize("ユウハク") == "幽遊白書"
    assert n.normalize("ﾕｳﾊｸ") == "幽遊白書"


def test_canonical_form_is_written_verbatim():
    # NFKC would fold the full-width canonical form; the dictionary runs last
    # and its canonical forms are never normalized.
    n = Normalizer("none", nfkc=True).with_custom_dict({"ＡＢＣ": ["ABC"]})
    assert n.normalize("ABC ＡＢＣ abc") == "ＡＢＣ ＡＢＣ abc"


def test_width_variants_collapse_into_one_entry():
    n = Normalizer("none", nfkc=True).with_custom_dict({"A": ["ＡＢ"], "B": ["AB"]})
    assert n.custom_dict_size == 1
    assert n.normalize("AB") == "B"


def test_threads_share_one_lazily_built_matcher():
    mapping = {f"正{i}": [f"v{i}x", f"w{i}"] for i in range(2000)}
    n = Normalizer("none").with_custom_dict(mapping)
    text = " ".join(f"v{i}x w{i}" for i in range(0, 2000, 7))
    expected = " ".join(f"正{i} 正{i}" for i in range(0, 2000, 7))
    results = []
    barrier = threading.Barrier(8)

    def worker():
        barrier.wait()  # all threads reach the first match together
        results.append(n.normalize(text))

    threads = [threading.Thread(target=worker) for _ in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == [expected] * 8


DOCS = {
    "with_custom_dict": (
        "($self, mapping, whole_words=False)",
        "カスタム辞書を追加する。既存のエントリにマージされる。\n\n"
        "`mapping` は `{正規形: [表記ゆれ, ...]}` 形式の dict。\n"
        '例: `{"幽遊白書": ["幽白", "ゆうはく", "幽☆遊☆白書"]}`\n\n'
        "与えられた表記ゆれは正規化の最終段で正規形に置換される。\n"
        "メソッドチェーンできるよう自身を返す。",
    ),
    "load_custom_dict_json": (
        "($self, json, whole_words=False)",
        "カスタム辞書を JSON 文字列から読み込んで追加する。\n\n"
        'フォーマットは `{"正規形": ["表記ゆれ", ...]}`。`json.dumps()` の既定出力\n'
        "(`\\uXXXX` エスケープ)もそのまま読める。",
    ),
    "load_custom_dict_file": (
        "($self, path, format=None, whole_words=False)",
        "カスタム辞書をファイルから読み込んで追加する。\n\n"
        "`format` 省略時は拡張子で判定する:\n"
        '- `.json`: `{"正規形": ["表記ゆれ", ...]}`\n'
        "- `.csv`: `表記ゆれ,正規形` (1行1件、`#` 行はコメント)\n"
        "- `.tsv` / `.txt`: `表記ゆれ<TAB>正規形`",
    ),
    "load_sudachi_synonyms": (
        "($self, path, whole_words=True)",
        "Sudachi 同義語辞書 (`synonyms.txt`) を読み込んで追加する。\n\n"
        "辞書本体はバンドルしていないので、SudachiDict から別途ダウンロードすること。",
    ),
    "clear_custom_dict": ("($self)", "カスタム辞書をすべて削除する。"),
}


@pytest.mark.parametrize("name", DOCS)
def test_docstrings_and_signatures(name):
    method = getattr(Normalizer, name)
    signature, doc = DOCS[name]
    assert method.__text_signature__ == signature
    assert method.__doc__ == doc


def test_custom_dict_size_is_a_read_only_property():
    assert Normalizer.custom_dict_size.__doc__ == "登録済みカスタム辞書のエントリ数。"
    with pytest.raises(AttributeError):
        Normalizer().custom_dict_size = 3


MEMORY_SCRIPT = """
import resource
from zenkor import Normalizer

n = Normalizer("none").with_custom_dict({"K": ["k"]})
text = '{"C": [' + ",".join('"v%d"' % i for i in range(1_000_000)) + "]}"
with open("/proc/self/statm") as f:
    in_use = int(f.read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (in_use + 64 * 2**20, resource.getrlimit(resource.RLIMIT_AS)[1]))
try:
    n.load_custom_dict_json(text)
except MemoryError:
    print(n.custom_dict_size, n.normalize("k"))
"""


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc to size the memory limit")
def test_running_out_of_memory_in_a_dictionary_method_is_a_memory_error():
    done = subprocess.run([sys.executable, "-c", MEMORY_SCRIPT], capture_output=True, text=True, timeout=120)
    assert (done.returncode, done.stdout) == (0, "1 K\n"), done.stderr
