#!/usr/bin/env bash
# Installs the Debian packages a job needs, only when something is missing.
#   install-deps.sh test|main
set -eu
job=${1:-test}
pkgs=(cmake ninja-build g++ libgtest-dev googletest libbenchmark-dev libsqlite3-dev libssl-dev libcurl4-openssl-dev python3-pyftpdlib
      g++-mingw-w64-x86-64-posix wine64 xvfb xauth xdotool imagemagick
      libpcap0.8 libpcap-dev tcpdump socat busybox iproute2 radvd python3 sqlite3 clang libclang-rt-14-dev
      isc-dhcp-client dhcpcd-base systemd dbus-daemon
      libx11-dev libxss-dev libxml2-utils nsis fp-utils locales
      fonts-nanum)  # Hangul glyphs: the Korean dialogs under Wine
[ "$job" = main ] && pkgs+=(iputils-ping)
# Wine under a Korean locale (code page 949) names files through the C library's locale: without
# ko_KR.UTF-8 a Hangul folder name cannot reach the disk.
korean_locale() {
  locale -a 2>/dev/null | grep -qi '^ko_KR\.utf-\?8$' && return 0
  [ "$(id -u)" = 0 ] || { echo "the ko_KR.UTF-8 locale is missing (run as root to make it)" >&2; return 1; }
  localedef -i ko_KR -f UTF-8 ko_KR.UTF-8
}
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && { korean_locale; exit $?; }
if [ "$(id -u)" != 0 ]; then
  echo "missing packages: ${missing[*]} (run as root, or install them)" >&2
  exit 1
fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Services of what is installed here (DHCP clients, systemd-networkd, D-Bus, radvd) must not start
# on this machine: they
# would serve its real interfaces and disturb the tests.  The lab starts its own in namespaces.
# dhcpcd-base is dhcpcd without its service.
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' >"$policy" && chmod 755 "$policy" && own_policy=1
fi
apt-get update -qq
rc=0
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || rc=$?
[ $own_policy = 1 ] && rm -f "$policy"
[ $rc -eq 0 ] || exit $rc
korean_locale
