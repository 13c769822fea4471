#!/usr/bin/env bash
# The lab's fault campaign: N changes, each with one fault injected and cleared again, and after
# each the invariants an administrator of separated networks relies on.
#
#   faults.sh [-j K] N [SEED]
#   faults.sh --short
#   faults.sh --self-test     (no lab, no root: the checks' own table-driven test)
#
# --short is the test suite's campaign: every fault kind once, seed 4242, 6 labs (prefixes
# nvq<pid>1..6); its folder is removed when it passes.
# -j K runs K labs at once (namespace prefixes NV_LAB_PREFIX1..K, default nvflt1..K); the changes
# are dealt to them in turn; labs with an even number have no IPv6 router on network B.  SEED (default: the time) makes the run repeatable: it fixes which
# fault each change gets and, per lab, the random moments.
#
# Fault kinds: the switch box off; the switch box ignoring one frame; network A's DHCP server
# silent; A's DHCP server refusing the lease (NAK); a DHCP server on B handing out an address of
# A's subnet; the DHCP emulation answering another MAC or handing out another router; the
# runner killed with SIGKILL at a random moment and started again; the store's writer killed
# mid-write; the new network's gateway not answering; A's router advertising during the change;
# the cable going down and up during the change.  The kinds are dealt in shuffled rounds, so
# each is tried N/12 times (rounded down) or once more.
#
# After every change, whatever its exit code: nothing on the workstation's adapter (IPv4 and
# IPv6 addresses, routes of every table, neighbour entries, name servers) belongs to a network
# other than the one the switch box connects; the exit code matches what the lab sees; the
# change has exactly one completed audit record and its outcome matches the exit code.  After a
# killed runner the state just after the kill is recorded, and the run started again must leave
# a clean workstation and report the interrupted change.  The killed store writer works on a
# copy of the store whose every value differs from what it writes: each value must afterwards
# be either the old or the new one.  Then the same change, fault cleared, must succeed.
# Prints a table per fault kind and last "faults: N tried, V violations"; the exit status is 1
# when there were violations.  Needs root, busybox, radvd, python3, sqlite3, jq and the host
# build of nvchange and switchbox (NV_BIN_DIR).
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SELF=$ROOT/scripts/lab/faults.sh
KINDS=(switchbox-off switchbox-ignore dhcp-a-silent dhcp-a-nak dhcp-b-rogue emulation-mac emulation-router
  runner-killed store-writer-killed gateway-silent router-advert-a link-flap)
# NV_FAULTS_KINDS="kind ..." deals only those kinds (to look into one of them).
if [ -n "${NV_FAULTS_KINDS:-}" ]; then
  read -r -a KINDS <<<"$NV_FAULTS_KINDS"
fi

usage() {
  echo "usage: $0 [-j K] N [SEED]" >&2
  exit 64
}

# ---- the whole campaign: deal the faults, run the labs, add up ------------------------------

campaign() {
  local jobs=1 short=0
  while [ $# -gt 0 ]; do
    case $1 in
      --short) short=1; shift ;;
      -j) jobs=${2:-}; shift 2 ;;
      -j*) jobs=${1#-j}; shift ;;
      *) break ;;
    esac
  done
  local n=${1:-} seed=${2:-$(date +%s)}
  if [ $short = 1 ]; then
    [ $# = 0 ] || usage
    n=${#KINDS[@]} seed=4242 jobs=6
    export NV_LAB_PREFIX=${NV_LAB_PREFIX:-nvq$$}
  fi
  case $n in '' | *[!0-9]*) usage ;; esac
  case $jobs in '' | *[!0-9]* | 0) usage ;; esac
  case $seed in *[!0-9]*) echo "faults: SEED must be a number" >&2; exit 64 ;; esac
  if [ "$(id -u)" != 0 ]; then
    echo "faults: needs root (the lab is built from network namespaces)" >&2
    exit 77
  fi
  local tool
  for tool in busybox radvd python3 sqlite3 jq; do
    command -v $tool >/dev/null || { echo "faults: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
  done
  export NV_BIN_DIR=${NV_BIN_DIR:-$ROOT/build/host/bin}
  [ -x "$NV_BIN_DIR/nvchange" ] || { echo "faults: $NV_BIN_DIR/nvchange is not built" >&2; exit 1; }
  [ "$jobs" -gt "$n" ] && [ "$n" -gt 0 ] && jobs=$n
  local run=${NV_FAULTS_DIR:-$(mktemp -d /tmp/nvfaults.XXXXXX)}
  mkdir -p "$run"
  local base=${NV_LAB_PREFIX:-nvflt}

  # The deck: shuffled rounds of every kind, the same for a given SEED and N.
  RANDOM=$seed
  local deck=() round i j t
  while [ ${#deck[@]} -lt "$n" ]; do
    round=("${KINDS[@]}")
    for ((i = ${#round[@]} - 1; i > 0; i--)); do
      j=$((RANDOM % (i + 1)))
      t=${round[i]} round[i]=${round[j]} round[j]=$t
    done
    deck+=("${round[@]}")
  done
  printf '%s\n' "${deck[@]:0:$n}" >"$run/deck"

  echo "faults: seed $seed, $n changes, $jobs lab(s) ${base}1..${base}$jobs, details in $run"
  local start=$SECONDS pids=() w
  trap 'echo "faults: interrupted" >&2; kill -TERM "${pids[@]}" 2>/dev/null; wait; exit 130' INT TERM
  for ((w = 1; w <= jobs; w++)); do
    # Every second lab has no IPv6 router on B, so that both kinds of network B are tried.
    NV_LAB_B_IPV6=$([ $((w % 2)) = 0 ] && echo none || echo prefix) NV_LAB_PREFIX=$base$w NV_LAB_DIR=$run/lab$w \
      bash "$SELF" --worker "$w" "$jobs" "$seed" "$run" &
    pids+=($!)
  done
  local failed=0 p
  for p in "${pids[@]}"; do wait "$p" || failed=1; done
  trap - INT TERM
  local took=$((SECONDS - start))

  local results=$run/results
  cat "$run"/worker*.results 2>/dev/null | sort -n >"$results"
  cat "$run"/worker*.log 2>/dev/null >"$run/faults.log"
  local tried violations k
  tried=$(wc -l <"$results")
  violations=$(awk -F'\t' '$5 != "ok"' "$results" | wc -l)
  echo
  printf '%-20s %6s %11s %8s\n' "fault kind" tried violations "mean s"
  for k in "${KINDS[@]}"; do
    awk -F'\t' -v k="$k" '$2 == k { n++; if ($5 != "ok") v++; s += $6 }
      END { printf "%-20s %6d %11d %8.1f\n", k, n, v, n ? s / n : 0 }' "$results"
  done
  echo "exit codes of the faulty changes: $(cut -f4 "$results" | sort | uniq -c | awk '{printf "%s x%s  ", $2, $1}')"
  echo "seed $seed; $jobs lab(s); took ${took} s; details in $run/faults.log"
  if [ "$tried" != "$n" ] || [ $failed = 1 ]; then
    echo "faults: only $tried of $n changes ran (a lab failed; see $run/worker*.err)" >&2
    echo "faults: $tried tried, $violations violations"
    exit 1
  fi
  echo "faults: $n tried, $violations violations"
  [ "$violations" = 0 ] || return 1
  [ $short = 1 ] && [ -z "${NV_FAULTS_DIR:-}" ] && rm -rf "$run"
  return 0
}

# ---- one lab: its share of the deck -----------------------------------------------------------

worker() {
  WORKER=$1 JOBS=$2 SEED=$3 RUN=$4
  exec 2>>"$RUN/worker$WORKER.err"
  RESULTS=$RUN/worker$WORKER.results
  REPORT=$RUN/worker$WORKER.log
  : >"$RESULTS"
  : >"$REPORT"
  mkdir -p "$NV_LAB_DIR"
  export NV_REGISTRY_DB=$NV_LAB_DIR/registry.db
  export NV_RESOLV_CONF=$NV_LAB_DIR/resolv-eth0.conf
  LAB="bash $ROOT/scripts/lab.sh"
  RUNNER=$NV_BIN_DIR/nvchange
  INSTALL=$NV_LAB_DIR/install
  AUDIT=$INSTALL/Log/audit.jsonl
  trap 'worker_cleanup' EXIT
  trap 'exit 130' INT TERM

  local tries
  for tries in 1 2; do
    $LAB up >"$NV_LAB_DIR/lab-up.log" 2>&1 && break
    [ $tries = 2 ] && { cat "$NV_LAB_DIR/lab-up.log" >&2; exit 1; }
    $LAB down >/dev/null 2>&1
  done
  eval "$($LAB env)"
  NS_WS=$NV_LAB_NS_WS NS_BOX=$NV_LAB_NS_BOX NS_A=$NV_LAB_NS_A NS_B=$NV_LAB_NS_B
  IF=$NV_LAB_WS_IF
  NET4=("${NV_LAB_A_NET%.*}." "${NV_LAB_B_NET%.*}.")
  GW=("$NV_LAB_A_GATEWAY" "$NV_LAB_B_GATEWAY")
  ROUTER_LL=("$NV_LAB_A_ROUTER_LL" "$NV_LAB_B_ROUTER_LL")
  NET6_A=$(prefixes6 "$NV_LAB_A_IPV6") NET6_B=$(prefixes6 "$NV_LAB_B_IPV6")
  mkdir -p "$INSTALL"
  ws "$RUNNER" --configure-lab "$IF" "$INSTALL" >/dev/null || exit 1
  CONFIGURED=$(settings "$NV_REGISTRY_DB")

  local deck line=0 kind
  mapfile -t deck <"$RUN/deck"
  RANDOM=$((SEED * 31 + WORKER))
  current=0
  local mine=0 done_count=0
  for kind in "${deck[@]}"; do
    line=$((line + 1))
    [ $(((line - 1) % JOBS)) = $((WORKER - 1)) ] || continue
    mine=$((mine + 1))
  done
  line=0
  for kind in "${deck[@]}"; do
    line=$((line + 1))
    [ $(((line - 1) % JOBS)) = $((WORKER - 1)) ] || continue
    one_fault "$line" "$kind"
    done_count=$((done_count + 1))
    [ $((done_count % 25)) = 0 ] && echo "faults: lab $WORKER: $done_count of $mine done" >&2
  done
  return 0
}

worker_cleanup() {
  [ -n "${UDHCPD:-}" ] && kill -CONT "$UDHCPD" 2>/dev/null
  stop_helpers
  $LAB down >/dev/null 2>&1
}

ws() { ip netns exec "$NS_WS" "$@"; }
wsip() { ip -n "$NS_WS" "$@"; }  # lighter than entering the namespace
letter() { [ "$1" = 0 ] && echo A || echo B; }
prefixes6() { tr ',' '\n' <<<"$1" | sed -n 's|::/64$|:|p' | tr '\n' ' '; }

# Every setting of a store but the last frame burst's time, which each change rewrites.
settings() {
  sqlite3 -readonly -cmd ".timeout 5000" "$1" \
    "select k.name, v.name, v.type, hex(v.data) from vals v join keys k on k.id = v.key
     where v.fold <> 'DWLASTSEND' order by k.id, v.fold" 2>&1
}

cable() { # 0, 1 or none: where the box has put the cable
  case $(ip -n "$NS_BOX" -o link show cable) in
    *"master br-a"*) echo 0 ;; *"master br-b"*) echo 1 ;; *) echo none ;;
  esac
}

# Everything on the adapter, one item a line as "what<TAB>text": addresses (not link-local),
# routes of every table, neighbour entries that can carry traffic, name servers.
adapter_items() {
  wsip -o addr show dev "$IF" | awk '$3 == "inet" || $3 == "inet6" {print "address\t" $4}'
  { wsip -4 route show table all dev "$IF"; wsip -6 route show table all dev "$IF"; } | sed 's/^/route\t/'
  wsip neigh show dev "$IF" | grep -Ev 'FAILED|INCOMPLETE|NOARP' | sed 's/^/neighbour\t/'
  awk '$1 == "nameserver" {print "name server\t" $2}' "$NV_RESOLV_CONF" 2>/dev/null
}

# Items of network $1 on the adapter, one a line.  An item belongs to every network one of its
# addresses belongs to; a link-local neighbour is nobody's (its lladdr says nothing).
items_of() {
  adapter_items | awk -F'\t' -v want="$1" -v a4="${NET4[0]}" -v b4="${NET4[1]}" -v lla="${ROUTER_LL[0]}" \
    -v llb="${ROUTER_LL[1]}" -v a6="$NET6_A" -v b6="$NET6_B" '
    function net(x,   i, n, p) {
      sub(/\/.*/, "", x)
      if (index(x, a4) == 1) return 0
      if (index(x, b4) == 1) return 1
      if (x == lla) return 0
      if (x == llb) return 1
      if (x ~ /^fe80:/) return "ll"
      n = split(a6, p, " "); for (i = 1; i <= n; i++) if (index(x, p[i]) == 1) return 0
      n = split(b6, p, " "); for (i = 1; i <= n; i++) if (index(x, p[i]) == 1) return 1
      return "?"
    }
    $1 == "" { next }
    {
      n = split($2, tok, " "); hit = 0
      if ($1 == "neighbour") { n = 1; if (tok[1] ~ /^fe80:/) n = 0 }
      for (i = 1; i <= n; i++)
        if (tok[i] ~ /^[0-9a-f:.\/]+$/ && tok[i] ~ /[:.]/ && net(tok[i]) == want) hit = 1
      if (hit) print $1 "\t" $2
    }'
}

# "2 addresses (a, b), 1 route (default via x)..." for items_of's lines.
summary() {
  awk -F'\t' '$1 != "" {
      split($2, t, " "); short = ($1 == "route" && t[1] ~ /^(local|broadcast|multicast|anycast)$/) ? t[1] " " t[2] : t[1]
      if ($1 == "route" && t[2] == "via") short = t[1] " via " t[3]
      n[$1]++; if (n[$1] <= 3) list[$1] = list[$1] (n[$1] > 1 ? ", " : "") short }
    END { for (w in n) printf "%d %s(s) (%s%s); ", n[w], w, list[w], (n[w] > 3 ? ", ..." : "") }' <<<"$1"
}

problems=()
fail() { problems+=("$1"); }

reflection_filters() { tc -n "$NS_WS" filter show dev "$IF" egress 2>/dev/null | grep -c mirred; }

# Nothing of the network that is not on the wire, in every branch; and no filter of the DHCP
# emulation left behind (it would keep every later DHCP request off the wire).
check_wire() {
  local on other left filters
  filters=$(reflection_filters)
  [ "$filters" = 0 ] || fail "$filters reflection filter(s) of the emulation left on the adapter"
  on=$(cable)
  [ "$on" = none ] && return
  other=$((1 - on))
  left=$(items_of "$other")
  [ -z "$left" ] || fail "on network $(letter "$on")'s wire, of network $(letter "$other"): $(summary "$left")"
}

default_gw() { wsip -4 route show default dev "$IF" | awk '/via/ {print $3; exit}'; }
pings() { ws busybox ping -c 1 -W 2 "$1" >/dev/null 2>&1; }

# The exit code against what the lab sees after a change to $1.
check_exit() {
  local target=$1 rc=$2
  case $rc in
    0)
      [ "$(cable)" = "$target" ] || fail "exit 0 but the cable is on $(cable)"
      [ "$(default_gw)" = "${GW[$target]}" ] || fail "exit 0 but the default route is via '$(default_gw)'"
      pings "${GW[$target]}" || fail "exit 0 but ${GW[$target]} does not answer"
      wsip -4 -o addr show dev "$IF" | grep -q " ${NET4[$target]}" || fail "exit 0 but no address of the target"
      ;;
    2) [ "$(cable)" != "$target" ] || fail "exit 2 (abandoned) but the cable is on the target" ;;
    3) [ "$(default_gw)" = "${GW[$target]}" ] && pings "${GW[$target]}" &&
         fail "exit 3 (gateway) but ${GW[$target]} answers through the default route" ;;
    4) ;;  # not isolated: what is left is judged by check_wire
    *) fail "exit $rc" ;;
  esac
}

# Audit records written since line $1 of the audit file, as "kind<TAB>outcome" lines.
audit_since() {
  [ -r "$AUDIT" ] || return 0
  tail -n +"$(($1 + 1))" "$AUDIT" | jq -r '
    (if .record then .record elif .outcome == "started" then "started"
     elif (.outcome // "" | test("^interrupted")) then "interrupted" else "completed" end)
    + "\t" + (.outcome // "")' 2>/dev/null || echo "unreadable	$(tail -n +"$(($1 + 1))" "$AUDIT" | head -c 200)"
}
audit_lines() { [ -r "$AUDIT" ] && wc -l <"$AUDIT" || echo 0; }

# Exactly one completed record for the run, its outcome matching the exit code; $3 the number
# of interrupted changes this run must report.
check_audit() {
  local from=$1 rc=$2 interrupted=${3:-0} records completed outcome
  records=$(audit_since "$from")
  completed=$(grep -c '^completed' <<<"$records")
  [ "$completed" = 1 ] || fail "$completed completed audit records for one change: $(tr '\n\t' '; ' <<<"$records")"
  [ "$(grep -c '^interrupted' <<<"$records")" = "$interrupted" ] ||
    fail "expected $interrupted interrupted-change record(s): $(tr '\n\t' '; ' <<<"$records")"
  outcome=$(awk -F'\t' '$1 == "completed" {print $2; exit}' <<<"$records")
  case $rc in
    0) [ "$outcome" = changed ] || fail "exit 0 but the audit outcome is '$outcome'" ;;
    2) [[ $outcome == abandoned* ]] || fail "exit 2 but the audit outcome is '$outcome'" ;;
    4) [[ $outcome == *"not isolated"* ]] || fail "exit 4 but the audit outcome is '$outcome'" ;;
    *) [ "$outcome" != changed ] || fail "exit $rc but the audit outcome is 'changed'" ;;
  esac
}

# Leaves a neighbour entry of the network on the wire, so that the change has one to remove.
touch_neighbours() {
  local on p
  on=$(cable)
  [ "$on" = none ] && return
  [ "$on" = 0 ] && p=${NET6_A%% *} || p=${NET6_B%% *}
  [ -n "$p" ] && ws busybox ping -6 -c 1 -W 1 "${p}:1" >/dev/null 2>&1
  return 0
}

run_change() { # TARGET [runner options...]: sets RC and OUT, checks the wire, the exit and the audit
  local target=$1 before
  shift
  before=$(audit_lines)
  local t0
  t0=$(date +%s%N)
  OUT=$(ws "$RUNNER" --quiet --gateway-wait 3000 "$@" "$(letter "$target")" 2>&1)
  RC=$?
  [ "$RC" = 0 ] && CHANGE_MS=$((($(date +%s%N) - t0) / 1000000))
  check_wire
  check_exit "$target" "$RC"
  check_audit "$before" "$RC"
}

clean_change() { # a change without fault; it must succeed
  run_change "$1"
  [ "$RC" = 0 ] || fail "the change to $(letter "$1") without the fault ended with $RC: $(tail -n 2 <<<"$OUT" | tr '\n' ' ')"
  current=$1
}

sleep_ms() { sleep "$(($1 / 1000)).$(printf %03d $(($1 % 1000)))"; }

# A change in the background, with `inject` called at a random moment of it.
change_with() { # TARGET MAX_DELAY_MS INJECT...
  local target=$1 max=$2 out=$NV_LAB_DIR/runner.out before pid delay
  shift 2
  before=$(audit_lines)
  ip netns exec "$NS_WS" "$RUNNER" --quiet --gateway-wait 3000 "$(letter "$target")" >"$out" 2>&1 &
  pid=$!
  delay=$((RANDOM % max))
  sleep_ms "$delay"
  "$@"
  wait "$pid"
  RC=$?
  OUT=$(cat "$out")
  NOTE="fault injected $delay ms into the change"
  check_wire
  check_exit "$target" "$RC"
  check_audit "$before" "$RC"
}

state_line() {
  printf 'cable %s; %s; tc: %s' "$(cable)" "$(summary "$(adapter_items)")" \
    "$(reflection_filters) reflection filter(s)"
}

# ---- helpers the faults start and stop --------------------------------------------------------

ROGUE_PID=
NAK_PID=
stop_helpers() {
  [ -n "${ROGUE_PID:-}" ] && kill -TERM "$ROGUE_PID" 2>/dev/null && wait "$ROGUE_PID" 2>/dev/null
  [ -n "${NAK_PID:-}" ] && kill -TERM "$NAK_PID" 2>/dev/null && wait "$NAK_PID" 2>/dev/null
  ROGUE_PID= NAK_PID=
}

start_rogue() { # a DHCP server on B that hands out addresses of A's subnet
  cat >"$NV_LAB_DIR/rogue.conf" <<EOF
interface br0
start ${NET4[0]}160
end ${NET4[0]}170
lease_file $NV_LAB_DIR/rogue.leases
pidfile $NV_LAB_DIR/rogue.pid
option subnet 255.255.255.0
option router ${GW[0]}
option dns $NV_LAB_A_DNS
option lease 600
EOF
  : >"$NV_LAB_DIR/rogue.leases"
  ip netns exec "$NS_B" busybox udhcpd -f -a 100 "$NV_LAB_DIR/rogue.conf" >>"$NV_LAB_DIR/rogue.log" 2>&1 &
  ROGUE_PID=$!
}

start_nak() { # A's real server stopped, a server that refuses every lease in its place
  UDHCPD=$(cat "$NV_LAB_UDHCPD_PID_FILE")
  kill -STOP "$UDHCPD"
  ip netns exec "$NS_A" python3 "$ROOT/scripts/lab/dhcp-nak.py" br0 "${GW[0]}" "${NET4[0]}140" \
    "$NV_LAB_DIR/nak.pid" >>"$NV_LAB_DIR/nak.log" 2>&1 &
  NAK_PID=$!
  local i
  for i in $(seq 50); do [ -s "$NV_LAB_DIR/nak.pid" ] && break; sleep 0.05; done
}

link_flap() {
  ip -n "$NS_BOX" link set cable down
  sleep_ms $((100 + RANDOM % 900))
  ip -n "$NS_BOX" link set cable up
}

advertise_a() {
  kill -HUP "$(cat "$NV_LAB_RADVD_A_PID_FILE")"
  sleep_ms $((RANDOM % 1500))
  kill -HUP "$(cat "$NV_LAB_RADVD_A_PID_FILE")"
}

# The store's writer killed mid-write, on a copy of the store whose every value differs from
# what it writes: each value must be the old or the new one afterwards, none lost or torn.
store_writer_killed() {
  local copy=$NV_LAB_DIR/writer.db before after delay
  rm -f "$copy" "$copy-wal" "$copy-shm"
  sqlite3 "$NV_REGISTRY_DB" ".timeout 5000" ".backup '$copy'" ||
    { fail "cannot copy the store"; return; }
  sqlite3 "$copy" "update vals set data = data || x'7e' where fold <> 'DWLASTSEND'"
  before=$(settings "$copy")
  [ "$before" != "$CONFIGURED" ] || { fail "the baseline equals the configured values"; return; }
  # `ip netns exec` becomes the program, so $! is the writer itself.  The values are written in
  # a short burst after the program's start: the kill falls between the latest moment that
  # found nothing written and the earliest that found everything (learnt from the earlier
  # kills of this lab), widened a little, so that most kills land inside the burst.
  local t0 t1 lo hi
  t0=$(date +%s%N)
  NV_REGISTRY_DB=$copy.timing ip netns exec "$NS_WS" "$RUNNER" --configure-lab "$IF" "$INSTALL" >/dev/null 2>&1
  t1=$(date +%s%N)
  rm -f "$copy.timing" "$copy.timing-wal" "$copy.timing-shm"
  lo=${STORE_NOTHING_MS:-0} hi=${STORE_ALL_MS:-$(((t1 - t0) / 1000000))}
  [ "$lo" -lt "$hi" ] || { lo=0 hi=$(((t1 - t0) / 1000000)); STORE_NOTHING_MS= STORE_ALL_MS=; }
  lo=$((lo * 8 / 10)) hi=$((hi * 12 / 10 + 1))
  NV_REGISTRY_DB=$copy ip netns exec "$NS_WS" "$RUNNER" --configure-lab "$IF" "$INSTALL" >/dev/null 2>&1 &
  local writer=$!
  delay=$((lo + (RANDOM * 32768 + RANDOM) % (hi - lo)))
  sleep_ms "$delay"
  kill -KILL "$writer" 2>/dev/null
  wait "$writer" 2>/dev/null
  after=$(settings "$copy")
  [ "$(sqlite3 "$copy" "pragma integrity_check" 2>&1)" = ok ] || fail "the store is damaged after the killed writer"
  local torn changed
  # Per value (key, name, type): now the configured value or the one before; never another.
  torn=$(awk -F'|' '
    FILENAME == ARGV[1] { conf[$1 "|" $2 "|" $3] = $4; next }
    FILENAME == ARGV[2] { old[$1 "|" $2 "|" $3] = $4; next }
    { k = $1 "|" $2 "|" $3; seen[k] = 1
      if (!(k in conf)) print k " added"
      else if ($4 != conf[k] && $4 != old[k]) print k " torn" }
    END { for (k in conf) if (!(k in seen)) print k " lost" }' \
    <(echo "$CONFIGURED") <(echo "$before") <(echo "$after"))
  [ -z "$torn" ] || fail "killed writer after $delay ms left values neither old nor new: $(head -3 <<<"$torn" | tr '\n' ' ')"
  changed=$(diff <(echo "$before") <(echo "$after") | grep -c '^>')
  local total
  total=$(wc -l <<<"$before")
  if [ "$changed" = 0 ] && [ "$delay" -gt "${STORE_NOTHING_MS:-0}" ]; then STORE_NOTHING_MS=$delay; fi
  if [ "$changed" = "$total" ] && [ "$delay" -lt "${STORE_ALL_MS:-999999}" ]; then STORE_ALL_MS=$delay; fi
  NOTE="writer killed after $delay ms, $changed of $total values written"
  # Written once more without a kill, the copy holds exactly what the writer writes.
  NV_REGISTRY_DB=$copy ip netns exec "$NS_WS" "$RUNNER" --configure-lab "$IF" "$INSTALL" >/dev/null 2>&1 ||
    fail "the writer fails on the store its killed run left"
  [ "$(settings "$copy")" = "$CONFIGURED" ] || fail "the rewritten store differs from the configured values"
  [ "$(settings "$NV_REGISTRY_DB")" = "$CONFIGURED" ] || fail "the workstation's own store changed"
}

# A runner killed at a random moment; the state right after the kill goes to the report; the
# run started again must report the interrupted change (when the killed one had begun) and
# leave a clean workstation.
runner_killed() {
  local target=$1 before delay victim records pending after_kill
  before=$(audit_lines)
  ip netns exec "$NS_WS" "$RUNNER" --quiet "$(letter "$target")" >"$NV_LAB_DIR/killed.out" 2>&1 &
  victim=$!
  # Anywhere in the time a whole change took here last (it varies with the machine's load).
  delay=$(((RANDOM * 32768 + RANDOM) % (${CHANGE_MS:-4500} + 1)))
  sleep_ms "$delay"
  kill -KILL "$victim" 2>/dev/null
  wait "$victim" 2>/dev/null
  after_kill=$(state_line)
  records=$(audit_since "$before")
  pending=0
  grep -q '^started' <<<"$records" && ! grep -q '^completed' <<<"$records" && pending=1
  printf 'change %d: runner killed after %d ms (%s begun): %s\n' "$N_CHANGE" "$delay" \
    "$([ $pending = 1 ] && echo change || echo nothing)" "$after_kill" >>"$REPORT"
  # Started again.
  before=$(audit_lines)
  OUT=$(ws "$RUNNER" --quiet --gateway-wait 3000 "$(letter "$target")" 2>&1)
  RC=$?
  check_wire
  check_exit "$target" "$RC"
  check_audit "$before" "$RC" "$pending"
  [ "$RC" = 0 ] || fail "the run started again after the kill ended with $RC"
  if [ $pending = 1 ]; then
    grep -qi 'interrupted' <<<"$OUT" || fail "the run started again does not report the interrupted change"
  fi
  NOTE="runner killed after $delay ms; just after the kill: $after_kill"
}

one_fault() {
  N_CHANGE=$1
  local kind=$2 target held gw_ns rc_fault fault_out began=$SECONDS
  case $kind in
    dhcp-a-silent | dhcp-a-nak) target=0 ;;
    dhcp-b-rogue | emulation-mac | emulation-router | router-advert-a) target=1 ;;
    *) target=$((1 - current)) ;;
  esac
  problems=()
  # Start from the other network, so that the change really moves.
  if [ "$current" = "$target" ]; then
    clean_change $((1 - target))
    [ ${#problems[@]} = 0 ] || problems=("before the fault: ${problems[*]}")
  fi
  touch_neighbours
  OUT= RC= NOTE=
  case $kind in
    switchbox-off)
      held=$(cable)
      $LAB switchbox stop >/dev/null
      run_change "$target"
      NV_LAB_SWITCHBOX_INITIAL=$([ "$held" = 1 ] && echo b || echo a) $LAB switchbox start >/dev/null
      ;;
    switchbox-ignore)
      kill -USR1 "$(cat "$NV_LAB_SWITCHBOX_PID_FILE")"
      run_change "$target"
      ;;
    dhcp-a-silent)
      UDHCPD=$(cat "$NV_LAB_UDHCPD_PID_FILE")
      kill -STOP "$UDHCPD"
      run_change "$target"
      kill -CONT "$UDHCPD"
      UDHCPD=
      ;;
    dhcp-a-nak)
      start_nak
      run_change "$target"
      stop_helpers
      kill -CONT "$UDHCPD"
      UDHCPD=
      ;;
    dhcp-b-rogue)
      start_rogue
      run_change "$target"
      stop_helpers
      ;;
    emulation-mac) run_change "$target" --fault-emulation-mac 02:00:00:00:00:99 ;;
    emulation-router) run_change "$target" --fault-emulation-gateway "${NET4[1]}99" ;;
    runner-killed) runner_killed "$target" ;;
    store-writer-killed)
      store_writer_killed
      RC=-
      ;;
    gateway-silent)
      [ "$target" = 0 ] && gw_ns=$NS_A || gw_ns=$NS_B
      ip netns exec "$gw_ns" sysctl -qw net.ipv4.icmp_echo_ignore_all=1
      run_change "$target"
      ip netns exec "$gw_ns" sysctl -qw net.ipv4.icmp_echo_ignore_all=0
      ;;
    router-advert-a) change_with "$target" 3000 advertise_a ;;
    link-flap) change_with "$target" 4500 link_flap ;;
  esac
  rc_fault=$RC fault_out=$OUT
  [ "$(settings "$NV_REGISTRY_DB")" = "$CONFIGURED" ] || fail "the stored settings changed"
  clean_change "$target"

  local verdict=ok
  if [ ${#problems[@]} -gt 0 ]; then
    verdict=VIOLATION
    printf 'change %d (%s, to %s, exit %s): VIOLATION: %s\n' "$N_CHANGE" "$kind" "$(letter "$target")" \
      "$rc_fault" "$(printf '%s; ' "${problems[@]}")" | tee -a "$REPORT"
    [ -n "$NOTE" ] && printf '  fault: %s\n' "$NOTE" >>"$REPORT"
    printf '  runner said: %s\n' "$(tr '\n' '|' <<<"$fault_out" | tail -c 800)" >>"$REPORT"
  else
    printf 'change %d (%s, to %s, exit %s): ok%s\n' "$N_CHANGE" "$kind" "$(letter "$target")" "$rc_fault" \
      "$([ "$kind" = store-writer-killed ] && echo " ($NOTE)")" >>"$REPORT"
  fi
  printf '%d\t%s\t%s\t%s\t%s\t%d\n' "$N_CHANGE" "$kind" "$(letter "$target")" "$rc_fault" "$verdict" \
    $((SECONDS - began)) >>"$RESULTS"
}

# ---- the checks' own test: which network each kind of item is judged to belong to ----------

# Lines "network<TAB>what<TAB>item" (network 0, 1 or - for nobody's), fed to items_of in place
# of the adapter; each must be judged as its line says.  Needs no lab and no root.
self_test() {
  NET4=(10.91.1. 10.92.1.) ROUTER_LL=(fe80::a:1 fe80::b:1)
  NET6_A="2001:db8:91:1: fd6e:7600:91:1: " NET6_B="2001:db8:92:1: "
  local table='0	address	10.91.1.128/24
1	address	10.92.1.50/24
0	address	2001:db8:91:1:6e:76ff:fe00:1/64
0	address	fd6e:7600:91:1:3c47:6144:c203:273e/64
1	address	2001:db8:92:1:21a1:cbb:f829:a762/64
-	address	fe80::6e:76ff:fe00:1/64
0	route	default via 10.91.1.1 dev eth0
1	route	default via fe80::b:1 proto ra metric 1024 expires 1796sec hoplimit 64 pref medium
0	route	default via fe80::a:1 proto ra metric 1024
0	route	10.91.1.0/24 proto kernel scope link src 10.91.1.128
0	route	broadcast 10.91.1.255 table local proto kernel scope link src 10.91.1.128
1	route	local 10.92.1.50 table local proto kernel scope host src 10.92.1.50
0	route	fd6e:7600:91:1::/64 proto kernel metric 256 expires 86396sec pref medium
1	route	local 2001:db8:92:1:6e:76ff:fe00:1 table local proto kernel metric 0 pref medium
both	route	10.92.1.0/24 via 10.91.1.1 metric 500
-	route	fe80::/64 proto kernel metric 256 pref medium
-	route	multicast ff00::/8 table local proto kernel metric 256 pref medium
-	route	10.93.0.0/16 via 10.93.0.1
0	neighbour	10.91.1.1 lladdr 02:6e:76:0a:00:01 STALE
1	neighbour	2001:db8:92:1::1 lladdr 02:6e:76:0b:00:01 router REACHABLE
-	neighbour	fe80::a:1 lladdr 02:6e:76:0a:00:01 router STALE
-	neighbour	fe80::1 lladdr 02:6e:76:0a:00:01 router STALE
0	name server	10.91.1.53
1	name server	10.92.1.53'
  adapter_items() { cut -f2- <<<"$table"; }
  local bad=0 want what item got0 got1 got of0 of1
  of0=$(items_of 0) of1=$(items_of 1)
  while IFS=$'\t' read -r want what item; do
    got0=$(grep -cxF "$what	$item" <<<"$of0")
    got1=$(grep -cxF "$what	$item" <<<"$of1")
    got=-
    [ "$got0" = 1 ] && got=0
    [ "$got1" = 1 ] && got=1
    [ "$got0" = 1 ] && [ "$got1" = 1 ] && got=both
    if [ "$got" != "$want" ]; then
      echo "faults self-test: $what '$item' judged $got, should be $want" >&2
      bad=$((bad + 1))
    fi
  done <<<"$table"
  # And a leftover is told in a few words.
  local told
  told=$(summary "$(printf 'route\tdefault via fe80::a:1 proto ra\naddress\t10.91.1.128/24')")
  [[ $told == *"1 route(s) (default via fe80::a:1)"* && $told == *"1 address(s) (10.91.1.128/24)"* ]] ||
    { echo "faults self-test: summary says '$told'" >&2; bad=$((bad + 1)); }
  echo "faults self-test: $(wc -l <<<"$table") items judged, $bad wrong"
  [ $bad = 0 ]
}

case ${1:-} in
  --worker) shift; worker "$@" ;;
  --self-test) self_test ;;
  *) self_test >/dev/null || exit 1; campaign "$@" ;;
esac
