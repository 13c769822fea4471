#!/usr/bin/env bash
# The serial path of the Windows build under Wine.  COM1 of a Wine prefix of this test's own is a
# pseudo-terminal, the modem-line shim stands in for the lines a pty lacks, and comlines.exe sets
# network B, then A, then A again.  Each SetCommState must leave DTR and RTS at that network's
# levels and the port at 9600 baud 8N1.
#   wine_com_lines.sh COMLINES_EXE MODEMSHIM_SO PREFIX        (exit 77: skipped)
set -u
exe=$1 shim=$2 prefix=$(realpath -m "$3")  # Wine wants an absolute prefix
for tool in socat stty wine64; do
  PATH=/usr/lib/wine:$PATH command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
export PATH=/usr/lib/wine:$PATH WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
com1=$prefix.com1  # a fixed path, so the prefix's registry mapping stays valid between runs
socat_pid=
cleanup() {
  wineserver -k </dev/null >/dev/null 2>&1
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null
  rm -rf "$work" "$com1"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/log" ] && { echo "shim log:"; cat "$work/log"; }; exit 1; }

rm -f "$com1"
socat pty,raw,echo=0,link="$com1" pty,raw,echo=0 </dev/null >"$work/socat.log" 2>&1 &
socat_pid=$!
for _ in $(seq 50); do [ -e "$com1" ] && break; sleep 0.1; done
[ -e "$com1" ] || fail "socat made no pty"
pty=$(readlink -f "$com1")

wineserver -k </dev/null >/dev/null 2>&1  # a server left from an earlier run would keep old mappings
mkdir -p "$prefix"
if [ ! -f "$prefix/system.reg" ]; then
  wine64 wineboot -i </dev/null >"$work/wineboot.log" 2>&1 || fail "wineboot"
fi
# COM1 is the pty; COM2 to COM4 lead nowhere.  The registry is read when Wine's mount manager
# starts, so the device links are also set by hand before any program opens a port.
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n"COM1"="%s"\n"COM2"="/dev/null/none"\n"COM3"="/dev/null/none"\n"COM4"="/dev/null/none"\n' \
  "$com1" >"$work/ports.reg"
wine64 regedit /S "$(winepath -w "$work/ports.reg" 2>/dev/null)" </dev/null >/dev/null 2>&1 || fail "regedit"
rm -f "$prefix"/dosdevices/com*
ln -s "$com1" "$prefix/dosdevices/com1"

LD_PRELOAD=$shim NV_MODEMSHIM_LOG=$work/log wine64 "$exe" 1 B A A </dev/null >"$work/out" 2>&1
rc=$?
cat "$work/out"
[ $rc -eq 0 ] || fail "comlines.exe exited with $rc"
[ "$(readlink "$prefix/dosdevices/com1")" = "$com1" ] || fail "COM1 was remapped"

# Wine may set each line by its own call, so every SetCommState leaves k log lines; the last of
# each group is the state that step left behind.
mapfile -t lines <"$work/log"
n=${#lines[@]}
[ $n -ge 3 ] && [ $((n % 3)) -eq 0 ] || fail "expected three equal groups of line changes, got $n lines"
k=$((n / 3))
expect=("$pty DTR=1 RTS=1" "$pty DTR=0 RTS=0" "$pty DTR=0 RTS=0")
for step in 0 1 2; do
  got=${lines[$(((step + 1) * k - 1))]}
  [ "$got" = "${expect[$step]}" ] || fail "step $((step + 1)): '$got', expected '${expect[$step]}'"
done

settings=$(stty -F "$pty" -a) || fail "stty"
[[ $settings == *"speed 9600 baud"* ]] || fail "port not at 9600 baud: $settings"
for want in cs8 -parenb -cstopb; do
  tr ' ;' '\n\n' <<<"$settings" | grep -qx -- "$want" || fail "port setting lacks $want: $settings"
done
echo "PASS: B, A, A applied under Wine ($n line changes); port at 9600 8N1"
