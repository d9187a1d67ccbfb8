"""Compare the output of two builds of zenkor, text by text.

    python scripts/differential.py dump OUT.json [--random N] [--synonyms PATH]   (run once with each build)
    python scripts/differential.py compare A.json B.json

`dump` normalizes the corpus, a few texts of megabytes made of it and N random
strings (a fixed seed, an alphabet rich in the characters the stages touch; a
third of them within Latin-1 and a third within the Basic Multilingual Plane,
so that every width a str stores text in is read) with every preset, each
option switched on alone and each option switched off from for_search and
for_compare, and writes one digest per configuration, of normalize and of
normalize_batch over all texts (and of normalize_batch with jobs=2, where the
build takes it): of each output its text, whether it is the input object
itself, and its size as a str (which tells the width it is stored in).  With
--synonyms (a Sudachi synonym file),
for_search and for_compare with that dictionary attached join them, and the
random texts then also glue together slices of the dictionary's words and of
the corpus, so that its variants occur, overlap and run into each other.  Speed-ups must leave every output byte-identical: this is how that is shown.
"""

from __future__ import annotations

import argparse
import hashlib
import inspect
import json
import random
import sys
from pathlib import Path

import zenkor

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests"))
from shared_data import corpus_lines  # noqa: E402

ALPHABET = (
    list("aAzZ09 .,-~'\"!?()[]{}<>:/@#_\t\r\n")
    + [chr(c) for c in range(0xFF01, 0xFF5F, 7)] + ["\u3000", "\u00a0", "\u2028", "\u0085"]
    + list("ｱｶﾞﾊﾟｰｯﾞﾟ｡｢") + list("あかがはぱゝゞアカガハパヽヾ々〻ーー〜ァィゥェォヴヂヅヰヱウテデトド")
    + ["\u31f7", "\u3099", "\u309a", "\u309b", "\u309c"]
    + list("〇一二三四五六七八九十百千万億兆京零年明治大正昭和平成令元") + list("國學發賣髙﨑邉")
    + list("①②⑳㈱㌔㍉") + ["\ufa11", "\u5fb7"] + ["\u200b", "\u200e", "\u202a", "\x07", "\x7f", "\ufeff"]
    + ["\ufe0e", "\ufe0f", "\U000e0100", "\U0001f600", "\u200d", "\U0001f1ef"]
    + list("‘’“”＂＇‐–—―−─━") + list("ΣσςİßﬁÅ") + ["\u0301", "\U00020bb7", "\U0001d400"]
    + ["https://x.jp/a", "a@b.co", "@user", "#tag", "サーバー", "ウィ", "ヴァ"]
)


def random_texts(n: int) -> list[str]:
    rng = random.Random(20261207)
    pools = [[a for a in ALPHABET if max(map(ord, a)) < limit] for limit in (0x100, 0x10000, 0x110000)]
    return ["".join(rng.choice(pools[i % 3]) for _ in range(rng.randint(0, 30))) for i in range(n)]


def dictionary_texts(n: int, words: list[str], corpus: list[str]) -> list[str]:
    """Texts of one to eight pieces, each a slice of a dictionary word or of a corpus line."""
    rng = random.Random(20261208)

    def piece() -> str:
        source = rng.choice(words) if rng.random() < 0.6 else rng.choice(corpus)
        start = rng.randrange(len(source))
        return source[start : start + rng.randint(1, 12)]

    return ["".join(piece() for _ in range(rng.randint(1, 8))) for _ in range(n)]


def huge_texts(corpus: list[str]) -> list[str]:
    """The corpus as a few texts of megabytes, one in each width a str may take (its Latin-1
    characters alone, its lines without a character past U+FFFF, all of it with emoji), one with white space
    at its ends: what a huge call does with its buffers is done only from 1 MiB up."""
    whole = "\n".join(corpus)
    latin1 = "".join(c for c in whole if c <= "\xff")
    narrow = [line for line in corpus if max(line, default="a") <= "\uffff"]
    texts = [latin1 * (1 + (1 << 20) // len(latin1)), "\n".join(narrow), whole.replace("\n", "\U0001f600\n", 5000),
             "  \u3000" + " ".join(narrow) + "\t \n"]
    assert all(len(t) * (4 if max(t) > "\uffff" else 2 if max(t) > "\xff" else 1) >= 1 << 20 for t in texts)
    return texts


def configurations(synonyms: str | None) -> dict[str, zenkor.Normalizer]:
    out: dict[str, zenkor.Normalizer] = {p: zenkor.Normalizer(p) for p in zenkor.Normalizer.presets()}
    if synonyms:
        for preset in ("for_search", "for_compare"):
            out[f"{preset}+synonyms"] = zenkor.Normalizer(preset).load_sudachi_synonyms(synonyms)
    on = {
        "kana": ["hira_to_kata", "kata_to_hira"], "case": ["lower", "upper"], "cjk_spacing": ["remove", "insert"],
        "emoji": ["remove"], "repeat_limit": [1, 2, 3], "emoji_placeholder": ["<e>"],
        "url_wrap": [("<", ">")],
    }
    for key, value in zenkor.Normalizer("none").config.items():
        for v in on.get(key, [True] if isinstance(value, bool) else []):
            out[f"none+{key}={v}"] = zenkor.Normalizer("none", **{key: v})
    for preset in ("for_search", "for_compare"):
        for key, value in zenkor.Normalizer(preset).config.items():
            if value is True:
                out[f"{preset}-{key}"] = zenkor.Normalizer(preset, **{key: False})
    return out


def digest(texts, outputs) -> str:
    h = hashlib.sha256()
    for text, out in zip(texts, outputs, strict=True):
        h.update(out.encode("utf-8") + f"\0{out is text:d}{sys.getsizeof(out)}\0".encode())
    return h.hexdigest()


def dump(path: str, random_count: int, synonyms: str | None) -> None:
    corpus = corpus_lines()
    texts = corpus + random_texts(random_count) + huge_texts(corpus)
    if synonyms:
        words = [variant for variant, _ in zenkor.Normalizer("none").load_sudachi_synonyms(synonyms).custom_dict_items()]
        texts += dictionary_texts(random_count, words, [line for line in corpus if line])
    digests = {}
    for name, n in configurations(synonyms).items():
        digests[name] = [digest(texts, map(n.normalize, texts)), digest(texts, n.normalize_batch(texts))]
        if "jobs" in inspect.signature(n.normalize_batch).parameters:  # builds before it had no jobs
            digests[name].append(digest(texts, n.normalize_batch(texts, jobs=2)))
    Path(path).write_text(json.dumps({"texts": len(texts), "digests": digests}, indent=1))
    print(f"{len(digests)} configurations x {len(texts)} texts")


def compare(a: str, b: str) -> int:
    da, db = json.loads(Path(a).read_text()), json.loads(Path(b).read_text())
    differ = [k for k in da["digests"] if da["digests"][k][0] != db["digests"].get(k, [None])[0]]
    batch = [k for k in db["digests"] if any(d != db["digests"][k][0] for d in db["digests"][k][1:])]
    print(f"{len(da['digests'])} configurations x {da['texts']} texts: {len(differ)} differ; normalize_batch (any jobs) differs from normalize in {len(batch)}")
    for k in differ + batch:
        print("  ", k)
    return 1 if differ or batch else 0


def main() -> int:
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="cmd", required=True)
    d = sub.add_parser("dump")
    d.add_argument("out")
    d.add_argument("--random", type=int, default=100_000)
    d.add_argument("--synonyms", help="a Sudachi synonym file: adds configurations with it attached")
    c = sub.add_parser("compare")
    c.add_argument("a")
    c.add_argument("b")
    args = parser.parse_args()
    if args.cmd == "dump":
        dump(args.out, args.random, args.synonyms)
        return 0
    return compare(args.a, args.b)


if __name__ == "__main__":
    sys.exit(main())
