#!/usr/bin/env bash
# The Netvane lab: a workstation, the switch box and networks A and B as Linux
# network namespaces.  See scripts/lab/README.md for the layout.
#
#   lab.sh up | down | status | env
#   lab.sh exec WS|BOX|A|B cmd...
#   lab.sh switchbox start|stop
#   lab.sh dhcp-client start|stop
#   lab.sh router-adverts A|B start|stop|now
#
# Environment: NV_LAB_PREFIX (namespace prefix, default nvlab), NV_LAB_DIR
# (state folder, default build/lab), NV_BIN_DIR (switchbox binaries, default
# build/host/bin), NV_LAB_DHCP_CLIENT=0 (up without udhcpc),
# NV_LAB_SWITCHBOX_INITIAL=a|b|none (what the box connects when it starts),
# NV_LAB_B_IPV6=prefix|none (whether network B advertises an IPv6 prefix),
# NV_LAB_CLIENT=udhcpc|dhclient|dhcpcd|networkd (the workstation's DHCP client, default udhcpc).
set -u

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PREFIX=${NV_LAB_PREFIX:-nvlab}
LAB=${NV_LAB_DIR:-$ROOT/build/lab}
BIN=${NV_BIN_DIR:-$ROOT/build/host/bin}
BUSYBOX=${NV_BUSYBOX:-busybox}
DHCP_CLIENT=${NV_LAB_DHCP_CLIENT:-1}
SWITCHBOX_INITIAL=${NV_LAB_SWITCHBOX_INITIAL:-a}
WAIT_S=${NV_LAB_WAIT:-15}
B_IPV6=${NV_LAB_B_IPV6:-prefix}
LAB_CLIENT=${NV_LAB_CLIENT:-udhcpc}

NS_WS=$PREFIX-ws
NS_BOX=$PREFIX-box
NS_A=$PREFIX-a
NS_B=$PREFIX-b

WS_IF=eth0
WS_MAC=02:6e:76:00:00:01
A_GATEWAY=10.91.1.1
A_PREFIXLEN=24
A_POOL_START=10.91.1.100
A_POOL_END=10.91.1.150
A_DNS=10.91.1.53
B_GATEWAY=10.92.1.1
B_PREFIXLEN=24
B_ADDRESS=10.92.1.50
B_MASK=255.255.255.0
B_DNS=10.92.1.53
# IPv6: each network's router advertises its prefixes (SLAAC) from a link-local address of its
# own; B's global prefix can be switched off (NV_LAB_B_IPV6=none).
A_IPV6_PREFIXES=(2001:db8:91:1::/64 fd6e:7600:91:1::/64)
A_ROUTER_LL=fe80::a:1
A_ROUTER_MAC=02:6e:76:0a:00:01
B_IPV6_PREFIXES=(2001:db8:92:1::/64)
B_ROUTER_LL=fe80::b:1
B_ROUTER_MAC=02:6e:76:0b:00:01
[ "$B_IPV6" = none ] && B_IPV6_PREFIXES=()

SWITCHBOX_PID=$LAB/switchbox.pid
SWITCHBOX_LOG=$LAB/switchbox.log
UDHCPD_PID=$LAB/udhcpd-a.pid
UDHCPD_LOG=$LAB/udhcpd-a.log
UDHCPC_PID=$LAB/udhcpc-$WS_IF.pid
UDHCPC_LOG=$LAB/udhcpc-$WS_IF.log
UDHCPC_SCRIPT=$ROOT/scripts/lab/udhcpc.script
CLIENT_KEEPER_PID=$LAB/dhcp-client-keeper.pid
# dhcpcd keeps its pid file, control socket and leases in fixed system folders: in the lab it
# runs in a mount namespace of the workstation's own (held by this process), where those
# folders and /etc/dhcpcd.conf are the lab's.  `exec WS` enters it too.
WS_HOLDER_PID=$LAB/ws-mounts.pid
case $LAB_CLIENT in
  dhclient) CLIENT_PID=$LAB/dhclient-$WS_IF.pid ;;
  dhcpcd) CLIENT_PID=$LAB/dhcpcd-$WS_IF.pid ;;
  networkd) CLIENT_PID=$LAB/networkd.pid ;;
  *) CLIENT_PID=$UDHCPC_PID ;;
esac

say() { echo "lab: $*"; }
die() {
  echo "lab: $*" >&2
  exit 1
}

need_root() {
  [ "$(id -u)" = 0 ] || die "needs root (it creates network namespaces); run it with sudo"
}

check_prefix() {
  [[ $PREFIX =~ ^[a-z][a-z0-9-]{0,19}$ ]] || die "NV_LAB_PREFIX must be 1-20 of a-z, 0-9, - (got '$PREFIX')"
  case $LAB_CLIENT in
    udhcpc | dhclient | dhcpcd | networkd) ;;
    *) die "NV_LAB_CLIENT must be udhcpc, dhclient, dhcpcd or networkd (got '$LAB_CLIENT')" ;;
  esac
}

ns_of() {
  case "${1^^}" in
    WS) echo "$NS_WS" ;;
    BOX) echo "$NS_BOX" ;;
    A) echo "$NS_A" ;;
    B) echo "$NS_B" ;;
    *) return 1 ;;
  esac
}

ns_exists() { [ -e "/run/netns/$1" ]; }

# Polls `cmd...` every 0.1 s for at most $1 seconds.
wait_for() {
  local limit=$(($1 * 10)) i=0
  shift
  while ! "$@" 2>/dev/null; do
    i=$((i + 1))
    [ $i -ge $limit ] && return 1
    sleep 0.1
  done
}

# The pid in $1 when that process is alive and its command line names $2; a
# recycled pid of some other program is never signalled.
live_pid() {
  local file=$1 name=$2 pid
  [ -r "$file" ] || return 1
  read -r pid <"$file" 2>/dev/null || return 1
  [[ $pid =~ ^[0-9]+$ ]] || return 1
  tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q -- "$name" || return 1
  echo "$pid"
}

# An ended daemon stays a zombie until init reaps it, which can take seconds.
is_gone() {
  kill -0 "$1" 2>/dev/null || return 0
  [ "$(sed -n 's/^State:[[:space:]]*\([A-Z]\).*/\1/p' "/proc/$1/status" 2>/dev/null)" = Z ]
}

stop_pidfile() {
  local file=$1 name=$2 pid
  if pid=$(live_pid "$file" "$name"); then
    kill -TERM "$pid" 2>/dev/null
    wait_for 3 is_gone "$pid" || kill -KILL "$pid" 2>/dev/null
    wait_for 2 is_gone "$pid"
  fi
  rm -f "$file"
}

# Starts a daemon in a namespace, detached from our session, and waits until
# it has written its own pidfile.  Logs are appended to (`up` empties them),
# so a restarted switch box keeps its history.
start_daemon() {
  local ns=$1 pidfile=$2 log=$3 name=$4
  shift 4
  rm -f "$pidfile"
  setsid ip netns exec "$ns" "$@" </dev/null >>"$log" 2>&1 9>&- &
  if ! wait_for 5 live_pid "$pidfile" "$name" >/dev/null; then
    echo "lab: $name did not start; its log ($log):" >&2
    sed 's/^/  /' "$log" >&2
    return 1
  fi
}

write_env() {
  cat >"$LAB/lab.env" <<EOF
NV_LAB_PREFIX=$PREFIX
NV_LAB_DIR=$LAB
NV_LAB_NS_WS=$NS_WS
NV_LAB_NS_BOX=$NS_BOX
NV_LAB_NS_A=$NS_A
NV_LAB_NS_B=$NS_B
NV_LAB_WS_IF=$WS_IF
NV_LAB_WS_MAC=$WS_MAC
NV_LAB_A_GATEWAY=$A_GATEWAY
NV_LAB_A_NET=10.91.1.0/$A_PREFIXLEN
NV_LAB_A_POOL=$A_POOL_START-$A_POOL_END
NV_LAB_A_DNS=$A_DNS
NV_LAB_B_GATEWAY=$B_GATEWAY
NV_LAB_B_NET=10.92.1.0/$B_PREFIXLEN
NV_LAB_B_ADDRESS=$B_ADDRESS
NV_LAB_B_MASK=$B_MASK
NV_LAB_B_DNS=$B_DNS
NV_LAB_A_IPV6=$(IFS=,; echo "${A_IPV6_PREFIXES[*]}")
NV_LAB_A_ROUTER_LL=$A_ROUTER_LL
NV_LAB_A_ROUTER_MAC=$A_ROUTER_MAC
NV_LAB_B_IPV6=$(IFS=,; echo "${B_IPV6_PREFIXES[*]}")
NV_LAB_B_ROUTER_LL=$B_ROUTER_LL
NV_LAB_B_ROUTER_MAC=$B_ROUTER_MAC
NV_LAB_RADVD_A_PID_FILE=$LAB/radvd-a.pid
NV_LAB_RADVD_B_PID_FILE=$LAB/radvd-b.pid
NV_LAB_SWITCHBOX_PID_FILE=$SWITCHBOX_PID
NV_LAB_SWITCHBOX_LOG=$SWITCHBOX_LOG
NV_LAB_UDHCPD_PID_FILE=$UDHCPD_PID
NV_LAB_UDHCPD_CONF=$LAB/udhcpd-a.conf
NV_LAB_UDHCPC_PID_FILE=$UDHCPC_PID
NV_LAB_UDHCPC_LOG=$UDHCPC_LOG
NV_LAB_UDHCPC_LEASE=$LAB/lease-$WS_IF.env
NV_LAB_CLIENT=$LAB_CLIENT
NV_LAB_CLIENT_PID_FILE=$CLIENT_PID
EOF
}

# ---- switch box -------------------------------------------------------------

switchbox_start() {
  [ -x "$BIN/switchbox" ] ||
    die "no $BIN/switchbox; build it: cmake --preset host && cmake --build --preset host --target switchbox"
  live_pid "$SWITCHBOX_PID" switchbox >/dev/null && return 0
  start_daemon "$NS_BOX" "$SWITCHBOX_PID" "$SWITCHBOX_LOG" switchbox \
    "$BIN/switchbox" --cable cable --port-a br-a --port-b br-b \
    --initial "$SWITCHBOX_INITIAL" --pidfile "$SWITCHBOX_PID" --verbose
}

switchbox_stop() { stop_pidfile "$SWITCHBOX_PID" switchbox; }

# ---- DHCP client on the workstation -----------------------------------------

# The client's command line.  udhcpc gives up after 3 tries 1 s apart or a NAK (its event script
# ends it), so that a renew that nobody answers fails within seconds; keep-client.sh starts it
# again at once.  dhclient and
# dhcpcd run as a desktop runs them, as daemons that keep asking; the network helper stops and
# starts them itself.
dhcp_client_command() {
  CLIENT_NAME=$LAB_CLIENT
  case $LAB_CLIENT in
    udhcpc)
      CLIENT_ARGV=(env NV_LAB_DIR="$LAB" "$BUSYBOX" udhcpc -f -i "$WS_IF" -s "$UDHCPC_SCRIPT" -p "$UDHCPC_PID"
        -t 3 -T 1 -A 1)
      ;;
    dhclient)
      # Its script gets a bare environment: the lab folder is written into a wrapper.
      printf '#!/bin/sh\nNV_LAB_DIR=%q exec %q "$@"\n' "$LAB" "$ROOT/scripts/lab/dhclient.script" >"$LAB/dhclient-script"
      chmod 755 "$LAB/dhclient-script"
      # Quick retries and a short INIT-REBOOT, like udhcpc's; the default waits minutes.
      printf '%s\n' "timeout 20;" "retry 1;" "initial-interval 1;" "backoff-cutoff 2;" "reboot 3;" \
        "request subnet-mask, broadcast-address, routers, domain-name-servers, dhcp-lease-time;" >"$LAB/dhclient.conf"
      CLIENT_ARGV=(dhclient -d -4 -v -pf "$CLIENT_PID" -lf "$LAB/dhclient-$WS_IF.leases" -cf "$LAB/dhclient.conf"
        -sf "$LAB/dhclient-script" "$WS_IF")
      ;;
    dhcpcd)
      printf '#!/bin/sh\nNV_LAB_DIR=%q exec %q "$@"\n' "$LAB" "$ROOT/scripts/lab/dhcpcd.hook" >"$LAB/dhcpcd-hook"
      chmod 755 "$LAB/dhcpcd-hook"
      printf '%s\n' "script $LAB/dhcpcd-hook" "allowinterfaces $WS_IF" ipv4only noipv6rs "timeout 20" \
        "option domain_name_servers, subnet_mask, routers" >"$LAB/dhcpcd.conf"
      # -B: in the foreground, so that its pid is the one written here.
      CLIENT_ARGV=(sh -c 'echo $$ >"$1"; exec dhcpcd -B -4 "$2"' dhcpcd-start "$CLIENT_PID" "$WS_IF")
      ;;
    networkd)
      mkdir -p "$LAB/networkd"
      printf '%s\n' "[Match]" "Name=$WS_IF" "[Network]" "DHCP=ipv4" "IPv6AcceptRA=yes" >"$LAB/networkd/50-$WS_IF.network"
      CLIENT_ARGV=(sh -c 'echo $$ >"$1"; exec /lib/systemd/systemd-networkd' networkd-start "$CLIENT_PID")
      ;;
  esac
}

# The workstation's own mount namespace (dhcpcd, systemd-networkd): for dhcpcd /run/dhcpcd and
# /var/lib/dhcpcd are the lab's folders, /etc/dhcpcd.conf the lab's file; systemd-networkd gets
# /run/systemd, /etc/systemd/network, a system D-Bus of its own (networkctl asks it there) and a
# read-only /sys (so that it does not wait for a udev that the lab does not run).
ws_mounts_start() {
  live_pid "$WS_HOLDER_PID" ws-mounts >/dev/null && return 0
  if [ "$LAB_CLIENT" = networkd ]; then
    start_daemon "$NS_WS" "$WS_HOLDER_PID" "$LAB/ws-mounts.log" ws-mounts \
      unshare --mount --propagation private bash -c 'mount -t tmpfs tmpfs /run/systemd &&
        mkdir -p /run/dbus /run/systemd/netif && mount -t tmpfs tmpfs /run/dbus &&
        chown systemd-network:systemd-network /run/systemd/netif && mount --bind "$1/networkd" /etc/systemd/network &&
        mount -o remount,ro /sys && dbus-daemon --system --fork --nopidfile &&
        echo $$ >"$2" && exec -a ws-mounts sleep infinity' ws-mounts "$LAB" "$WS_HOLDER_PID"
    return
  fi
  [ "$LAB_CLIENT" = dhcpcd ] || return 0
  mkdir -p "$LAB/ws-run-dhcpcd" "$LAB/ws-var-dhcpcd" /run/dhcpcd /var/lib/dhcpcd
  start_daemon "$NS_WS" "$WS_HOLDER_PID" "$LAB/ws-mounts.log" ws-mounts \
    unshare --mount --propagation private bash -c 'mount --bind "$1/ws-run-dhcpcd" /run/dhcpcd &&
      mount --bind "$1/ws-var-dhcpcd" /var/lib/dhcpcd && mount --bind "$1/dhcpcd.conf" /etc/dhcpcd.conf &&
      echo $$ >"$2" && exec -a ws-mounts sleep infinity' ws-mounts "$LAB" "$WS_HOLDER_PID"
}

# Runs a command on the workstation (in its mount namespace when it has one).
ws_run() {
  local holder
  if holder=$(live_pid "$WS_HOLDER_PID" ws-mounts); then
    nsenter --target "$holder" --mount --net "$@"
  else
    ip netns exec "$NS_WS" "$@"
  fi
}

dhcp_client_start() {
  if [ "$LAB_CLIENT" = udhcpc ]; then
    live_pid "$CLIENT_KEEPER_PID" keep-client >/dev/null && return 0
  else
    live_pid "$CLIENT_PID" "$LAB_CLIENT" >/dev/null && return 0
  fi
  dhcp_client_stop
  rm -f "$LAB/lease-$WS_IF.env"
  dhcp_client_command
  if [ "$LAB_CLIENT" = udhcpc ]; then
    start_daemon "$NS_WS" "$CLIENT_KEEPER_PID" "$UDHCPC_LOG" keep-client \
      bash "$ROOT/scripts/lab/keep-client.sh" "$CLIENT_KEEPER_PID" "$UDHCPC_PID" "${CLIENT_ARGV[@]}" || return 1
    wait_for 5 live_pid "$UDHCPC_PID" "$CLIENT_NAME" >/dev/null
    return
  fi
  ws_mounts_start || return 1
  rm -f "$CLIENT_PID"
  ws_run setsid "${CLIENT_ARGV[@]}" </dev/null >>"$UDHCPC_LOG" 2>&1 9>&- &
  if ! wait_for 5 live_pid "$CLIENT_PID" "$CLIENT_NAME" >/dev/null; then
    echo "lab: $CLIENT_NAME did not start; its log ($UDHCPC_LOG):" >&2
    sed 's/^/  /' "$UDHCPC_LOG" >&2
    return 1
  fi
}

dhcp_client_stop() {
  stop_pidfile "$CLIENT_KEEPER_PID" keep-client
  stop_pidfile "$UDHCPC_PID" udhcpc
  # A client the network helper started again has a pid of its own: every one in the namespace.
  local pid
  for pid in $(ip netns pids "$NS_WS" 2>/dev/null); do
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qE '^(/[^ ]*/)?(dhclient|systemd-networkd) |^dhcpcd' &&
      kill -TERM "$pid" 2>/dev/null
  done
  rm -f "$CLIENT_PID"
}

ws_has_a_address() {
  ip -n "$NS_WS" -4 -o addr show dev "$WS_IF" | grep -q " 10\.91\.1\."
}

# ---- router advertisements (IPv6) --------------------------------------------

radvd_pidfile() { echo "$LAB/radvd-${1,,}.pid"; }

# radvd on network $1's bridge: every prefix of that network, unsolicited adverts every 3-4 s
# (the shortest radvd allows), so that a workstation on that wire learns the prefixes quickly.
router_adverts_start() {
  local net=${1^^} ns prefixes p conf pidfile
  ns=$(ns_of "$net")
  pidfile=$(radvd_pidfile "$net")
  live_pid "$pidfile" radvd >/dev/null && return 0
  if [ "$net" = A ]; then prefixes=("${A_IPV6_PREFIXES[@]}"); else prefixes=("${B_IPV6_PREFIXES[@]}"); fi
  [ ${#prefixes[@]} -gt 0 ] || return 0
  conf=$LAB/radvd-${net,,}.conf
  {
    echo "interface br0 {"
    echo "  AdvSendAdvert on; MinRtrAdvInterval 3; MaxRtrAdvInterval 4; AdvDefaultLifetime 1800;"
    for p in "${prefixes[@]}"; do echo "  prefix $p { AdvOnLink on; AdvAutonomous on; };"; done
    echo "};"
  } >"$conf"
  start_daemon "$ns" "$pidfile" "$LAB/radvd-${net,,}.log" radvd \
    radvd -n -C "$conf" -p "$pidfile" -m stderr -u root
}

router_adverts_stop() { stop_pidfile "$(radvd_pidfile "$1")" radvd; }

# One advert at once (radvd sends one when it rereads its configuration).
router_adverts_now() {
  local pid
  pid=$(live_pid "$(radvd_pidfile "$1")" radvd) || return 1
  kill -HUP "$pid"
}

ws_has_a_ipv6() {
  ip -n "$NS_WS" -6 -o addr show dev "$WS_IF" scope global | grep -q " ${A_IPV6_PREFIXES[0]%%::/*}:"
}

# ---- up / down ----------------------------------------------------------------

# The wiring and network A's server; the box and the client may be stopped
# on purpose and are started again by `up`.
is_up() {
  local ns
  for ns in "$NS_WS" "$NS_BOX" "$NS_A" "$NS_B"; do ns_exists "$ns" || return 1; done
  live_pid "$UDHCPD_PID" udhcpd >/dev/null
}

add_network() { # ns gateway prefixlen router-mac router-link-local ipv6-prefix...
  local ns=$1 gw=$2 plen=$3 mac=$4 ll=$5 p
  shift 5
  ip -n "$ns" link add br0 type bridge stp_state 0 forward_delay 0
  ip -n "$ns" link set br0 address "$mac"
  # The router's IPv6 addresses are the lab's own (no generated ones on the bridge or its port).
  ip -n "$ns" link set br0 addrgenmode none
  ip -n "$ns" link set uplink addrgenmode none
  ip -n "$ns" link set uplink master br0
  ip -n "$ns" addr add "$gw/$plen" dev br0
  ip -n "$ns" addr add "$ll/64" dev br0 nodad
  for p in "$@"; do ip -n "$ns" addr add "${p%%::/*}::1/64" dev br0 nodad; done
  ip -n "$ns" link set uplink up
  ip -n "$ns" link set br0 up
}

build_lab() {
  set -e
  local ns
  for ns in "$NS_WS" "$NS_BOX" "$NS_A" "$NS_B"; do
    ip netns add "$ns"
    # IPv6 on, as on a desktop; the box is a switch and has no address of its own.
    local v6=0
    [ "$ns" = "$NS_BOX" ] && v6=1
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=$v6 net.ipv6.conf.default.disable_ipv6=$v6
    ip -n "$ns" link set lo up
  done
  # The networks route IPv6 (radvd advertises only then without complaint).
  ip netns exec "$NS_A" sysctl -qw net.ipv6.conf.all.forwarding=1
  ip netns exec "$NS_B" sysctl -qw net.ipv6.conf.all.forwarding=1

  # The cable between the workstation and the box, and one port per network.
  ip -n "$NS_BOX" link add cable type veth peer name "$WS_IF" netns "$NS_WS"
  ip -n "$NS_BOX" link add port-a type veth peer name uplink netns "$NS_A"
  ip -n "$NS_BOX" link add port-b type veth peer name uplink netns "$NS_B"
  ip -n "$NS_WS" link set "$WS_IF" address "$WS_MAC"
  # Like a desktop: SLAAC with temporary addresses; solicit routers every second at link-up.
  ip netns exec "$NS_WS" sysctl -qw net.ipv6.conf."$WS_IF".accept_ra=1 net.ipv6.conf."$WS_IF".autoconf=1 \
    net.ipv6.conf."$WS_IF".use_tempaddr=2 net.ipv6.conf."$WS_IF".router_solicitation_interval=1
  ip -n "$NS_WS" link set "$WS_IF" up
  for ns in a b; do
    ip -n "$NS_BOX" link add "br-$ns" type bridge stp_state 0 forward_delay 0
    ip -n "$NS_BOX" link set "port-$ns" master "br-$ns"
    ip -n "$NS_BOX" link set "port-$ns" up
    ip -n "$NS_BOX" link set "br-$ns" up
  done
  ip -n "$NS_BOX" link set cable up

  add_network "$NS_A" "$A_GATEWAY" "$A_PREFIXLEN" "$A_ROUTER_MAC" "$A_ROUTER_LL" "${A_IPV6_PREFIXES[@]}"
  add_network "$NS_B" "$B_GATEWAY" "$B_PREFIXLEN" "$B_ROUTER_MAC" "$B_ROUTER_LL" "${B_IPV6_PREFIXES[@]}"

  cat >"$LAB/udhcpd-a.conf" <<EOF
interface br0
start $A_POOL_START
end $A_POOL_END
max_leases 51
lease_file $LAB/udhcpd-a.leases
pidfile $UDHCPD_PID
option subnet 255.255.255.0
option router $A_GATEWAY
option dns $A_DNS
option lease 600
EOF
  : >"$LAB/udhcpd-a.leases"
  # -a 300: shorter probe of the offered address than the default 2 s.
  start_daemon "$NS_A" "$UDHCPD_PID" "$UDHCPD_LOG" udhcpd "$BUSYBOX" udhcpd -f -a 300 "$LAB/udhcpd-a.conf"
  router_adverts_start A
  router_adverts_start B
  switchbox_start
  write_env
  if [ "$DHCP_CLIENT" = 1 ]; then
    dhcp_client_start
    if ! wait_for "$WAIT_S" ws_has_a_address; then
      echo "lab: the workstation got no address on network A within ${WAIT_S}s; $LAB_CLIENT log:" >&2
      sed 's/^/  /' "$UDHCPC_LOG" >&2
      return 1
    fi
  fi
  if [ "$SWITCHBOX_INITIAL" = a ] && ! wait_for "$WAIT_S" ws_has_a_ipv6; then
    echo "lab: the workstation got no IPv6 address of network A within ${WAIT_S}s" >&2
    return 1
  fi
}

interrupted() {
  trap '' INT TERM HUP
  echo "lab: interrupted, tearing down" >&2
  if [ -n "${BUILD_PID:-}" ] && kill -TERM "$BUILD_PID" 2>/dev/null; then
    wait "$BUILD_PID" 2>/dev/null
    sleep 0.2  # a daemon being launched has entered its namespace by now, so down finds it
  fi
  lab_down quiet
  exit 130
}

lab_up() {
  need_root
  command -v "$BUSYBOX" >/dev/null || die "busybox is missing (apt-get install busybox)"
  if is_up; then
    switchbox_start || die "the switch box does not start"
    router_adverts_start A && router_adverts_start B || die "radvd does not start"
    if [ "$DHCP_CLIENT" = 1 ]; then dhcp_client_start || die "$LAB_CLIENT does not start"; fi
    say "already up ($PREFIX-*)"
    return 0
  fi
  lab_down quiet
  mkdir -p "$LAB"
  : >"$SWITCHBOX_LOG"
  : >"$UDHCPD_LOG"
  : >"$UDHCPC_LOG"
  : >"$LAB/radvd-a.log"
  : >"$LAB/radvd-b.log"
  # An interrupted or failed build is torn down again.  The build runs in the
  # background so that `wait` returns as soon as a signal arrives.
  BUILD_PID=
  trap 'interrupted' INT TERM HUP
  (build_lab) &
  BUILD_PID=$!
  wait "$BUILD_PID"
  local rc=$?
  if [ $rc -ne 0 ]; then
    lab_down quiet
    die "up failed (step exit $rc); torn down again"
  fi
  trap - INT TERM HUP
  say "up: namespaces $NS_WS $NS_BOX $NS_A $NS_B; state in $LAB"
  [ "$DHCP_CLIENT" = 1 ] && say "workstation $WS_IF: $(ip -n "$NS_WS" -4 -o addr show dev "$WS_IF" | awk '{print $4}')"
  return 0
}

lab_down() {
  need_root
  dhcp_client_stop
  switchbox_stop
  stop_pidfile "$UDHCPD_PID" udhcpd
  router_adverts_stop A
  router_adverts_stop B
  local ns pid
  for ns in "$NS_WS" "$NS_BOX" "$NS_A" "$NS_B"; do
    ns_exists "$ns" || continue
    # Whatever else still runs inside our namespaces belongs to the lab
    # (a runner's DHCP emulation, a shell); a namespace with processes in it
    # would outlive its deletion.
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -TERM "$pid" 2>/dev/null; done
    for pid in $(ip netns pids "$ns" 2>/dev/null); do
      wait_for 3 is_gone "$pid" || kill -KILL "$pid" 2>/dev/null
    done
    ip netns del "$ns" 2>/dev/null || echo "lab: could not delete namespace $ns" >&2
  done
  rm -f "$LAB/lab.env" "$LAB/udhcpd-a.leases" "$LAB/lease-$WS_IF.env" "$LAB/resolv-$WS_IF.conf"
  [ "${1:-}" = quiet ] || say "down ($PREFIX-*)"
}

lab_status() {
  need_root
  local ns up=0 pid
  for ns in "$NS_WS" "$NS_BOX" "$NS_A" "$NS_B"; do
    if ns_exists "$ns"; then echo "namespace $ns: present"; else echo "namespace $ns: absent"; fi
  done
  if ns_exists "$NS_BOX"; then
    local master
    master=$(ip -n "$NS_BOX" -o link show cable 2>/dev/null | grep -o 'master [^ ]*' | cut -d' ' -f2)
    case "$master" in
      br-a) echo "cable: network A" ;;
      br-b) echo "cable: network B" ;;
      *) echo "cable: not connected" ;;
    esac
  fi
  if ns_exists "$NS_WS"; then
    echo "workstation $WS_IF: $(ip -n "$NS_WS" -4 -o addr show dev "$WS_IF" 2>/dev/null | awk '{print $4}' | tr '\n' ' ')"
    echo "workstation default route: $(ip -n "$NS_WS" -4 route show default 2>/dev/null | head -1)"
    echo "workstation $WS_IF IPv6: $(ip -n "$NS_WS" -6 -o addr show dev "$WS_IF" scope global 2>/dev/null |
      awk '{print $4}' | tr '\n' ' ')"
    echo "workstation IPv6 default route: $(ip -n "$NS_WS" -6 route show default 2>/dev/null | head -1)"
  fi
  for p in "switchbox:$SWITCHBOX_PID" "udhcpd:$UDHCPD_PID" "keep-client:$CLIENT_KEEPER_PID" \
    "$LAB_CLIENT:$CLIENT_PID" "radvd:$(radvd_pidfile A)" "radvd:$(radvd_pidfile B)"; do
    if pid=$(live_pid "${p#*:}" "${p%%:*}"); then
      echo "${p%%:*}: running, pid $pid"
    else
      echo "${p%%:*}: not running"
    fi
  done
  is_up && up=1
  [ $up = 1 ] && echo "lab: up" || echo "lab: not up"
  [ $up = 1 ]
}

usage() {
  awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "${BASH_SOURCE[0]}"
}

main() {
  check_prefix
  local cmd=${1:-}
  [ $# -gt 0 ] && shift
  case "$cmd" in
    up | down | status | exec | switchbox | dhcp-client | router-adverts) need_root ;;
  esac
  case "$cmd" in
    up | down | switchbox | dhcp-client | router-adverts)
      mkdir -p "$LAB"
      # One lab command at a time per lab folder; daemons do not inherit the lock.
      exec 9>"$LAB/.lock"
      flock -w 60 9 || die "another lab command holds $LAB/.lock"
      ;;
  esac
  case "$cmd" in
    up) lab_up ;;
    down) lab_down ;;
    status) lab_status ;;
    env)
      [ -r "$LAB/lab.env" ] || die "not up (no $LAB/lab.env)"
      cat "$LAB/lab.env"
      ;;
    exec)
      [ $# -ge 2 ] || die "usage: lab.sh exec WS|BOX|A|B cmd..."
      local ns
      ns=$(ns_of "$1") || die "no such lab namespace: $1 (WS, BOX, A or B)"
      ns_exists "$ns" || die "$ns is not up"
      shift
      [ "$ns" = "$NS_WS" ] && { ws_run "$@"; exit; }
      exec ip netns exec "$ns" "$@"
      ;;
    switchbox)
      ns_exists "$NS_BOX" || die "$NS_BOX is not up"
      case "${1:-}" in
        start) switchbox_start && say "switchbox running, pid $(cat "$SWITCHBOX_PID")" ;;
        stop) switchbox_stop && say "switchbox stopped" ;;
        *) die "usage: lab.sh switchbox start|stop" ;;
      esac
      ;;
    dhcp-client)
      ns_exists "$NS_WS" || die "$NS_WS is not up"
      case "${1:-}" in
        start) dhcp_client_start && say "$LAB_CLIENT running, pid $(cat "$CLIENT_PID")" ;;
        stop) dhcp_client_stop && say "$LAB_CLIENT stopped" ;;
        *) die "usage: lab.sh dhcp-client start|stop" ;;
      esac
      ;;
    router-adverts)
      case "${1^^}" in A | B) ;; *) die "usage: lab.sh router-adverts A|B start|stop|now" ;; esac
      ns_exists "$(ns_of "$1")" || die "$(ns_of "$1") is not up"
      case "${2:-}" in
        start) router_adverts_start "$1" && say "radvd on network ${1^^} running" ;;
        stop) router_adverts_stop "$1" && say "radvd on network ${1^^} stopped" ;;
        now) router_adverts_now "$1" || die "radvd on network ${1^^} is not running" ;;
        *) die "usage: lab.sh router-adverts A|B start|stop|now" ;;
      esac
      ;;
    -h | --help | help) usage ;;
    *)
      usage >&2
      exit 2
      ;;
  esac
}

main "$@"
