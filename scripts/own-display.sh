#!/usr/bin/env bash
# Runs a command on an X display of its own: a new Xvfb on a display number the X server picks
# itself among the free ones (-displayfd), so tests that take screenshots never share a screen
# with another test's windows, and never take the number of another run's display.
#   own-display.sh COMMAND [ARGS...]
# The command sees DISPLAY and NV_OWN_DISPLAY (the same value: screenshot helpers refuse to take
# a picture without it).  Exit status: the command's, or 125 when no display could be started.
set -u
[ $# -ge 1 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "own-display: Xvfb is not installed" >&2; exit 125; }
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/number" </dev/null >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do
  [ -s "$work/number" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.05
done
number=$(tr -dc 0-9 <"$work/number" 2>/dev/null)
if [ -z "$number" ]; then
  echo "own-display: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 125
fi
export DISPLAY=:$number NV_OWN_DISPLAY=:$number
echo "own-display: $DISPLAY"
# Another test may have run Wine under another code page, which puts Wine's default font links back.
if [ -n "${WINEPREFIX:-}" ]; then
  bash "$(dirname "${BASH_SOURCE[0]}")/wine-fixture.sh" fontlinks "$WINEPREFIX"
fi
"$@"
