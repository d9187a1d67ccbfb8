"""Where the real text lives: shared/data beside the checkout (or beside the folder of work trees)."""

from pathlib import Path

DATA = next(
    (p / "shared" / "data" for p in Path(__file__).resolve().parents[1:4] if (p / "shared" / "data").is_dir()),
    Path("shared-data-not-found"),
)
CORPUS = DATA / "corpus"
SYNONYMS = DATA / "sudachi" / "synonyms.txt"
