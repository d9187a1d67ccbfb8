"""zenkor.spark and the recipe in examples/, on a real Spark of two local cores.

One session serves every test: starting the Java side takes seconds. Batches are kept small
(64 rows) so that each partition reaches Python as several of them.
"""

import importlib.util
import pickle
import sys
from pathlib import Path

import pytest
from pyspark import cloudpickle
from pyspark.sql import SparkSession
from pyspark.sql.types import IntegerType, LongType, StringType, StructField, StructType

from shared_data import SAMPLE, SYNONYMS, corpus_lines
from test_readme import code_blocks, needs_spark, run_example
from zenkor import Normalizer
from zenkor.spark import normalize_columns

pytestmark = pytest.mark.spark

ROOT = Path(__file__).resolve().parents[1]
RECIPE = ROOT / "examples" / "spark_normalize.py"
SETTINGS = {
    "spark.ui.enabled": "false",
    "spark.driver.memory": "512m",
    "spark.sql.shuffle.partitions": "2",
    "spark.sql.execution.arrow.maxRecordsPerBatch": "64",
}

# Empty and blank values, text outside the BMP, values that grow and shrink, a protected URL.
VALUES = ["", "　　", "ｱ", "ＡＢＣ１２３", "𠮷野家で🍣を食べた😊😊", "㍿㍿㍿", "ﾊﾟﾊﾟ！！！！", "https://Example.com/Ａ",
          "令和元年の幽白", "ｽﾏﾎ" * 30]


@pytest.fixture(scope="session")
def spark():
    builder = SparkSession.builder.master("local[2]").appName("zenkor tests")
    for key, value in SETTINGS.items():
        builder = builder.config(key, value)
    session = builder.getOrCreate()
    yield session
    session.stop()


@pytest.fixture(scope="session")
def dictionary(tmp_path_factory):
    path = tmp_path_factory.mktemp("dict") / "words.csv"
    path.write_text("幽白,幽遊白書\nｽﾏﾎ,スマートフォン\n", encoding="utf-8")
    return path


@pytest.fixture(scope="session")
def frame(spark):
    """id, two text columns and a number, with nulls in each, over several partitions."""
    texts = VALUES + corpus_lines(SAMPLE)[:600]
    rows = [(i, None if i % 7 == 3 else text, None if i % 5 == 1 else texts[-i - 1], i % 11 or None)
            for i, text in enumerate(texts)]
    schema = StructType([StructField("id", LongType(), False), StructField("title", StringType()),
                         StructField("body", StringType()), StructField("count", IntegerType())])
    return spark.createDataFrame(rows, schema).repartition(3)


def normalized_or_null(normalizer, value):
    return None if value is None else normalizer.normalize(value)


def with_dictionary(dictionary):
    return Normalizer("for_search").load_sudachi_synonyms(SYNONYMS).load_custom_dict_file(dictionary)


@pytest.mark.parametrize(
    "columns, dictionaries", [(["title"], False), (["body", "title"], True), ("body", True)], ids=str
)
def test_named_columns_are_normalized_and_the_rest_kept(frame, dictionary, columns, dictionaries):
    normalizer = with_dictionary(dictionary) if dictionaries else Normalizer("for_search")
    names = [columns] if isinstance(columns, str) else columns
    out = normalize_columns(frame, columns, normalizer)
    assert out.schema == frame.schema
    assert out.rdd.getNumPartitions() == frame.rdd.getNumPartitions() == 3
    before = {row.id: row for row in frame.collect()}
    after = {row.id: row for row in out.collect()}
    assert after.keys() == before.keys()
    for key, row in after.items():
        want = {name: normalized_or_null(normalizer, before[key][name]) if name in names else before[key][name]
                for name in frame.columns}
        assert row.asDict() == want
    assert ("title" in names) == any(after[key].title != before[key].title for key in after)
    if dictionaries:
        # The dictionary reached the executors: the preset alone writes something else.
        preset = Normalizer("for_search")
        assert any(after[key][names[0]] != normalized_or_null(preset, before[key][names[0]]) for key in after)


def test_a_column_named_twice_is_normalized_once(spark):
    # A canonical form that is another entry's variant: a second pass would change it again.
    normalizer = Normalizer("none").with_custom_dict({"甲": ["乙"], "乙": ["丙"]})
    frame = spark.createDataFrame([("丙",)], "text string")
    assert normalize_columns(frame, ["text", "text"], normalizer).first().text == "乙"


@pytest.mark.parametrize("large", [False, True], ids=["string", "large_string"])
def test_either_arrow_string_type(spark, large):
    spark.conf.set("spark.sql.execution.arrow.useLargeVarTypes", str(large).lower())
    try:
        frame = spark.createDataFrame([(v,) for v in VALUES + [None]], "text string")
        out = normalize_columns(frame, ["text"], Normalizer("for_search")).collect()
    finally:
        spark.conf.unset("spark.sql.execution.arrow.useLargeVarTypes")
    assert [row.text for row in out] == [normalized_or_null(Normalizer("for_search"), v) for v in VALUES + [None]]


def test_the_tasks_carry_a_handle_to_the_normalizer_not_its_dictionary(frame, monkeypatch):
    # A normalizer captured by the function itself would travel with every task, whatever
    # the size of its dictionary; a broadcast goes to each executor once.
    shipped = []
    map_in_arrow = type(frame).mapInArrow
    monkeypatch.setattr(type(frame), "mapInArrow", lambda df, f, schema: shipped.append(f) or map_in_arrow(df, f, schema))
    entries = {f"見出し{i}": [f"異表記{i}"] for i in range(20000)}
    normalizer = Normalizer("for_search").with_custom_dict(entries)
    out = normalize_columns(frame, ["title"], normalizer)
    assert out.filter("title = '見出し5'").count() == 0 < out.count()
    (function,) = shipped
    assert len(cloudpickle.dumps(function)) * 50 < len(pickle.dumps(normalizer))


@pytest.mark.parametrize(
    "columns, error, message",
    [
        (["text", "missing"], ValueError, "no column named 'missing'; the DataFrame has ['text', 'n']"),
        (["n"], TypeError, "column 'n' must be of type string, not int"),
    ],
    ids=["missing", "not a string"],
)
def test_columns_that_cannot_be_normalized(spark, columns, error, message):
    frame = spark.createDataFrame([("ｱ", 1)], "text string, n int")
    with pytest.raises(error) as raised:
        normalize_columns(frame, columns, Normalizer())
    assert str(raised.value) == message


@pytest.mark.parametrize("block", [block for block in code_blocks() if needs_spark(block)])
def test_readme_examples(spark, block):
    # The README's SparkSession.builder.getOrCreate() finds the session of these tests.
    run_example(block)


def load_recipe():
    found = importlib.util.spec_from_file_location(RECIPE.stem, RECIPE)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


# Lines a CSV reader or Spark's own line reader gets wrong: quotes, commas, tabs, a lone CR
# (Spark's default ends a line there), a CR before a CR LF, words read as nulls, empty and
# blank lines, characters outside the BMP.
AWKWARD = ['"quoted", then a comma', "tab\tseparated\tＡＢＣ", "", "   ", "NA", "null", "a lone\rCR", "two CRs\r",
           "𠮷野家で🍣を食べた", "ｶﾞｷﾞｸﾞ、「ｱｲｳ」", "幽白とｽﾏﾎ", "x" * 300]


@pytest.fixture(scope="session")
def inputs(tmp_path_factory):
    folder = tmp_path_factory.mktemp("in")
    for name in ("ja_emoticon_tweets.txt", "ja_jsquad_wikipedia.txt"):
        (folder / name).write_bytes((SAMPLE / name).read_bytes())
    body = "\n".join(AWKWARD * 5)
    (folder / "a-lf.txt").write_text(body + "\n", encoding="utf-8", newline="")
    (folder / "b-crlf-unterminated.txt").write_text(body.replace("\n", "\r\n") + "\r", encoding="utf-8", newline="")
    (folder / "c-blank.txt").write_bytes(b"\n\n")
    (folder / "d-empty.txt").write_bytes(b"")
    return sorted(folder.iterdir())


def written_text(folder):
    return b"".join(path.read_bytes() for path in sorted(folder.glob("part-*")))


def command_line_output(run_cli, path, dictionary):
    # Spark writes every row with an LF after it, as the command line does with --newline lf.
    options = ["--preset", "for_search", "--newline", "lf", "--sudachi", SYNONYMS, "--dict", dictionary]
    return run_cli(*options, path, check=True).stdout


def test_recipe_output_equals_the_command_line(spark, inputs, dictionary, tmp_path, run_cli):
    recipe = load_recipe()
    # Partitions of 16 KiB: the larger texts are read in several, in order.
    spark.conf.set("spark.sql.files.maxPartitionBytes", str(16 * 1024))
    try:
        assert max(recipe.read_lines(spark, path).rdd.getNumPartitions() for path in inputs) >= 4
        written = recipe.normalize_files(spark, inputs, tmp_path, with_dictionary(dictionary))
    finally:
        spark.conf.unset("spark.sql.files.maxPartitionBytes")
    assert written == [tmp_path / path.name for path in inputs]
    for path, folder in zip(inputs, written):
        assert written_text(folder) == command_line_output(run_cli, path, dictionary), path.name
    out = b"".join(written_text(folder) for folder in written).decode()
    assert "幽遊白書" in out and "スマートフォン" in out


def test_recipe_from_the_command_line(spark, inputs, dictionary, tmp_path, run_cli, monkeypatch, capsys):
    # In this process, so that it finds the running session (and leaves it running) instead of
    # starting a Java side of its own; on two of the files only, since each file is a job.
    folder = tmp_path / "in"
    folder.mkdir()
    chosen = [path for path in inputs if path.name in ("b-crlf-unterminated.txt", "ja_emoticon_tweets.txt")]
    for path in chosen:
        (folder / path.name).write_bytes(path.read_bytes())
    arguments = [folder, tmp_path / "out", "--preset", "for_search", "--sudachi", SYNONYMS, "--dict", dictionary]
    monkeypatch.setattr(sys, "argv", [str(RECIPE), *map(str, arguments)])
    load_recipe().main()
    assert capsys.readouterr().out.split() == [str(tmp_path / "out" / path.name) for path in chosen]
    for path in chosen:
        assert written_text(tmp_path / "out" / path.name) == command_line_output(run_cli, path, dictionary), path.name
    assert spark.range(3).count() == 3  # still running
