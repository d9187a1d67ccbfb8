"""zenkor.duckdb: the SQL function on a real DuckDB table with nulls and on a Parquet file."""

import re
import subprocess
import sys
from pathlib import Path

import duckdb
import pyarrow as pa
import pyarrow.parquet as pq
import pytest

import zenkor
import zenkor.duckdb
from shared_data import SAMPLE, SYNONYMS, corpus_lines
from zenkor import Normalizer

ROOT = Path(__file__).resolve().parents[1]

# Empty and blank values, text outside the BMP, values that grow and shrink, a protected URL.
VALUES = ["", "　　", "ｱ", "ＡＢＣ１２３", "𠮷野家で🍣を食べた😊😊", "㍿㍿㍿", "ﾊﾟﾊﾟ！！！！", "https://Example.com/Ａ",
          "令和元年の幽白", "ｽﾏﾎ" * 30]


def rows():
    """(id, text) with a null every seventh row, over more rows than one DuckDB vector (2,048)."""
    texts = (VALUES + corpus_lines(SAMPLE)) * 3
    return [(i, None if i % 7 == 3 else text) for i, text in enumerate(texts)]


def expected(normalizer, values):
    return [None if v is None else normalizer.normalize(v) for v in values]


@pytest.fixture
def con():
    with duckdb.connect() as con:
        con.execute("CREATE TABLE posts (id INTEGER, text VARCHAR)")
        con.executemany("INSERT INTO posts VALUES (?, ?)", rows())
        yield con


@pytest.mark.parametrize(
    "name, normalizer",
    [
        ("zenkor_normalize", None),
        ("for_search", Normalizer("for_search")),
        ("with_dictionary", Normalizer("for_search").load_sudachi_synonyms(SYNONYMS).with_custom_dict({"幽遊白書": ["幽白"]})),
    ],
    ids=["default", "preset", "dictionaries"],
)
def test_a_table_with_nulls(con, name, normalizer):
    if name == "zenkor_normalize":
        zenkor.duckdb.register(con)
    else:
        zenkor.duckdb.register(con, name=name, normalizer=normalizer)
    got = con.sql(f"SELECT id, text, {name}(text) FROM posts ORDER BY id").fetchall()
    assert len(got) == len(rows()) > 2048
    assert [row[2] for row in got] == expected(normalizer or Normalizer(), [row[1] for row in got])
    assert sum(row[2] is None for row in got) == sum(row[1] is None for row in got) > 0


def test_a_parquet_file_in_several_row_groups(tmp_path):
    path = tmp_path / "posts.parquet"
    texts = [text for _, text in rows()]
    pq.write_table(pa.table({"text": pa.array(texts, pa.large_string())}), path, row_group_size=500)
    normalizer = Normalizer("for_search")
    with duckdb.connect() as con:
        zenkor.duckdb.register(con, normalizer=normalizer)
        got = con.execute("SELECT zenkor_normalize(text) FROM read_parquet(?)", [str(path)]).fetchall()
    # Row order within one file is the file's.
    assert [row[0] for row in got] == expected(normalizer, texts)


def test_in_where_and_group_by(con):
    zenkor.duckdb.register(con, normalizer=Normalizer("for_search"))
    con.execute("INSERT INTO posts VALUES (-1, 'ＡＢＣ'), (-2, 'abc'), (-3, 'Abc')")
    groups = con.sql("SELECT count(*) FROM posts WHERE zenkor_normalize(text) = 'abc' "
                     "GROUP BY zenkor_normalize(text)").fetchall()
    assert groups == [(3,)]


def test_a_name_already_taken_keeps_the_first_function(con):
    zenkor.duckdb.register(con, name="norm", normalizer=Normalizer("for_search"))
    with pytest.raises(duckdb.Error):
        zenkor.duckdb.register(con, name="norm", normalizer=Normalizer("none"))
    assert con.sql("SELECT norm('ＡＢＣ')").fetchall() == [("abc",)]


def test_the_benchmark_runs_from_a_fresh_clone():
    # A smoke run on the bundled sample: that it runs and agrees, never how fast.
    done = subprocess.run([sys.executable, str(ROOT / "bench" / "bench_duckdb.py"), "--quick", "--rounds", "1",
                           "--corpus", str(SAMPLE)], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr[-4000:]
    assert re.search(r"^duckdb SELECT zenkor_normalize\(text\) FROM corpus +\d+ MB/s$", done.stdout, flags=re.M)
    assert re.search(r"^for_search normalize_batch\(list\) +\d+ MB/s$", done.stdout, flags=re.M)
    assert re.search(r"^normalize_batch / SELECT time: \d+\.\d\d$", done.stdout, flags=re.M)
