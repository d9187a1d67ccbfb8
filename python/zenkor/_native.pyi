from collections.abc import Iterable, Sequence
from os import PathLike
from typing import Any, Protocol, TypeVar, final, overload

from _typeshed import structseq
from typing_extensions import Self

__version__: str
"""The package version, as written in pyproject.toml."""

# A dictionary file: a str or bytes path, or a path-like object.
_Path = str | bytes | PathLike[str] | PathLike[bytes]
# The variants of one canonical form: any iterable of str but a str itself.
_Variants = TypeVar("_Variants", bound=Iterable[str])

@final
class _ExplainStep(structseq[str], tuple[str, str]):
    """One step of `Normalizer.explain`: a named tuple `(option, text)`.

    Compares equal to the plain tuple `(option, text)` and unpacks like one.
    """

    @property
    def option(self) -> str:
        """The option that switched the step on, as written in `Normalizer(...)`: "nfkc", "kana",
        "case", ...; "url_wrap" for wrapping URLs, "trim" for trimming, "custom_dict" for the
        dictionary.  The symbol step is named by the options whose characters it wrote, joined by
        "+" ("unify_hyphens+unify_prolonged")."""
    @property
    def text(self) -> str:
        """The whole text after the step."""

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
    """Normalizes Japanese text with one fixed set of options.

    Build one from a preset and option keywords, then call `normalize` or
    `normalize_batch`.  Normalizing a text or batch of 128 characters or more
    releases the interpreter lock, so threads may share one instance.  The dictionary methods replace the instance's
    dictionary while no other thread uses it (otherwise RuntimeError
    "Already borrowed"); to change the dictionary of a normalizer that other
    threads use, build a new one and swap the reference.

    Instances pickle and copy exactly, options and dictionary entries
    included, so they can be sent to worker processes.
    """

    def __new__(cls, preset: str | None = None, **options: Any) -> Self:
        """A normalizer from `preset` (default "neologdn_compat") with `options` applied in order.

        Raises ValueError for an unknown preset or an option value out of
        range, TypeError for an unknown option (with a "did you mean" note
        when a close name exists) or a value of the wrong type.
        """
    def normalize(self, text: str) -> str:
        """`text` normalized (the same str when nothing changes); the interpreter
        lock is released meanwhile for texts of 128 characters or more."""
    def normalize_batch(self, texts: Sequence[str], jobs: int = 1) -> list[str]:
        """Each text normalized, in order, with the interpreter lock released
        while a batch of 128 characters or more is normalized.

        `jobs` threads share a batch of more than 65,536 characters (the
        caller's among them; a smaller batch stays on the caller's thread).
        Unchanged texts come back as the same objects, and errors are those
        of `jobs=1`.
        """
    def explain(self, text: str) -> list[_ExplainStep]:
        """What each step of normalizing did to `text`.

        One `ExplainStep(option, text)` per step that changed the text, in the order the steps
        run, `text` being the whole text after that step; the last one equals
        `self.normalize(text)`.  A text no step changes gives `[]`.
        """
    def normalize_with_offsets(self, text: str) -> tuple[str, list[int]]:
        """`self.normalize(text)`, and where each of its characters came from in `text`.

        Returns `(normalized, offsets)`: `offsets[i]` is the index in `text` of the character
        that `normalized[i]` came from, and `offsets[-1] == len(text)`, so the span
        `normalized[i:j]` came from `text[offsets[i]:offsets[j]]`.  Indices count characters
        (code points), like `str` indexing.

        - An unchanged character maps to itself.
        - A replaced character maps to the start of what it replaced; when several characters
          replace several, they spread over the replaced ones in order.
        - A character a step inserted (a space, a placeholder, a URL wrapper) maps to where it
          was inserted.
        - A deleted character has no entry; it falls inside the span of the character before it.
        - `offsets` never decreases.
        """
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
    def preset(name: str) -> Normalizer:
        """The same as `Normalizer(name)`."""
    @staticmethod
    def presets() -> list[str]:
        """The five preset names, from "none" to "for_compare"."""
    @property
    def config(self) -> dict[str, Any]:
        """Every option as a dict accepted by the constructor as keywords.

        `Normalizer(**n.config)` has the same options, except that a
        `url_wrap` pair stored with `protect_urls` off comes back with it on;
        `copy.copy(n)` reproduces every case exactly.
        """
    @property
    def custom_dict_size(self) -> int:
        """The number of dictionary entries, after their variants were normalized."""
    def custom_dict_items(self) -> list[tuple[str, str]]:
        """The dictionary entries as (variant, canonical) pairs.

        Variants appear as they were stored: normalized with this
        normalizer's options.  Entries come in the order they were given, a
        variant given again counting as given last.
        """
    def with_custom_dict(self, mapping: dict[str, _Variants], whole_words: bool = False) -> Self:
        """Adds `{canonical: [variant, ...]}` to the dictionary and returns self.

        Later entries win over earlier ones for the same variant, their
        `whole_words` mark included.  With `whole_words=True` a variant is not
        replaced where it would start or end inside a run of katakana or of
        Latin letters.  Text already written as a canonical form stays as it
        is.  On error the dictionary is left as it was.
        """
    def load_custom_dict_json(self, json: str, whole_words: bool = False) -> Self:
        """Adds entries from a JSON object `{"canonical": ["variant", ...]}` and returns self."""
    def load_custom_dict_file(self, path: _Path, format: str | None = None, whole_words: bool = False) -> Self:
        """Adds entries from a file and returns self.

        `format` is "json", "csv" (`variant,canonical` per line), "tsv" or
        "txt" (tab-separated); when None it comes from the file's extension.
        """
    def load_sudachi_synonyms(self, path: _Path, whole_words: bool = True) -> Self:
        """Adds the synonyms of a Sudachi `synonyms.txt` file and returns self.

        Within each lexeme (group and lexeme number), the representative
        headword becomes the canonical form of the headwords flagged for
        expansion, except single characters and hiragana words shorter than
        four characters.  The file is not bundled; download it separately.
        """
    def clear_custom_dict(self) -> Self:
        """Removes every dictionary entry and returns self."""

def normalize(text: str, preset: str | None = None) -> str:
    """`text` normalized with `preset` (default "neologdn_compat")."""
def levenshtein(a: str, b: str) -> int:
    """The edit distance between `a` and `b`, counted in characters."""
