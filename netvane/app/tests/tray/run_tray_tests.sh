#!/usr/bin/env bash
# Runs the tray program's tests under Wine with a switch box on a serial port: COM3 of the test
# prefix becomes a pseudo-terminal (socat), and the modem-line shim records the DTR/RTS levels
# the program sets.  Without socat or the shim the tests that need a working switch skip.
#   run_tray_tests.sh TEST_EXE MODEMSHIM_SO [gtest arguments...]
# Environment: the CTest Wine environment (WINEPREFIX, DISPLAY, ...), NV_TEST_ARTIFACT_DIR.
set -u
exe=$1 shim=$(realpath -m "$2")
shift 2
export PATH=/usr/lib/wine:$PATH
work=$(mktemp -d)
port=3
link=$WINEPREFIX/dosdevices/com$port
socat_pid=
cleanup() {
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null
  rm -f "$link"
  rm -rf "$work"
}
trap cleanup EXIT

preload=()
if command -v socat >/dev/null && [ -f "$shim" ]; then
  socat pty,raw,echo=0,link="$work/com$port" pty,raw,echo=0 </dev/null >"$work/socat.log" 2>&1 &
  socat_pid=$!
  for _ in $(seq 50); do [ -e "$work/com$port" ] && break; sleep 0.1; done
  if [ -e "$work/com$port" ]; then
    # Wine opens \\.\COM3 through this link; it is gone again when the run ends.
    rm -f "$link"
    ln -s "$work/com$port" "$link"
    export NV_TEST_COMPORT=$port NV_MODEMSHIM_LOG=$work/lines
    preload=(env "LD_PRELOAD=$shim")
  fi
else
  echo "note: socat or the modem-line shim is missing; tests that need a switch box skip"
fi
[ -n "${NV_TEST_ARTIFACT_DIR:-}" ] && mkdir -p "$NV_TEST_ARTIFACT_DIR"

"${preload[@]}" wine64 "$exe" "$@" </dev/null >"$work/out" 2>&1
rc=$?
cat "$work/out"
exit $rc
