"""Runs the C++ tests of internals Python cannot reach (tests/cpp)."""

import shutil
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]
BUILD = ROOT / "build" / "cpp-tests"


@pytest.mark.skipif(shutil.which("cmake") is None, reason="cmake not installed")
@pytest.mark.parametrize("target", ["matcher_test"])
def test_cpp_suite(target):
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-DZENKOR_BUILD_TESTS=ON"], check=True, capture_output=True)
    subprocess.run(["cmake", "--build", BUILD, "--target", target], check=True, capture_output=True)
    run = subprocess.run([BUILD / "tests" / "cpp" / target], capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr
    assert run.stdout.strip().endswith("0 failed")
