#!/bin/sh
# Runs a Win32 program under Wine in the build's own prefix, headless and silent,
# for CTest (the Win32 suite's emulator) and anyone running a test by hand.
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$top/build/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
