"""zenkor: fast, exact Japanese text normalization."""

from ._native import Normalizer, __version__, levenshtein, normalize

__all__ = ["Normalizer", "normalize", "levenshtein", "__version__"]
