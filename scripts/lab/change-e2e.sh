#!/usr/bin/env bash
# A real change in the lab: the workstation goes from network A to network B and back to A,
# through the headless runner (switch box frame, route, DHCP release and renew answered by the
# real server on A and by our DHCP emulation on B).  After each change it prints what the
# switch box obeyed, the workstation's address, mask and default route, a ping of the new
# gateway, the isolation check's result and the log lines written.  With --check it then leaves
# a route and a neighbour entry of network A in place and changes to B again: the isolation
# check must fail and name both.  --check then also fails closed and survives a killed runner:
# with the DHCP emulation answering another MAC the change to B exits non-zero and leaves
# nothing of A on the adapter (IPv4 or IPv6 address, route, neighbour entry, name server); a
# runner killed with SIGKILL while armed is followed by a change to A that succeeds within 10 s
# and reports the interrupted change.  Last, with both networks served by DHCP and nothing
# stored but the adapter, A's default route and gateway entry planted during a change to B
# must be named by the check, and clean changes must pass it.
#
#   change-e2e.sh [--check] [--client udhcpc|dhclient|dhcpcd|networkd] [--address-in-use]
#                 [--fault switchbox-off|emulation-mac|emulation-route]
# --check turns the report into assertions (the run fails when any of them fails).
# --fault breaks one thing on purpose, to show that --check notices: the switch box is off,
# the DHCP emulation answers another MAC, or it hands out another router.
# --client chooses the workstation's DHCP client (NV_LAB_CLIENT; udhcpc by default); the leftover
# check runs with udhcpc only.  --address-in-use then lets a host on B answer for B's address:
# the change to B must fail within its bound, name the address and leave nothing of A, and the
# emulation must offer the address once only.
# Needs root; the lab is built and torn down here (also on Ctrl-C).
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
check=0
fault=""
in_use=0
while [ $# -gt 0 ]; do
  case $1 in
    --client) export NV_LAB_CLIENT=${2:-}; shift ;;
    --address-in-use) in_use=1 ;;
    --check) check=1 ;;
    --fault) fault=${2:-}; shift ;;
    *) echo "usage: $0 [--check] [--client udhcpc|dhclient|dhcpcd] [--address-in-use] [--fault ...]" >&2; exit 64 ;;
  esac
  shift
done
case $fault in ""|switchbox-off|emulation-mac|emulation-route) ;; *) echo "unknown fault '$fault'" >&2; exit 64 ;; esac

if [ "$(id -u)" != 0 ]; then
  echo "change-e2e: needs root (it builds network namespaces)" >&2
  exit 77
fi

export NV_LAB_PREFIX=${NV_LAB_PREFIX:-nve$$}
export NV_LAB_DIR=${NV_LAB_DIR:-$(mktemp -d /tmp/nvlab-e2e.XXXXXX)}
export NV_BIN_DIR=${NV_BIN_DIR:-$ROOT/build/host/bin}
export NV_REGISTRY_DB=$NV_LAB_DIR/registry.db
# The workstation's name servers: the lab's DHCP client writes them here, not to the host's file.
export NV_RESOLV_CONF=$NV_LAB_DIR/resolv-eth0.conf
LAB="bash $ROOT/scripts/lab.sh"
RUNNER=$NV_BIN_DIR/nvchange
INSTALL=$NV_LAB_DIR/install
failures=0

cleanup() { $LAB down >/dev/null 2>&1; }
trap cleanup EXIT
trap 'echo "interrupted" >&2; exit 130' INT TERM

say() { printf '%s\n' "$*"; }
expect() {  # expect DESCRIPTION COMMAND...: with --check, a failed command is a failed run
  local what=$1; shift
  if "$@"; then
    [ $check = 1 ] && say "  ok: $what"
  else
    say "  FAILED: $what"
    failures=$((failures + 1))
  fi
}

[ -x "$RUNNER" ] || { echo "change-e2e: $RUNNER is not built" >&2; exit 1; }
$LAB up >"$NV_LAB_DIR/lab-up.log" 2>&1 || { cat "$NV_LAB_DIR/lab-up.log" >&2; exit 1; }
eval "$($LAB env)"
mkdir -p "$INSTALL"
ws() { $LAB exec WS "$@"; }

ws "$RUNNER" --configure-lab "$NV_LAB_WS_IF" "$INSTALL" || exit 1
fault_args=()
case $fault in
  switchbox-off) $LAB switchbox stop >/dev/null ;;
  emulation-mac) fault_args=(--fault-emulation-mac 02:00:00:00:00:99) ;;
  emulation-route) fault_args=(--fault-emulation-gateway 10.92.1.99) ;;
esac

box_log=$NV_LAB_SWITCHBOX_LOG
log_lines() { cat "$INSTALL"/Log/*.log 2>/dev/null | tr -d '\r'; }

# A change to B during which A's route (`ip route add` arguments) and a permanent entry for A's
# gateway are put in, once an address beginning with HELD is on the adapter: the kernel drops
# such entries with a released address, so the runner is held at its "ID2" log line (the log
# file's lock; it waits 2 s at most) until they are in place.  Sets out and rc.
change_to_b_planted() {  # change_to_b_planted HELD ROUTE
  local held=$1 route=$2 logf injector
  logf=$(ls "$INSTALL"/Log/*.log | tail -n 1)
  (
    flock -x 9
    for _ in $(seq 200); do
      ws ip -4 -o addr show dev "$NV_LAB_WS_IF" | grep -q " $held" && break
      sleep 0.05
    done
    # One entry into the namespace for both.
    ws sh -c "ip route add $route dev $NV_LAB_WS_IF metric 500;
      ip neigh replace $NV_LAB_A_GATEWAY lladdr 02:00:00:00:0a:01 nud permanent dev $NV_LAB_WS_IF"
  ) 9>>"$logf" &
  injector=$!
  sleep 0.3
  out=$(ws "$RUNNER" --quiet --gateway-wait 3000 B 2>&1)
  rc=$?
  wait $injector
  printf '%s\n' "$out" | grep -v '^nvutil:' | sed 's/^/  /'
}

change() {  # change A|B GATEWAY ADDRESS_PREFIX
  local to=$1 gw=$2 want=$3
  local box_before log_before
  box_before=$(wc -l <"$box_log" 2>/dev/null || echo 0)
  log_before=$(log_lines | wc -l)
  say ""
  say "=== change to network $to"
  local out
  out=$(ws "$RUNNER" --gateway-wait 3000 "${fault_args[@]}" "$to" 2>&1)
  local rc=$?
  printf '%s\n' "$out"
  say "--- the switch box obeyed:"
  local obeyed
  obeyed=$(tail -n +"$((box_before + 1))" "$box_log" 2>/dev/null | grep 'switchbox:' || true)
  say "${obeyed:-  (nothing)}"
  say "--- the workstation:"
  local addr route
  addr=$(ws ip -4 -o addr show dev "$NV_LAB_WS_IF" | awk '{print $4}')
  route=$(ws ip -4 route show default)
  say "  address/mask: ${addr:-none}"
  say "  default route: ${route:-none}"
  say "--- ping $gw:"
  local ping_ok=0
  if ws busybox ping -c 1 -W 2 "$gw" >/dev/null 2>&1; then ping_ok=1; say "  answers"; else say "  no answer"; fi
  say "--- isolation check:"
  local isolation
  isolation=$(grep '^isolation check:' <<<"$out" || true)
  say "  ${isolation:-(not run)}"
  say "--- log lines written:"
  log_lines | tail -n +"$((log_before + 1))" | sed 's/^/  /'
  say "--- audit record:"
  local record
  record=$(tail -n 1 "$INSTALL/Log/audit.jsonl" 2>/dev/null)
  say "  ${record:-(none)}"
  local cmd=$([ "$to" = B ] && echo "55 55" || echo "AA AA")
  if [ $check = 1 ]; then
    expect "runner reports the change and the gateway" [ $rc = 0 ]
    expect "isolation check passed" [ "$isolation" = "isolation check: passed" ]
    expect "audit record of this change with its trigger" grep -q "\"trigger\":\"change helper\".*\"to\":\"$to\"" <<<"$record"
    expect "audit record with each step" grep -q '"step":"switch box",.*"step":"address change",.*"step":"isolation check","network":"'"$to"'","result":1' <<<"$record"
    expect "audit record says changed" grep -q '"outcome":"changed"' <<<"$record"
    expect "switch box obeyed $cmd" grep -q "$cmd" <<<"$obeyed"
    expect "address is $want" grep -q "^$want" <<<"$addr"
    expect "default route via $gw" grep -q "via $gw " <<<"$route "
    expect "gateway $gw answers ping" [ $ping_ok = 1 ]
    expect "log line ID$([ "$to" = B ] && echo 2 || echo 1)" \
      grep -q ",ID$([ "$to" = B ] && echo 2 || echo 1)\$" <<<"$(log_lines | tail -n +"$((log_before + 1))")"
    expect "log line GW $gw answers, as the tray program writes it" \
      grep -q ",GW $gw answers (" <<<"$(log_lines | tail -n +"$((log_before + 1))")"
  fi
}

change B "$NV_LAB_B_GATEWAY" "$NV_LAB_B_ADDRESS/"
change A "$NV_LAB_A_GATEWAY" "${NV_LAB_A_NET%.*}."

if [ $in_use = 1 ]; then
  say ""
  say "=== change to network B while another host answers for $NV_LAB_B_ADDRESS"
  $LAB exec B ip addr add "$NV_LAB_B_ADDRESS/32" dev br0
  # Every DHCP reply that reaches the workstation, to count the offers.
  $LAB exec WS tcpdump -i "$NV_LAB_WS_IF" -n -l -v -Q in udp dst port 68 >"$NV_LAB_DIR/in-use.pcap.txt" 2>/dev/null &
  capture=$!
  sleep 0.5
  start=$(date +%s%N)
  out=$(ws "$RUNNER" --quiet --gateway-wait 3000 B 2>&1)
  rc=$?
  took_ms=$((($(date +%s%N) - start) / 1000000))
  sleep 2  # the client asks again meanwhile: the emulation is gone, and it was not answered before
  kill "$capture" 2>/dev/null
  wait "$capture" 2>/dev/null
  printf '%s\n' "$out" | grep -v '^nvutil:' | sed 's/^/  /'
  offers=$(grep -c 'DHCP-Message.*Offer' "$NV_LAB_DIR/in-use.pcap.txt")
  say "  runner exit $rc after $took_ms ms; offers seen: $offers"
  addr=$(ws ip -4 -o addr show dev "$NV_LAB_WS_IF" | awk '{print $4}')
  record=$(tail -n 1 "$INSTALL/Log/audit.jsonl" 2>/dev/null)
  expect "runner exits 5 (address in use)" [ $rc = 5 ]
  expect "within the renew's bound" [ "$took_ms" -lt 60000 ]
  expect "the message names the address" grep -q "nvchange: address $NV_LAB_B_ADDRESS is in use on this network" <<<"$out"
  expect "the log line names it" grep -q ",FAIL address $NV_LAB_B_ADDRESS is in use on this network" <<<"$(log_lines | tail -n 3)"
  expect "the audit record names it" grep -q "\"outcome\":\"failed: address $NV_LAB_B_ADDRESS is in use on this network\"" <<<"$record"
  expect "one offer, no DISCOVER/OFFER/DECLINE loop" [ "$offers" = 1 ]
  expect "nothing of A on the adapter (${addr:-no address})" [ -z "$(grep "^${NV_LAB_A_NET%.*}\." <<<"$addr")" ]
  $LAB exec B ip addr del "$NV_LAB_B_ADDRESS/32" dev br0
  change A "$NV_LAB_A_GATEWAY" "${NV_LAB_A_NET%.*}."
fi

if [ $check = 1 ] && [ -z "$fault" ] && [ "${NV_LAB_CLIENT:-udhcpc}" = udhcpc ]; then
  # Leftovers of A that no step of the change removes: a route to A's subnet on the link and a
  # permanent neighbour entry for A's gateway, put in once B's address is held.  The kernel
  # drops both with the released address, so they are added during the change: the runner is
  # held at its "ID2" log line (the log file's lock) until they are in place.
  say ""
  say "=== change to network B with network A's route and gateway entry left in place"
  a_net=${NV_LAB_A_NET%.*}.0
  change_to_b_planted "$NV_LAB_B_ADDRESS/" "$a_net/24"
  expect "runner exits 4 for a failed isolation check" [ $rc = 4 ]
  expect "the message names A's route" grep -q "nvchange: isolation check failed:.*route $a_net/24 (network A)" <<<"$out"
  expect "the message names A's gateway entry" \
    grep -q "nvchange: isolation check failed:.*neighbour entry $NV_LAB_A_GATEWAY (network A's gateway)" <<<"$out"
  expect "the log has the failed check after ID2" \
    grep -q ",ISOLATION FAILED(.*neighbour entry $NV_LAB_A_GATEWAY" <<<"$(log_lines | tail -n 1)"
  expect "the adapter keeps nothing of either network after the failed check" \
    eval '[ -z "$(ws ip -4 -o addr show dev "$NV_LAB_WS_IF" scope global)$(ws ip -4 route show dev "$NV_LAB_WS_IF")" ]'
  expect "the runner says it cleared the adapter" grep -q "the adapter cleared: the workstation keeps no settings of either network" <<<"$out"
  expect "the audit record has the clear after the check and says it" \
    grep -q '"step":"isolation check","network":"B","result":0,[^}]*},{"step":"adapter clear","network":"B","result":1,.*"outcome":"changed, not isolated; address released, adapter cleared"' \
    <<<"$(tail -n 1 "$INSTALL/Log/audit.jsonl")"
  ws ip route del "$a_net/24" dev "$NV_LAB_WS_IF" metric 500 2>/dev/null
  ws ip neigh del "$NV_LAB_A_GATEWAY" dev "$NV_LAB_WS_IF" 2>/dev/null
  change A "$NV_LAB_A_GATEWAY" "${NV_LAB_A_NET%.*}."
fi

if [ $check = 1 ] && [ -z "$fault" ]; then
  say ""
  say "=== change to network B with the emulation answering another MAC: nothing of A may stay"
  a_pre=${NV_LAB_A_NET%.*}.
  a6=$(tr ',' '\n' <<<"${NV_LAB_A_IPV6:-}" | sed 's/::\/64$/:/' | paste -sd'|')
  had6=$(ws ip -6 -o addr show dev "$NV_LAB_WS_IF" scope global | awk '{print $4}' | paste -sd' ')
  say "  on A before: $(ws ip -4 -o addr show dev "$NV_LAB_WS_IF" | awk '{print $4}') ${had6:-(no IPv6 of A)}"
  out=$(ws "$RUNNER" --quiet --gateway-wait 2000 --fault-emulation-mac 02:00:00:00:00:99 B 2>&1)
  rc=$?
  printf '%s\n' "$out" | grep -v '^nvutil:' | sed 's/^/  /'
  left() {  # everything of network A on the adapter, one item a line
    ws ip -4 -o addr show dev "$NV_LAB_WS_IF" | awk '{print "address " $4}' | grep -F " $a_pre"
    ws ip -4 route show table all dev "$NV_LAB_WS_IF" | grep -E "(^| )${a_pre//./\\.}" | sed 's/^/route /'
    ws ip -4 neigh show dev "$NV_LAB_WS_IF" | grep -vE 'FAILED|INCOMPLETE' | grep -F "$a_pre" | sed 's/^/neighbour /'
    if [ -n "$a6" ]; then
      ws ip -6 -o addr show dev "$NV_LAB_WS_IF" | awk '{print "address " $4}' | grep -E "$a6"
      ws ip -6 route show table all dev "$NV_LAB_WS_IF" | grep -E "$a6|via ${NV_LAB_A_ROUTER_LL:-fe80::a:1} " |
        sed 's/^/route /'
      ws ip -6 neigh show dev "$NV_LAB_WS_IF" | grep -vE 'FAILED|INCOMPLETE' | grep -E "$a6" | sed 's/^/neighbour /'
    fi
    grep -F "$NV_LAB_A_DNS" "$NV_RESOLV_CONF" 2>/dev/null | sed 's/^/name server /'
  }
  leftovers=$(left)
  say "  of A on the adapter now: ${leftovers:-nothing}"
  expect "the change to B without an address exits non-zero" [ $rc != 0 ]
  expect "the runner says the address was not obtained" grep -q "no address of network B" <<<"$out"
  expect "nothing of network A stays on the adapter" [ -z "$leftovers" ]
  expect "the audit record says no address" grep -q '"outcome":"switched, no address' <<<"$(tail -n 1 "$INSTALL/Log/audit.jsonl")"
  expect "the log has the failed address step" grep -q ",FAIL SetStartDHCP\$" <<<"$(log_lines | tail -n 3)"
  change A "$NV_LAB_A_GATEWAY" "${NV_LAB_A_NET%.*}."

  say ""
  say "=== change to network B killed with SIGKILL while armed, then a change to A"
  ip netns exec "$NV_LAB_NS_WS" "$RUNNER" --quiet B >/dev/null 2>&1 &
  victim=$!
  armed=0
  for _ in $(seq 150); do
    if ws tc filter show dev "$NV_LAB_WS_IF" egress 2>/dev/null | grep -q 'pref 49067'; then armed=1; break; fi
    sleep 0.02
  done
  kill -KILL $victim 2>/dev/null
  wait $victim 2>/dev/null
  say "  armed when killed: $([ $armed = 1 ] && echo yes || echo no); filters left: $(ws tc filter show dev "$NV_LAB_WS_IF" egress | grep -c 'pref 4906[78]')"
  expect "the runner was killed while armed" [ $armed = 1 ]
  start=$(date +%s%N)
  out=$(ws "$RUNNER" --quiet --gateway-wait 3000 A 2>&1)
  rc=$?
  took=$((($(date +%s%N) - start) / 1000000))
  printf '%s\n' "$out" | grep -v '^nvutil:' | sed 's/^/  /'
  say "  the change to A took $took ms, exit $rc"
  expect "the change to A after the kill succeeds" [ $rc = 0 ]
  # 10 s with the lab's default client (udhcpc); dhcpcd's own random delay and address probe
  # alone take up to 7 s, and the others start a client again: they get twice that.
  bound_ms=10000
  [ "${NV_LAB_CLIENT:-udhcpc}" = udhcpc ] || bound_ms=20000
  expect "the change to A after the kill takes under $((bound_ms / 1000)) s" [ $took -lt $bound_ms ]
  expect "it reports the interrupted change" grep -q "interrupted" <<<"$out"
  expect "no filter of ours is left" [ "$(ws tc filter show dev "$NV_LAB_WS_IF" egress | grep -c 'pref 4906[78]')" = 0 ]
  expect "the audit has the interrupted record" grep -q '"outcome":"interrupted"' "$INSTALL/Log/audit.jsonl"
  out=$(ws "$RUNNER" --quiet --gateway-wait 3000 B 2>&1)
  expect "the next run does not report it again" eval '! grep -q interrupted <<<"$out"'
fi

if [ $check = 1 ] && [ -z "$fault" ] && [ "${NV_LAB_CLIENT:-udhcpc}" = udhcpc ]; then
  # Two networks served by DHCP and nothing stored but the adapter: the check knows what A left
  # only from the adapter as it was before the switch.
  say ""
  say "=== two DHCP networks, nothing stored but the adapter: A's default route and gateway entry planted on B"
  ws "$RUNNER" --configure-lab --both-dhcp "$NV_LAB_WS_IF" "$INSTALL" >/dev/null ||
    expect "the store takes both networks by DHCP" false
  b_pre=${NV_LAB_B_NET%.*}.
  printf '%s\n' "interface br0" "start ${b_pre}150" "end ${b_pre}170" \
    "lease_file $NV_LAB_DIR/udhcpd-b.leases" "pidfile $NV_LAB_DIR/udhcpd-b.pid" "option subnet 255.255.255.0" \
    "option router $NV_LAB_B_GATEWAY" "option dns $NV_LAB_B_DNS" "option lease 600" >"$NV_LAB_DIR/udhcpd-b.conf"
  : >"$NV_LAB_DIR/udhcpd-b.leases"
  $LAB exec B busybox udhcpd -f -a 300 "$NV_LAB_DIR/udhcpd-b.conf" >>"$NV_LAB_DIR/udhcpd-b.log" 2>&1 &
  server_b=$!
  out=$(ws "$RUNNER" --quiet --gateway-wait 3000 B 2>&1)
  say "  clean change to B (exit $?): $(grep '^isolation check' <<<"$out")"
  expect "a clean change to B passes the check" grep -q "^isolation check: passed" <<<"$out"
  out=$(ws "$RUNNER" --quiet --gateway-wait 3000 A 2>&1)
  say "  clean change to A (exit $?): $(grep '^isolation check' <<<"$out")"
  expect "a clean change to A passes the check" grep -q "^isolation check: passed" <<<"$out"
  change_to_b_planted "$b_pre" "default via $NV_LAB_A_GATEWAY onlink"
  expect "runner exits 4 for a failed isolation check" [ $rc = 4 ]
  expect "the message names A's default route" \
    grep -q "isolation check failed:.*route 0.0.0.0/0 via $NV_LAB_A_GATEWAY (network A)" <<<"$out"
  expect "the message names A's gateway entry" \
    grep -q "isolation check failed:.*neighbour entry $NV_LAB_A_GATEWAY (network A's gateway)" <<<"$out"
  ws ip route del default via "$NV_LAB_A_GATEWAY" dev "$NV_LAB_WS_IF" metric 500 2>/dev/null
  ws ip neigh del "$NV_LAB_A_GATEWAY" dev "$NV_LAB_WS_IF" 2>/dev/null
  kill -TERM $server_b 2>/dev/null
  wait $server_b 2>/dev/null
fi

if [ $check = 1 ]; then
  say ""
  if [ $failures = 0 ]; then say "change-e2e: all checks passed"; else say "change-e2e: $failures check(s) failed"; fi
  exit $((failures > 0))
fi
