#!/usr/bin/env bash
# The main job: a real network change on the embedded default environment.
# Builds the runner and the switch-box simulator, brings up the lab (workstation, switch box,
# network A with a DHCP server, network B with fixed settings), configures the workstation
# (one adapter, A by DHCP, B fixed, Ethernet control frames, 3 frames), changes A -> B -> A
# and prints what happened after each change; the lab is torn down at the end (also on Ctrl-C).
# Needs root: the lab is made of network namespaces.
set -u
cd "$(dirname "${BASH_SOURCE[0]}")/.."
if [ "$(id -u)" != 0 ]; then
  echo "main job: needs root, because the lab is built from network namespaces (try: sudo $0)" >&2
  exit 1
fi
scripts/install-deps.sh main || exit 1
echo "=== building the change runner and the switch-box simulator"
cmake --preset release >/dev/null || exit 1
cmake --build --preset release --target nvchange switchbox >/dev/null || exit 1

export NV_BIN_DIR=$PWD/build/release/bin
export NV_LAB_PREFIX=${NV_LAB_PREFIX:-nvmain}
export NV_LAB_DIR=${NV_LAB_DIR:-$PWD/build/main-job}
rm -rf "$NV_LAB_DIR"
mkdir -p "$NV_LAB_DIR"
echo "=== lab up; changes A -> B -> A"
exec bash scripts/lab/change-e2e.sh --check
