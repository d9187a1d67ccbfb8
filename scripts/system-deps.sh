#!/bin/sh
# Installs the system packages the build needs (a C++20 compiler and ICU)
# when they are missing.  Safe to run again: it does nothing once they exist.
set -e

missing=""
command -v c++ >/dev/null 2>&1 || missing="$missing g++"
[ -e /usr/include/unicode/normalizer2.h ] || missing="$missing libicu-dev"
command -v pkg-config >/dev/null 2>&1 || missing="$missing pkg-config"

if [ -n "$missing" ]; then
  if ! command -v apt-get >/dev/null 2>&1; then
    echo "zenkor needs:$missing (install them with your package manager)" >&2
    exit 1
  fi
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q $missing
fi
