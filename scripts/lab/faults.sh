#!/usr/bin/env bash
# The lab's fault campaign: N changes, each with one fault injected and cleared again, and after
# each the invariants an administrator of separated networks relies on.
#
#   faults.sh N [SEED]
#
# Fault kinds: the switch box off; the switch box ignoring one frame; network A's DHCP server
# silent; the DHCP emulation answering another MAC or handing out another router; the runner
# killed with SIGKILL at a random moment of a change and started again; the store's writer
# killed mid-write; the new network's gateway not answering.  The kinds are dealt in shuffled
# rounds, so each is tried N/8 times (rounded down) or once more.
#
# After each faulty change: (1) the workstation's addresses and routes belong to the network the
# switch box actually connects, (2) the runner's exit code matches what the lab sees, (3) after a
# reported success nothing of the other network is on the adapter, (4) every configured setting
# is still stored; then (5) the same change, fault cleared, must succeed with (1) to (3) holding.
# Prints a table per fault kind and last "faults: N tried, V violations"; the exit status is 1
# when there were violations.  SEED (default: the time) makes a run repeatable.
# Needs root and the host build of nvchange and switchbox (NV_BIN_DIR).
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
N=${1:-}
case $N in '' | *[!0-9]*) echo "usage: $0 N [SEED]" >&2; exit 64 ;; esac
SEED=${2:-$(date +%s)}
case $SEED in *[!0-9]*) echo "faults: SEED must be a number" >&2; exit 64 ;; esac
if [ "$(id -u)" != 0 ]; then
  echo "faults: needs root (the lab is built from network namespaces)" >&2
  exit 77
fi

export NV_LAB_PREFIX=${NV_LAB_PREFIX:-nvflt}
export NV_LAB_DIR=${NV_LAB_DIR:-$(mktemp -d /tmp/nvlab-faults.XXXXXX)}
export NV_BIN_DIR=${NV_BIN_DIR:-$ROOT/build/host/bin}
export NV_REGISTRY_DB=$NV_LAB_DIR/registry.db
export NV_RESOLV_CONF=$NV_LAB_DIR/resolv-eth0.conf
LAB="bash $ROOT/scripts/lab.sh"
RUNNER=$NV_BIN_DIR/nvchange
INSTALL=$NV_LAB_DIR/install
REPORT=$NV_LAB_DIR/faults.log
[ -x "$RUNNER" ] || { echo "faults: $RUNNER is not built" >&2; exit 1; }

cleanup() {
  [ -n "${UDHCPD:-}" ] && kill -CONT "$UDHCPD" 2>/dev/null
  $LAB down >/dev/null 2>&1
}
trap cleanup EXIT
trap 'echo "interrupted" >&2; exit 130' INT TERM

$LAB up >"$NV_LAB_DIR/lab-up.log" 2>&1 || { cat "$NV_LAB_DIR/lab-up.log" >&2; exit 1; }
eval "$($LAB env)"
NS_WS=$NV_LAB_NS_WS NS_BOX=$NV_LAB_NS_BOX NS_A=$NV_LAB_NS_A NS_B=$NV_LAB_NS_B
IF=$NV_LAB_WS_IF
NET_A=${NV_LAB_A_NET%.*}. NET_B=${NV_LAB_B_ADDRESS%.*}.
GW=("$NV_LAB_A_GATEWAY" "$NV_LAB_B_GATEWAY")
mkdir -p "$INSTALL"
ws() { ip netns exec "$NS_WS" "$@"; }
ws "$RUNNER" --configure-lab "$IF" "$INSTALL" >/dev/null || exit 1

# Every setting of the store but the last frame burst's time, which each change rewrites.
settings() {
  sqlite3 -readonly -cmd ".timeout 5000" "$NV_REGISTRY_DB" \
    "select k.name, v.name, v.type, hex(v.data) from vals v join keys k on k.id = v.key
     where v.fold <> 'DWLASTSEND' order by k.id, v.fold" 2>&1
}
BASELINE=$(settings)

letter() { [ "$1" = 0 ] && echo A || echo B; }
net_of() {  # address -> 0, 1 or "?"
  case $1 in "$NET_A"*) echo 0 ;; "$NET_B"*) echo 1 ;; *) echo "?" ;; esac
}
cable() {  # 0, 1 or "none": where the box has put the cable
  case $(ip -n "$NS_BOX" -o link show cable) in
    *"master br-a"*) echo 0 ;; *"master br-b"*) echo 1 ;; *) echo none ;;
  esac
}
addresses() { ws ip -4 -o addr show dev "$IF" | awk '{print $4}' | cut -d/ -f1; }
routes() { ws ip -4 route show dev "$IF"; }
default_gw() { ws ip -4 route show default dev "$IF" | awk '/via/ {print $3; exit}'; }
neighbours() { ws ip -4 neigh show dev "$IF" | grep -Ev 'FAILED|INCOMPLETE' | awk '{print $1}'; }
name_servers() { awk '$1 == "nameserver" {print $2}' "$NV_RESOLV_CONF" 2>/dev/null; }
pings() { ws busybox ping -c 1 -W 2 "$1" >/dev/null 2>&1; }

violations=0
problems=()
fail() { problems+=("$1"); }

# (1) addresses and routes belong to the network on the wire.
check_wire() {
  local on a r gw
  on=$(cable)
  for a in $(addresses); do
    [ "$(net_of "$a")" = "$on" ] || fail "address $a on network $on's wire"
  done
  while read -r r; do
    [ -z "$r" ] && continue
    gw=$(awk '/ via / {for (i = 1; i < NF; i++) if ($i == "via") print $(i + 1)}' <<<"$r")
    [ -n "$gw" ] && [ "$(net_of "$gw")" != "$on" ] && fail "route '$r' on network $on's wire"
    case $r in "$NET_A"0/* | "$NET_B"0/*) [ "$(net_of "${r%%/*}")" = "$on" ] || fail "route '$r' on network $on's wire" ;; esac
  done <<<"$(routes)"
}

# Anything of network `other` on the adapter; prints each leftover.
leftovers_of() {
  local other=$1 x prefix
  [ "$other" = 0 ] && prefix=$NET_A || prefix=$NET_B
  for x in $(addresses) $(neighbours) $(name_servers); do
    [ "$(net_of "$x")" = "$other" ] && echo "$x"
  done
  routes | while read -r x; do
    case $x in *" via $prefix"* | "$prefix"*) echo "route $x" ;; esac
  done
}

# (2) and (3): the runner's exit code against what the lab sees after a change to `target`.
check_report() {
  local target=$1 rc=$2 other=$((1 - $1)) left
  left=$(leftovers_of "$other")
  case $rc in
    0)
      [ "$(cable)" = "$target" ] || fail "exit 0 but the cable is on $(cable)"
      [ "$(default_gw)" = "${GW[$target]}" ] || fail "exit 0 but the default route is via '$(default_gw)'"
      pings "${GW[$target]}" || fail "exit 0 but ${GW[$target]} does not answer"
      [ -z "$left" ] && [ -z "$(addresses | while read -r a; do [ "$(net_of "$a")" = "$target" ] || echo "$a"; done)" ] ||
        fail "exit 0 but not isolated: $(echo $left)"
      ;;
    2) [ "$(cable)" != "$target" ] || fail "exit 2 (abandoned) but the cable is on the target" ;;
    3) pings "${GW[$target]}" && [ "$(default_gw)" = "${GW[$target]}" ] &&
         fail "exit 3 (gateway) but ${GW[$target]} answers through the default route" ;;
    4) [ -n "$left" ] || [ -n "$(addresses | while read -r a; do [ "$(net_of "$a")" = "$target" ] || echo "$a"; done)" ] ||
         fail "exit 4 (not isolated) but nothing is left" ;;
    *) fail "exit $rc" ;;
  esac
}

# (4) every configured setting still stored.
check_store() { [ "$(settings)" = "$BASELINE" ] || fail "the stored settings changed: $(diff <(echo "$BASELINE") <(settings) | head -3 | tr '\n' ' ')"; }

run_change() {  # run_change TARGET [runner options...]; sets RC and OUT
  local target=$1
  shift
  OUT=$(ws "$RUNNER" --quiet --gateway-wait 3000 "$@" "$(letter "$target")" 2>&1)
  RC=$?
}

clean_change() {  # a change without fault; on failure records why
  run_change "$1"
  check_wire
  check_report "$1" "$RC"
  [ "$RC" = 0 ] || fail "the change after the fault ended with $RC: $(tail -n 1 <<<"$OUT")"
}

KINDS=(switchbox-off switchbox-ignore dhcp-a-silent emulation-mac emulation-router runner-killed store-writer-killed gateway-silent)
declare -A tried bad
for k in "${KINDS[@]}"; do tried[$k]=0 bad[$k]=0; done
RANDOM=$SEED
deck=()
deal() {  # a shuffled round of every kind
  local i j t
  deck=("${KINDS[@]}")
  for ((i = ${#deck[@]} - 1; i > 0; i--)); do
    j=$((RANDOM % (i + 1)))
    t=${deck[i]} deck[i]=${deck[j]} deck[j]=$t
  done
}

current=0
start=$(date +%s)
echo "faults: seed $SEED, $N changes, lab $NV_LAB_PREFIX in $NV_LAB_DIR" | tee "$REPORT"
for ((n = 1; n <= N; n++)); do
  [ ${#deck[@]} = 0 ] && deal
  kind=${deck[0]}
  deck=("${deck[@]:1}")
  case $kind in
    dhcp-a-silent) target=0 ;;
    emulation-mac | emulation-router) target=1 ;;
    *) target=$((1 - current)) ;;
  esac
  problems=()
  # Start from the other network, so the change really moves.
  if [ "$current" = "$target" ]; then
    clean_change $((1 - target))
    [ ${#problems[@]} = 0 ] || problems=("before the fault: ${problems[@]}")
  fi
  runner_args=()
  case $kind in
    switchbox-off)
      held=$(cable)
      $LAB switchbox stop >/dev/null
      ;;
    switchbox-ignore) kill -USR1 "$(cat "$NV_LAB_SWITCHBOX_PID_FILE")" ;;
    dhcp-a-silent)
      UDHCPD=$(cat "$NV_LAB_UDHCPD_PID_FILE")
      kill -STOP "$UDHCPD"
      ;;
    emulation-mac) runner_args=(--fault-emulation-mac 02:00:00:00:00:99) ;;
    emulation-router) runner_args=(--fault-emulation-gateway "${NET_B}99") ;;
    store-writer-killed)
      # `ip netns exec` becomes the program, so $! is the writer itself.
      ip netns exec "$NS_WS" "$RUNNER" --configure-lab "$IF" "$INSTALL" >/dev/null 2>&1 &
      writer=$!
      sleep "0.0$((RANDOM % 10))$((RANDOM % 10))"
      kill -KILL "$writer" 2>/dev/null
      wait "$writer" 2>/dev/null
      ;;
    gateway-silent)
      [ "$target" = 0 ] && gw_ns=$NS_A || gw_ns=$NS_B
      ip netns exec "$gw_ns" sysctl -qw net.ipv4.icmp_echo_ignore_all=1
      ;;
  esac

  if [ "$kind" = runner-killed ]; then
    delay_ms=$((RANDOM % 4000))
    ip netns exec "$NS_WS" "$RUNNER" --quiet "$(letter "$target")" >/dev/null 2>&1 &
    victim=$!
    sleep "$((delay_ms / 1000)).$(printf %03d $((delay_ms % 1000)))"
    kill -KILL "$victim" 2>/dev/null
    wait "$victim" 2>/dev/null
    run_change "$target"  # started again
  else
    run_change "$target" "${runner_args[@]}"
  fi

  # The lab's view while the fault is still there, then clear it.
  check_wire
  check_report "$target" "$RC"
  case $kind in
    switchbox-off) NV_LAB_SWITCHBOX_INITIAL=$([ "$held" = 1 ] && echo b || echo a) $LAB switchbox start >/dev/null ;;
    dhcp-a-silent) kill -CONT "$UDHCPD"; UDHCPD= ;;
    gateway-silent) ip netns exec "$gw_ns" sysctl -qw net.ipv4.icmp_echo_ignore_all=0 ;;
  esac
  check_store
  rc_fault=$RC
  clean_change "$target"
  current=$target

  tried[$kind]=$((tried[$kind] + 1))
  if [ ${#problems[@]} -gt 0 ]; then
    bad[$kind]=$((bad[$kind] + 1))
    violations=$((violations + 1))
    printf 'change %d (%s, to %s, exit %s): VIOLATION: %s\n' "$n" "$kind" "$(letter "$target")" "$rc_fault" \
      "$(printf '%s; ' "${problems[@]}")" | tee -a "$REPORT"
    printf '  runner said: %s\n' "$(tr '\n' '|' <<<"$OUT" | tail -c 400)" >>"$REPORT"
  else
    printf 'change %d (%s, to %s, exit %s): ok\n' "$n" "$kind" "$(letter "$target")" "$rc_fault" >>"$REPORT"
  fi
done

took=$(($(date +%s) - start))
echo
printf '%-20s %6s %11s\n' "fault kind" tried violations
for k in "${KINDS[@]}"; do printf '%-20s %6d %11d\n' "$k" "${tried[$k]}" "${bad[$k]}"; done
echo "seed $SEED; took ${took} s; details in $REPORT"
echo "faults: $N tried, $violations violations"
[ "$violations" = 0 ]
