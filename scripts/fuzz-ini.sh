#!/usr/bin/env bash
# Builds the INI reader fuzzer with clang (libFuzzer + ASan + UBSan) and runs it.
#   scripts/fuzz-ini.sh [seconds]      (default 60)
# Corpus and crash files go to fuzz-out/ini/ (not kept in git); exits non-zero on a finding.
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-60}
out=fuzz-out/ini
mkdir -p "$out/corpus" "$out/crashes"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I corekit/include -I corekit/src -I platform/include \
  fuzz/ini_reader_fuzz.cpp \
  corekit/src/ini_file.cpp corekit/src/resource_strings.cpp corekit/src/debug.cpp \
  corekit/posix/file_access_posix.cpp corekit/posix/default_strings_posix.cpp \
  corekit/posix/trace_output_posix.cpp platform/src/text.cpp platform/posix/posix_fd.cpp \
  -o "$out/ini_reader_fuzz"
# The target writes files on every run (with fsync): memory-backed scratch keeps it fast, and
# is removed even when a finding ends the run.
scratch=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/ini-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
cp -n fuzz/corpus/ini/* "$out/corpus/" 2>/dev/null || true
"$out/ini_reader_fuzz" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="$out/crashes/" "$out/corpus"
