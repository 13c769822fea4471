#!/usr/bin/env bash
# Builds both presets and runs the one test suite twice: natively (ASan + UBSan)
# and, cross-built, under Wine.  Exits non-zero when any test fails.
set -u
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/install-deps.sh test || exit 1
export PATH=/usr/lib/wine:$PATH
jobs=${NV_JOBS:-$(nproc)}
status=0
for preset in host windows; do
  echo "=== $preset: build"
  if cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs"; then
    echo "=== $preset: test"
    # Each test program writes its cases to XML, so the skips inside a passing program can be named.
    results=$PWD/build/$preset/test-results
    rm -rf "$results" && mkdir -p "$results/gtest"
    gtest_out=$results/gtest/
    [ "$preset" = windows ] && gtest_out="Z:${gtest_out//\//\\}"
    GTEST_OUTPUT="xml:$gtest_out" ctest --preset "$preset" -j "$jobs" --output-junit "$results/ctest-junit.xml" ||
      status=1
  else
    echo "=== $preset: build failed"
    status=1
  fi
done
/usr/bin/python3 scripts/list-skips.py build/host/test-results build/windows/test-results
exit $status
