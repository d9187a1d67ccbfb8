from collections.abc import Iterable, Sequence
from os import PathLike
from typing import Any, TypeVar, final

from _typeshed import structseq
from typing_extensions import Self

__version__: str

# A dictionary file: a str or bytes path, or a path-like object.
_Path = str | bytes | PathLike[str] | PathLike[bytes]
# The variants of one canonical form: any iterable of str but a str itself.
_Variants = TypeVar("_Variants", bound=Iterable[str])

@final
class ExplainStep(structseq[str], tuple[str, str]):
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

class Normalizer:
    """Python に公開する Normalizer。"""

    def __new__(cls, preset: str | None = None, **options: Any) -> Self: ...
    def normalize(self, text: str) -> str: ...
    def normalize_batch(self, texts: Sequence[str]) -> list[str]: ...
    def explain(self, text: str) -> list[ExplainStep]:
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
