#!/usr/bin/env bash
# CTest's emulator for the Windows build: runs one program under wine64.
# Wine's background processes inherit open descriptors, so the program's
# output goes through a file instead of CTest's pipe (a pipe can hang the run).
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$repo/build/windows/wineprefix}
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export PATH=/usr/lib/wine:$PATH
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine64 "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
exit $rc
