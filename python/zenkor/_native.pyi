from collections.abc import Iterable, Sequence
from os import PathLike
from typing import Any, Protocol, TypeVar, overload

from typing_extensions import Self

__version__: str

# A dictionary file: a str or bytes path, or a path-like object.
_Path = str | bytes | PathLike[str] | PathLike[bytes]
# The variants of one canonical form: any iterable of str but a str itself.
_Variants = TypeVar("_Variants", bound=Iterable[str])

# Data that exports the Arrow PyCapsule interface: a pyarrow Array or ChunkedArray, a polars
# or pandas Series, and anything else with __arrow_c_array__ or __arrow_c_stream__.
class _ArrowArrayExporter(Protocol):
    def __arrow_c_array__(self, requested_schema: object | None = None) -> tuple[object, object]: ...

class _ArrowStreamExporter(Protocol):
    def __arrow_c_stream__(self, requested_schema: object | None = None) -> object: ...

class _ArrowStringStream:
    """Normalized Arrow strings, in the chunks of the input stream (not importable: only
    normalize_arrow makes them). Each export shares the buffers, so it may be repeated."""

    def __arrow_c_stream__(self, requested_schema: object | None = None) -> object: ...

class _ArrowStringArray(_ArrowStringStream):
    """A normalized Arrow string array: exports an array, or a stream of one chunk."""

    def __arrow_c_array__(self, requested_schema: object | None = None) -> tuple[object, object]: ...

class Normalizer:
    """Python に公開する Normalizer。"""

    def __new__(cls, preset: str | None = None, **options: Any) -> Self: ...
    def normalize(self, text: str) -> str: ...
    def normalize_batch(self, texts: Sequence[str]) -> list[str]: ...
    @overload
    def normalize_arrow(self, data: _ArrowArrayExporter, jobs: int = 1) -> _ArrowStringArray:
        """Normalize a column of Arrow strings without a Python object per value.

        `data` exports the Arrow PyCapsule interface (`__arrow_c_array__` or
        `__arrow_c_stream__`) with values of type string, large_string or string_view. The
        result exports the same interface (an array for an array, a stream for a stream), so
        `pyarrow.array`, `pyarrow.chunked_array` and `polars.Series` take it without a copy.
        It has the same type, length, chunks and nulls, and each value equals
        `normalize(value)`; a sliced input comes back with offset 0. The interpreter lock is
        released for the whole column, and `jobs` threads share a long one, in order.

        Raises TypeError for data that is not a column of strings (naming its Arrow format),
        ValueError for a malformed array (naming the row: offsets that decrease, a view out
        of its buffer, bytes that are not UTF-8), and OverflowError when a string chunk's
        normalized values no longer fit 32-bit offsets (2**31 - 1 bytes). The input is
        only read.
        """

    @overload
    def normalize_arrow(self, data: _ArrowStreamExporter, jobs: int = 1) -> _ArrowStringStream: ...
    @staticmethod
    def preset(name: str) -> Normalizer: ...
    @staticmethod
    def presets() -> list[str]: ...
    @property
    def config(self) -> dict[str, Any]: ...
    @property
    def custom_dict_size(self) -> int: ...
    def with_custom_dict(self, mapping: dict[str, _Variants]) -> Self: ...
    def load_custom_dict_json(self, json: str) -> Self: ...
    def load_custom_dict_file(self, path: _Path, format: str | None = None) -> Self: ...
    def load_sudachi_synonyms(self, path: _Path) -> Self: ...
    def clear_custom_dict(self) -> Self: ...

def normalize(text: str, preset: str | None = None) -> str: ...
def levenshtein(a: str, b: str) -> int: ...
