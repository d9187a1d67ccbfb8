#!/bin/sh
# Builds zenkor and runs the whole test suite under CPython 3.14, for
# developers (CI does not run it).  When this machine's own packages stop
# before 3.14, Debian's unstable distribution has python3.14: debootstrap
# installs a minimal unstable system into build/python314/root (once; later
# runs reuse it and take minutes), this machine's CA certificates and pip
# configuration are copied in, the working tree (tracked and untracked
# files, not ignored ones) is copied to /src/zenkor inside, and there a
# virtualenv gets `pip install ".[test]"` and runs pytest.  The real text
# beside the checkout (shared/data), when there is one, is mounted read-only
# where the tests look for it; every mount lives in a mount namespace of the
# run's own.
#
#   sh scripts/test-python314.sh [pytest arguments]
#
# Runs as root (through sudo otherwise): debootstrap, mount and chroot need
# it.  PY314_ROOT puts the chroot elsewhere; DEBIAN_MIRROR picks the mirror
# (by default the first one this machine's apt sources name).  Delete the
# chroot folder to start again from nothing.
set -eu

if [ "$(id -u)" -ne 0 ]; then exec sudo -E sh "$0" "$@"; fi

root=$(cd "$(dirname "$0")/.." && pwd)
target=${PY314_ROOT:-$root/build/python314/root}
packages="python3.14,python3.14-dev,python3.14-venv,g++,libicu-dev,pkg-config,ca-certificates,git"

# The mirror this machine's apt uses: its unstable distribution lies beside
# the stable one.
host_mirror() {
  {
    sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | tr ' ' '\n'
    sed -n 's/^deb[[:space:]]\{1,\}\(\[[^]]*\][[:space:]]\{1,\}\)\{0,1\}\([^[:space:]]*\).*/\2/p' \
      /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
  } | grep -v -e security -e '^$' | head -n 1
}

# The release file of unstable may read as expired; its date is not what
# this test is about.
NO_EXPIRY="Acquire::Check-Valid-Until=false"

if [ ! -f "$target/.zenkor-ready" ]; then
  command -v debootstrap >/dev/null 2>&1 ||
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends debootstrap
  mirror=${DEBIAN_MIRROR:-$(host_mirror)}
  if [ -z "$mirror" ]; then
    echo "test-python314.sh: no Debian mirror in /etc/apt; set DEBIAN_MIRROR" >&2
    exit 1
  fi
  echo "test-python314.sh: installing Debian unstable with Python 3.14 into $target (once; some minutes)"
  mkdir -p "$target"
  debootstrap --variant=minbase --include="$packages" sid "$target" "$mirror"
  mkdir -p "$target/etc/apt/apt.conf.d"
  echo "Acquire::Check-Valid-Until \"false\";" >"$target/etc/apt/apt.conf.d/99no-expiry"
  touch "$target/.zenkor-ready"
fi

# The network as this machine sees it: its resolver, CA certificates and
# pip configuration (files, and PIP_* variables, which env passes on).
cp -L /etc/resolv.conf "$target/etc/resolv.conf"
mkdir -p "$target/etc/ssl/certs"
cp -L /etc/ssl/certs/ca-certificates.crt "$target/etc/ssl/certs/ca-certificates.crt"
[ ! -f /etc/pip.conf ] || cp -L /etc/pip.conf "$target/etc/pip.conf"
if [ -d /etc/xdg/pip ]; then
  rm -rf "$target/etc/xdg/pip"
  mkdir -p "$target/etc/xdg"
  cp -RL /etc/xdg/pip "$target/etc/xdg/pip"
fi
user_pip=${SUDO_USER:+$(getent passwd "$SUDO_USER" | cut -d: -f6)}
user_pip=${user_pip:-$HOME}/.config/pip
if [ -d "$user_pip" ]; then
  rm -rf "$target/root/.config/pip"
  mkdir -p "$target/root/.config"
  cp -RL "$user_pip" "$target/root/.config/pip"
fi

# The working tree, fresh each run; the build folder of 3.14 is kept
# between runs, beside it.
rm -rf "$target/src/zenkor"
mkdir -p "$target/src/zenkor" "$target/src/build-cp314"
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  tar -c -f - --null --no-recursion --ignore-failed-read --files-from=-) | tar -xf - -C "$target/src/zenkor"
data=$(python3 -c "import sys; sys.path.insert(0, sys.argv[1]); import shared_data; print(shared_data.DATA)" "$root/tests")

# The mounts go into a mount namespace of the run's own: no other process
# sees them (a walk of the checkout, as building an sdist makes, would
# otherwise descend into /proc), and they go when the run ends, however it
# ends.  Events of this machine's mounts still reach the namespace.
# shellcheck disable=SC2016  # the quoted scripts expand their own variables
unshare --mount --propagation slave /bin/sh -eu -c '
  target=$1 data=$2
  # mount_into SOURCE POINT [ro]: a bind mount of SOURCE and what is below it.
  mount_into() {
    mkdir -p "$2"
    mount --rbind "$1" "$2"
    [ -z "${3:-}" ] || mount -o remount,bind,ro "$2"
  }
  mount_into /proc "$target/proc"
  mount_into /dev "$target/dev"
  mount_into /sys "$target/sys" ro
  mount_into "$target/src/build-cp314" "$target/src/zenkor/build"
  if [ -d "$data" ]; then mount_into "$data" "$target/src/shared/data" ro; fi
  shift 2
  exec "$@"
' mount-into "$target" "$data" \
env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
  $(env | grep '^PIP_' | tr '\n' ' ') \
  chroot "$target" /bin/sh -eu -c '
    apt-get -o '"$NO_EXPIRY"' -qq update >/dev/null 2>&1 || true
    [ -x /opt/venv/bin/python ] || python3.14 -m venv /opt/venv
    . /opt/venv/bin/activate
    python --version
    cd /src/zenkor
    sh scripts/system-deps.sh
    pip install -q ".[test]"
    python -m pytest "$@"
  ' test-python314 "$@"
