#!/usr/bin/env bash
# Builds the DHCP packet fuzzer with clang (libFuzzer + ASan + UBSan) and runs it.
#   scripts/fuzz-dhcp.sh [seconds]      (default 60)
# Corpus and crash files go to fuzz-out/dhcp/ (not kept in git).
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-60}
src=standins/nvserv
out=fuzz-out/dhcp
mkdir -p "$out/corpus" "$out/crashes"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I "$src" -I "$src/include" \
  fuzz/dhcp_packet_fuzz.cpp \
  "$src/src/dhcp_message.cpp" "$src/src/dhcp_responder.cpp" "$src/src/lease_config.cpp" \
  "$src/src/frame_builder.cpp" "$src/src/net_types.cpp" \
  -o "$out/dhcp_packet_fuzz"
cp -n fuzz/corpus/dhcp/* "$out/corpus/" 2>/dev/null || true
"$out/dhcp_packet_fuzz" -max_total_time="$seconds" -max_len=1600 -print_final_stats=1 \
  -artifact_prefix="$out/crashes/" "$out/corpus"
