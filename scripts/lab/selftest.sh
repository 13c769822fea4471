#!/usr/bin/env bash
# Self-test of the lab: brings up a lab of its own (namespace prefix nvt<pid>,
# a temporary state folder), checks DHCP and IPv6 router adverts on network A
# and B, the switch box's obedience to good control frames and its deafness to
# bad ones, stopping and starting the box, release/renew through the client's
# pidfile, the client started again when it ends, and that `down` leaves
# nothing behind.  Exit 77 (skipped) without root or busybox.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BIN=${NV_BIN_DIR:-$ROOT/build/host/bin}
LABSH="$ROOT/scripts/lab.sh"

skip() {
  echo "SKIPPED: $*"
  exit 77
}
[ "$(id -u)" = 0 ] || skip "the lab self-test needs root to create network namespaces"
command -v busybox >/dev/null || skip "busybox is not installed (scripts/install-deps.sh installs it)"
for b in switchbox switchbox-send; do
  [ -x "$BIN/$b" ] || {
    echo "FAIL: $BIN/$b is not built"
    exit 1
  }
done

export NV_LAB_PREFIX="nvt$$"
NV_LAB_DIR=$(mktemp -d /tmp/nvlabtest.XXXXXX)
export NV_LAB_DIR NV_BIN_DIR="$BIN"
LOG=$NV_LAB_DIR/switchbox.log
failures=0

lab() { bash "$LABSH" "$@"; }
ws() { lab exec WS "$@"; }
send() { ws "$BIN/switchbox-send" --if eth0 "$@"; }
ping_once() { ws busybox ping -c1 -W1 "$1" >/dev/null 2>&1; }

check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok   $what"
  else
    echo "FAIL $what"
    failures=$((failures + 1))
  fi
}

# Polls `cmd...` every 0.1 s for at most $1 seconds.
within() {
  local limit=$(($1 * 10)) i=0
  shift
  until "$@" 2>/dev/null; do
    i=$((i + 1))
    [ $i -ge $limit ] && return 1
    sleep 0.1
  done
}

not() { ! "$@"; }
has_line() { grep -qxF "$1" "$LOG"; }
count_is() { [ "$(grep -cxF "$2" "$LOG")" = "$1" ]; }
cable_is() { lab status 2>/dev/null | grep -qx "cable: $1"; }
lease_value() { sed -n "s/^$1=//p" "$NV_LAB_DIR/lease-eth0.env" 2>/dev/null; }
a_lease_in_pool() {
  local ip
  ip=$(lease_value ip)
  [[ $ip =~ ^10\.91\.1\.([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -ge 100 ] && [ "${BASH_REMATCH[1]}" -le 150 ] &&
    [ "$(lease_value router)" = 10.91.1.1 ]
}
ws_has_address() { ws ip -4 -o addr show dev eth0 | grep -q " $1"; }
ws_has_no_address() { ! ws ip -4 -o addr show dev eth0 | grep -q inet; }
not_running() { # ended; a zombie waiting for init counts as ended
  kill -0 "$1" 2>/dev/null || return 0
  grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}
ws_has_ipv6() { ws ip -6 -o addr show dev eth0 scope global | grep -q " $1"; }
ws_ipv6_default_via() { ws ip -6 route show default dev eth0 | grep -q "^default via $1 "; }
new_client_running() { # a client other than $1 holds the pidfile
  local pid
  pid=$(cat "$NV_LAB_DIR/udhcpc-eth0.pid" 2>/dev/null) && [ "$pid" != "$1" ] && kill -0 "$pid"
}
no_namespaces_left() { ! ip netns list | grep -q "^$NV_LAB_PREFIX-"; }

finish() {
  local rc=$?
  if [ $failures -ne 0 ] || [ $rc -ne 0 ]; then
    for f in "$NV_LAB_DIR"/*.log; do
      [ -e "$f" ] || continue
      echo "--- $f"
      tail -n 40 "$f"
    done
  fi
  lab down >/dev/null 2>&1
  rm -rf "$NV_LAB_DIR"
}
trap finish EXIT

start=$SECONDS

# Without root the lab refuses, and says why.
if command -v setpriv >/dev/null; then
  out=$(setpriv --reuid=65534 --regid=65534 --clear-groups bash "$LABSH" up 2>&1)
  rc=$?
  check "lab.sh up without root fails and says root is needed" \
    test $rc -ne 0 -a -n "$(echo "$out" | grep 'needs root')"
fi

check "down with nothing up succeeds" lab down
lab up || {
  echo "FAIL lab.sh up"
  exit 1
}
echo "ok   lab.sh up"
box_pid=$(cat "$NV_LAB_DIR/switchbox.pid")
check "up again keeps the running lab" bash -c "bash '$LABSH' up | grep -q 'already up'"
check "the switch box kept its pid" test "$(cat "$NV_LAB_DIR/switchbox.pid")" = "$box_pid"

# Network A hands out an address by DHCP; the box starts on A.
check "workstation leased an address of A's pool" a_lease_in_pool
check "cable starts on network A" cable_is "network A"
# IPv6: A's router advertises a global and a unique-local prefix; the workstation takes an address
# in each (and temporary ones) and a default route through the router's link-local address.
check "SLAAC address of A's global prefix" ws_has_ipv6 2001:db8:91:1:
check "SLAAC address of A's unique-local prefix" ws_has_ipv6 fd6e:7600:91:1:
check "IPv6 default route through A's router" ws_ipv6_default_via fe80::a:1
check "A's gateway answers" within 5 ping_once 10.91.1.1
ws ip addr add 10.92.1.50/24 dev eth0
check "B's gateway does not answer while the cable is on A" not ping_once 10.92.1.1

# Frames that are not commands change nothing.
for lead in "" --lead; do
  for fault in short unicast type mac command; do
    send --net b $lead --fault "$fault"
  done
done
send --hex "ffffffffffff 026e76000001 0026 026e76000001 5555"  # a command, but 34 bytes
sleep 0.5
check "malformed frames are ignored" not grep -q -E '^switchbox: (AA AA|55 55) -> ' "$LOG"
check "cable stays on A after malformed frames" cable_is "network A"

# 55 55 behind the lead, three times as a workstation sends it.
send --net b --lead --count 3 --delay-ms 20
check "55 55 is obeyed" within 3 has_line "switchbox: 55 55 -> network B"
check "its repeats are obeyed as already done" within 3 count_is 2 "switchbox: 55 55 -> network B (already)"
check "cable on network B" cable_is "network B"
check "B's gateway answers after 55 55" within 5 ping_once 10.92.1.1
check "A's gateway no longer answers" not ping_once 10.91.1.1
check "B's router advertises its own prefix on B" within 6 ws_has_ipv6 2001:db8:92:1:
check "IPv6 default route through B's router" within 2 ws_ipv6_default_via fe80::b:1
ws ip -6 addr flush dev eth0 scope global
ws ip -6 route flush dev eth0 proto ra
lab router-adverts B now
check "router-adverts now: B's prefix is back within a second" within 1 ws_has_ipv6 2001:db8:92:1:
check "and nothing of A's prefixes comes on B" not ws_has_ipv6 2001:db8:91:1:

send --net a
check "AA AA is obeyed" within 3 has_line "switchbox: AA AA -> network A"
check "A's gateway answers again" within 5 ping_once 10.91.1.1

# A cable pulled and plugged in again does not upset the box.
lab exec BOX ip link set cable down
lab exec BOX ip link set cable up
send --net b
check "box obeys after its cable port went down and up" within 3 cable_is "network B"
send --net a
check "and back to A" within 3 cable_is "network A"

# A stopped box hears nothing; started again it powers on to A.
lab switchbox stop >/dev/null
check "switchbox stops on SIGTERM" within 3 not_running "$box_pid"
check "its stop is logged" has_line "switchbox: stopped by signal 15"
check "its pidfile is gone" test ! -e "$NV_LAB_DIR/switchbox.pid"
send --net b
sleep 0.3
check "stopped box leaves the cable on A" cable_is "network A"
lab switchbox start >/dev/null
check "switchbox starts again, powered on to A" \
  within 3 count_is 2 "switchbox: listening on cable, connected to network A"
send --net b
check "restarted box obeys 55 55" within 3 cable_is "network B"
send --net a
check "restarted box obeys AA AA" within 3 cable_is "network A"

# The DHCP client answers release and renew signals through its pidfile.
client_pid=$(cat "$NV_LAB_DIR/udhcpc-eth0.pid")
kill -USR2 "$client_pid"
check "SIGUSR2 releases the address" within 5 ws_has_no_address
kill -USR1 "$client_pid"
check "SIGUSR1 leases an address on A again" within 10 a_lease_in_pool
check "and applies it" within 2 ws_has_address "$(lease_value ip)/24"
# Like a desktop's DHCP service, the client is started again when it ends.
kill -TERM "$client_pid"
check "a client that ends is started again" within 3 new_client_running "$client_pid"

# down leaves nothing behind.
pids=$(cat "$NV_LAB_DIR"/*.pid)
check "lab.sh down" lab down
check "no namespace of the lab is left" no_namespaces_left
for p in $pids; do check "process $p ended" not_running "$p"; done
check "no pidfile is left" not compgen -G "$NV_LAB_DIR/*.pid"
check "down again succeeds" lab down

echo "lab self-test: $failures failure(s) in $((SECONDS - start)) s"
[ $failures -eq 0 ]
