"""Bad input through the public API, as one table: each row names the call, the exception and its
exact message (or, for odd input that is fine, the number of entries it adds), and every row checks
that the normalizer it was given still works afterwards with its dictionary unchanged."""

import errno
import json
import os

import pytest

import zenkor
from zenkor import Normalizer

SURROGATE = "'utf-8' codec can't encode character '\\ud800' in position 0: surrogates not allowed"
NOT_UTF8 = "stream did not contain valid UTF-8"


class Boom(Exception):
    pass


class IndexRaises:
    def __index__(self):
        raise Boom("index")


class StrRaises:
    def __str__(self):
        raise Boom("str")


class IterRaises:
    def __iter__(self):
        raise Boom("iter")


class FailsMidway:
    """A sequence whose third item cannot be read."""

    def __len__(self):
        return 5

    def __getitem__(self, i):
        if i == 2:
            raise Boom("item 2")
        return "ok"


class FspathRaises:
    def __fspath__(self):
        raise Boom("fspath")


class FspathReturnsInt:
    def __fspath__(self):
        return 1


class StrSubclass(str):
    def __str__(self):
        raise Boom("str")

    def __eq__(self, other):
        raise Boom("eq")

    __hash__ = str.__hash__


def variants_then_boom():
    yield "x1"
    raise Boom("midway")


def mutating_mapping():
    """A mapping one of whose values empties the mapping while it is read."""
    mapping = {"甲": None, "乙": ["y1"]}

    def variants():
        mapping.clear()
        yield "x1"

    mapping["甲"] = variants()
    return mapping


def using_the_normalizer(n):
    """A value whose iteration calls the normalizer being loaded."""

    def variants():
        yield n.normalize("x")

    return {"甲": variants()}


def make_files(root):
    """The files the rows read, by name."""
    (root / "dir.csv").mkdir()
    (root / "file.csv").write_text("a,b")
    contents = {
        "empty.csv": b"",
        "empty.json": b"",
        "bom.csv": b"\xef\xbb\xbf",
        "crlf.csv": b"\r\n\r\n# c\r\n",
        "crlf_entry.csv": b"x1,\xe7\x94\xb2\r\n",
        "binary.csv": bytes(range(256)),
        "latin1.csv": "café,x".encode("latin-1"),
        "cut.json": '{"甲": ["x1"]}'.encode()[:-2] + b"\xe7",
        "nul.csv": b"a\0b\n",
        "nul_entry.tsv": b"a\0b\t\xe7\x94\xb2\n",
        "huge_line.csv": b"x" * 2_000_000,
        "huge_line.tsv": b"x1\t" + b"y" * 2_000_000 + b"\n",
        "deep.json": b"[" * 100_000,
        "huge.json": b'{"c": [' + b"1," * 1_000_000 + b"]}",
        "sudachi_bad.txt": b"000001,1,0,1,0,0,0,(),\xe6\x9b\x96\xe6\x98\xa7,,\nno commas here\n",
        "sudachi_nul.txt": b"\0\0,\0,\0",
    }
    for name, data in contents.items():
        (root / name).write_bytes(data)


def raises(kind, message):
    return ("raises", kind, message)


def adds(count):
    return ("adds", count)


# (id, call(n, files), expected); {files} in a message stands for the folder of the files.
ROWS = [
    # -- normalize and normalize_batch
    ("normalize None", lambda n, f: n.normalize(None),
     raises(TypeError, "normalize() argument 'text' must be str, not NoneType")),
    ("normalize bytes", lambda n, f: n.normalize(b"k"), raises(TypeError, "normalize() argument 'text' must be str, not bytes")),
    ("normalize int", lambda n, f: n.normalize(1), raises(TypeError, "normalize() argument 'text' must be str, not int")),
    ("normalize surrogate", lambda n, f: n.normalize("\ud800"), raises(UnicodeEncodeError, SURROGATE)),
    ("normalize no text", lambda n, f: n.normalize(), raises(TypeError, "normalize() missing required argument 'text' (pos 1)")),
    ("normalize two texts", lambda n, f: n.normalize("a", "b"), raises(TypeError, "normalize() takes at most 1 argument (2 given)")),
    ("batch str", lambda n, f: n.normalize_batch("ab"), raises(TypeError, "argument 'texts': Can't extract `str` to `Vec`")),
    ("batch None", lambda n, f: n.normalize_batch(None),
     raises(TypeError, "argument 'texts': 'NoneType' object is not an instance of 'Sequence'")),
    ("batch generator", lambda n, f: n.normalize_batch(t for t in "ab"),
     raises(TypeError, "argument 'texts': 'generator' object is not an instance of 'Sequence'")),
    ("batch bytes item", lambda n, f: n.normalize_batch(["a", b"b"]),
     raises(TypeError, "normalize_batch() items must be str, not bytes")),
    ("batch surrogate item", lambda n, f: n.normalize_batch(["a", "\ud800"]), raises(UnicodeEncodeError, SURROGATE)),
    ("batch fails midway", lambda n, f: n.normalize_batch(FailsMidway()), raises(Boom, "item 2")),
    # -- building a normalizer: preset and option values
    ("preset int", lambda n, f: Normalizer(1), raises(TypeError, "Normalizer() argument 'preset' must be str or None, not int")),
    ("preset bytes", lambda n, f: Normalizer(b"none"),
     raises(TypeError, "Normalizer() argument 'preset' must be str or None, not bytes")),
    ("two presets", lambda n, f: Normalizer("none", "none"),
     raises(TypeError, "Normalizer() takes at most 1 positional argument (2 given)")),
    ("negative int", lambda n, f: Normalizer(repeat_limit=-1),
     raises(TypeError, 'option "repeat_limit" must be a non-negative int')),
    ("huge int", lambda n, f: Normalizer(repeat_limit=2**64),
     raises(TypeError, 'option "repeat_limit" has unsupported type int')),
    ("huge negative int", lambda n, f: Normalizer(repeat_limit=-(2**64)),
     raises(TypeError, 'option "repeat_limit" has unsupported type int')),
    ("bool for int", lambda n, f: Normalizer(repeat_limit=True),
     raises(TypeError, 'option "repeat_limit" must be int >= 1 or None')),
    ("int for bool", lambda n, f: Normalizer(nfkc=1), raises(TypeError, 'option "nfkc" must be bool')),
    ("None for bool", lambda n, f: Normalizer(trim=None), raises(TypeError, 'option "trim" must be bool')),
    ("__index__ raises", lambda n, f: Normalizer(repeat_limit=IndexRaises()),
     raises(TypeError, 'option "repeat_limit" has unsupported type IndexRaises')),
    ("__str__ raises", lambda n, f: Normalizer(emoji_placeholder=StrRaises()),
     raises(TypeError, 'option "emoji_placeholder" has unsupported type StrRaises')),
    ("bytes for str", lambda n, f: Normalizer(emoji_placeholder=b"x"),
     raises(TypeError, 'option "emoji_placeholder" has unsupported type bytes')),
    ("surrogate in option", lambda n, f: Normalizer(emoji_placeholder="\ud800"), raises(UnicodeEncodeError, SURROGATE)),
    ("short pair", lambda n, f: Normalizer(url_wrap=("<",)), raises(TypeError, 'option "url_wrap" has unsupported type tuple')),
    ("keyword not str", lambda n, f: Normalizer(**{1: True}), raises(TypeError, "keywords must be strings")),
    # -- with_custom_dict
    ("mapping list", lambda n, f: n.with_custom_dict([("甲", ["x1"])]),
     raises(TypeError, "argument 'mapping': 'list' object is not an instance of 'dict'")),
    ("mapping None", lambda n, f: n.with_custom_dict(None),
     raises(TypeError, "argument 'mapping': 'NoneType' object is not an instance of 'dict'")),
    ("key bytes", lambda n, f: n.with_custom_dict({b"k": ["x1"]}), raises(TypeError, "custom dict keys must be str")),
    ("value str", lambda n, f: n.with_custom_dict({"甲": "x1"}),
     raises(TypeError, 'custom dict value for "甲" must be a list of str, not str')),
    ("value None", lambda n, f: n.with_custom_dict({"甲": None}),
     raises(TypeError, 'custom dict value for "甲" must be an iterable of str')),
    ("__iter__ raises", lambda n, f: n.with_custom_dict({"甲": IterRaises()}),
     raises(TypeError, 'custom dict value for "甲" must be an iterable of str')),
    ("variant bytes", lambda n, f: n.with_custom_dict({"甲": ["x1", b"x2"]}), raises(TypeError, "custom dict variants must be str")),
    ("variant surrogate", lambda n, f: n.with_custom_dict({"甲": ["x1", "\ud800"]}), raises(UnicodeEncodeError, SURROGATE)),
    ("variants fail midway", lambda n, f: n.with_custom_dict({"甲": variants_then_boom()}), raises(Boom, "midway")),
    ("variants use the normalizer", lambda n, f: n.with_custom_dict(using_the_normalizer(n)),
     raises(RuntimeError, "Already mutably borrowed")),
    ("variants mutate the mapping", lambda n, f: n.with_custom_dict(mutating_mapping()), adds(2)),
    ("str subclasses", lambda n, f: n.with_custom_dict({StrSubclass("甲"): [StrSubclass("x1")]}), adds(1)),
    # -- load_custom_dict_json
    ("json bytes", lambda n, f: n.load_custom_dict_json(b"{}"),
     raises(TypeError, "load_custom_dict_json() argument 'json' must be str, not bytes")),
    ("json surrogate", lambda n, f: n.load_custom_dict_json('{"\ud800": []}'),
     raises(UnicodeEncodeError, SURROGATE.replace("position 0", "position 2"))),
    ("json deeply nested", lambda n, f: n.load_custom_dict_json('{"a": ' * 100_000),
     raises(ValueError, "invalid custom dict json: invalid json at char 384: nesting too deep")),
    ("json huge", lambda n, f: n.load_custom_dict_json('{"c": [' + "1," * 1_000_000 + "]}"),
     raises(ValueError, "invalid custom dict json: invalid json at char 0: expected string in array")),
    ("json huge, then cut", lambda n, f: n.load_custom_dict_json('{"c": [' + '"x",' * 500_000),
     raises(ValueError, "invalid custom dict json: invalid json at char 2000007: unexpected end of input")),
    ("json str subclass", lambda n, f: n.load_custom_dict_json(StrSubclass(json.dumps({"甲": ["x1"]}))), adds(1)),
    # -- files
    ("path int", lambda n, f: n.load_custom_dict_file(3), raises(TypeError, "expected str, bytes or os.PathLike object, not int")),
    ("path None", lambda n, f: n.load_sudachi_synonyms(None),
     raises(TypeError, "expected str, bytes or os.PathLike object, not NoneType")),
    ("__fspath__ raises", lambda n, f: n.load_custom_dict_file(FspathRaises()), raises(Boom, "fspath")),
    ("__fspath__ returns int", lambda n, f: n.load_custom_dict_file(FspathReturnsInt()),
     raises(TypeError, "expected FspathReturnsInt.__fspath__() to return str or bytes, not int")),
    ("format bytes", lambda n, f: n.load_custom_dict_file(f / "file.csv", format=b"csv"),
     raises(TypeError, "load_custom_dict_file() argument 'format' must be str or None, not bytes")),
    ("format unknown", lambda n, f: n.load_custom_dict_file(f / "missing.yaml"),
     raises(ValueError, 'unknown custom dict format "yaml" (expected json, csv, tsv)')),
    ("missing", lambda n, f: n.load_custom_dict_file(f / "missing.csv"),
     raises(FileNotFoundError, "cannot read {files}/missing.csv: No such file or directory (os error 2)")),
    ("directory", lambda n, f: n.load_sudachi_synonyms(f / "dir.csv"),
     raises(IsADirectoryError, "cannot read {files}/dir.csv: Is a directory (os error 21)")),
    ("below a file", lambda n, f: n.load_custom_dict_file(f / "file.csv" / "x.csv"),
     raises(NotADirectoryError, "cannot read {files}/file.csv/x.csv: Not a directory (os error 20)")),
    ("NUL in path", lambda n, f: n.load_custom_dict_file(str(f / "a\0b.csv")),
     raises(OSError, "cannot read {files}/a\0b.csv: path contains a NUL byte")),
    ("str subclass path", lambda n, f: n.load_custom_dict_file(StrSubclass(f / "crlf_entry.csv")), adds(1)),
    ("empty csv", lambda n, f: n.load_custom_dict_file(f / "empty.csv"), adds(0)),
    ("empty json", lambda n, f: n.load_custom_dict_file(f / "empty.json"),
     raises(ValueError, "invalid custom dict {files}/empty.json: invalid json at char 0: unexpected end of input")),
    ("only a BOM", lambda n, f: n.load_custom_dict_file(f / "bom.csv"), adds(0)),
    ("only CRLF", lambda n, f: n.load_custom_dict_file(f / "crlf.csv"), adds(0)),
    ("CRLF entry", lambda n, f: n.load_custom_dict_file(f / "crlf_entry.csv"), adds(1)),
    ("binary", lambda n, f: n.load_custom_dict_file(f / "binary.csv"), raises(OSError, "cannot read {files}/binary.csv: " + NOT_UTF8)),
    ("latin-1", lambda n, f: n.load_sudachi_synonyms(f / "latin1.csv"), raises(OSError, "cannot read {files}/latin1.csv: " + NOT_UTF8)),
    ("cut character", lambda n, f: n.load_custom_dict_file(f / "cut.json"), raises(OSError, "cannot read {files}/cut.json: " + NOT_UTF8)),
    ("NUL row", lambda n, f: n.load_custom_dict_file(f / "nul.csv"),
     raises(ValueError, "invalid custom dict {files}/nul.csv: invalid row at line 1")),
    ("NUL in entry", lambda n, f: n.load_custom_dict_file(f / "nul_entry.tsv"), adds(1)),
    ("huge line", lambda n, f: n.load_custom_dict_file(f / "huge_line.csv"),
     raises(ValueError, "invalid custom dict {files}/huge_line.csv: invalid row at line 1")),
    ("huge canonical form", lambda n, f: n.load_custom_dict_file(f / "huge_line.tsv"), adds(1)),
    ("deep json file", lambda n, f: n.load_custom_dict_file(f / "deep.json"),
     raises(ValueError, "invalid custom dict {files}/deep.json: invalid json at char 64: nesting too deep")),
    ("huge json file", lambda n, f: n.load_custom_dict_file(f / "huge.json"),
     raises(ValueError, "invalid custom dict {files}/huge.json: invalid json at char 0: expected string in array")),
    ("sudachi row without commas", lambda n, f: n.load_sudachi_synonyms(f / "sudachi_bad.txt"),
     raises(ValueError, "invalid sudachi synonyms {files}/sudachi_bad.txt: sudachi synonyms: too few columns at line 2")),
    ("sudachi NUL fields", lambda n, f: n.load_sudachi_synonyms(f / "sudachi_nul.txt"), adds(0)),
    # -- levenshtein
    ("levenshtein bytes", lambda n, f: zenkor.levenshtein(b"a", "a"), raises(TypeError, "levenshtein() argument 'a' must be str, not bytes")),
    ("levenshtein surrogate", lambda n, f: zenkor.levenshtein("a", "\ud800"), raises(UnicodeEncodeError, SURROGATE)),
]

if os.name == "posix" and os.geteuid() != 0:
    ROWS.append(("unreadable", lambda n, f: n.load_custom_dict_file(f / "secret.csv"),
                 raises(PermissionError, "cannot read {files}/secret.csv: Permission denied (os error 13)")))


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    root = tmp_path_factory.mktemp("bad-input")
    make_files(root)
    secret = root / "secret.csv"
    secret.write_text("a,b")
    secret.chmod(0)
    return root


def observe(n):
    """What a row must leave as it was: options, dictionary and results."""
    return n.config, n.custom_dict_size, n.normalize("k x1 ｋ"), n.normalize_batch(["k", "y1"])


@pytest.mark.parametrize("call, expected", [row[1:] for row in ROWS], ids=[row[0] for row in ROWS])
def test_bad_input(files, call, expected):
    n = Normalizer("for_search").with_custom_dict({"Ｋ": ["k"]})
    before = observe(n)
    if expected[0] == "raises":
        _, kind, message = expected
        with pytest.raises(BaseException) as info:
            call(n, files)
        assert type(info.value) is kind
        assert str(info.value) == message.format(files=files)
        if isinstance(info.value, OSError) and type(info.value) is not OSError:
            assert info.value.errno == {FileNotFoundError: errno.ENOENT, IsADirectoryError: errno.EISDIR,
                                        NotADirectoryError: errno.ENOTDIR, PermissionError: errno.EACCES}[kind]
        assert observe(n) == before
    else:
        result = call(n, files)
        assert result is n
        assert n.custom_dict_size == before[1] + expected[1]
        assert n.normalize("k") == "Ｋ"  # what was there before is still there
    assert Normalizer("none").normalize(" ok ") == " ok "

