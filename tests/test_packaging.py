"""What gets shipped: the version, the metadata, and a wheel that carries its own ICU."""

import importlib.metadata
import io
import os
import re
import subprocess
import sys
import tarfile
import venv
import zipfile
from pathlib import Path, PurePosixPath

import pytest
from elftools.elf.dynamic import DynamicSection
from elftools.elf.elffile import ELFFile

import zenkor

if sys.version_info >= (3, 11):
    import tomllib
else:
    import tomli as tomllib

ROOT = Path(__file__).resolve().parents[1]
PYPROJECT = tomllib.loads((ROOT / "pyproject.toml").read_text(encoding="utf-8"))
PROJECT = PYPROJECT["project"]
SAMPLE = ROOT / "examples" / "sample.txt"

# What every Linux system provides, and manylinux wheels may rely on: the C
# and C++ runtimes.  Anything else the extension loads must be in the wheel.
SYSTEM_LIBRARIES = {"libc.so.6", "libm.so.6", "libstdc++.so.6", "libgcc_s.so.1", "libpthread.so.0", "libdl.so.2",
                    "librt.so.1"}

CLASSIFIERS = [
    "Programming Language :: Python :: 3.10",
    "Programming Language :: Python :: 3.11",
    "Programming Language :: Python :: 3.12",
    "Programming Language :: Python :: 3.13",
    "Programming Language :: Python :: 3.14",
    "Typing :: Typed",
    "Natural Language :: Japanese",
    "Operating System :: POSIX",
    "License :: OSI Approved :: MIT License",
]


def test_the_version_is_written_once():
    assert zenkor.__version__ == PROJECT["version"] == importlib.metadata.version("zenkor")


def test_the_python_versions_agree_in_classifiers_wheels_and_readme():
    classified = [int(m) for c in PROJECT["classifiers"] for m in re.findall(r"^Programming Language :: Python :: 3\.(\d+)$", c)]
    build = PYPROJECT["tool"]["cibuildwheel"]["build"].split()
    wheels = [int(m) for b in build for m in re.findall(r"^cp3(\d+)-\*$", b)]
    first, last = classified[0], classified[-1]
    assert classified == wheels == list(range(first, last + 1))
    assert PROJECT["requires-python"] == f">=3.{first}"
    readme = (ROOT / "README.md").read_text(encoding="utf-8")
    assert re.findall(r"wheels[^.]*? (?:are built )?for (?:Python )?3\.(\d+) to 3\.(\d+)", readme) == [(str(first), str(last))] * 2
    # The free-threaded wheel only while the module says it needs no GIL.
    declared = "{Py_mod_gil, Py_MOD_GIL_NOT_USED}" in (ROOT / "py" / "lib.cc").read_text(encoding="utf-8")
    assert (f"cp3{last}t-*" in build) == declared


@pytest.fixture(scope="session")
def wheel(tmp_path_factory):
    out = tmp_path_factory.mktemp("wheel")
    subprocess.run(["sh", str(ROOT / "scripts" / "build-wheel.sh"), str(out)], check=True, capture_output=True,
                   env={**os.environ, "PYTHON": sys.executable}, timeout=900)
    (path,) = out.glob("zenkor-*.whl")
    return path


def dynamic_entries(data):
    """(NEEDED names, RPATH and RUNPATH folders) of an ELF file's bytes."""
    elf = ELFFile(io.BytesIO(data))
    needed, paths = [], []
    for section in elf.iter_sections():
        if isinstance(section, DynamicSection):
            for tag in section.iter_tags():
                if tag.entry.d_tag == "DT_NEEDED":
                    needed.append(tag.needed)
                elif tag.entry.d_tag in ("DT_RPATH", "DT_RUNPATH"):
                    paths += (tag.rpath if tag.entry.d_tag == "DT_RPATH" else tag.runpath).split(":")
    return needed, paths


def test_wheel_needs_no_library_from_outside_but_the_system_runtime(wheel):
    with zipfile.ZipFile(wheel) as archive:
        members = {PurePosixPath(name): name for name in archive.namelist()}
        (extension,) = [p for p in members if p.parent.name == "zenkor" and p.suffix == ".so"]
        to_check, checked, bundled = [extension], set(), []
        while to_check:
            member = to_check.pop()
            checked.add(member)
            needed, paths = dynamic_entries(archive.read(members[member]))
            for library in needed:
                # Resolve as the loader would, with $ORIGIN the member's folder inside the wheel.
                places = [PurePosixPath(os.path.normpath(str(member.parent / p.replace("$ORIGIN", ".")))) / library
                          for p in paths if p.startswith("$ORIGIN")]
                found = [p for p in places if p in members]
                if found:
                    bundled.append(library)
                    to_check += [found[0]] if found[0] not in checked else []
                else:
                    assert library in SYSTEM_LIBRARIES or library.startswith("ld-linux"), (member, library)
    assert any(name.startswith("libicuuc") for name in bundled)
    assert any(name.startswith("libicudata") for name in bundled)


def test_wheel_installs_into_a_fresh_environment_and_uses_its_own_icu(wheel, tmp_path):
    env_dir = tmp_path / "env"
    venv.create(env_dir, with_pip=True)
    python = env_dir / "bin" / "python"
    subprocess.run([python, "-m", "pip", "install", "-q", str(wheel)], check=True, capture_output=True, timeout=300)
    # Run from a folder without the source tree, so only the installed package can be imported.
    result = subprocess.run([python, "-m", "zenkor", "--preset", "for_search", SAMPLE], cwd=tmp_path,
                            capture_output=True, check=True, timeout=60)
    lines = SAMPLE.read_text(encoding="utf-8").splitlines()
    assert result.stdout.decode().splitlines() == zenkor.Normalizer("for_search").normalize_batch(lines)
    maps = subprocess.run([python, "-c", "import zenkor; zenkor.normalize('ｱ'); print(open('/proc/self/maps').read())"],
                          cwd=tmp_path, capture_output=True, text=True, check=True, timeout=60).stdout
    icu = {line.split()[-1] for line in maps.splitlines() if "libicu" in line}
    assert icu and all(path.startswith(str(env_dir)) for path in icu), icu


def test_license_and_classifiers_in_wheel_and_sdist_metadata(wheel, tmp_path):
    with zipfile.ZipFile(wheel) as archive:
        info = f"zenkor-{PROJECT['version']}.dist-info"
        metadata = archive.read(f"{info}/METADATA").decode()
        assert archive.read(f"{info}/licenses/LICENSE") == (ROOT / "LICENSE").read_bytes()
    subprocess.run([sys.executable, "-c", f"from scikit_build_core.build import build_sdist; build_sdist({str(tmp_path)!r})"],
                   cwd=ROOT, check=True, capture_output=True, timeout=300)
    (sdist,) = tmp_path.glob("zenkor-*.tar.gz")
    with tarfile.open(sdist) as archive:
        root = f"zenkor-{PROJECT['version']}"
        sdist_metadata = archive.extractfile(f"{root}/PKG-INFO").read().decode()
        assert archive.extractfile(f"{root}/LICENSE").read() == (ROOT / "LICENSE").read_bytes()
    for text in (metadata, sdist_metadata):
        assert "License: MIT" in text
        for classifier in CLASSIFIERS:
            assert f"Classifier: {classifier}\n" in text
