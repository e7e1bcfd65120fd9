#!/bin/sh
# Installs what the build needs on a Debian machine, only when something is missing.
# Quiet and quick when everything is there; run as root (or with sudo available).
set -eu

need=""
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd i686-w64-mingw32-g++-posix || need="$need g++-mingw-w64-i686"
have_cmd i686-w64-mingw32-windres || need="$need binutils-mingw-w64-i686"
have_cmd cmake || need="$need cmake"
have_cmd ninja || need="$need ninja-build"
have_cmd g++ || need="$need g++"
have_cmd python3 || need="$need python3"
have_pkg googletest || need="$need googletest"
have_cmd wine || need="$need wine"
have_pkg wine32:i386 || need="$need wine32:i386"
# `tools/bootstrap.sh docs`: the plotting library for the guide's pictures, the Markdown
# library that makes the guide a page, and a headless browser that checks both pages
# as a reader's browser builds them.
if [ "${1:-}" = docs ]; then
  have_pkg python3-matplotlib || need="$need python3-matplotlib"
  have_pkg python3-markdown || need="$need python3-markdown"
  have_cmd chromium || need="$need chromium"
fi
# `tools/bootstrap.sh accuracy`: exact arithmetic for the accuracy check's reference
# (`make accuracy`, and the short check in `make test`); gmpy2 makes it fast.
if [ "${1:-}" = accuracy ]; then
  have_pkg python3-mpmath || need="$need python3-mpmath"
  have_pkg python3-gmpy2 || need="$need python3-gmpy2"
fi
# `tools/bootstrap.sh fuzz`: clang and its fuzzer runtime too, for `make fuzz`.
if [ "${1:-}" = fuzz ]; then
  have_cmd clang++ || need="$need clang"
  have_pkg libclang-rt-dev || need="$need libclang-rt-dev"
fi

[ -z "$need" ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "bootstrap: installing$need" >&2
export DEBIAN_FRONTEND=noninteractive
case "$need" in
  *":i386"*)
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386 ;;
esac
# Another process (an unattended upgrade, say) may hold the package manager's lock:
# apt waits for it, up to five minutes, and says so while it waits.
if command -v fuser >/dev/null 2>&1 && fuser /var/lib/dpkg/lock-frontend /var/lib/apt/lists/lock >/dev/null 2>&1; then
  echo "bootstrap: waiting for another package manager to finish (up to five minutes)" >&2
fi
APT="$SUDO apt-get -o DPkg::Lock::Timeout=300"
$APT update -qq
# shellcheck disable=SC2086
$APT install -y -qq --no-install-recommends $need >/dev/null
