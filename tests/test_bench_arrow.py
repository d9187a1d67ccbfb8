"""The Arrow benchmark runs from a fresh clone, on the bundled sample.

A smoke run only (one round over a few hundred lines): it checks that every side and every
tracked ratio is printed, never how fast anything is.
"""

import subprocess
import sys
from pathlib import Path

import pytest

pytest.importorskip("pyarrow")
pytest.importorskip("polars")

ROOT = Path(__file__).resolve().parents[1]

SIDES = [
    'pyarrow.compute.utf8_normalize(arr, "NFKC")',
    'polars Series.str.normalize("NFKC")',
    "zenkor nfkc=True normalize_batch(list)",
    "zenkor nfkc=True normalize_arrow(arr)",
    "zenkor for_search normalize_batch(list)",
    "zenkor for_search normalize_arrow(arr)",
]
RATIOS = [
    ("pyarrow NFKC / nfkc=True normalize_arrow", ">= 3"),
    ("polars NFKC / nfkc=True normalize_arrow", ">= 3"),
    ("pyarrow NFKC / for_search normalize_arrow", ">= 1"),
    ("nfkc=True normalize_batch / normalize_arrow", ">= 2"),
    ("for_search normalize_batch / normalize_arrow", ">= 2"),
]


def test_every_side_and_ratio_is_printed():
    run = subprocess.run(
        [sys.executable, str(ROOT / "bench" / "bench_arrow.py"), "--quick", "--rounds", "1", "--markdown",
         "--corpus", str(ROOT / "bench" / "data")],
        capture_output=True, text=True, timeout=120,
    )
    assert run.returncode == 0, run.stderr
    assert "text: the sample in bench/data" in run.stdout
    rows = [[cell.strip() for cell in line.strip("|").split("|")] for line in run.stdout.splitlines() if line.startswith("|")]
    speeds = rows[2 : 2 + len(SIDES)]
    assert [row[0] for row in speeds] == SIDES
    assert all(float(mb_s) > 0 for row in speeds for mb_s in row[1:])
    ratios = rows[2 + len(SIDES) + 2 :]
    assert [(row[0], row[1], row[3]) for row in ratios] == [
        (what, text, target) for text in ("tweets", "wiki") for what, target in RATIOS
    ]
    assert all(float(row[2]) > 0 and "differ" not in row[4] for row in ratios)
