"""The README says what the library does; keep it true.

Every example line of the form `expression  # result` (or an expression line
followed by a `# result` line) is evaluated in the order written, and its
value compared with the result, read as a Python literal.  Blocks that need
files the README only describes (dictionary files) are skipped.  The
option table and the option counts are compared with the library.
"""

import ast
import re
from pathlib import Path

import pytest

from zenkor import Normalizer

README = Path(__file__).resolve().parents[1] / "README.md"


def literal(comment):
    """The comment as a Python literal, or None when it is prose."""
    for candidate in (comment, comment.split(": ")[0], comment.split(", ")[0]):
        try:
            return ast.literal_eval(candidate.strip())
        except (ValueError, SyntaxError):
            continue
    return None


def examples():
    blocks = re.findall(r"```python\n(.*?)```", README.read_text(encoding="utf-8"), flags=re.S)
    return [block for block in blocks if "load_" not in block]


@pytest.mark.parametrize("block", examples(), ids=lambda block: block.splitlines()[-1][:30])
def test_readme_examples_return_what_they_say(block):
    namespace = {}
    lines = block.splitlines()
    checked = 0
    for i, line in enumerate(lines):
        code, _, comment = line.partition("  # ")
        if not code.strip() or code.lstrip().startswith("#"):
            continue
        if not comment and i + 1 < len(lines) and lines[i + 1].startswith("# "):
            comment = lines[i + 1][2:]
        want = literal(comment) if comment else None
        tree = ast.parse(code.strip())
        if want is not None and isinstance(tree.body[0], ast.Expr):
            assert eval(code.strip(), namespace) == want, code
            checked += 1
        else:
            exec(code.strip(), namespace)
    assert checked > 0


# How the README's option table writes a preset's value.
def shown(value):
    if value is True:
        return "✓"
    if value is False:
        return "·"
    if value is None:
        return "–"
    return f"`{value}`"


def readme_option_table():
    """The header cells and rows of the table under "Options and presets"."""
    section = README.read_text(encoding="utf-8").split("\n## Options and presets\n", 1)[1]
    lines = [line for line in section.split("\n\n")[1].splitlines() if not line.startswith("|---")]
    header, *rows = [[cell.strip() for cell in line.strip().strip("|").split(" | ")] for line in lines]
    return header, rows


def test_readme_option_table_is_the_librarys():
    # Option names, their order and every preset's value come from the
    # library's own table; only the "what it does" column is the README's.
    header, rows = readme_option_table()
    presets = Normalizer.presets()
    assert header[2:] == presets
    configs = [Normalizer(preset).config for preset in presets]
    want = [[f"`{key}`", *(shown(config[key]) for config in configs)] for key in configs[0]]
    assert [[row[0], *row[2:]] for row in rows] == want


@pytest.mark.parametrize("path", [README, README.parent / "python" / "zenkor" / "_native.pyi"], ids=lambda p: p.name)
def test_option_counts_in_the_docs(path):
    # Every "N options" the docs write is the number there is.
    counts = re.findall(r"\b(\d+) options\b", path.read_text(encoding="utf-8"))
    assert {int(n) for n in counts} <= {len(Normalizer("none").config)}
