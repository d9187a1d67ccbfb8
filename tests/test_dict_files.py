"""Dictionary text formats: delimited lines, grouped JSON, and reading files."""

import errno
import os
import subprocess
import sys
from pathlib import Path

import pytest

from zenkor import Normalizer


def entries_after(n, probes):
    return {p: n.normalize(p) for p in probes}


# ----------------------------------------------------------------------------
# Delimited lines (CSV and TSV files).


@pytest.mark.parametrize(
    "content, probes",
    [
        ("幽白,幽遊白書", {"幽白": "幽遊白書"}),
        (" 幽白 , 幽遊白書 \n", {"幽白": "幽遊白書"}),
        ("\u3000幽白\u3000,\u00a0幽遊白書\u0085", {"幽白": "幽遊白書"}),
        ("a,b,c", {"a": "b,c"}),  # only the first comma cuts
        ("a,\nx,y", {"a": "", "x": "y"}),  # empty canonical deletes
        ('"q",r', {'"q"': "r", "q": "q"}),  # no quoting
        ("# note\n\n\u3000\nx,y\n#z,w", {"x": "y", "#z": "#z"}),
        ("x,1\r\nx,2\r\n", {"x": "2"}),  # CRLF, later line wins
    ],
)
def test_csv_entries(dict_file, content, probes):
    n = Normalizer("none").load_custom_dict_file(dict_file("words.csv", content))
    assert entries_after(n, probes) == probes


def test_a_line_given_again_counts_as_given_last(dict_file):
    path = dict_file("words.csv", "ウ,A\nｳ,A\nウ,B\n")
    assert Normalizer("neologdn_compat").load_custom_dict_file(path).normalize("ウ") == "B"


def test_crlf_and_lf_give_the_same_entries(dict_file):
    text = "幽白,幽遊白書\nゆうはく,幽遊白書\n"
    lf, crlf = dict_file("lf.csv", text), dict_file("crlf.csv", text.replace("\n", "\r\n"))
    a = Normalizer("none").load_custom_dict_file(lf)
    b = Normalizer("none").load_custom_dict_file(crlf)
    assert a.custom_dict_size == b.custom_dict_size == 2
    assert a.normalize("幽白ゆうはく") == b.normalize("幽白ゆうはく") == "幽遊白書幽遊白書"


@pytest.mark.parametrize("name", ["words.csv", "words.tsv", "words.json", "synonyms.txt"])
def test_a_leading_byte_order_mark_is_not_part_of_the_first_entry(dict_file, name):
    content = {
        "words.csv": "幽白,幽遊白書\n",
        "words.tsv": "幽白\t幽遊白書\n",
        "words.json": '{"幽遊白書": ["幽白"]}',
        "synonyms.txt": "1,1,0,1,0,0,0,(),幽遊白書,,\n1,1,0,1,0,0,1,(),幽白,,\n",
    }[name]
    path = dict_file(name, b"\xef\xbb\xbf" + content.encode())
    n = Normalizer("none")
    n = n.load_sudachi_synonyms(path) if name == "synonyms.txt" else n.load_custom_dict_file(path)
    assert n.normalize("幽白") == "幽遊白書"


def test_delimited_keeps_self_mappings(dict_file):
    assert Normalizer("none").load_custom_dict_file(dict_file("words.csv", "a,a\n")).custom_dict_size == 1


@pytest.mark.parametrize(
    "content, line",
    [
        (",b", 1),
        ("abc", 1),
        ("x,y\nabc\n", 2),
        ("# c\n\nx", 3),
        ("x,y\n \t,z", 2),  # the variant is empty after trimming
    ],
)
def test_csv_invalid_rows(dict_file, content, line):
    path = dict_file("words.csv", content)
    n = Normalizer("none").with_custom_dict({"K": ["k"]})
    with pytest.raises(ValueError) as info:
        n.load_custom_dict_file(path)
    assert str(info.value) == f"invalid custom dict {path}: invalid row at line {line}"
    assert n.custom_dict_size == 1


@pytest.mark.parametrize("name", ["words.tsv", "words.txt", "words.TSV"])
def test_tab_separated(dict_file, name):
    n = Normalizer("none").load_custom_dict_file(dict_file(name, "幽白\t幽遊白書\na,b\tc\n"))
    assert entries_after(n, ["幽白", "a,b"]) == {"幽白": "幽遊白書", "a,b": "c"}


# ----------------------------------------------------------------------------
# Grouped JSON.


@pytest.mark.parametrize(
    "text, size",
    [
        ('{"幽遊白書": ["幽白", "ゆうはく", "幽☆遊☆白書"]}', 3),
        ('{"a": ["a"]}', 0),
        ('{"a": []}', 0),
        ('{"a": ["x",],}', 1),  # trailing commas
        ('{"a": ["x"], "b": ["y"], "a": ["z"]}', 3),  # repeated keys are all read
        (' \t\r\n{"a": ["x"]}\n ', 1),
        ('{"a": ["x"], "junk": [], "n": []}', 1),
    ],
)
def test_json_entries(text, size):
    assert Normalizer("none").load_custom_dict_json(text).custom_dict_size == size


DEEP_OK = '{"a": [' + "[" * 62 + "]" * 62 + "]}"  # 64 containers open at the deepest
DEEP_BAD = '{"a": [' + "[" * 63 + "]" * 63 + "]}"


@pytest.mark.parametrize(
    "text, pos, msg",
    [
        ("", 0, "unexpected end of input"),
        ("   ", 3, "unexpected end of input"),
        ('{"a": [', 7, "unexpected end of input"),
        ("[]", 0, "expected top-level object"),
        ("[,]", 0, "expected top-level object"),
        ("null", 0, "expected top-level object"),
        ('"s"', 0, "expected top-level object"),
        ("{} x", 3, "trailing characters after top-level value"),
        ("]", 0, "trailing characters after top-level value"),
        ('{"a": "x"}', 0, "expected array of strings"),
        ('{"a": [1]}', 0, "expected string in array"),
        ('{"a": ["x", null]}', 0, "expected string in array"),
        ('{"幽" 1}', 5, "expected ':' after object key"),
        ('{"a"', 4, "expected ':' after object key"),
        ('{"a": ["x" "y"]}', 11, "expected ',' or ']'"),
        ('{"a": ["x"', 10, "expected ',' or ']'"),
        ('{"a": [] "b"}', 9, "expected ',' or '}'"),
        ('{"a": []', 8, "expected ',' or '}'"),
        ("{a: []}", 1, "expected string"),
        ("{", 1, "expected string"),
        ('{"a', 3, "unterminated string"),
        ('{"a\\', 4, "unterminated escape"),
        ('{"a\\q": []}', 5, "invalid escape sequence"),
        ('{"\\u12G4": []}', 6, "expected 4 hex digits after \\u"),
        ('{"\\u12', 6, "expected 4 hex digits after \\u"),
        ('{"\\ud800": []}', 8, "lone high surrogate in \\u escape"),
        ('{"\\ud800', 8, "lone high surrogate in \\u escape"),
        ('{"\\ud800\\n": []}', 8, "lone high surrogate in \\u escape"),
        ('{"\\ud800\\', 8, "lone high surrogate in \\u escape"),
        ('{"\\ud800\\u0041": []}', 14, "lone high surrogate in \\u escape"),
        ('{"\\ud800\\u00zz": []}', 12, "expected 4 hex digits after \\u"),
        ('{"\\udc00": []}', 8, "invalid \\u escape (lone surrogate)"),
        (DEEP_OK, 0, "expected string in array"),  # parsed; only the content is wrong
        (DEEP_BAD, 7 + 62, "nesting too deep"),
        ("[" * 100, 64, "nesting too deep"),
    ],
)
def test_json_errors(text, pos, msg):
    with pytest.raises(ValueError) as info:
        Normalizer("none").load_custom_dict_json(text)
    assert str(info.value) == f"invalid custom dict json: invalid json at char {pos}: {msg}"


@pytest.mark.parametrize(
    "escaped, char",
    [
        ("\\u0041", "A"),
        ("\\u5e7D", "幽"),
        ("\\ud842\\udfb7", "𠮷"),
        ("\\/\\b\\f\\r\\t", "/\b\f\r\t"),
        ("\\u0000", "\0"),
        ("raw\ttab\nline", "raw\ttab\nline"),  # raw control characters are kept
    ],
)
def test_json_escapes(escaped, char):
    n = Normalizer("none").load_custom_dict_json('{"X": ["' + escaped + '"]}')
    assert n.normalize(char) == "X"


# ----------------------------------------------------------------------------
# Choosing the format and reading the file.


@pytest.mark.parametrize(
    "name, fmt, content",
    [
        ("words.csv", None, "v,C"),
        ("words.CSV", None, "v,C"),
        ("dict.JSON", None, '{"C": ["v"]}'),
        ("a.tar.csv", None, "v,C"),
        ("words.txt", None, "v\tC"),
        ("words", "json", '{"C": ["v"]}'),
        ("words.json", "CSV", "v,C"),  # the argument overrides the extension
        ("words.csv", "tsv", "v\tC"),
    ],
)
def test_format_by_extension_or_argument(dict_file, name, fmt, content):
    path = dict_file(name, content)
    n = Normalizer("none").load_custom_dict_file(str(path), format=fmt)
    assert n.normalize("v") == "C"


@pytest.mark.parametrize(
    "name, fmt, shown",
    [
        ("words.yaml", None, '"yaml"'),
        ("words", None, '""'),
        (".json", None, '""'),
        ("README", None, '""'),
        ("words.", None, '""'),
        ("words.json", "Yaml", '"yaml"'),
        ("words.json", "", '""'),
        ("words.json", "j\"son", '"j\\"son"'),
    ],
)
def test_unknown_format_is_checked_before_opening(tmp_path, name, fmt, shown):
    # The file does not exist: the format error comes first.
    with pytest.raises(ValueError) as info:
        Normalizer("none").load_custom_dict_file(tmp_path / name, format=fmt)
    assert str(info.value) == f"unknown custom dict format {shown} (expected json, csv, tsv)"


def test_format_must_be_str_or_none(tmp_path):
    with pytest.raises(TypeError):
        Normalizer("none").load_custom_dict_file(tmp_path / "x.csv", format=1)


def test_path_may_be_str_bytes_or_pathlike(dict_file):
    path = dict_file("words.csv", "v,C")
    for arg in (str(path), bytes(path), path):
        assert Normalizer("none").load_custom_dict_file(arg).normalize("v") == "C"
    with pytest.raises(TypeError):
        Normalizer("none").load_custom_dict_file(3)


def test_invalid_json_file_names_the_path(dict_file):
    path = dict_file("words.json", "[]")
    with pytest.raises(ValueError) as info:
        Normalizer("none").load_custom_dict_file(path)
    assert str(info.value) == f"invalid custom dict {path}: invalid json at char 0: expected top-level object"


def check_unreadable(path, reason, method="load_custom_dict_file", kind=OSError, code=None):
    """The exact message, and for errors the system reports the subclass and errno it would raise."""
    n = Normalizer("none").with_custom_dict({"K": ["k"]})
    with pytest.raises(OSError) as info:
        getattr(n, method)(path)
    assert type(info.value) is kind
    assert info.value.errno == code
    assert str(info.value) == f"cannot read {os.fsdecode(path) if isinstance(path, bytes) else path}: {reason}"
    assert n.custom_dict_size == 1


@pytest.mark.parametrize("method", ["load_custom_dict_file", "load_sudachi_synonyms"])
def test_missing_file_and_directory(tmp_path, method):
    missing = "No such file or directory (os error 2)"
    check_unreadable(tmp_path / "missing.csv", missing, method, FileNotFoundError, errno.ENOENT)
    directory = tmp_path / "dir.csv"
    directory.mkdir()
    check_unreadable(directory, "Is a directory (os error 21)", method, IsADirectoryError, errno.EISDIR)
    check_unreadable(tmp_path / "dir.csv" / "x.csv", missing, method, FileNotFoundError, errno.ENOENT)
    check_unreadable(tmp_path / "missing.csv" / "x.csv", missing, method, FileNotFoundError, errno.ENOENT)
    (tmp_path / "file.csv").write_text("a,b")
    check_unreadable(tmp_path / "file.csv" / "x.csv", "Not a directory (os error 20)", method, NotADirectoryError,
                     errno.ENOTDIR)


@pytest.mark.skipif(os.name != "posix" or os.geteuid() == 0, reason="root can read any file")
def test_file_without_read_permission(dict_file):
    path = dict_file("secret.csv", "a,b")
    path.chmod(0)
    check_unreadable(path, "Permission denied (os error 13)", kind=PermissionError, code=errno.EACCES)


@pytest.mark.parametrize("method", ["load_custom_dict_file", "load_sudachi_synonyms"])
@pytest.mark.parametrize("data", [b"a,b\n\xff\xfe", b"\xe5\xb9", b"a,\xed\xa0\x80", b"\xc0\xaf,x"])
def test_file_that_is_not_utf8(dict_file, method, data):
    check_unreadable(dict_file("words.csv", data), "stream did not contain valid UTF-8", method)


@pytest.mark.parametrize("raw", [b"\xff", b"\xc3", b"\xe0\x80", b"\xf0\x90\x80x", b"\xed\xa0\x80", b"\xf4\x90"])
def test_undecodable_path_bytes_are_shown_as_replacement(tmp_path, raw):
    name = b"bad" + raw + b".csv"
    with pytest.raises(OSError) as info:
        Normalizer("none").load_custom_dict_file(bytes(tmp_path) + b"/" + name)
    shown = name.decode("utf-8", "replace")
    assert str(info.value) == f"cannot read {tmp_path}/{shown}: No such file or directory (os error 2)"


@pytest.mark.parametrize("path", [b"a\0b.csv", "a\0b.csv", Path("a\0b.csv")])
@pytest.mark.parametrize("method", ["load_custom_dict_file", "load_sudachi_synonyms"])
def test_path_with_nul_byte_is_an_os_error_with_the_whole_message(path, method):
    check_unreadable(path, "path contains a NUL byte", method)


def test_empty_files_add_nothing(dict_file):
    for name, content in [("e.csv", ""), ("e.tsv", "\n\n"), ("e.json", "{}")]:
        assert Normalizer("none").load_custom_dict_file(dict_file(name, content)).custom_dict_size == 0


# ----------------------------------------------------------------------------
# Files too large to be a dictionary, and running out of memory while reading.

LIMIT = 1 << 30
TOO_LARGE = f"file is larger than {LIMIT} bytes"


def run_with_address_space(limit, code):
    """Runs `code` in a fresh interpreter whose address space is capped, and returns its output."""
    script = f"import resource\nresource.setrlimit(resource.RLIMIT_AS, ({limit}, {limit}))\n{code}"
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return done.stdout


@pytest.mark.skipif(not os.path.exists("/dev/zero"), reason="needs /dev/zero")
def test_a_file_that_never_ends_stops_at_the_size_limit():
    # With 3 GiB of address space a reader that keeps going runs out of memory
    # instead; one that is bounded holds the limit and a byte, and no more.
    out = run_with_address_space(3 << 30, """
import resource, zenkor
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
try:
    zenkor.Normalizer("none").load_custom_dict_file("/dev/zero", format="csv")
except OSError as e:
    print(type(e).__name__, e.errno, str(e))
print((resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) * 1024)
""")
    message, grown = out.splitlines()
    assert message == f"OSError None cannot read /dev/zero: {TOO_LARGE}"
    assert int(grown) < LIMIT * 1.15


def test_a_large_regular_file_is_refused_before_it_is_read(tmp_path):
    path = tmp_path / "huge.txt"
    with open(path, "wb") as f:
        f.truncate(LIMIT + 1)  # sparse: takes no disk space, and reading it would take a second
    check_unreadable(path, TOO_LARGE, "load_sudachi_synonyms")


@pytest.mark.skipif(not os.path.isdir("/proc/self/fd"), reason="needs /proc/self/fd")
def test_running_out_of_memory_while_reading_closes_the_file():
    out = run_with_address_space(512 << 20, """
import os, zenkor
n = zenkor.Normalizer("none")
before = len(os.listdir("/proc/self/fd"))
for _ in range(5):
    try:
        n.load_sudachi_synonyms("/dev/zero")
    except MemoryError:
        pass
print(len(os.listdir("/proc/self/fd")) - before, n.custom_dict_size, n.normalize("ok"))
""")
    assert out.split() == ["0", "0", "ok"]
