"""zenkor: fast, exact Japanese text normalization."""

from ._native import Normalizer, __version__, levenshtein, normalize
from ._native import _ExplainStep as ExplainStep

__all__ = ["Normalizer", "ExplainStep", "normalize", "levenshtein", "__version__"]
