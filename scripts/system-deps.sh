#!/bin/sh
# Installs the system packages the build needs (a C++20 compiler and ICU)
# when they are missing; `sh scripts/system-deps.sh test` also installs what
# the tests need beyond Python packages: a Java runtime for the local Spark.
# Safe to run again: it does nothing once they exist.
set -e

missing=""
command -v c++ >/dev/null 2>&1 || missing="$missing g++"
[ -e /usr/include/unicode/normalizer2.h ] || missing="$missing libicu-dev"
command -v pkg-config >/dev/null 2>&1 || missing="$missing pkg-config"
java=""
[ "${1:-}" != test ] || command -v java >/dev/null 2>&1 || java="yes"

if [ -n "$missing$java" ]; then
  if ! command -v apt-get >/dev/null 2>&1; then
    echo "zenkor needs:$missing${java:+ a Java runtime, 17 or later} (install them with your package manager)" >&2
    exit 1
  fi
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -q
  if [ -n "$java" ]; then
    # Spark runs on Java 17 or 21; the distribution's default is older on some releases.
    for package in openjdk-17-jre-headless openjdk-21-jre-headless default-jre-headless; do
      if apt-cache policy "$package" 2>/dev/null | grep -q "Candidate: [0-9]"; then
        missing="$missing $package"
        break
      fi
    done
  fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q $missing
fi
