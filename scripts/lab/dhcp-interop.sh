#!/usr/bin/env bash
# Real DHCP clients against the DHCP emulation: for each client (busybox udhcpc, ISC dhclient,
# dhcpcd) a lab of its own with the cable on network B (no DHCP server there) and the emulation
# held armed with B's settings (tools/dhcpemu-hold).  Measures, per client:
#   - lease: started from scratch N times (default 5), time from the client process's start (its
#     start time in /proc) to the address on the adapter; median;
#   - settings: address/mask, default route and name server as configured;
#   - renew, rebind, INFORM while bound: through the client's own command where it has one
#     (udhcpc SIGUSR1, dhcpcd -N and -n), and as a bound client's message sent by dhcp-probe.py
#     for every client; the address must be kept (never deleted meanwhile);
#   - release: the client's own release; the address must go.
# Prints one table (Markdown).  Needs root and the host build (dhcpemu-hold, switchbox).
#
#   dhcp-interop.sh [RUNS] [CLIENT...]
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
RUNS=${1:-5}
shift $(($# > 0 ? 1 : 0))
CLIENTS=("$@")
[ ${#CLIENTS[@]} -gt 0 ] || CLIENTS=(udhcpc dhclient dhcpcd)
export NV_BIN_DIR=${NV_BIN_DIR:-$ROOT/build/host/bin}
HOLD=$NV_BIN_DIR/dhcpemu-hold
PROBE=$ROOT/scripts/lab/dhcp-probe.py
[ "$(id -u)" = 0 ] || { echo "dhcp-interop: needs root" >&2; exit 77; }
[ -x "$HOLD" ] || { echo "dhcp-interop: $HOLD is not built" >&2; exit 1; }

LAB="bash $ROOT/scripts/lab.sh"
ws() { $LAB exec WS "$@"; }
ms_now() { echo $(($(date +%s%N) / 1000000)); }
# When process $1 started, in ms of the wall clock: its start in clock ticks after boot, against
# the time since boot now.
started_ms() {
  local ticks up now hz
  hz=$(getconf CLK_TCK)
  ticks=$(awk '{sub(/.*\) /, ""); print $20}' "/proc/$1/stat")
  now=$(ms_now)
  up=$(awk '{printf "%d", $1 * 1000}' /proc/uptime)
  echo $((now - (up - ticks * 1000 / hz)))
}
median() { sort -n | awk '{v[NR]=$1} END {if (NR==0) print "-"; else if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

rows=()
for client in "${CLIENTS[@]}"; do
  export NV_LAB_CLIENT=$client NV_LAB_PREFIX=${NV_LAB_PREFIX_BASE:-nvio}-${client:0:5}
  export NV_LAB_DIR=$(mktemp -d /tmp/nvlab-interop.XXXXXX) NV_LAB_DHCP_CLIENT=0 NV_LAB_SWITCHBOX_INITIAL=b
  trap '$LAB down >/dev/null 2>&1' EXIT
  $LAB up >"$NV_LAB_DIR/up.log" 2>&1 || { cat "$NV_LAB_DIR/up.log" >&2; exit 1; }
  eval "$($LAB env)"
  IF=$NV_LAB_WS_IF
  held() { ip -n "$NV_LAB_NS_WS" -4 -o addr show dev "$IF" | grep -q " $NV_LAB_B_ADDRESS/"; }
  client_pid() { cat "$NV_LAB_CLIENT_PID_FILE" 2>/dev/null; }
  event() { sed -n 's/^event=//p' "$NV_LAB_DIR/lease-$IF.env" 2>/dev/null; }

  # The emulation, armed until its input closes.
  exec {hold_in}> >(ws "$HOLD" "$NV_LAB_WS_MAC" "$NV_LAB_B_ADDRESS" "$NV_LAB_B_MASK" "$NV_LAB_B_GATEWAY" \
    "$NV_LAB_B_DNS" >"$NV_LAB_DIR/hold.log" 2>&1)
  for _ in $(seq 50); do grep -q armed "$NV_LAB_DIR/hold.log" && break; sleep 0.1; done

  times=()
  for run in $(seq "$RUNS"); do
    $LAB dhcp-client stop >/dev/null 2>&1
    ws ip -4 addr flush dev "$IF"
    rm -f "$NV_LAB_DIR"/dhclient-*.leases "$NV_LAB_DIR"/ws-var-dhcpcd/*.lease "$NV_LAB_DIR/lease-$IF.env"
    $LAB dhcp-client start >/dev/null 2>&1
    t=""
    for _ in $(seq 3000); do
      if held; then t=$(ms_now); break; fi
      sleep 0.01
    done
    [ -n "$t" ] && t=$((t - $(started_ms "$(client_pid)")))
    times+=("${t:-timeout}")
  done
  lease_ms=$(printf '%s\n' "${times[@]}" | grep -v timeout | median)
  got=$(printf '%s\n' "${times[@]}" | grep -vc timeout)

  addr=$(ws ip -4 -o addr show dev "$IF" | awk '{print $4}')
  route=$(ws ip -4 route show default | head -1)
  dns=$(sed -n 's/^nameserver //p' "$NV_LAB_DIR/resolv-$IF.conf" 2>/dev/null | head -1)
  settings=no
  [ "$addr" = "$NV_LAB_B_ADDRESS/24" ] && grep -q "via $NV_LAB_B_GATEWAY " <<<"$route " && [ "$dns" = "$NV_LAB_B_DNS" ] &&
    settings=yes

  # Every address deletion from here to the release.
  ws ip -4 monitor address >"$NV_LAB_DIR/monitor.log" 2>&1 &
  monitor=$!
  sleep 0.3
  own_renew="-" own_rebind="-"
  case $client in
    udhcpc)
      : >"$NV_LAB_DIR/lease-$IF.env.mark"
      kill -USR1 "$(client_pid)"
      for _ in $(seq 50); do [ "$(event)" = renew ] && break; sleep 0.1; done
      [ "$(event)" = renew ] && own_renew="answered (SIGUSR1)" || own_renew="NOT answered (SIGUSR1)"
      ;;
    dhcpcd)
      ws dhcpcd -4 -N "$IF" >/dev/null 2>&1
      for _ in $(seq 50); do [ "$(event)" = renew ] && break; sleep 0.1; done
      [ "$(event)" = renew ] && own_renew="answered (-N)" || own_renew="NOT answered (-N)"
      ws dhcpcd -4 -n "$IF" >/dev/null 2>&1
      for _ in $(seq 50); do grep -q '^event=re' "$NV_LAB_DIR/lease-$IF.env" && break; sleep 0.1; done
      sleep 1
      own_rebind="$(event) after -n"
      ;;
  esac
  renew=$(ws python3 "$PROBE" "$IF" "$NV_LAB_WS_MAC" "$NV_LAB_B_ADDRESS" "$NV_LAB_B_GATEWAY" renew)
  rebind=$(ws python3 "$PROBE" "$IF" "$NV_LAB_WS_MAC" "$NV_LAB_B_ADDRESS" "$NV_LAB_B_GATEWAY" rebind)
  inform=$(ws python3 "$PROBE" "$IF" "$NV_LAB_WS_MAC" "$NV_LAB_B_ADDRESS" "$NV_LAB_B_GATEWAY" inform)
  sleep 0.5
  held && kept=yes || kept=no
  grep -q "Deleted.*$NV_LAB_B_ADDRESS/" "$NV_LAB_DIR/monitor.log" && kept="no (deleted meanwhile)"

  case $client in
    udhcpc) kill -USR2 "$(client_pid)" ;;
    dhclient) ws dhclient -r -pf "$NV_LAB_CLIENT_PID_FILE" -lf "$NV_LAB_DIR/dhclient-$IF.leases" \
      -cf "$NV_LAB_DIR/dhclient.conf" -sf "$NV_LAB_DIR/dhclient-script" "$IF" >/dev/null 2>&1 ;;
    dhcpcd) ws dhcpcd -4 -k "$IF" >/dev/null 2>&1 ;;
  esac
  released=no
  for _ in $(seq 50); do held || { released=yes; break; }; sleep 0.1; done
  kill "$monitor" 2>/dev/null
  exec {hold_in}>&-
  sleep 0.3
  rows+=("| $client | $settings ($got/$RUNS leases) | $lease_ms ms | $own_renew; probe: $renew | $own_rebind; probe: $rebind | $inform | $kept | $released |")
  $LAB down >/dev/null 2>&1
  trap - EXIT
  echo "dhcp-interop: $client done (lease times: ${times[*]} ms)" >&2
done

echo "| client | lease, settings right | median lease time | renew while bound | rebind while bound | INFORM | address kept | release |"
echo "|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
