#!/usr/bin/env bash
# Keeps the workstation's DHCP client running, as a desktop's DHCP service would: the lab's client
# gives up after a few quick tries (so that a renew nobody answers fails in seconds) and is
# started again here at once.  SIGTERM ends the client and then this keeper.
#
#   keep-client.sh PIDFILE CLIENT_PIDFILE command...
# PIDFILE gets this keeper's pid; CLIENT_PIDFILE is the client's own (it is removed when the
# client ends, so that nobody signals a stale pid).
set -u
pidfile=$1 client_pidfile=$2
shift 2
echo $$ >"$pidfile"
child=
stop() {
  trap '' TERM INT HUP
  [ -n "$child" ] && kill -TERM "$child" 2>/dev/null && wait "$child" 2>/dev/null
  rm -f "$pidfile" "$client_pidfile"
  exit 0
}
trap stop TERM INT HUP
while :; do
  "$@" &
  child=$!
  wait "$child"
  rc=$?
  # `wait` also returns for a trapped signal; the trap has ended us by then.
  rm -f "$client_pidfile"
  echo "keep-client: client ended ($rc), starting it again"
  child=
  sleep 0.2
done
