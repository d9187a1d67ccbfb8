"""Where the real text lives: shared/data beside the checkout (or beside the folder of work trees).

On a clone without it, CORPUS is the licensed SAMPLE under bench/data and SYNONYMS a small file
of our own in the same format; PUBLIC_SYNONYMS is only ever the public file, which may be absent.
"""

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
