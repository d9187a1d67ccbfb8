"""Normalize a folder of UTF-8 text files on a Dask cluster, in order.

    pip install "zenkor[dask]"
    python examples/dask_normalize.py IN_DIR OUT_DIR [--preset NAME] [--dict FILE] [--sudachi FILE]
                                      [--scheduler ADDRESS] [--blocksize 256MiB]

Each partition (a file, or a block of one with --blocksize) goes through one
normalize_batch call on a worker.  The normalizer, custom dictionary included,
is sent to each worker once, pickled.  Lines end at LF, as on the command line
(`python -m zenkor`), and the output matches what it writes: one output file
per input file with the same name, or with --blocksize numbered parts
(part-00000.txt, ...) that, concatenated in order, give the inputs' output
concatenated in name order.  Without --scheduler a local cluster with one
worker process per core is started.

Run as a script, its functions travel to the workers with the tasks.  Imported
from code of your own, the module must be importable on the workers: install
it there, or send it with `client.upload_file("dask_normalize.py")`.
"""

from __future__ import annotations

import argparse
from pathlib import Path

import dask
import dask.bag as db

import zenkor


def normalize_partition(lines: list[str], normalizer: zenkor.Normalizer) -> list[str]:
    """One partition's lines, as read_text gives them (with their LF), as one
    normalized text: a single element, so that to_textfiles writes it as is."""
    texts = [line.removesuffix("\n").removesuffix("\r") for line in lines]
    return ["".join(text + "\n" for text in normalizer.normalize_batch(texts))]


def normalize_files(paths: list[Path], out_dir: Path, normalizer: zenkor.Normalizer,
                    blocksize: str | None = None) -> list[str]:
    """Writes the normalized text of `paths` into `out_dir`; returns the files
    written, in order.  Runs on the current Dask client (or scheduler)."""
    bag = db.read_text([str(p) for p in paths], blocksize=blocksize, linedelimiter="\n", encoding="utf-8")
    # One copy of the normalizer in the task graph, whatever the number of partitions.
    shared = dask.delayed(normalizer)
    texts = bag.map_partitions(normalize_partition, shared)
    out_dir.mkdir(parents=True, exist_ok=True)
    if blocksize is None:
        names = [p.name for p in paths]
        name = names.__getitem__
    else:
        name = "part-{:05d}.txt".format
    return texts.to_textfiles(str(out_dir / "*"), name_function=name, encoding="utf-8", last_endline=False)


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
