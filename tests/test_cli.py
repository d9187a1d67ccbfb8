"""The command line: python -m zenkor."""

import subprocess
import sys
from pathlib import Path

import pytest

from zenkor import Normalizer

SAMPLE = Path(__file__).resolve().parents[1] / "examples" / "sample.txt"


def run(*args, stdin=b""):
    return subprocess.run(
        [sys.executable, "-m", "zenkor", *args], input=stdin, capture_output=True, timeout=60
    )


def test_sample_file_matches_the_library():
    lines = SAMPLE.read_text(encoding="utf-8").splitlines()
    result = run("--preset", "for_search", str(SAMPLE))
    assert result.returncode == 0, result.stderr
    assert result.stdout.decode("utf-8").splitlines() == Normalizer("for_search").normalize_batch(lines)


@pytest.mark.parametrize(
    "args, stdin, want",
    [
        ((), "ｱｲｳ　ＡＢＣ\n", "アイウ ABC\n"),
        (("--preset", "none"), " ｱ \r\n", " ｱ \n"),  # CR LF ends a line; the CR is not text
        (("--preset", "none"), "no newline at end", "no newline at end\n"),
        (("--preset", "none"), "a\n\nb\n", "a\n\nb\n"),  # empty lines stay
        (("--preset", "none", "-o", "case=upper"), "abc\n", "ABC\n"),
        (("-o", "repeat_limit=2"), "わーーーい!!!!\n", "わーい!!\n"),
        (("--preset", "for_search", "-o", "url_wrap=('<', '>')"), "x https://a.jp y\n", "x <https://a.jp> y\n"),
        (("--preset", "none", "-o", "emoji_placeholder=[E]"), "a😀😀b\n", "a[E]b\n"),
        (("--preset", "none", "-o", "emoji_placeholder=None"), "a😀b\n", "a😀b\n"),
        (("--preset", "for_search", "-o", "case=keep", "-"), "ABC\n", "ABC\n"),
    ],
)
def test_standard_input_and_options(args, stdin, want):
    result = run(*args, stdin=stdin.encode("utf-8"))
    assert result.returncode == 0, result.stderr
    assert result.stdout.decode("utf-8") == want


@pytest.mark.parametrize(
    "args, code, message",
    [
        (("--preset", "bogus"), 2, 'unknown preset: "bogus" (valid: none, neologdn_compat'),
        (("-o", "nfkc=1"), 2, 'option "nfkc" must be bool'),
        (("-o", "case=LOWER"), 2, 'option "case": must be one of keep, lower, upper (got "LOWER")'),
        (("-o", "nope=True"), 2, 'unknown option "nope"'),
        (("-o", "novalue"), 2, "expected KEY=VALUE"),
        (("missing-file.txt",), 1, "missing-file.txt"),
    ],
)
def test_errors_print_the_message_and_exit_non_zero(args, code, message):
    result = run(*args)
    assert result.returncode == code
    assert message in result.stderr.decode("utf-8")
    assert result.stdout == b""


def test_invalid_utf8_input_is_an_error(tmp_path):
    path = tmp_path / "bad.txt"
    path.write_bytes(b"ok\n\xff\xfe\n")
    result = run(str(path))
    assert result.returncode == 1
    assert "bad.txt" in result.stderr.decode("utf-8")


def test_many_lines_in_several_batches(tmp_path):
    lines = [f"ｶﾀｶﾅ{i}　" for i in range(5000)]
    path = tmp_path / "many.txt"
    path.write_text("\n".join(lines) + "\n", encoding="utf-8")
    result = run(str(path), str(path))
    assert result.returncode == 0
    assert result.stdout.decode("utf-8").splitlines() == [f"カタカナ{i}" for i in range(5000)] * 2
