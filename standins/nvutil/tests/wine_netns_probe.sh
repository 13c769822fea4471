#!/usr/bin/env bash
# CNetUtil's Windows build under Wine, inside two network namespaces of this test's own (a veth
# pair, the gateway in the second): each operation that changes something runs once, and `ip`
# checks from outside that a reported success really changed the table and a reported failure
# left it alone. Prints which IP helper calls Wine carries out.
# Wine runs inside the namespace with a prefix of its own, so the test run's wineserver (outside)
# is not disturbed and Wine's adapter list is the namespace's.
#   wine_netns_probe.sh NVUTIL_PROBE_EXE PREFIX        (exit 77: skipped)
set -u
exe=$1 prefix=$(realpath -m "$2")  # Wine wants an absolute prefix
[ "$(id -u)" = 0 ] || { echo "SKIP: needs root for network namespaces"; exit 77; }
for tool in ip wine64 wineserver; do
  PATH=/usr/lib/wine:$PATH command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
export PATH=/usr/lib/wine:$PATH WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
ns=nvutil-wine$$-a peer=nvutil-wine$$-b gw=10.213.9.1
work=$(mktemp -d)
cleanup() {
  wineserver -k </dev/null >/dev/null 2>&1
  ip netns del "$ns" 2>/dev/null
  ip netns del "$peer" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for f in "$work"/*.txt; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done; exit 1; }
probe() {  # probe NAME ARGS...: runs one operation, leaves "result R error E" in $work/NAME.txt
  local name=$1
  shift
  timeout 60 ip netns exec "$ns" wine64 "$exe" "$@" </dev/null >"$work/$name.txt" 2>/dev/null
  read -r _ result _ error < <(grep '^result ' "$work/$name.txt") || fail "$name: no result"
}
default_route() { ip -n "$ns" route show default; }
summary=()
note() { summary+=("$1: $2"); }
# A claimed success must show in the table, a failure must leave it as it was.
check() {  # check NAME CHANGED(0|1)
  if [ "$result" = 1 ] && [ "$2" = 1 ]; then note "$1" "carried out"
  elif [ "$result" = 0 ] && [ "$2" = 0 ]; then note "$1" "not carried out (error $error)"
  else fail "$1: result $result but the table changed=$2"
  fi
}

ip netns add "$ns" && ip netns add "$peer" || fail "ip netns add"
ip -n "$ns" link add va type veth peer name vb netns "$peer" &&
  ip -n "$ns" link set lo up && ip -n "$ns" link set va up && ip -n "$peer" link set vb up &&
  ip -n "$ns" addr add 10.213.9.2/24 dev va && ip -n "$peer" addr add $gw/24 dev vb &&
  ip -n "$ns" route add default via $gw || fail "namespaces"
mac=$(ip -n "$ns" -o link show dev va | sed -n 's/.*link\/ether \([0-9a-f:]*\).*/\1/p')
peer_mac=$(ip -n "$peer" -o link show dev vb | sed -n 's/.*link\/ether \([0-9a-f:]*\).*/\1/p')
ip -n "$ns" neigh replace $gw lladdr "$peer_mac" dev va nud reachable || fail "neighbour entry"

wineserver -k </dev/null >/dev/null 2>&1  # a server started outside the namespace would see other adapters
mkdir -p "$prefix"
if [ ! -f "$prefix/system.reg" ]; then
  ip netns exec "$ns" wine64 wineboot -i </dev/null >"$work/wineboot.txt" 2>&1 || fail "wineboot"
fi

probe ifnum ifnum "$mac"
[ "$result" != 0 ] || fail "GetInterfaceNum found no interface for va ($mac)"
index=$result
note "GetInterfaceNum (GetAdaptersInfo)" "interface $index"
probe ifnum-unknown ifnum 02:4e:56:55:54:4c
[ "$result" = 0 ] || fail "an unknown MAC gave interface $result"

probe delarp delarp $gw
gone=0; ip -n "$ns" neigh show $gw | grep -q lladdr || gone=1
check "DelArpEnt (DeleteIpNetEntry)" $gone
ip -n "$ns" neigh del $gw dev va 2>/dev/null

probe delgw delgw 0.0.0.0
gone=0; [ -z "$(default_route)" ] && gone=1
check "DelGWEntry (DeleteIpForwardEntry)" $gone
ip -n "$ns" route del default 2>/dev/null

for variant in classic vista; do
  probe "addgw-$variant" addgw $gw $([ $variant = vista ] && echo vista)
  added=0; default_route | grep -q "via $gw dev va" && added=1
  check "AddGWEntry $variant (CreateIpForwardEntry$([ $variant = vista ] && echo 2))" $added
  ip -n "$ns" route del default 2>/dev/null
done

# No DHCP server answers here: a renew can only fail; a release of the static address must not
# be claimed without the address going.
probe lease-renew lease "$index" 1
[ "$result" = 0 ] || fail "LeaseIP renew succeeded with no DHCP server"
note "LeaseIP renew (IpRenewAddress)" "error $error"
probe lease-release lease "$index" 0
dropped=0; ip -n "$ns" -4 addr show dev va | grep -q 'inet ' || dropped=1
check "LeaseIP release (IpReleaseAddress)" $dropped

printf '%s\n' "${summary[@]}"
echo "PASS: every operation's result under Wine matches its effect on the namespace"
