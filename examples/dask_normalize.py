"""Normalize a folder of UTF-8 text files on a Dask cluster, in order, through Arrow memory.

    pip install "zenkor[dask]"
    python examples/dask_normalize.py IN_DIR OUT_DIR [--preset NAME] [--dict FILE] [--sudachi FILE]
                                      [--scheduler ADDRESS] [--blocksize 256MiB]

The files become a Dask dataframe with one column, "text", of pyarrow-backed
strings: a row per line, a partition per file (or per block of one with
--blocksize).  Each partition goes through one normalize_arrow call on a
worker (zenkor.arrow.normalize_pandas), so no line becomes a Python str on
the way in, through, or out.  The normalizer, custom dictionary included, is
sent to each worker once, pickled.

Lines end at LF, as on the command line (`python -m zenkor`): a CR before the
LF belongs to the line break, and a last line without one is a line too.  The
output matches what the command line writes: one output file per input file
with the same name, or with --blocksize numbered parts (part-00000.txt, ...)
that, concatenated in order, give the inputs' output concatenated in name
order.  Without --scheduler a local cluster with one worker process per core
is started.

Run as a script, its functions travel to the workers with the tasks.  Imported
from code of your own, the module must be importable on the workers: install
it there, or send it with `client.upload_file("dask_normalize.py")`.
"""

from __future__ import annotations

import argparse
from pathlib import Path

import dask
import dask.dataframe as dd
import pandas as pd
import pyarrow as pa
import pyarrow.compute as pc
from dask.bytes import read_bytes

import zenkor
from zenkor.arrow import normalize_pandas

TEXT = "string[pyarrow]"
META = pd.DataFrame({"text": pd.Series([], dtype=TEXT)})

# A line break: LF with the CR before it, if any, and a CR that ends the
# file, which the command line reads as a CR LF since it ends the last line
# with an LF.  (Blocks other than a file's last end at an LF, so `$` is the
# end of a file.)
LINE_BREAK = r"\r?\n|\r$"


def read_lines(block: bytes) -> pd.DataFrame:
    """A block of whole lines, as read_bytes cuts a file at LF, as a frame
    with a row per line.

    A line-splitting kernel rather than read_csv: a CSV reader with a
    separator that "never occurs" still drops the text after that separator
    when it does, reads "NA" as a null, fails on an empty file, and takes a
    lone CR for a line end.
    """
    # The block's UTF-8 is checked here, once, by the cast.
    text = pa.array([block], pa.large_binary()).cast(pa.large_string())
    lines = pc.list_flatten(pc.split_pattern_regex(text, LINE_BREAK))
    # What follows the last line break is a line only when it holds something.
    if not block or block.endswith((b"\n", b"\r")):
        lines = lines.slice(0, len(lines) - 1)
    return pd.DataFrame({"text": pd.array(lines, dtype=TEXT)})


def normalize_frame(frame: pd.DataFrame, normalizer: zenkor.Normalizer) -> pd.DataFrame:
    return frame.assign(text=normalize_pandas(normalizer, frame["text"]))


def write_lines(frame: pd.DataFrame, path: str) -> str:
    """Writes the frame's lines to `path`, each ended by an LF; returns `path`."""
    column = pa.array(frame["text"])
    with open(path, "wb") as out:
        for chunk in column.chunks if isinstance(column, pa.ChunkedArray) else [column]:
            if len(chunk) == 0:
                continue
            # The chunk's values as one list, joined by LF in one Arrow
            # kernel: a single value whose bytes are written as they are.
            lines = pa.LargeListArray.from_arrays([0, len(chunk)], chunk)
            joined = pc.binary_join(lines, pa.scalar("\n", chunk.type))[0]
            out.write(joined.as_buffer())
            out.write(b"\n")
    return path


def read_files(paths: list[Path], blocksize: str | None = None) -> dd.DataFrame:
    """The lines of `paths` in order as a dataframe of one column, "text": a
    partition per file, or per block of about `blocksize` bytes."""
    _, blocks = read_bytes([str(p) for p in paths], delimiter=b"\n", blocksize=blocksize, sample=False)
    parts = [dask.delayed(read_lines)(block) for file_blocks in blocks for block in file_blocks]
    return dd.from_delayed(parts, meta=META)


def normalize_files(paths: list[Path], out_dir: Path, normalizer: zenkor.Normalizer,
                    blocksize: str | None = None) -> list[str]:
    """Writes the normalized text of `paths` into `out_dir`; returns the files
    written, in order.  Runs on the current Dask client (or scheduler)."""
    frame = read_files(paths, blocksize)
    # One copy of the normalizer in the task graph, whatever the number of partitions.
    normalized = frame.map_partitions(normalize_frame, dask.delayed(normalizer), meta=META)
    if blocksize is None:
        names = [p.name for p in paths]
    else:
        names = [f"part-{i:05d}.txt" for i in range(normalized.npartitions)]
    out_dir.mkdir(parents=True, exist_ok=True)
    writes = [dask.delayed(write_lines)(part, str(out_dir / name))
              for part, name in zip(normalized.to_delayed(), names, strict=True)]
    return list(dask.compute(*writes))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("in_dir", type=Path)
    parser.add_argument("out_dir", type=Path)
    parser.add_argument("--preset")
    parser.add_argument("--dict", action="append", default=[], help="custom dictionary file; repeatable")
    parser.add_argument("--sudachi", help="Sudachi synonyms.txt")
    parser.add_argument("--scheduler", help="address of a running scheduler, e.g. tcp://10.0.0.5:8786")
    parser.add_argument("--blocksize", help="split files into partitions of about this size, e.g. 256MiB")
    args = parser.parse_args()

    normalizer = zenkor.Normalizer(args.preset)
    if args.sudachi:
        normalizer.load_sudachi_synonyms(args.sudachi)
    for path in args.dict:
        normalizer.load_custom_dict_file(path)

    from distributed import Client, LocalCluster

    cluster = None if args.scheduler else LocalCluster(threads_per_worker=1)
    with Client(args.scheduler or cluster):
        paths = sorted(p for p in args.in_dir.iterdir() if p.is_file())
        for written in normalize_files(paths, args.out_dir, normalizer, args.blocksize):
            print(written)
    if cluster is not None:
        cluster.close()


if __name__ == "__main__":
    main()
