"""Dataframe string columns normalized through Arrow memory, one line each.

Every helper hands the column's Arrow buffers to `Normalizer.normalize_arrow` and wraps the
result the way its library expects, so no value ever becomes a Python str:

    import polars as pl
    import zenkor
    from zenkor.arrow import normalize_pandas, normalize_polars, polars_expr

    n = zenkor.Normalizer("for_search")
    df["text"] = normalize_pandas(n, df["text"])                  # pandas
    series = normalize_polars(n, series)                          # a polars Series
    frame = frame.with_columns(polars_expr(n, pl.col("text")))    # a polars expression

`jobs` spreads a long column over that many threads. pandas, polars and pyarrow are imported
by the helper that needs them, and are not dependencies of zenkor.
"""

from __future__ import annotations

from typing import TYPE_CHECKING

if TYPE_CHECKING:
    import pandas as pd
    import polars as pl

    from ._native import Normalizer

__all__ = ["normalize_pandas", "normalize_polars", "polars_expr"]


def normalize_pandas(normalizer: Normalizer, series: pd.Series, jobs: int = 1) -> pd.Series:
    """`series` normalized, with its dtype, index and name.

    Arrow-backed string dtypes (`pd.ArrowDtype(pa.string())` and its large_string and
    string_view kin, `"string[pyarrow]"`, and pandas 3's default `str`) go through without a
    copy of their buffers; other dtypes are converted to Arrow and back by pandas.
    """
    import pandas as pd
    import pyarrow as pa

    # pa.array reads an Arrow-backed Series in place (an Array or a ChunkedArray), and
    # pd.array wraps the chunks it is given in place for every Arrow-backed dtype.
    normalized = pa.chunked_array(normalizer.normalize_arrow(pa.array(series), jobs=jobs))
    return pd.Series(pd.array(normalized, dtype=series.dtype), index=series.index, name=series.name, copy=False)


def normalize_polars(normalizer: Normalizer, series: pl.Series, jobs: int = 1) -> pl.Series:
    """`series` (of dtype String) normalized, with its name."""
    import polars as pl

    return pl.Series(normalizer.normalize_arrow(series, jobs=jobs))


def polars_expr(normalizer: Normalizer, expr: pl.Expr, jobs: int = 1) -> pl.Expr:
    """`expr` (of dtype String) normalized, batch by batch, for `select` and `with_columns`."""
    import polars as pl

    # Elementwise, so polars may split the column into batches (and stream them) as it likes.
    return expr.map_batches(
        lambda series: normalize_polars(normalizer, series, jobs), return_dtype=pl.String, is_elementwise=True
    )
