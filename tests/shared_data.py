"""Where the real text lives, for the tests, the benchmarks and the scripts: one rule, kept here.

The full data is shared/data beside the checkout (or beside the folder of work trees). On a clone
without it, CORPUS is the licensed sample under bench/data (SAMPLE) and SYNONYMS a small file of our
own in the same format; PUBLIC_SYNONYMS is only ever the public file, which may be absent.

Run as a script, it prints the two paths as shell assignments (corpus=..., synonyms=...), which is
how scripts/fuzz.sh finds them.
"""

import shlex
from pathlib import Path

HERE = Path(__file__).resolve().parent
DATA = next(
    (p / "shared" / "data" for p in HERE.parents[0:3] if (p / "shared" / "data").is_dir()),
    Path("shared-data-not-found"),
)
SAMPLE = HERE.parent / "bench" / "data"
CORPUS = DATA / "corpus" if (DATA / "corpus").is_dir() else SAMPLE
PUBLIC_SYNONYMS = DATA / "sudachi" / "synonyms.txt"
SYNONYMS = PUBLIC_SYNONYMS if PUBLIC_SYNONYMS.is_file() else HERE / "data" / "synonyms_sample.txt"


def corpus_lines(corpus: Path = CORPUS) -> list[str]:
    """The lines of every .txt file of `corpus`, the files in name order."""
    return [line for path in sorted(corpus.glob("*.txt")) for line in path.read_text(encoding="utf-8").splitlines()]


if __name__ == "__main__":
    print(f"corpus={shlex.quote(str(CORPUS))}\nsynonyms={shlex.quote(str(SYNONYMS))}")
