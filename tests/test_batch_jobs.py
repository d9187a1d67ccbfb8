"""normalize_batch(texts, jobs=N): threads share a batch and give back what one thread gives, in
order, with the same objects for unchanged texts and the same errors."""

import subprocess
import sys
import threading

import pytest

from zenkor import Normalizer


class Text(str):
    """A str subclass: an unchanged one comes back as itself, a changed one as a plain str."""


# Texts of every storage width, changed and unchanged, so that chunk edges fall among all of them.
KINDS = ["ｱｲｳ ABC", "already clean", "ＡＢＣ😀ﾃﾞｽ", "é ｶﾞ", "x" * 3000, Text("ｷｬ"), Text("clean"), "", "國學院"]


def mixed_batch(count):
    return [KINDS[i % len(KINDS)] + (str(i) if i % 4 else "") for i in range(count)]


@pytest.mark.parametrize("jobs", [2, 3, 16, 10**30])
@pytest.mark.parametrize("count", [1, 40, 300, 3000])  # one text; one chunk; a few; many
def test_jobs_give_what_one_thread_gives(jobs, count):
    n = Normalizer("for_search")
    texts = mixed_batch(count)
    alone = n.normalize_batch(texts)
    shared = n.normalize_batch(texts, jobs=jobs)
    assert shared == alone == [n.normalize(t) for t in texts]
    assert [s is t for s, t in zip(shared, texts)] == [a is t for a, t in zip(alone, texts)]
    assert all(type(s) is str for s, t in zip(shared, texts) if s is not t)


def test_jobs_on_the_corpus(corpus_lines):
    n = Normalizer("for_search").with_custom_dict({"幽遊白書": ["幽白"]})
    assert n.normalize_batch(corpus_lines, jobs=2) == n.normalize_batch(corpus_lines)


@pytest.mark.parametrize("where", [0, 1, 700, 2999])  # first chunk, its second text, a middle and the last chunk
@pytest.mark.parametrize("bad, error", [("a\ud800", UnicodeEncodeError), (7, TypeError), (b"x", TypeError)])
def test_jobs_raise_what_one_thread_raises(where, bad, error):
    n = Normalizer("for_search")
    texts = mixed_batch(3000)
    if where + 1 < len(texts):
        texts[-1] = "\udfff"  # a second bad text, in a later chunk: the first is reported
    texts[where] = bad
    with pytest.raises(error) as alone:
        n.normalize_batch(texts)
    with pytest.raises(error) as shared:
        n.normalize_batch(texts, jobs=2)
    assert str(shared.value) == str(alone.value)
    if error is UnicodeEncodeError:
        assert shared.value.object is bad
    assert n.normalize_batch(["ｱ"], jobs=2) == ["ア"]  # the object keeps working


@pytest.mark.parametrize(
    "jobs, error, message",
    [
        (0, ValueError, "normalize_batch() argument 'jobs' must be at least 1, not 0"),
        (-(2**70), ValueError, f"normalize_batch() argument 'jobs' must be at least 1, not {-(2**70)}"),
        (2.0, TypeError, "normalize_batch() argument 'jobs' must be int, not float"),
        ("2", TypeError, "normalize_batch() argument 'jobs' must be int, not str"),
        (None, TypeError, "normalize_batch() argument 'jobs' must be int, not NoneType"),
    ],
)
def test_bad_jobs(jobs, error, message):
    with pytest.raises(error) as raised:
        Normalizer().normalize_batch(["ｱ"] * 70_000, jobs=jobs)
    assert str(raised.value) == message


def test_jobs_by_position_and_name():
    n = Normalizer()
    texts = mixed_batch(100)
    assert n.normalize_batch(texts, 2) == n.normalize_batch(texts=texts, jobs=2) == n.normalize_batch(texts)
    with pytest.raises(TypeError, match="takes at most 2 arguments"):
        n.normalize_batch(texts, 2, 3)


def test_a_list_emptied_by_another_thread_meanwhile():
    # The items are read into a tuple first: clearing the list cannot free a text in use.
    n = Normalizer("for_search")
    texts = mixed_batch(3000)
    expected = n.normalize_batch(texts)
    results = []
    worker = threading.Thread(target=lambda: results.append(n.normalize_batch(texts, jobs=2)))
    worker.start()
    texts.clear()
    worker.join()
    assert results == [expected]


MEMORY = """
import resource, sys
from zenkor import Normalizer
n = Normalizer("for_search")
texts = ["ｱ" * 4_000_000 for _ in range(4)]  # each a chunk of its own, 12 MB of UTF-8
soft, hard = resource.getrlimit(resource.RLIMIT_AS)
with open("/proc/self/statm") as f:
    size = int(f.read().split()[0]) * resource.getpagesize()
outcomes = []
for jobs in (1, 2):
    resource.setrlimit(resource.RLIMIT_AS, (size + (24 << 20), hard))  # room for a thread, not a chunk
    try:
        n.normalize_batch(texts, jobs=jobs)
        outcomes.append("done")
    except MemoryError:
        outcomes.append("MemoryError")
    finally:
        resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
print(*outcomes, n.normalize_batch(texts, jobs=2) == [n.normalize(t) for t in texts])
"""


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="limits the address space")
def test_memory_running_out_on_a_helper_thread_is_a_memory_error():
    done = subprocess.run([sys.executable, "-c", MEMORY], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split() == ["MemoryError", "MemoryError", "True"]
