"""String columns of a Spark DataFrame normalized through Arrow, batch by batch.

    from zenkor.spark import normalize_columns

    n = zenkor.Normalizer("for_search").load_sudachi_synonyms("synonyms.txt")
    normalized = normalize_columns(df, ["title", "body"], n)

Each Arrow record batch Spark hands to `mapInArrow` goes through one `normalize_arrow` call per
column, so no value becomes a Python str. The normalizer, dictionary included, travels to the
executors once, as a broadcast variable, not once per task. pyspark is not a dependency of
zenkor; `pip install "zenkor[spark]"` brings it (Spark itself also needs a Java runtime).
"""

from __future__ import annotations

from collections.abc import Callable, Iterator, Sequence
from typing import TYPE_CHECKING

if TYPE_CHECKING:
    import pyarrow as pa
    from pyspark import Broadcast
    from pyspark.sql import DataFrame

    from ._native import Normalizer

__all__ = ["normalize_columns"]


def normalize_columns(df: DataFrame, columns: str | Sequence[str], normalizer: Normalizer) -> DataFrame:
    """`df` with each of `columns` (of type string) normalized by `normalizer`.

    Every other column, the column order and the schema stay as they are; null values stay
    null. The result is lazy, like any DataFrame transformation: nothing runs before an
    action. Raises ValueError for a column `df` does not have, TypeError for one that is not
    of type string. The session must be a classic one, with a SparkContext to broadcast
    through (a Spark Connect client has none).
    """
    names = [columns] if isinstance(columns, str) else columns
    # Each column once, however often it is named: normalizing twice is not always a no-op.
    positions = list(dict.fromkeys(_string_column(df, name) for name in names))
    shared = df.sparkSession.sparkContext.broadcast(normalizer)
    return df.mapInArrow(_normalize_batches(shared, positions), df.schema)


def _string_column(df: DataFrame, name: str) -> int:
    """The position of column `name` of `df`, which must hold strings."""
    from pyspark.sql.types import StringType

    fields = df.schema.fields
    position = next((i for i, field in enumerate(fields) if field.name == name), None)
    if position is None:
        raise ValueError(f"no column named {name!r}; the DataFrame has {[f.name for f in fields]}")
    if not isinstance(fields[position].dataType, StringType):
        raise TypeError(f"column {name!r} must be of type string, not {fields[position].dataType.simpleString()}")
    return position


def _normalize_batches(
    shared: Broadcast, positions: list[int]
) -> Callable[[Iterator[pa.RecordBatch]], Iterator[pa.RecordBatch]]:
    """The function mapInArrow runs in each task. It holds the broadcast's handle only: the
    normalizer travels to each executor once, and each of its Python workers reads it once
    from there and keeps it (`shared.value`)."""

    def normalize(batches: Iterator[pa.RecordBatch]) -> Iterator[pa.RecordBatch]:
        import pyarrow as pa

        normalizer = shared.value
        for batch in batches:
            arrays = batch.columns
            for i in positions:
                arrays[i] = pa.array(normalizer.normalize_arrow(arrays[i]))
            yield pa.RecordBatch.from_arrays(arrays, schema=batch.schema)

    return normalize
