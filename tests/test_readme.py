"""The README and the pages of docs/ say what the library does; keep them true.

Every example line of the form `expression  # result` (or an expression line
followed by a `# result` line) is evaluated in the order written, and its
value compared with the result, read as a Python literal.  Blocks that need
files the docs only describe (dictionary files) are skipped; those that start
Spark run in test_spark.py.  The option table and the option counts are
compared with the library, and the README with what
scripts/readme_options.py writes.
"""

import ast
import importlib.util
import re
from pathlib import Path

import pytest

from zenkor import Normalizer

ROOT = Path(__file__).resolve().parents[1]
README = ROOT / "README.md"
DOCS = [README, *sorted((ROOT / "docs").glob("*.md"))]
CONFIG_H = ROOT / "core" / "config.h"

found = importlib.util.spec_from_file_location("readme_options", ROOT / "scripts" / "readme_options.py")
readme_options = importlib.util.module_from_spec(found)
found.loader.exec_module(readme_options)


def literal(comment):
    """The comment as a Python literal, or None when it is prose."""
    for candidate in (comment, comment.split(": ")[0], comment.split(", ")[0]):
        try:
            return ast.literal_eval(candidate.strip())
        except (ValueError, SyntaxError):
            continue
    return None


def code_blocks():
    """The Python blocks of the README and of every page of docs/."""
    return [block for path in DOCS
            for block in re.findall(r"```python\n(.*?)```", path.read_text(encoding="utf-8"), flags=re.S)]


def needs_spark(block):
    return "SparkSession" in block


def examples():
    # The Spark blocks run in test_spark.py, on the session the tests there share.
    return [block for block in code_blocks() if "load_" not in block and not needs_spark(block)]


def run_example(block):
    """Runs `block` line by line, comparing each value with its `# result`."""
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


@pytest.mark.parametrize("block", examples(), ids=lambda block: block.splitlines()[-1][:30])
def test_readme_examples_return_what_they_say(block):
    run_example(block)


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
    want = [[f"`{key}`", *(readme_options.shown(config[key]) for config in configs)] for key in configs[0]]
    assert [[row[0], *row[2:]] for row in rows] == want


@pytest.mark.parametrize("path", [README, README.parent / "python" / "zenkor" / "_native.pyi"], ids=lambda p: p.name)
def test_option_counts_in_the_docs(path):
    # Every "N options" the docs write is the number there is.
    counts = re.findall(r"\b(\d+) options\b", path.read_text(encoding="utf-8"))
    assert {int(n) for n in counts} <= {len(Normalizer("none").config)}


def test_readme_is_what_its_generator_writes():
    readme = README.read_text(encoding="utf-8")
    assert readme_options.render(readme, CONFIG_H.read_text(encoding="utf-8")) == readme, (
        f"README.md is stale: run {readme_options.SCRIPT}"
    )


def one_more_option(readme):
    return re.sub(r"\b(\d+) options\b", lambda m: f"{int(m[1]) + 1} options", readme, count=1)


@pytest.mark.parametrize(
    "make_stale",
    [
        lambda readme: readme.replace("| `nfkc` | NFKC, keeping", "| `nfkc` | NFKC keeping"),
        # the quotes of this doc are escaped in C++
        lambda readme: readme.replace('| `kana` | "keep", "hira_to_kata"', '| `kana` | keep, "hira_to_kata"'),
        lambda readme: readme.replace("| · | ✓ | ✓ | · | ✓ |\n| `remove_zero_width`",
                                      "| · | ✓ | · | · | ✓ |\n| `remove_zero_width`"),
        lambda readme: readme.replace("| `url_wrap` |", "| `url_wraps` |"),
        one_more_option,
    ],
    ids=["doc", "escaped quotes", "preset value", "last row", "count"],
)
def test_generator_rewrites_what_went_stale(make_stale):
    readme = README.read_text(encoding="utf-8")
    stale = make_stale(readme)
    assert stale != readme
    assert readme_options.render(stale, CONFIG_H.read_text(encoding="utf-8")) == readme


def test_generator_refuses_a_library_built_from_another_table():
    # A row missing from core/config.h stands for a library built before the
    # table changed: the script must not write a table from the two mixed.
    config_h = CONFIG_H.read_text(encoding="utf-8")
    row = re.search(r'\n    bool_row\("trim".*?\),\n', config_h, flags=re.S).group(0)
    with pytest.raises(readme_options.StaleBuild):
        readme_options.render(README.read_text(encoding="utf-8"), config_h.replace(row, "\n"))
