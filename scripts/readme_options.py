"""Writes the README's option table and its counts of options from the library's option table.

    python scripts/readme_options.py           (rewrites README.md)
    python scripts/readme_options.py --check   (exit status 1 when README.md is stale)

Run it after adding, removing or changing an option, with the changed library built: the keys,
their order and each preset's value come from the library (`Normalizer(preset).config`), and what
each option does from the `doc` of its row of OPTIONS in core/config.h.  A key that is in one of
the two and not in the other means the library was not rebuilt, and the script says so.
tests/test_readme.py fails while README.md differs from what this script writes.
"""

from __future__ import annotations

import argparse
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
README = ROOT / "README.md"
CONFIG_H = ROOT / "core" / "config.h"
SCRIPT = "scripts/readme_options.py"

SECTION = "\n## Options and presets\n"

# A row of OPTIONS: `kind_row("key", ...,` and, last, `"doc"),` at the end of a line.
ROW = re.compile(r'_row\("(?P<key>\w+)",.*?"(?P<doc>(?:[^"\\\n]|\\.)*)"\),[ \t]*\n', re.S)


class StaleBuild(Exception):
    """The built library's options are not those of core/config.h."""


def option_docs(config_h: str) -> dict[str, str]:
    """Each option's doc, from the rows of OPTIONS, in table order."""
    table = config_h.split("inline constexpr std::array OPTIONS = {", 1)[1].split("\n};", 1)[0] + "\n"
    return {m["key"]: re.sub(r"\\(.)", r"\1", m["doc"]) for m in ROW.finditer(table)}


def shown(value: object) -> str:
    """A preset's value as the table writes it."""
    if value is True:
        return "✓"
    if value is False:
        return "·"
    if value is None:
        return "–"
    return f"`{value}`"


def table(docs: dict[str, str]) -> str:
    from zenkor import Normalizer

    presets = Normalizer.presets()
    configs = [Normalizer(preset).config for preset in presets]
    if list(configs[0]) != list(docs):
        raise StaleBuild(f"the built library's options are not those of core/config.h: rebuild, then run {SCRIPT}")
    lines = ["| option | what it does | " + " | ".join(presets) + " |", "|---" * (len(presets) + 2) + "|"]
    lines += [f"| `{key}` | {doc} | " + " | ".join(shown(c[key]) for c in configs) + " |" for key, doc in docs.items()]
    return "\n".join(lines)


def render(readme: str, config_h: str) -> str:
    """`readme` with the option table of its "Options and presets" section and every "N options"
    written from the library."""
    docs = option_docs(config_h)
    head, section = readme.split(SECTION, 1)
    intro, old_table, rest = section.split("\n\n", 2)
    readme = head + SECTION + intro + "\n\n" + table(docs) + "\n\n" + rest
    return re.sub(r"\b\d+ options\b", f"{len(docs)} options", readme)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--check", action="store_true", help="compare with README.md, write nothing")
    args = parser.parse_args()
    readme = README.read_text(encoding="utf-8")
    try:
        wanted = render(readme, CONFIG_H.read_text(encoding="utf-8"))
    except StaleBuild as err:
        print(err, file=sys.stderr)
        return 2
    if wanted == readme:
        return 0
    if args.check:
        print(f"README.md is stale: run {SCRIPT}", file=sys.stderr)
        return 1
    README.write_text(wanted, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
