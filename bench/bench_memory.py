"""Peak extra memory of one huge normalize call, against the input str's own size.

    python bench/bench_memory.py [--mb 10 200] [--preset for_search] [--text tweets]

Each size runs in a fresh interpreter: the text (corpus lines joined by LF, repeated up to the
size in UTF-8 bytes) is built first; then the peak of the resident set (VmHWM) is restarted
from the current one and one call made. Extra memory is that peak less the resident set before
the call, the output str included; the ratio divides it by sys.getsizeof of the input. The
target is <= 2. Linux only (/proc/self).
"""

from __future__ import annotations

import argparse
import subprocess
import sys

from common import CORPUS

TEXTS = {
    "tweets": "ja_emoticon_tweets.txt",
    "wiki": "ja_jsquad_wikipedia.txt",
}

CHILD = r"""
import gc, resource, sys
import zenkor
path, mb, preset = sys.argv[1], float(sys.argv[2]), sys.argv[3]
unit = open(path, encoding="utf-8").read()
size = int(mb * 1e6)
text = unit * (size // len(unit.encode()) + 1)
text = text.encode()[:size].decode("utf-8", "ignore")
n = zenkor.Normalizer(preset)
n.normalize(unit[:1000])  # the tables built at first use are not the call's
gc.collect()

def status(key):
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) * 1024 for line in f if line.startswith(key + ":"))

with open("/proc/self/clear_refs", "w") as f:
    f.write("5")  # restarts VmHWM from the current resident set
before = status("VmRSS")
out = n.normalize(text)
peak = status("VmHWM") - before
print(len(text), sys.getsizeof(text), sys.getsizeof(out), peak, out is text)
"""


def measure(path: str, mb: float, preset: str) -> tuple[int, int, int, int, bool]:
    done = subprocess.run([sys.executable, "-c", CHILD, path, str(mb), preset], capture_output=True, text=True,
                          check=True)
    chars, size, out, peak, same = done.stdout.split()
    return int(chars), int(size), int(out), int(peak), same == "True"


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mb", type=float, nargs="+", default=[10, 200], help="text sizes, in MB of UTF-8")
    parser.add_argument("--preset", default="for_search")
    parser.add_argument("--text", choices=TEXTS, nargs="+", default=list(TEXTS))
    args = parser.parse_args()
    print(f"one normalize call, preset {args.preset}; extra = peak resident set during the call less before it")
    print(f"{'text':8} {'MB':>6} {'chars':>12} {'input str':>12} {'output str':>12} {'extra':>12} {'extra/input':>12}")
    for text in args.text:
        for mb in args.mb:
            chars, size, out, peak, same = measure(str(CORPUS / TEXTS[text]), mb, args.preset)
            note = "  (unchanged: the same str)" if same else ""
            print(f"{text:8} {mb:6g} {chars:12,} {size:12,} {out:12,} {peak:12,} {peak / size:12.2f}{note}")


if __name__ == "__main__":
    main()
