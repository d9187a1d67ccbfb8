"""Memory and file descriptors: failing calls give back everything they took, and reading a large
JSON dictionary costs about what its entries cost, never a copy of the text or a tree of it.

Each case runs in a fresh interpreter, so what it measures is its own."""

import json
import os
import random
import subprocess
import sys

import pytest

pytestmark = pytest.mark.skipif(not os.path.isdir("/proc/self/fd"), reason="reads /proc/self")

PRELUDE = """
import gc, os, resource
import zenkor
from zenkor import Normalizer

def rss():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * resource.getpagesize()

def fds():
    return len(os.listdir("/proc/self/fd"))
"""


def run(code, *args):
    done = subprocess.run([sys.executable, "-c", PRELUDE + code, *map(str, args)],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return done.stdout.split()


# ----------------------------------------------------------------------------
# 10^5 failing calls of each kind leave RSS and the open descriptors as they were.

LEAK_LOOP = """
import sys
folder = sys.argv[1]
n = Normalizer("for_search").with_custom_dict({"K": ["k"]})

def midway():
    yield "x"
    raise KeyError("midway")

def reentrant():
    yield n.normalize("x")

call = eval("lambda: " + sys.argv[2])
def loop(times):
    for _ in range(times):
        try:
            call()
        except Exception:
            pass
        else:
            raise SystemExit("the call did not fail")

loop(2_000)  # warms up the interpreter's own caches and free lists
gc.collect()
rss_before, fds_before = rss(), fds()
loop(100_000)
gc.collect()
print(rss() - rss_before, fds() - fds_before, n.custom_dict_size)
"""

FAILING_CALLS = [
    "n.normalize(None)",
    "n.normalize('\\ud800')",
    "n.normalize_batch(['a', 'b', 1])",
    "n.normalize_batch(['\\ud800'] + ['x' * 20_000] * 4, jobs=2)",  # fails on one thread, stops the other
    "Normalizer(repeat_limit=-1)",
    "Normalizer('nope')",
    "Normalizer(emoji_placeholder='x', nfkc=1)",
    "n.with_custom_dict({'a': ['x', 'y', 1]})",
    "n.with_custom_dict({'a': midway()})",
    "n.with_custom_dict({'a': reentrant()})",
    "n.load_custom_dict_json('{\"a\": [\"x\", \"y\"], \"b\": [1]}')",
    "n.load_custom_dict_json('[' * 100)",
    "n.load_custom_dict_file(folder + '/missing.csv')",
    "n.load_custom_dict_file(folder)",  # opens, then fails to read
    "n.load_custom_dict_file(folder + '/latin1.csv')",  # reads, then fails the UTF-8 check
    "n.load_custom_dict_file(folder + '/bad.csv')",
    "n.load_sudachi_synonyms(folder + '/bad.csv')",
    "n.load_custom_dict_file(folder + '/a\\0b.csv')",
    "zenkor.levenshtein('a', 1)",
]


@pytest.mark.parametrize("call", FAILING_CALLS)
def test_failing_calls_leak_nothing(tmp_path, dict_file, call):
    dict_file("latin1.csv", "x,caf\xe9\n".encode("latin-1"))
    dict_file("bad.csv", "x,y\nno delimiter\n")
    grown, fds, entries = map(int, run(LEAK_LOOP, tmp_path, call))
    assert fds == 0
    assert grown < 1 << 20  # a leak of 10 bytes a call would show as 1 MB
    assert entries == 1


# ----------------------------------------------------------------------------
# Peak memory of load_custom_dict_json on 10 MB documents.

PEAK = """
import json, sys
n = Normalizer("none")
text = open(sys.argv[1], encoding="utf-8").read()
if sys.argv[2] == "mapping":
    text = json.loads(text)
gc.collect()
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")  # restarts the peak (VmHWM) from the current RSS
before = rss()
try:
    n.with_custom_dict(text) if sys.argv[2] == "mapping" else n.load_custom_dict_json(text)
except ValueError:
    pass
with open("/proc/self/status") as f:
    peak = next(int(line.split()[1]) * 1024 for line in f if line.startswith("VmHWM:"))
print(peak - before, n.custom_dict_size)
"""

MB = 1 << 20


def peak_of(dict_file, document, how="json"):
    peak, entries = map(int, run(PEAK, dict_file("doc.json", document), how))
    return peak, entries


def test_a_rejected_10_mb_document_costs_less_than_its_size(dict_file):
    document = '{"c": [' + "1," * 5_000_000 + "]}"  # wrong at its first item, read to the end
    peak, entries = peak_of(dict_file, document)
    assert entries == 0
    assert peak < len(document)  # it was 78 times the size with a tree of 4-byte characters


def test_a_valid_10_mb_document_costs_what_its_entries_cost(dict_file):
    # 10 MB of Japanese words, five variants to a canonical form: half a million entries.  The
    # same entries given as a dict need no parsing, so reading the JSON may cost little more.
    rng = random.Random(7)
    chars = "".join(rng.choices([chr(c) for c in range(0x4E00, 0x4E00 + 3000)], k=2_700_000))
    cuts = iter(rng.choices(range(2, 7), k=600_000))
    mapping, used = {}, 0
    while used < len(chars) - 40:
        canonical, used = chars[used : used + 4], used + 4
        mapping[canonical] = []
        for length in (next(cuts) for _ in range(5)):
            mapping[canonical].append(chars[used : used + length])
            used += length
    document = json.dumps(mapping, ensure_ascii=False)
    size = len(document.encode())
    from_json, entries = peak_of(dict_file, document)
    from_mapping, same_entries = peak_of(dict_file, document, "mapping")
    assert entries == same_entries > 400_000
    assert from_json < from_mapping + size
    assert from_json < 10 * size  # 16.7 times before the entries were given room up front


# ----------------------------------------------------------------------------
# Peak memory of one huge normalize call (bench/bench_memory.py measures it on more text).

HUGE_CALL = """
import sys
text = open(sys.argv[1], encoding="utf-8").read()
n = Normalizer("for_search")
n.normalize(text[:1000])  # the tables built at first use are not the call's
gc.collect()
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")
before = rss()
out = n.normalize(text)
with open("/proc/self/status") as f:
    peak = next(int(line.split()[1]) * 1024 for line in f if line.startswith("VmHWM:"))
print(peak - before, sys.getsizeof(text), out is text)
"""


def test_a_huge_call_holds_its_text_about_twice_in_utf_8(tmp_path, corpus_lines):
    # 10 MB of UTF-8 (Japanese: one and a half times the str's own size) with URLs in it: the text,
    # the segments joined, and the two buffers of the steps over a plain piece between URLs; then
    # the result and the new str.  It was 7.2 times the str's size with every buffer held to the
    # end, a copy of each segment and a decoding buffer four bytes for each byte.
    lines = "\n".join(corpus_lines).encode()
    path = tmp_path / "huge.txt"
    path.write_bytes((lines * (1 + 10 * MB // len(lines)))[: 10 * MB].decode("utf-8", "ignore").encode())
    peak, size, same = run(HUGE_CALL, path)
    assert same == "False"
    assert int(peak) < 5 * int(size)  # 4.1 measured
