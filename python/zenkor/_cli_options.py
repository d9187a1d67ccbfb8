"""Option values as the command line writes them, and the list of options.

The library checks every value again; this module says how the text after
KEY= becomes a Python value for each kind of option, and words what it cannot
read in the command line's own terms (`none`, --list-options) rather than the
library's Python ones.  Words are read in any case.  Option names, preset
values and the suggestion of a close name come from the library itself, so
only the kinds are written here.
"""

from __future__ import annotations

import re
from collections.abc import Callable
from typing import Any, NamedTuple

from ._native import Normalizer

TRUE_WORDS = ("true", "yes", "on", "1")
FALSE_WORDS = ("false", "no", "off", "0")
NONE_WORDS = ("none",)


class OptionValueError(ValueError):
    """A value the command line cannot read for its option's kind."""


class Kind(NamedTuple):
    name: str  # as --list-options shows it
    read: Callable[[str, str], Any]  # (key, text) -> value
    show: Callable[[Any], str]  # value -> text that `read` reads back


def _expected(key: str, what: str, text: str) -> OptionValueError:
    return OptionValueError(f'option "{key}" must be {what} (got "{text}")')


def _read_bool(key: str, text: str) -> bool:
    word = text.strip().lower()
    if word in TRUE_WORDS:
        return True
    if word in FALSE_WORDS:
        return False
    raise _expected(key, "true/false, yes/no, on/off or 1/0", text)


def _or_none(read: Callable[[str, str], Any]) -> Callable[[str, str], Any]:
    return lambda key, text: None if text.strip().lower() in NONE_WORDS else read(key, text)


def _read_count(key: str, text: str) -> int:
    if not re.fullmatch(r"\s*\+?\d+\s*", text) or int(text) < 1:
        raise _expected(key, "a whole number >= 1 or none", text)
    return int(text)


def _read_pair(key: str, text: str) -> tuple[str, str]:
    prefix, comma, suffix = text.partition(",")
    if not comma:
        raise _expected(key, "PREFIX,SUFFIX or none", text)
    return prefix, suffix


def _show(value: Any) -> str:
    if value is None:
        return "none"
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, tuple):
        return ",".join(value)
    return str(value)


def _choice(*names: str) -> Kind:
    def read(key: str, text: str) -> str:
        word = text.strip().lower()
        if word not in names:
            raise _expected(key, ", ".join(names[:-1]) + " or " + names[-1], text)
        return word

    return Kind("|".join(names), read, _show)


BOOL = Kind("bool", _read_bool, _show)

# The kind of every option that is not an on/off switch; all others are bools.
KINDS: dict[str, Kind] = {
    "kana": _choice("keep", "hira_to_kata", "kata_to_hira"),
    "case": _choice("keep", "lower", "upper"),
    "cjk_spacing": _choice("keep", "remove", "insert"),
    "emoji": _choice("keep", "remove"),
    "repeat_limit": Kind("int|none", _or_none(_read_count), _show),
    "emoji_placeholder": Kind("text|none", _or_none(lambda key, text: text), _show),
    "url_wrap": Kind("PREFIX,SUFFIX|none", _or_none(_read_pair), _show),
}


def option_names() -> list[str]:
    return list(Normalizer("none").config)


def kind_of(key: str) -> Kind:
    return KINDS.get(key, BOOL)


def _unknown(key: str) -> OptionValueError:
    hints: list[str] = []
    try:
        Normalizer("none", **{key: None})
    except TypeError as err:  # the library's own error, with its suggestion
        hints += [f" ({note})" for note in getattr(err, "__notes__", ())]
    return OptionValueError(f'unknown option "{key}"{"".join(hints)}; see --list-options')


def parse_setting(text: str) -> tuple[str, Any]:
    """KEY=VALUE as (key, value)."""
    key, sep, raw = text.partition("=")
    key = key.strip()
    if not sep or not key:
        raise OptionValueError(f'expected KEY=VALUE, got "{text}"')
    if key not in option_names():
        raise _unknown(key)
    return key, kind_of(key).read(key, raw)


def option_table() -> str:
    """Every option with its kind and its value in each preset, one per line."""
    presets = Normalizer.presets()
    configs = [Normalizer(preset).config for preset in presets]
    rows = [["option", "kind", *presets]]
    rows += [[key, kind_of(key).name, *(kind_of(key).show(c[key]) for c in configs)] for key in configs[0]]
    widths = [max(len(row[i]) for row in rows) for i in range(len(rows[0]))]
    return "\n".join("  ".join(cell.ljust(w) for cell, w in zip(row, widths)).rstrip() for row in rows) + "\n"
