"""What many test files share: hypothesis settings, each preset, the corpus, dictionary files
written for a test, and the command line run as users run it.

Where the text lives is said once, in shared_data.py, which the benchmarks read too.
"""

from __future__ import annotations

import subprocess
import sys
from pathlib import Path
from typing import Callable

import pytest
from hypothesis import settings

from shared_data import CORPUS
from zenkor import Normalizer

# No deadline for any property test: on a machine shared with other work a slow example says
# nothing about the code, and the tests that time things do it in bench/.
settings.register_profile("zenkor", deadline=None)
settings.load_profile("zenkor")


@pytest.fixture(params=Normalizer.presets())
def preset(request: pytest.FixtureRequest) -> str:
    """Each preset's name in turn, for tests of an option inside every preset.

    A test that parametrizes `preset` itself gets its own values instead.
    """
    return request.param


@pytest.fixture(scope="session")
def corpus_files() -> dict[str, list[str]]:
    """The lines of each text of the corpus (or of the sample a clone without it falls back on),
    by file name, in name order."""
    files = {path.name: path.read_text(encoding="utf-8").splitlines() for path in sorted(CORPUS.glob("*.txt"))}
    assert files, f"no text under {CORPUS}"
    return files


@pytest.fixture(scope="session")
def corpus_lines(corpus_files: dict[str, list[str]]) -> list[str]:
    """Every line of the corpus, file after file."""
    return [line for lines in corpus_files.values() for line in lines]


@pytest.fixture
def dict_file(tmp_path: Path) -> Callable[[str, str | bytes], Path]:
    """Writes a dictionary file into the test's own folder: dict_file(name, content) -> its path.

    Text is written as UTF-8 exactly as given (line ends included), bytes as they are.
    """

    def write(name: str, content: str | bytes) -> Path:
        path = tmp_path / name
        path.write_bytes(content if isinstance(content, bytes) else content.encode("utf-8"))
        return path

    return write


@pytest.fixture(scope="session")
def cli_command() -> list[str]:
    """The command line as users start it, for tests that drive the process themselves."""
    return [sys.executable, "-m", "zenkor"]


@pytest.fixture(scope="session")
def run_cli(cli_command: list[str]) -> Callable[..., subprocess.CompletedProcess]:
    """Runs the command line with `args` and `stdin` (bytes) as its standard input, and returns
    the finished process with its output captured as bytes.  Other keyword arguments go to
    subprocess.run."""

    def run(*args: object, stdin: bytes = b"", timeout: float = 60, **kwargs) -> subprocess.CompletedProcess:
        return subprocess.run([*cli_command, *map(str, args)], input=stdin, capture_output=True, timeout=timeout,
                              **kwargs)

    return run
