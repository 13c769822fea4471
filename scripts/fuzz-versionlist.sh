#!/usr/bin/env bash
# Builds the version-list fuzzer with clang (libFuzzer + ASan + UBSan) and runs it.
#   scripts/fuzz-versionlist.sh [seconds]      (default 60)
# Corpus and crash files go to fuzz-out/version_list/ (not kept in git); exits non-zero on a finding.
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-60}
out=fuzz-out/version_list
mkdir -p "$out/corpus" "$out/crashes"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I updater/client/src -I updater/common/include -I platform/include \
  fuzz/version_list_fuzz.cpp \
  updater/client/src/version_list.cpp updater/client/src/ftp_listing.cpp updater/client/src/client_arguments.cpp \
  updater/common/src/handover_list.cpp updater/common/src/path_rules.cpp \
  updater/common/posix/native_path_style_posix.cpp platform/src/text.cpp \
  -o "$out/version_list_fuzz"
cp -n fuzz/corpus/version_list/* "$out/corpus/" 2>/dev/null || true
"$out/version_list_fuzz" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="$out/crashes/" "$out/corpus"
