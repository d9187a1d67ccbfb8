"""A DuckDB SQL function that normalizes a VARCHAR column through Arrow.

    import duckdb
    import zenkor
    import zenkor.duckdb

    con = duckdb.connect()
    zenkor.duckdb.register(con, normalizer=zenkor.Normalizer("for_search"))
    con.sql("SELECT zenkor_normalize(text) FROM 'posts.parquet'")

DuckDB hands the function whole vectors as Arrow arrays, and each goes through one
`normalize_arrow` call, so no value becomes a Python str. duckdb is not a dependency of zenkor;
`pip install "zenkor[duckdb]"` brings it.
"""

from __future__ import annotations

from typing import TYPE_CHECKING

from ._native import Normalizer

if TYPE_CHECKING:
    import duckdb

__all__ = ["register"]


def register(con: duckdb.DuckDBPyConnection, name: str = "zenkor_normalize",
             normalizer: Normalizer | None = None) -> None:
    """Registers `name(text VARCHAR) -> VARCHAR` on connection `con`: `text` normalized by
    `normalizer` (by default `Normalizer()`, as `zenkor.normalize` does), NULL for NULL.

    The function is deterministic, so DuckDB may compute it once for equal arguments. A name
    already taken on `con` raises duckdb's own error.
    """
    import pyarrow as pa

    normalizer = Normalizer() if normalizer is None else normalizer

    # No annotations: duckdb reads the function's signature, evaluating them in this scope.
    def normalize(texts):
        normalized = normalizer.normalize_arrow(texts)
        return pa.array(normalized) if isinstance(texts, pa.Array) else pa.chunked_array(normalized)

    # "special" null handling hands the nulls to normalize_arrow, which keeps them where they
    # are, instead of DuckDB filtering them out and back in.
    con.create_function(name, normalize, ["VARCHAR"], "VARCHAR", type="arrow", null_handling="special")
