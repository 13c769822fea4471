#!/usr/bin/env bash
# Netvane.exe under Wine on the lab's workstation, with the Ethernet control path: it starts
# (bringing the box to network A), and a second start makes the running program change to
# network B: the switch box obeys 55 55 and the program's log shows "ID2".  With the network
# shortcut on, the all-users desktop holds exactly one link of ours, named after the network in
# force; the change helper LDNvChng.EXE reports that network and a second request for B changes
# nothing.
# Wine runs inside the workstation namespace with a prefix of its own, so its packet-capture
# adapter list is the workstation's and the test run's own wineserver is not disturbed.
#   wine-tray-change.sh WINDOWS_BIN_DIR PREFIX      (exit 77: skipped)
# Environment: NV_HOST_BIN (the Linux switch-box build).  The tray gets an Xvfb display of its
# own: two Wine servers on one display would fight over its notification area.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
bin=$(realpath -m "$1") prefix=$(realpath -m "$2")
[ "$(id -u)" = 0 ] || { echo "SKIP: needs root for the lab's namespaces and raw frames"; exit 77; }
export PATH=/usr/lib/wine:$PATH
for tool in wine64 wineserver busybox ip; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
export NV_BIN_DIR=${NV_HOST_BIN:-$ROOT/build/host/bin}
[ -x "$NV_BIN_DIR/switchbox" ] || { echo "SKIP: no switch-box simulator in $NV_BIN_DIR (build the host preset)"; exit 77; }
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }

export NV_LAB_PREFIX=nvw$$ NV_LAB_DIR=$(mktemp -d /tmp/nvlab-wine.XXXXXX) NV_LAB_DHCP_CLIENT=0
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" NV_NO_MESSAGEBOX=1
LAB="bash $ROOT/scripts/lab.sh"
inst=$NV_LAB_DIR/install
first_pid=
xvfb_pid=
cleanup() {
  [ -n "$first_pid" ] && kill "$first_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wineserver -k </dev/null >/dev/null 2>&1
  $LAB down >/dev/null 2>&1
  rm -rf "$NV_LAB_DIR"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for f in "$NV_LAB_DIR"/*.txt "$NV_LAB_DIR"/switchbox.log "$inst"/Log/*.log; do
    [ -f "$f" ] && { echo "--- $f"; tr -d '\r' <"$f" | tail -20; }
  done
  exit 1
}
for d in $(seq 160 199); do
  [ -e "/tmp/.X11-unix/X$d" ] || [ -e "/tmp/.X$d-lock" ] || { display=:$d; break; }
done
[ -n "${display:-}" ] || fail "no free X display"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >"$NV_LAB_DIR/xvfb.txt" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

$LAB up >"$NV_LAB_DIR/lab-up.txt" 2>&1 || fail "lab up"
eval "$($LAB env)"
ws() { $LAB exec WS "$@"; }
wait_for() {  # wait_for SECONDS FILE-GLOB PATTERN
  local until=$((SECONDS + $1))
  while [ $SECONDS -lt $until ]; do
    cat $2 2>/dev/null | tr -d '\r' | grep -q "$3" && return 0
    sleep 0.3
  done
  return 1
}

wineserver -k </dev/null >/dev/null 2>&1  # a server started outside the namespace sees other adapters
mkdir -p "$prefix" "$inst"
if [ ! -f "$prefix/system.reg" ]; then
  ws wine64 wineboot -i </dev/null >"$NV_LAB_DIR/wineboot.txt" 2>&1 || fail "wineboot"
fi
for n in 1 2 3 4; do  # never let a COM port reach this machine's console
  ws wine64 reg add 'HKLM\Software\Wine\Ports' /v COM$n /d /dev/null/none /f </dev/null >/dev/null 2>&1
done
ws wine64 "$bin/rgsend.exe" --list </dev/null >"$NV_LAB_DIR/adapters.txt" 2>&1 || fail "rgsend --list"
adapter=$(awk -v mac="$NV_LAB_WS_MAC" '$1 == mac { print $2 }' "$NV_LAB_DIR/adapters.txt")
[ -n "$adapter" ] || fail "the workstation's adapter $NV_LAB_WS_MAC is not in the packet driver's list"

cp "$bin"/{Netvane.exe,Corekit.dll,NvIdle.dll,NvRes.dll,NetvaneENG.ini,LDNvChng.EXE} "$inst/"
k='HKLM\SOFTWARE\Tarn\Netvane-H'
reg() { ws wine64 reg add "$@" /f </dev/null >/dev/null 2>&1 || fail "reg add $*"; }
reg "$k" /v InstalledPath /d "Z:${inst//\//\\}"
reg "$k" /v UseLang /d ENG
reg "$k" /v dwPktCnt /t REG_DWORD /d 3
reg "$k\\AdOpt" /v dwOpt /t REG_DWORD /d 5  # the network shortcut and the log on
reg "$k\\AdOpt" /v szNet0 /d LabInside
reg "$k\\AdOpt" /v szNet1 /d LabOutside
reg "$k" /v UseDll /t REG_DWORD /d 1  # the change helper talks through copy-data
reg "$k\\AdOpt" /v dwComport /t REG_DWORD /d 0  # Ethernet control frames
reg "$k\\IPCfg" /v dwIPnum /t REG_DWORD /d 1
for n in 0 1; do
  reg "$k\\IPCfg\\info$n" /v szNetDev /d "eth0 [$adapter]"
  reg "$k\\IPCfg\\info$n" /v szBindName /d "$adapter"
  reg "$k\\IPCfg\\info$n" /v dwFlags /t REG_DWORD /d 1  # fixed settings, same gateway
done

desktop="$prefix/drive_c/users/Public/Desktop"
find "$desktop" -maxdepth 1 -iname '*.lnk' -delete 2>/dev/null  # an earlier run's links point elsewhere
links() { find "$desktop" -maxdepth 1 -iname '*.lnk' -printf '%f\n' 2>/dev/null | tr 'A-Z' 'a-z' | sort | tr '\n' ' '; }
linkB() { find "$desktop" -maxdepth 1 -iname 'laboutside.lnk' -printf '%T@\n' 2>/dev/null; }

ws env NV_TRACE=1 NV_TRACE_FILE="$NV_LAB_DIR/trace.txt" wine64 "$inst/Netvane.exe" </dev/null >"$NV_LAB_DIR/first.txt" 2>&1 &
first_pid=$!
wait_for 90 "$inst/Log/*.log" ',START$' || fail "Netvane.exe did not start (no START in its log)"
wait_for 30 "$inst/Log/*.log" ',ID1$' || fail "the start-up change to network A did not finish"
grep -q 'AA AA' "$NV_LAB_SWITCHBOX_LOG" || fail "the switch box never saw the start-up frame for network A"
[ "$(links)" = "labinside.lnk " ] || fail "desktop links on network A: '$(links)', wanted one named LabInside"

ws wine64 "$inst/Netvane.exe" </dev/null >"$NV_LAB_DIR/second.txt" 2>&1
second=$?
[ $second = 1 ] || fail "the second start should end with status 1 (another instance runs), got $second"
wait_for 30 "$inst/Log/*.log" ',ID2$' || fail "the second start did not make the first instance change to B"
grep -q '55 55 -> network B' "$NV_LAB_SWITCHBOX_LOG" || fail "the switch box did not obey 55 55"

[ "$(links)" = "laboutside.lnk " ] || fail "desktop links after the change to B: '$(links)', wanted one named LabOutside"
ws wine64 "$inst/LDNvChng.EXE" status </dev/null >"$NV_LAB_DIR/status.txt" 2>&1 || fail "LDNvChng status: $(cat "$NV_LAB_DIR/status.txt")"
grep -q 'Network B in force (LabOutside)' "$NV_LAB_DIR/status.txt" || fail "LDNvChng status said: $(cat "$NV_LAB_DIR/status.txt")"
before=$(linkB)
ws wine64 "$inst/LDNvChng.EXE" B </dev/null >"$NV_LAB_DIR/again.txt" 2>&1 || fail "LDNvChng B: $(cat "$NV_LAB_DIR/again.txt")"
[ "$(tr -d '\r' <"$inst"/Log/*.log | grep -c ',ID2$')" = 1 ] || fail "a second request for B changed again"
[ "$(links)" = "laboutside.lnk " ] && [ "$(linkB)" = "$before" ] ||
  fail "a second request for B touched the desktop links: '$(links)'"
echo "--- switch box:"; cat "$NV_LAB_SWITCHBOX_LOG"
echo "--- log:"; tr -d '\r' <"$inst"/Log/*.log
echo "--- desktop links: $(links)"
echo "PASS: Netvane.exe changed to network B on a second start over the Ethernet control path; one link, named after B"
