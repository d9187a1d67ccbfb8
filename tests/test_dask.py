"""The scale-out recipe in examples/ on a real cluster of worker processes."""

import importlib.util
import subprocess
from pathlib import Path

import pandas as pd
import pytest
from distributed import Client, LocalCluster

from shared_data import CORPUS, SYNONYMS
from zenkor import Normalizer

ROOT = Path(__file__).resolve().parents[1]


RECIPE = ROOT / "examples" / "dask_normalize.py"


def load_recipe(client):
    """The example as a module, here and on the workers (as a user's own
    module of helpers would be shipped)."""
    client.upload_file(str(RECIPE))
    found = importlib.util.spec_from_file_location(RECIPE.stem, RECIPE)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with Client(cluster) as client:
            yield client


@pytest.fixture(scope="module")
def inputs(tmp_path_factory):
    folder = tmp_path_factory.mktemp("in")
    for path in sorted(CORPUS.glob("*.txt")):
        (folder / path.name).write_bytes(path.read_bytes())
    # Line ends and edges the command line handles: CR LF, no final LF, an empty file.
    (folder / "edges.txt").write_bytes("ｱ\r\n\n幽白　ＡＢＣ\r\nｽﾏﾎ".encode())
    (folder / "empty.txt").write_bytes(b"")
    return sorted(folder.iterdir())


@pytest.fixture(scope="module")
def dictionary(tmp_path_factory):
    path = tmp_path_factory.mktemp("dict") / "words.csv"
    path.write_text("幽白,幽遊白書\nｽﾏﾎ,スマートフォン\n", encoding="utf-8")
    return path


def single_process(run_cli, paths, dictionary):
    """What the command line writes for all of `paths` in one process."""
    options = ["--preset", "for_search", "--newline", "lf", "--sudachi", SYNONYMS, "--dict", dictionary]
    return run_cli(*options, *paths, check=True, timeout=120).stdout


@pytest.mark.parametrize("split", [False, True], ids=["file per partition", "blocks"])
def test_cluster_output_equals_a_single_process_run(client, inputs, dictionary, tmp_path, split, run_cli):
    recipe = load_recipe(client)
    # Blocks small enough that the largest file is cut, whether it is the
    # corpus or the sample of it.
    largest = max(path.stat().st_size for path in inputs)
    blocksize = f"{max(largest // 4, 4096)}B" if split else None
    normalizer = Normalizer("for_search").load_sudachi_synonyms(SYNONYMS).load_custom_dict_file(dictionary)
    written = recipe.normalize_files(inputs, tmp_path, normalizer, blocksize=blocksize)
    assert len(client.scheduler_info()["workers"]) == 2
    if blocksize is None:
        assert [Path(p).name for p in written] == [p.name for p in inputs]
        for path, out in zip(inputs, written):
            assert Path(out).read_bytes() == single_process(run_cli, [path], dictionary), path.name
    else:
        assert len(written) > len(inputs)  # the corpus files were split
        assert b"".join(Path(p).read_bytes() for p in written) == single_process(run_cli, inputs, dictionary)
    # The dictionary reached the workers: it changes the output.
    out = b"".join(Path(p).read_bytes() for p in written).decode()
    assert "幽遊白書" in out and "スマートフォン" in out
    assert out != "".join(line + "\n" for p in inputs for line in Normalizer("for_search").normalize_batch(
        p.read_text(encoding="utf-8").replace("\r\n", "\n").splitlines()))


# Lines a CSV reader or a str-based splitter gets wrong: quotes, commas, tabs, separators of
# every kind, words read as nulls or comments, empty and blank lines, characters outside the
# BMP, a CR that is not a line break, and a last line without an LF.
AWKWARD = [
    '"quoted", then a comma',
    'a "quote" inside',
    '"',
    "tab\tseparated\tＡＢＣ",
    "",
    "   ",
    "NA",
    "null",
    "#not a comment",
    "unit\x1fseparator",
    "a lone\rCR",
    "𠮷野家で🍣を食べた",
    "ｶﾞｷﾞｸﾞ、「ｱｲｳ」",
    "x" * 300,
]


def lines_as_the_command_line_reads(data: bytes) -> list[str]:
    text = data.decode("utf-8")
    if text and not text.endswith("\n"):
        text += "\n"
    return text.replace("\r\n", "\n").split("\n")[:-1]


@pytest.fixture(scope="module")
def awkward_inputs(tmp_path_factory):
    folder = tmp_path_factory.mktemp("awkward")
    body = "\n".join(AWKWARD * 5)
    (folder / "a-lf.txt").write_text(body + "\n", encoding="utf-8", newline="")
    (folder / "b-crlf-unterminated.txt").write_text(body.replace("\n", "\r\n") + "\r", encoding="utf-8", newline="")
    (folder / "c-blank.txt").write_bytes(b"\n\n")
    (folder / "d-empty.txt").write_bytes(b"")
    return sorted(folder.iterdir())


@pytest.mark.parametrize("preset", ["none", "for_search"])
@pytest.mark.parametrize("blocksize", [None, "256B"], ids=["file per partition", "blocks"])
def test_awkward_lines_come_out_one_each_in_order(client, awkward_inputs, tmp_path, preset, blocksize):
    recipe = load_recipe(client)
    normalizer = Normalizer(preset)
    written = recipe.normalize_files(awkward_inputs, tmp_path, normalizer, blocksize=blocksize)
    lines = [line for path in awkward_inputs for line in lines_as_the_command_line_reads(path.read_bytes())]
    assert len(lines) == 2 * 5 * len(AWKWARD) + 2
    want = "".join(normalizer.normalize(line) + "\n" for line in lines)
    assert b"".join(Path(p).read_bytes() for p in written).decode("utf-8") == want
    if blocksize is None:
        assert [Path(p).name for p in written] == [p.name for p in awkward_inputs]
    else:
        assert len(written) > len(awkward_inputs)


def test_partitions_hold_the_lines_as_arrow_strings(client, awkward_inputs):
    recipe = load_recipe(client)
    frame = recipe.read_files(awkward_inputs, blocksize="256B").compute()
    assert isinstance(frame["text"].array, pd.arrays.ArrowStringArray)
    lines = [line for path in awkward_inputs for line in lines_as_the_command_line_reads(path.read_bytes())]
    assert frame["text"].tolist() == lines


def test_command_line_on_a_running_scheduler(client, awkward_inputs, dictionary, tmp_path, cli_command, run_cli):
    command = [cli_command[0], RECIPE, awkward_inputs[0].parent, tmp_path, "--preset", "for_search",
               "--sudachi", SYNONYMS, "--dict", dictionary, "--blocksize", "1KiB",
               "--scheduler", client.scheduler.address]
    done = subprocess.run(command, capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr[-4000:]
    written = done.stdout.split()
    assert [Path(p).parent for p in written] == [tmp_path] * len(written) and len(written) > 1
    assert b"".join(Path(p).read_bytes() for p in written) == single_process(run_cli, awkward_inputs, dictionary)
