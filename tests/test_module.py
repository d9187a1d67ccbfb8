"""The module and the Normalizer class as Python sees them."""

import ast
import inspect
import os
import subprocess
import sys
import threading
from pathlib import Path

import pytest

import zenkor
from zenkor import Normalizer, _native


def test_module_attributes_in_order():
    public = [name for name in vars(_native) if not name.startswith("_") or name == "__version__"]
    assert public == ["Normalizer", "normalize", "levenshtein", "__version__"]
    assert zenkor.ExplainStep is _native._ExplainStep
    assert Normalizer.__module__ == "zenkor._native"
    assert Normalizer.__name__ == "Normalizer"


@pytest.mark.parametrize(
    "obj, signature, doc",
    [
        (Normalizer, "(preset=None, **options)", "Python に公開する Normalizer。"),
        (Normalizer.normalize, "(self, /, text)", "テキストを正規化する。長いテキストの処理中は GIL を解放する。"),
        (Normalizer.normalize_batch, "(self, /, texts, jobs=1)",
         "複数テキストをまとめて正規化する。処理中は GIL を解放する。\n\n"
         "`jobs` 個のスレッドが大きなバッチを分担する(結果の順序は入力どおり)。"),
        (Normalizer.preset, "(name)", "プリセット名から生成する(`Normalizer(name)` と同じ)。"),
        (Normalizer.presets, "()", "利用可能なプリセット名の一覧。"),
        (zenkor.normalize, "(text, preset=None)",
         "トップレベル関数: プリセット(既定は `neologdn_compat`)でテキストを正規化する。"),
        (zenkor.levenshtein, "(a, b)", "2 文字列のレーベンシュタイン距離(文字単位)。"),
    ],
)
def test_signatures_and_docstrings(obj, signature, doc):
    assert str(inspect.signature(obj)) == signature
    assert obj.__doc__ == doc


STUB = Path(__file__).resolve().parents[1] / "python" / "zenkor" / "_native.pyi"


def stub_members():
    """Name -> parameters (name, default, is **kwargs) of every def in the type stub."""
    tree = ast.parse(STUB.read_text(encoding="utf-8"))
    defs = [(node.name, node) for node in tree.body if isinstance(node, ast.FunctionDef)]
    for node in tree.body:
        if isinstance(node, ast.ClassDef) and node.name == "Normalizer":
            defs += [("Normalizer." + item.name, item) for item in node.body if isinstance(item, ast.FunctionDef)]
    members = {}
    for name, node in defs:
        args = node.args
        positional = args.posonlyargs + args.args
        defaults = [inspect.Parameter.empty] * (len(positional) - len(args.defaults)) + [
            ast.literal_eval(d) for d in args.defaults
        ]
        params = [(a.arg, d, False) for a, d in zip(positional, defaults)]
        if args.kwarg:
            params.append((args.kwarg.arg, inspect.Parameter.empty, True))
        members[name] = params
    return members


def runtime_parameters(obj):
    return [(p.name, p.default, p.kind is inspect.Parameter.VAR_KEYWORD) for p in inspect.signature(obj).parameters.values()]


def test_type_stub_matches_the_module():
    stub = stub_members()
    getset = type(Normalizer.config)
    public = {"Normalizer." + name for name in vars(Normalizer) if not name.startswith("_")}
    assert set(stub) == public | {"Normalizer.__new__", "normalize", "levenshtein"}
    for name, params in stub.items():
        owner, _, short = name.rpartition(".")
        if short == "__new__":
            assert params[1:] == runtime_parameters(Normalizer)
        elif owner and isinstance(inspect.getattr_static(Normalizer, short), getset):
            assert [p[0] for p in params] == ["self"], name
        else:
            assert params == runtime_parameters(getattr(Normalizer if owner else _native, short)), name


def test_config_property_doc():
    assert Normalizer.config.__doc__ == "現在の設定を kwargs 互換の dict で返す。`Normalizer(**n.config)` で複製できる。"


def test_module_normalize_matches_default_instance():
    text = "  ﾊﾝｶｸ\u200b　ＡＢＣ \r\n"
    assert zenkor.normalize(text) == Normalizer().normalize(text)
    assert zenkor.normalize(text, "none") == text
    assert zenkor.normalize(text, preset=None) == Normalizer().normalize(text)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda n: n.normalize(1), "normalize() argument 'text' must be str, not int"),
        (lambda n: n.normalize(b"x"), "normalize() argument 'text' must be str, not bytes"),
        (lambda n: n.normalize(), None),
        (lambda n: n.normalize("a", "b"), None),
        (lambda n: n.normalize_batch("abc"), "Can't extract `str` to `Vec`"),
        (lambda n: n.normalize_batch(5), "is not an instance of 'Sequence'"),
        (lambda n: n.normalize_batch({"a": 1}), "is not an instance of 'Sequence'"),
        (lambda n: n.normalize_batch(["a", 2]), "must be str, not int"),
        (lambda n: Normalizer.preset(3), "preset() argument 'name' must be str, not int"),
        (lambda n: Normalizer(1), "argument 'preset' must be str or None, not int"),
        (lambda n: Normalizer("none", "none"), "at most 1 positional argument"),
        (lambda n: Normalizer("none", preset="none"), "given by name ('preset') and position"),
        (lambda n: Normalizer("none", **{1: True}), "keywords must be strings"),
        (lambda n: zenkor.normalize(None), "normalize() argument 'text' must be str, not NoneType"),
        (lambda n: zenkor.normalize("x", 1), "argument 'preset' must be str or None, not int"),
        (lambda n: zenkor.normalize("x", nfkc=True), None),
        (lambda n: zenkor.levenshtein(1, "a"), "levenshtein() argument 'a' must be str, not int"),
        (lambda n: zenkor.levenshtein("a", None), "levenshtein() argument 'b' must be str, not NoneType"),
    ],
)
def test_argument_errors_are_type_errors(call, message):
    n = Normalizer()
    with pytest.raises(TypeError) as err:
        call(n)
    if message:
        assert message in str(err.value)
    assert n.normalize(" ok ") == "ok"  # the object keeps working


@pytest.mark.parametrize("text", ["\ud800", "a\udfffb", "\udc00\ud800"])
def test_lone_surrogates_raise_and_leave_the_object_usable(text):
    n = Normalizer()
    with pytest.raises(UnicodeEncodeError):
        n.normalize(text)
    with pytest.raises(UnicodeEncodeError):
        n.normalize_batch(["fine", text])
    with pytest.raises(UnicodeEncodeError):
        zenkor.levenshtein(text, "a")
    with pytest.raises(UnicodeEncodeError):
        Normalizer("none", emoji_placeholder=text)
    assert n.normalize_batch(["ｱ", " b "]) == ["ア", "b"]


def test_batch_keeps_order_and_accepts_any_sequence():
    n = Normalizer()
    texts = [f" {i}ｱ " for i in range(2000)]
    assert n.normalize_batch(texts) == [n.normalize(t) for t in texts]
    assert n.normalize_batch(tuple(texts[:3])) == [n.normalize(t) for t in texts[:3]]
    assert n.normalize_batch([]) == []
    assert n.normalize_batch(range(0)) == []


def test_batch_over_many_chunks_matches_per_text_calls():
    # Batches are normalized in chunks of some 65,536 characters: texts of
    # every width, unchanged ones and subclasses across chunk boundaries.
    class Text(str):
        pass

    n = Normalizer("for_search")
    kinds = ["ｱｲｳ ABC", "already clean", "ＡＢＣ😀ﾃﾞｽ", "é ｶﾞ", "x" * 3000, Text("ｷｬ")]
    texts = [kinds[i % len(kinds)] + str(i) for i in range(400)]
    assert sum(map(len, texts)) > 3 * 65536
    out = n.normalize_batch(texts)
    assert out == [n.normalize(t) for t in texts]
    assert all(type(o) is str for o in out)
    with pytest.raises(UnicodeEncodeError):
        n.normalize_batch(texts + ["\ud800"])
    assert n.normalize_batch(texts[:2]) == out[:2]


def test_very_long_input_is_not_truncated():
    n = Normalizer("none")
    text = "ｱいう😀\n" * (4 * 1024 * 1024)  # 48 MiB of UTF-8
    out = n.normalize(text)
    assert len(out) == len(text) and out == text


def test_subclass_and_static_preset_builds_the_base_class():
    class Mine(Normalizer):
        pass

    m = Mine("none")
    assert type(m) is Mine and m.normalize(" a ") == " a "
    assert type(Mine.preset("none")) is Normalizer


def test_normalizing_from_many_threads_agrees():
    n = Normalizer("neologdn_compat")
    text = "ｶﾀｶﾅ　ＡＢＣ１２３ " * 2000
    expected = n.normalize(text)
    results = []

    def work():
        for _ in range(20):
            results.append(n.normalize(text) == expected)
            results.append(n.normalize_batch([text, text]) == [expected, expected])

    threads = [threading.Thread(target=work) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert len(results) == 160 and all(results)


def test_batch_survives_its_list_being_emptied_meanwhile():
    # Another thread empties the list while the batch runs without the lock;
    # the texts must stay alive until the batch is done.  A separate
    # interpreter, because reading freed texts can bring the process down.
    code = """
import threading, time
from zenkor import Normalizer
n = Normalizer()
texts = [("ｱｲｳ　ＡＢＣ " * 20000) + str(i) for i in range(16)]
expected = [n.normalize(t) for t in texts]
out = []
worker = threading.Thread(target=lambda: out.append(n.normalize_batch(texts)))
worker.start()
time.sleep(0.01)
texts.clear()
junk = ["Z" * 300000 for _ in range(64)]
worker.join()
assert out == [expected], "wrong batch result"
"""
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr


MEMORY_SCRIPT = """
import resource
import zenkor
from zenkor import Normalizer

# Each emoji becomes 1000 bytes: 10 MB of text would need 2.5 GB of output.
n = Normalizer("none", emoji_placeholder="x" * 1000)
text = "a😀" * 2_500_000
with open("/proc/self/statm") as f:
    in_use = int(f.read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (in_use + 256 * 2**20, resource.getrlimit(resource.RLIMIT_AS)[1]))
for call in (lambda: n.normalize(text), lambda: n.normalize_batch([text])):
    try:
        call()
        print("no error")
    except MemoryError:
        print("MemoryError")
print(n.normalize("a😀b"))
"""


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc to size the memory limit")
def test_running_out_of_memory_while_normalizing_is_a_memory_error():
    done = subprocess.run([sys.executable, "-c", MEMORY_SCRIPT], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == ["MemoryError", "MemoryError", "a" + "x" * 1000 + "b"]


# Run in a separate process, which creates a subinterpreter and has it import
# the module; the result comes back through a file, and the main interpreter
# normalizes afterwards to show it was left intact.  test.support is the one
# way to make a subinterpreter that both 3.12 and 3.13 offer.
SUBINTERPRETER_SCRIPT = """
import sys, unittest
try:
    from test import support
except ImportError:
    sys.exit("skip: this Python has no test.support")
import zenkor

result_path, own_gil = sys.argv[1], sys.argv[2] == "own"
probe = f'''
try:
    import zenkor._native
    result = "imported"
except ImportError as error:
    result = "ImportError: " + str(error)
with open({result_path!r}, "w") as f:
    f.write(result)
'''
try:
    support.run_in_subinterp_with_config(
        probe, own_gil=own_gil, use_main_obmalloc=not own_gil, allow_fork=True, allow_exec=True,
        allow_threads=True, allow_daemon_threads=not own_gil, check_multi_interp_extensions=True,
    )
except unittest.SkipTest as why:
    sys.exit(f"skip: {why}")
with open(result_path) as f:
    print(f.read())
print(zenkor.normalize("ＡＢＣ"))
"""


@pytest.mark.skipif(sys.version_info < (3, 12), reason="interpreters check an extension's support from Python 3.12")
# A subinterpreter with its own GIL refuses any module that does not declare
# per-interpreter GIL support; one that shares the main GIL refuses the module
# only because it declares that it supports no other interpreter (its class
# objects are process-wide).
@pytest.mark.parametrize("gil", ["shared", "own"])
def test_importing_in_a_subinterpreter_fails_cleanly(tmp_path, gil):
    done = subprocess.run(
        [sys.executable, "-c", SUBINTERPRETER_SCRIPT, str(tmp_path / "result"), gil],
        capture_output=True, text=True, timeout=120,
    )
    if done.returncode != 0 and done.stderr.startswith("skip: "):
        pytest.skip(done.stderr.strip())
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == [
        "ImportError: module zenkor._native does not support loading in subinterpreters",
        "ABC",
    ]
