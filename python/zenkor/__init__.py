"""zenkor: fast, exact Japanese text normalization."""

from ._native import ExplainStep, Normalizer, __version__, levenshtein, normalize

__all__ = ["Normalizer", "ExplainStep", "normalize", "levenshtein", "__version__"]
