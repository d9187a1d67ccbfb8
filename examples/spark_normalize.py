"""Normalize a folder of UTF-8 text files with Spark, through Arrow memory.

    pip install "zenkor[spark]"        # Spark also needs Java 17 or later (Debian: openjdk-17-jre-headless)
    python examples/spark_normalize.py IN_DIR OUT_DIR [--preset NAME] [--dict FILE] [--sudachi FILE]
    spark-submit --master spark://host:7077 examples/spark_normalize.py IN_DIR OUT_DIR ...

Each file becomes a DataFrame of one column, "value", a row per line, which
zenkor.spark.normalize_columns normalizes batch by batch with normalize_arrow:
no line becomes a Python str on the way.  The normalizer, custom dictionary
included, is broadcast to the executors once.  Run with python alone, Spark
runs on this machine, one task per core.

Lines end at LF, as on the command line (`python -m zenkor`): a CR before the
LF belongs to the line break, a lone CR does not end a line, and a last line
without an LF is a line too.  For each input file NAME, Spark writes a folder
OUT_DIR/NAME of part files (part-00000-..., part-00001-..., one per partition
that held lines) whose contents, concatenated in name order, are what the
command line writes for that file with --newline lf: every line ends with an
LF, the last one too.  On a cluster, IN_DIR and OUT_DIR must be
folders every executor sees at the same path (a shared file system).
"""

from __future__ import annotations

import argparse
from pathlib import Path

from pyspark.sql import DataFrame, SparkSession
from pyspark.sql import functions as F

import zenkor
from zenkor.spark import normalize_columns


def read_lines(spark: SparkSession, path: Path) -> DataFrame:
    """The lines of the file at `path` as the command line reads them, a row each, in order."""
    # Spark's own default also ends a line at a lone CR; the command line keeps that CR.
    frame = spark.read.text(str(path), lineSep="\n")
    # The CR of a CR LF, or one that ends the file (\z: the very end, where $ would also
    # match before a last CR).
    return frame.select(F.regexp_replace("value", r"\r\z", "").alias("value"))


def normalize_files(spark: SparkSession, paths: list[Path], out_dir: Path,
                    normalizer: zenkor.Normalizer) -> list[Path]:
    """Writes the normalized lines of each of `paths` to the folder `out_dir`/its name,
    replacing what is there; returns those folders, in the order of `paths`."""
    written = []
    for path in paths:
        target = out_dir / path.name
        normalize_columns(read_lines(spark, path), ["value"], normalizer).write.mode("overwrite").text(str(target))
        written.append(target)
    return written


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("in_dir", type=Path)
    parser.add_argument("out_dir", type=Path)
    parser.add_argument("--preset")
    parser.add_argument("--dict", action="append", default=[], help="custom dictionary file; repeatable")
    parser.add_argument("--sudachi", help="Sudachi synonyms.txt")
    args = parser.parse_args()

    normalizer = zenkor.Normalizer(args.preset)
    if args.sudachi:
        normalizer.load_sudachi_synonyms(args.sudachi)
    for path in args.dict:
        normalizer.load_custom_dict_file(path)

    # A session already running in this process (a notebook's, say) is used and left running.
    running = SparkSession.getActiveSession()
    spark = running or SparkSession.builder.appName("zenkor normalize").getOrCreate()
    try:
        paths = sorted(p for p in args.in_dir.iterdir() if p.is_file())
        for written in normalize_files(spark, paths, args.out_dir, normalizer):
            print(written)
    finally:
        if running is None:
            spark.stop()


if __name__ == "__main__":
    main()
