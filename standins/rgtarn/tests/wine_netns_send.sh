#!/usr/bin/env bash
# The Windows packet driver under Wine, on a veth pair inside a network namespace of this test's
# own: rgsend.exe sends control frames on one end (found by MAC, then by adapter name), tcpdump
# records what arrives on the other end, and every frame must match byte for byte.  Without
# wpcap.dll the program must still start and DrvOpen fail cleanly.
# Wine runs inside the namespace with a prefix of its own, so the test run's wineserver (outside)
# is not disturbed and Wine's adapter list is the namespace's.
#   wine_netns_send.sh RGSEND_EXE PREFIX        (exit 77: skipped)
set -u
exe=$1 prefix=$(realpath -m "$2")  # Wine wants an absolute prefix
[ "$(id -u)" = 0 ] || { echo "SKIP: needs root for a network namespace and raw frames"; exit 77; }
for tool in ip tcpdump timeout wine64; do
  PATH=/usr/lib/wine:$PATH command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
export PATH=/usr/lib/wine:$PATH WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
ns=nvpkt-wine$$
work=$(mktemp -d)
capture_pid=
cleanup() {
  [ -n "$capture_pid" ] && kill "$capture_pid" 2>/dev/null
  wineserver -k </dev/null >/dev/null 2>&1
  ip netns del "$ns" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for f in "$work"/*.txt; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done; exit 1; }
in_ns() { ip netns exec "$ns" "$@"; }

ip netns add "$ns" || fail "ip netns add"
# No IPv6 on the pair: its neighbour discovery would add frames of its own.
in_ns sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 || fail "sysctl"
ip -n "$ns" link add va type veth peer name vb && ip -n "$ns" link set va up && ip -n "$ns" link set vb up ||
  fail "veth pair"
mac=$(ip -n "$ns" -o link show dev va | sed -n 's/.*link\/ether \([0-9a-f:]*\).*/\1/p')
[ -n "$mac" ] || fail "no MAC on va"

wineserver -k </dev/null >/dev/null 2>&1  # a server started outside the namespace would see other adapters
mkdir -p "$prefix"
if [ ! -f "$prefix/system.reg" ]; then
  in_ns wine64 wineboot -i </dev/null >"$work/wineboot.txt" 2>&1 || fail "wineboot"
fi
in_ns wine64 "$exe" --list </dev/null >"$work/list.txt" 2>&1 || fail "rgsend --list"
name=$(awk -v mac="$mac" '$1 == mac { print $2 }' "$work/list.txt")
[ -n "$name" ] || fail "va ($mac) is not in the driver's adapter list"
[[ $name == '\Device\RgateII_{'*'}' ]] || fail "unexpected adapter name $name"

in_ns timeout 30 tcpdump -i vb -Q in -nn -U -c 4 -w - >"$work/capture.pcap" 2>"$work/tcpdump.txt" &
capture_pid=$!
for _ in $(seq 100); do grep -q listening "$work/tcpdump.txt" && break; sleep 0.1; done
grep -q listening "$work/tcpdump.txt" || fail "tcpdump did not start"

in_ns wine64 "$exe" "$mac" 2 A </dev/null >"$work/send-a.txt" 2>&1 || fail "rgsend by MAC"
in_ns wine64 "$exe" "$name" 2 B reverse </dev/null >"$work/send-b.txt" 2>&1 || fail "rgsend by name"
wait "$capture_pid"
capture_pid=

# The frame as hex: broadcast, MAC, 00 26, MAC, command, zeros; with the reverse lead in front;
# always 60 bytes.
frame() {
  local m=${mac//:/} body
  body="ffffffffffff${m}0026${m}$1"
  [ "$2" = reverse ] && body="5555555555d5$body"
  body="$body$(printf '0%.0s' $(seq 120))"
  echo "${body:0:120}"
}
expected=("$(frame aaaa plain)" "$(frame aaaa plain)" "$(frame 5555 reverse)" "$(frame 5555 reverse)")
mapfile -t got < <(tcpdump -r "$work/capture.pcap" -xx -nn 2>/dev/null |
  awk '/^[^ \t]/ { if (hex != "") print hex; hex = "" } /^\t0x/ { for (i = 2; i <= NF; i++) hex = hex $i }
       END { if (hex != "") print hex }')
[ ${#got[@]} -eq 4 ] || fail "captured ${#got[@]} frames, expected 4"
for i in 0 1 2 3; do
  [ "${got[$i]}" = "${expected[$i]}" ] || fail "frame $((i + 1)): ${got[$i]}, expected ${expected[$i]}"
done
# Without the packet-capture library the program still starts; the driver then serves nothing.
no_wpcap="mscoree,mshtml=;wpcap=d"
in_ns env WINEDLLOVERRIDES="$no_wpcap" wine64 "$exe" --list </dev/null >"$work/no-wpcap-list.txt" 2>&1
rc=$?
[ $rc -eq 1 ] && [ ! -s "$work/no-wpcap-list.txt" ] || fail "--list without wpcap.dll: exit $rc"
in_ns env WINEDLLOVERRIDES="$no_wpcap" wine64 "$exe" "$name" 1 A </dev/null >"$work/no-wpcap-send.txt" 2>&1
rc=$?
[ $rc -eq 3 ] && grep -q "does not open" "$work/no-wpcap-send.txt" || fail "sending without wpcap.dll: exit $rc"

echo "PASS: 4 control frames from the Windows build arrived byte for byte (60 bytes each) on $name"
