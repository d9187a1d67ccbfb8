"""The command line, run as users run it: python -m zenkor in a subprocess (the long table of
errors through main(), which is what it runs)."""

import fcntl
import io
import os
import pty
import select
import signal
import stat
import subprocess
import struct
import sys
import termios
import time
from pathlib import Path

import pytest

from shared_data import SYNONYMS
from zenkor import Normalizer, __version__
from zenkor.__main__ import main
from zenkor._cli_options import kind_of

SAMPLE = Path(__file__).resolve().parents[1] / "examples" / "sample.txt"


def text_lines(n, start=0):
    """Lines of varied length and script, so blocks end at arbitrary places."""
    return [f"ｶﾀｶﾅ{i}　ＡＢＣ" + "漢字" * (i % 7) for i in range(start, start + n)]


def normalized(lines, preset=None):
    return Normalizer(preset).normalize_batch(lines)


def test_sample_file_matches_the_library(run_cli):
    lines = SAMPLE.read_text(encoding="utf-8").splitlines()
    result = run_cli("--preset", "for_search", SAMPLE)
    assert result.returncode == 0, result.stderr
    assert result.stdout.decode("utf-8").splitlines() == normalized(lines, "for_search")


def test_version_is_the_package_version(run_cli):
    assert run_cli("--version").stdout.decode() == f"zenkor {__version__}\n"


@pytest.mark.parametrize(
    "args, stdin, want",
    [
        ((), "ｱｲｳ　ＡＢＣ\n", "アイウ ABC\n"),
        (("--preset", "for_search"), " ｱ \r\nｲ", "ア\r\nイ"),  # CR LF ends a line; the CR is not text
        (("--preset", "none"), "a\n\nb\n", "a\n\nb\n"),  # empty lines stay
        (("--preset", "none"), "", ""),
        (("--preset", "none", "-s", "case=upper"), "abc\n", "ABC\n"),  # str options take plain text
        (("--preset", "none", "--set", "case=upper"), "abc\n", "ABC\n"),
        (("--preset", "none", "--option", "case=upper"), "abc\n", "ABC\n"),
        (("-s", "repeat_limit=2"), "わーーーい!!!!\n", "わーい!!\n"),
        (("--preset", "for_search", "-s", "repeat_limit=none"), "!!!!\n", "!!!!\n"),
        (("--preset", "for_search", "-s", "url_wrap=<,>"), "x https://a.jp y\n", "x <https://a.jp> y\n"),
        (("--preset", "for_search", "-s", "url_wrap=[,],"), "x https://a.jp y\n", "x [https://a.jp], y\n"),
        (("--preset", "for_search", "-s", "url_wrap=<,>", "-s", "url_wrap=none"), "https://a.jp\n", "https://a.jp\n"),
        (("--preset", "none", "-s", "emoji_placeholder=[E]"), "a😀😀b\n", "a[E]b\n"),
        (("--preset", "none", "-s", "emoji_placeholder=None"), "a😀b\n", "a😀b\n"),
        (("--preset", "for_search", "-s", "case=keep", "-"), "ABC\n", "ABC\n"),
        # Words and booleans in any case.
        (("--preset", "None", "-s", "case=UPPER", "-s", "kana=Hira_To_Kata"), "abcあ\n", "ABCア\n"),
        (("--preset", "none", "-s", "emoji=REMOVE", "--errors", "Skip", "--newline", "LF"), "a😀", "a\n"),
    ],
)
def test_standard_input_and_options(args, stdin, want, run_cli):
    result = run_cli(*args, stdin=stdin.encode("utf-8"))
    assert result.returncode == 0, result.stderr
    assert result.stdout.decode("utf-8") == want


@pytest.mark.parametrize("word, on", [
    ("true", True), ("True", True), ("YES", True), ("on", True), ("1", True),
    ("false", False), ("no", False), ("Off", False), ("0", False),
])  # fmt: skip
def test_booleans_are_shell_words(word, on, run_cli):
    result = run_cli("--preset", "none", "-s", f"nfkc={word}", stdin="ＡＢＣ\n".encode())
    assert result.stdout.decode() == ("ABC\n" if on else "ＡＢＣ\n")


USAGE = "zenkor: error: "

# Each bad invocation, run in a folder holding the files made by bad_files(), with
# its whole standard error and exit status: 2 for the command line, 1 for a file.
ERROR_TABLE = [
    (("--preset", "bogus"), USAGE + '--preset must be none, neologdn_compat, for_search, for_display or '
                                     'for_compare (got "bogus")', 2),
    (("-s", "nfkc=maybe"), USAGE + 'option "nfkc" must be true/false, yes/no, on/off or 1/0 (got "maybe")', 2),
    (("-s", "case=LOWR"), USAGE + 'option "case" must be keep, lower or upper (got "LOWR")', 2),
    (("-s", "emoji=insert"), USAGE + 'option "emoji" must be keep or remove (got "insert")', 2),
    (("-s", "nope=1"), USAGE + 'unknown option "nope"; see --list-options', 2),
    (("-s", "repeat_limt=3"), USAGE + 'unknown option "repeat_limt" (did you mean "repeat_limit"?); see --list-options',
     2),
    (("-s", "novalue"), USAGE + 'expected KEY=VALUE, got "novalue"', 2),
    (("-s", "repeat_limit=two"), USAGE + 'option "repeat_limit" must be a whole number >= 1 or none (got "two")', 2),
    (("-s", "repeat_limit=0"), USAGE + 'option "repeat_limit" must be a whole number >= 1 or none (got "0")', 2),
    (("-s", "repeat_limit=-1"), USAGE + 'option "repeat_limit" must be a whole number >= 1 or none (got "-1")', 2),
    (("-s", "url_wrap=<>"), USAGE + 'option "url_wrap" must be PREFIX,SUFFIX or none (got "<>")', 2),
    (("-s", "kansuji_to_arabic=on", "-s", "arabic_to_kansuji=on"),
     USAGE + 'option "arabic_to_kansuji": kansuji_to_arabic and arabic_to_kansuji cannot both be enabled', 2),
    (("-o", "case=upper"), USAGE + "-o names the output file; to set an option write -s case=upper", 2),
    (("--jobs", "0"), USAGE + '--jobs must be a whole number >= 1 (got "0")', 2),
    (("-j", "x"), USAGE + '--jobs must be a whole number >= 1 (got "x")', 2),
    (("--errors", "ignore"), USAGE + '--errors must be strict, replace or skip (got "ignore")', 2),
    (("--newline", "crlf"), USAGE + '--newline must be keep or lf (got "crlf")', 2),
    (("--bogus",), USAGE + "unrecognized arguments: --bogus; see --help", 2),
    (("-s",), USAGE + "argument -s/--set/--option: expected one argument; see --help", 2),
    (("--dict", "words.yaml"), USAGE + '--dict words.yaml: unknown dictionary format "yaml" (expected json, csv, tsv)',
     2),
    (("--dict", "missing.csv"), "zenkor: missing.csv: No such file or directory", 1),
    (("--sudachi", "missing.txt"), "zenkor: missing.txt: No such file or directory", 1),
    (("--dict", "folder.csv"), "zenkor: folder.csv: Is a directory", 1),
    (("--dict", "latin1.csv"), "zenkor: latin1.csv: stream did not contain valid UTF-8", 1),
    (("--dict", "bad.csv"), "zenkor: bad.csv: invalid row at line 2", 1),
    (("--sudachi", "bad_synonyms.txt"), "zenkor: bad_synonyms.txt: too few columns at line 1", 1),
    (("missing.txt",), "zenkor: missing.txt: No such file or directory", 1),
    (("folder.csv",), "zenkor: folder.csv: Is a directory", 1),
    (("latin1.csv",), "zenkor: latin1.csv:1:4: invalid UTF-8 (0xe9); the rest of this input is not read", 1),
]


def bad_files(folder):
    (folder / "folder.csv").mkdir()
    (folder / "latin1.csv").write_bytes(b"caf\xe9,cafe\n")
    (folder / "bad.csv").write_text("a,b\nno delimiter\n")
    (folder / "bad_synonyms.txt").write_text("abc\n")


@pytest.mark.parametrize("args, message, status", ERROR_TABLE, ids=[" ".join(args) for args, _, _ in ERROR_TABLE])
def test_every_error_is_one_line_with_its_status(tmp_path, monkeypatch, capsys, args, message, status):
    # In this process, as the table is long: main() is what `python -m zenkor` runs.
    bad_files(tmp_path)
    monkeypatch.chdir(tmp_path)
    monkeypatch.setattr(sys, "stdin", io.TextIOWrapper(io.BytesIO(b"x\n")))
    assert main(list(args)) == status
    assert capsys.readouterr() == ("", message + "\n")


def test_dictionaries_load_in_the_order_given(dict_file, run_cli):
    csv = dict_file("words.csv", "幽白,幽遊白書\nｽﾏﾎ,スマートフォン\n")
    json = dict_file("later.json", '{"ゆうはく": ["幽白"]}')
    text = "幽白とｽﾏﾎと曖昧\n".encode()
    assert run_cli("--dict", csv, stdin=text).stdout.decode() == "幽遊白書とスマートフォンと曖昧\n"
    assert run_cli("--dict", csv, "--dict", json, stdin=text).stdout.decode() == "ゆうはくとスマートフォンと曖昧\n"
    assert run_cli("--dict", json, "--dict", csv, stdin=text).stdout.decode() == "幽遊白書とスマートフォンと曖昧\n"
    sudachi = Normalizer().load_sudachi_synonyms(SYNONYMS).normalize("あいまい")
    assert run_cli("--sudachi", SYNONYMS, stdin="あいまい\n".encode()).stdout.decode() == sudachi + "\n"


@pytest.mark.parametrize("jobs", [(), ("--jobs", "1"), ("--jobs", "2")], ids=["default", "1", "2"])
def test_strict_writes_every_line_before_the_bad_one(tmp_path, jobs, run_cli):
    # Thousands of lines over several blocks, then one bad byte: none of the
    # good lines may be held back, in any batch or thread.
    lines = text_lines(30000)
    data = ("\n".join(lines) + "\n").encode()
    path = tmp_path / "bad.txt"
    path.write_bytes(data + b"good\xe3\x81start\nafter\n")
    result = run_cli(*jobs, path)
    assert result.returncode == 1
    assert result.stdout.decode().splitlines() == normalized(lines)
    assert result.stderr.decode() == (
        f"zenkor: {path}:30001:5: invalid UTF-8 (0xe3); the rest of this input is not read\n"
    )


def test_strict_on_standard_input_names_it(run_cli):
    result = run_cli(stdin=b"ok\n\xff\n")
    assert (result.returncode, result.stdout) == (1, b"ok\n")
    assert result.stderr.decode().startswith("zenkor: <stdin>:2:1: invalid UTF-8 (0xff)")


@pytest.mark.parametrize(
    "errors, want, message",
    [
        ("replace", ["a\n", "b\ufffd\ufffdc\r\n", "d\n", "\ufffd\n", "e"], ""),
        ("skip", ["a\n", "d\n", "e"], "zenkor: <stdin>: left out 2 lines of invalid UTF-8\n"),
    ],
)
def test_replace_and_skip_read_on(errors, want, message, run_cli):
    result = run_cli("--preset", "none", "--errors", errors, stdin=b"a\nb\xc0\xafc\r\nd\n\xff\ne")
    assert result.returncode == 0
    assert result.stdout.decode().splitlines(keepends=True) == want
    assert result.stderr.decode() == message


def test_unreadable_inputs_are_reported_and_the_rest_still_read(tmp_path, run_cli):
    good = tmp_path / "good.txt"
    good.write_text("ｱ\n", encoding="utf-8")
    bad = tmp_path / "bad.txt"
    bad.write_bytes("ｲ\n".encode() + b"\xff\nlost\n")
    result = run_cli(good, tmp_path / "missing.txt", bad, tmp_path, good)
    assert result.returncode == 1
    assert result.stdout.decode() == "ア\nイ\nア\n"
    assert result.stderr.decode().splitlines() == [
        f"zenkor: {tmp_path / 'missing.txt'}: No such file or directory",
        f"zenkor: {bad}:2:1: invalid UTF-8 (0xff); the rest of this input is not read",
        f"zenkor: {tmp_path}: Is a directory",
    ]


def test_jobs_keep_the_output_in_order(tmp_path, run_cli):
    lines = text_lines(60000)
    path = tmp_path / "many.txt"
    path.write_text("\n".join(lines) + "\n", encoding="utf-8")
    want = normalized(lines)
    for jobs in ("1", "2", "5"):
        result = run_cli("-j", jobs, path, path)
        assert result.returncode == 0
        assert result.stdout.decode().splitlines() == want * 2


def test_output_file_is_written_whole_with_ordinary_permissions(tmp_path, run_cli):
    target = tmp_path / "out.txt"
    result = run_cli("-o", target, stdin="ｱ\n".encode())
    assert (result.returncode, result.stdout, result.stderr) == (0, b"", b"")
    assert target.read_text(encoding="utf-8") == "ア\n"
    umask = os.umask(0)
    os.umask(umask)
    assert target.stat().st_mode & 0o777 == 0o666 & ~umask
    # Replacing a file keeps its permissions; the output may be an input.
    target.chmod(0o640)
    assert run_cli("--output", target, target).returncode == 0
    assert target.read_text(encoding="utf-8") == "ア\n"
    assert target.stat().st_mode & 0o777 == 0o640
    assert sorted(p.name for p in tmp_path.iterdir()) == ["out.txt"]
    # A file named like an option is still a file when no value is set.
    assert run_cli("-o", "case", stdin=b"x\n", cwd=tmp_path).returncode == 0
    assert (tmp_path / "case").read_text() == "x\n"


# Inputs that --preset none must give back byte for byte.
ROUND_TRIPS = {
    "LF": b"a\nb\n",
    "CR LF": b"a\r\n\r\nb\r\n",
    "mixed": b"a\r\nb\nc\r\n",
    "no last break": b"a\r\nlast",
    "lone CR": b"a\rb\r\nc\r",
    "empty lines": b"\n\n\r\n",
    "one break": b"\n",
    "empty": b"",
    # Over several blocks, so that some CR LF pairs sit where a block ends.
    "many CR LF": "".join(f"{line}\r\n" for line in text_lines(40000)).encode() + "ｶﾅ".encode(),
}


@pytest.mark.parametrize("data", ROUND_TRIPS.values(), ids=ROUND_TRIPS.keys())
def test_preset_none_gives_back_every_byte(tmp_path, data, run_cli):
    path = tmp_path / "in.txt"
    path.write_bytes(data)
    assert run_cli("--preset", "none", stdin=data).stdout == data
    assert run_cli("--preset", "none", "-j", "2", "-o", tmp_path / "out.txt", path).returncode == 0
    assert (tmp_path / "out.txt").read_bytes() == data


@pytest.mark.parametrize(
    "data, want",
    [
        (b"a\r\nb\nc", b"a\nb\nc\n"),
        (b"a\rb\r", b"a\rb\n"),  # a CR not before LF is text, unless it ends the input
        (b"\r\n", b"\n"),
        (b"", b""),
    ],
)
def test_newline_lf_ends_every_line_with_lf(data, want, run_cli):
    assert run_cli("--preset", "none", "--newline", "lf", stdin=data).stdout == want


def files_in(folder):
    return sorted(p.name for p in folder.iterdir())


@pytest.mark.parametrize(
    "args, note",
    [
        (("missing.txt",), "zenkor: out.txt: not written, as an input failed"),
        (("good.txt", "bad.txt"), "zenkor: out.txt: not written, as an input failed"),
        (("--dict", "missing.csv", "good.txt"), "zenkor: missing.csv: No such file or directory"),
        (("-s", "case=no", "good.txt"), USAGE + 'option "case" must be keep, lower or upper (got "no")'),
    ],
    ids=["missing input", "invalid UTF-8", "missing dictionary", "bad option"],
)
@pytest.mark.parametrize("existing", [b"before\r\n", None], ids=["existing", "new"])
def test_a_failed_run_leaves_the_output_as_it_was(tmp_path, args, note, existing, run_cli):
    (tmp_path / "good.txt").write_text("ｱ\n")
    (tmp_path / "bad.txt").write_bytes(b"ok\n\xff\n")
    target = tmp_path / "out.txt"
    if existing is not None:
        target.write_bytes(existing)
        target.chmod(0o640)
    before = files_in(tmp_path)
    result = run_cli("-o", "out.txt", *args, cwd=tmp_path)
    assert result.returncode in (1, 2)
    assert result.stderr.decode().splitlines()[-1] == note
    assert files_in(tmp_path) == before  # no temporary file left either
    if existing is not None:
        assert target.read_bytes() == existing
        assert target.stat().st_mode & 0o777 == 0o640


def test_output_through_a_symlink_replaces_the_file_it_points_to(tmp_path, run_cli):
    (tmp_path / "real").mkdir()
    target = tmp_path / "real" / "out.txt"
    target.write_text("before\n")
    target.chmod(0o600)
    link = tmp_path / "link.txt"
    link.symlink_to(target)
    assert run_cli("-o", link, stdin="ｱ\n".encode()).returncode == 0
    assert link.is_symlink() and os.readlink(link) == str(target)
    assert target.read_text() == "ア\n"
    assert target.stat().st_mode & 0o777 == 0o600
    assert files_in(tmp_path / "real") == ["out.txt"]
    # A link to a file not there yet creates it.
    dangling = tmp_path / "new_link.txt"
    dangling.symlink_to(tmp_path / "real" / "new.txt")
    assert run_cli("-o", dangling, stdin=b"x\n").returncode == 0
    assert dangling.is_symlink() and (tmp_path / "real" / "new.txt").read_text() == "x\n"


@pytest.mark.parametrize("name", ["-", "/dev/stdout"])
def test_output_to_standard_output(tmp_path, name, run_cli, cli_command):
    result = run_cli("-o", name, stdin="ｱ\n".encode(), cwd=tmp_path)
    assert (result.returncode, result.stdout, result.stderr) == (0, "ア\n".encode(), b"")
    assert files_in(tmp_path) == []
    assert name == "-" or os.path.islink(name)
    # Standard output appending to a file: /dev/stdout appends too, not replacing the file.
    log = tmp_path / "log.txt"
    log.write_bytes(b"first\n")
    with open(log, "ab") as out:
        result = subprocess.run([*cli_command, "-o", name], input="ｱ\n".encode(), stdout=out, stderr=subprocess.PIPE,
                                timeout=60)
    assert result.returncode == 0, result.stderr
    assert log.read_bytes() == "first\nア\n".encode()
    assert files_in(tmp_path) == ["log.txt"]


def test_output_to_a_fifo_is_written_directly(tmp_path, cli_command):
    fifo = tmp_path / "pipe"
    os.mkfifo(fifo)
    proc = subprocess.Popen([*cli_command, "-o", str(fifo)], stdin=subprocess.PIPE, stderr=subprocess.PIPE)
    proc.stdin.write("ｱ\n".encode())
    proc.stdin.close()
    with open(fifo, "rb") as reader:
        assert reader.read() == "ア\n".encode()
    assert proc.wait(timeout=60) == 0
    assert proc.stderr.read() == b""
    assert files_in(tmp_path) == ["pipe"] and stat.S_ISFIFO(fifo.stat().st_mode)


def test_output_into_a_missing_folder_fails_cleanly(tmp_path, run_cli):
    result = run_cli("-o", tmp_path / "no" / "out.txt", stdin=b"x\n")
    assert result.returncode == 1
    assert result.stderr.decode() == f"zenkor: {tmp_path / 'no' / 'out.txt'}: No such file or directory\n"


def wait_until(condition, what, timeout=30):
    deadline = time.monotonic() + timeout
    while not condition():
        assert time.monotonic() < deadline, f"timed out waiting for {what}"
        time.sleep(0.02)


@pytest.mark.parametrize("to_file", [False, True], ids=["stdout", "output file"])
def test_ctrl_c_exits_130_with_one_line(tmp_path, to_file, cli_command):
    target = tmp_path / "out.txt"
    target.write_text("before\n")
    args = ["-o", str(target)] if to_file else []
    proc = subprocess.Popen([*cli_command, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    try:
        proc.stdin.write("ｱ\n".encode())
        proc.stdin.flush()
        # Interrupt while it waits for more input, once the first line is through.
        if to_file:
            wait_until(lambda: any(p.name != "out.txt" and p.stat().st_size for p in tmp_path.iterdir()), "output")
        else:
            assert select.select([proc.stdout], [], [], 30)[0], "no output"
            assert proc.stdout.readline() == "ア\n".encode()
        proc.send_signal(signal.SIGINT)
        _, err = proc.communicate(timeout=30)
    finally:
        proc.kill()
    assert proc.returncode == 130
    assert err == b"zenkor: interrupted\n"
    assert target.read_text() == "before\n"  # a run that did not finish replaces nothing
    assert [p.name for p in tmp_path.iterdir()] == ["out.txt"]


def test_a_reader_that_stops_early_ends_the_run_quietly(tmp_path, cli_command):
    path = tmp_path / "many.txt"
    path.write_text("\n".join(text_lines(200000)) + "\n", encoding="utf-8")
    proc = subprocess.Popen([*cli_command, str(path)], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert proc.stdout.readline()  # `| head -1`
    proc.stdout.close()
    assert proc.wait(timeout=60) == 0
    assert proc.stderr.read() == b""


@pytest.mark.parametrize(
    "redirect, message",
    [
        (">&-", "zenkor: standard output is closed\n"),
        ("<&-", "zenkor: standard input is closed\n"),
        (">/dev/full", "zenkor: <stdout>: No space left on device\n"),
    ],
)
def test_closed_or_full_standard_streams_exit_1_without_a_traceback(redirect, message, cli_command):
    command = " ".join(cli_command) + f" {redirect}"
    result = subprocess.run(["sh", "-c", command], input=b"x\n", capture_output=True, timeout=60)
    assert result.returncode == 1
    assert result.stderr.decode() == message


def run_with_terminal_stderr(command, *args, stdin=b""):
    """Runs `command` with standard error on a pseudo-terminal; returns what it showed."""
    leader, follower = pty.openpty()
    fcntl.ioctl(follower, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 100, 0, 0))
    proc = subprocess.Popen([*command, *map(str, args)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=follower)
    os.close(follower)
    out, _ = proc.communicate(stdin, timeout=60)
    shown = b""
    while select.select([leader], [], [], 0.5)[0]:
        try:
            chunk = os.read(leader, 65536)
        except OSError:  # the terminal closes with the process
            break
        if not chunk:
            break
        shown += chunk
    os.close(leader)
    assert proc.returncode == 0
    return out, shown.decode(errors="replace")


def test_progress_bar_on_a_terminal_only(tmp_path, run_cli, cli_command):
    path = tmp_path / "in.txt"
    path.write_text("\n".join(text_lines(20000)) + "\n", encoding="utf-8")
    size_kb = path.stat().st_size / 1000  # counted as labelled: in kB of 1000 bytes
    out, shown = run_with_terminal_stderr(cli_command, path)
    assert out.decode().splitlines() == normalized(text_lines(20000))
    assert "100%" in shown and "B/s" in shown and f"{size_kb:.0f}k/{size_kb:.0f}k" in shown
    out, shown = run_with_terminal_stderr(cli_command, "--no-progress", path)
    assert shown == ""
    assert run_cli(path).stderr == b""  # standard error that is no terminal gets no bar


def test_list_options_shows_every_option_with_each_preset_value(run_cli):
    result = run_cli("--list-options")
    assert result.returncode == 0
    header, *rows = result.stdout.decode().splitlines()
    presets = Normalizer.presets()
    assert header.split() == ["option", "kind", *presets]
    configs = {preset: Normalizer(preset).config for preset in presets}
    assert [row.split()[0] for row in rows] == list(configs["none"])
    for row in rows:
        key, kind, *values = row.split()
        assert kind == kind_of(key).name
        # Each shown value, read back as -s reads it, is the preset's own value.
        assert [kind_of(key).read(key, v) for v in values] == [configs[p][key] for p in presets], key
    # Exactly the options whose values are bools are listed as bool.
    assert [row.split()[1] == "bool" for row in rows] == [isinstance(v, bool) for v in configs["none"].values()]


def test_typed_lines_come_back_at_once(cli_command):
    leader, follower = pty.openpty()
    proc = subprocess.Popen(cli_command, stdin=follower, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    os.close(follower)
    try:
        for typed, want in [("ｱｲｳ\n", "アイウ\n"), ("ＡＢＣ\n", "ABC\n")]:
            os.write(leader, typed.encode())
            assert select.select([proc.stdout], [], [], 30)[0], "no answer before the next line"
            assert proc.stdout.readline() == want.encode()
        os.write(leader, b"\x04")  # end of input
        assert proc.wait(timeout=30) == 0
        assert proc.stderr.read() == b""
    finally:
        proc.kill()
        os.close(leader)
