"""The README's Python examples say what they return; keep them true.

Every example line of the form `expression  # result` (or an expression line
followed by a `# result` line) is evaluated in the order written, and its
value compared with the result, read as a Python literal.  Blocks that need
files the README only describes (dictionary files) are skipped.
"""

import ast
import re
from pathlib import Path

import pytest

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
