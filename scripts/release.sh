#!/usr/bin/env bash
# Builds a release: the Windows programs (windows-release preset: Release, no test switches), the
# help file and the installer, then writes into build/windows-release/release/
#   NetvaneSetup-<version>.exe    the installer (silent: /S)
#   Netvane-<version>-win64.zip   the programs, NvRes.dll, the string files and the help file
#   SHA256SUMS                    SHA-256 of both (check: cd build/windows-release/release && sha256sum -c SHA256SUMS)
# The zip carries a SHA256SUMS of its own files.
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/install-deps.sh test
export PATH=/usr/lib/wine:$PATH
jobs=${NV_JOBS:-$(nproc)}

# The shipped programs come from a build without the test switches (corekit/test_switches.h).
cmake --preset windows-release >/dev/null
programs=(Netvane corekit nvidle nvsvc Updagent continue nvuninst nvres ldnvchng)
cmake --build --preset windows-release -j "$jobs" --target "${programs[@]}"

build=build/windows-release
# The help file shows the screenshots of the test build's run (the windows preset: the tests drive
# the programs through the test switches): the tests that take them run again when any picture is
# missing or older than the test build's program, and the help is built from them.
tests=build/windows
artifacts=$PWD/$tests/artifacts
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target Netvane
stale=0
for f in help/images/*.png; do
  a=$artifacts/$(basename "$f")
  [ -f "$a" ] && [ "$a" -nt "$tests/bin/Netvane.exe" ] || stale=1
done
if [ $stale = 1 ]; then
  cmake --build --preset windows -j "$jobs"
  ctest --preset windows -L screenshots --output-on-failure
fi
rm -f "$build/bin/Netvane_Help.chm"
NV_HELP_IMAGES=$artifacts cmake --build --preset windows-release -j "$jobs" --target netvane_help netvane_installer

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }
out=$build/release
rm -rf "$out" && mkdir -p "$out/files"

files=(Netvane.exe Corekit.dll NvIdle.dll NvSVC.exe Updagent.exe continue.exe NvUninst.dll NvRes.dll LDNvChng.EXE
       NetvaneENG.ini NetvaneKOR.ini Netvane_Help.chm)
for f in "${files[@]}"; do
  [ -f "$build/bin/$f" ] || { echo "missing $build/bin/$f" >&2; exit 1; }
  cp "$build/bin/$f" "$out/files/"
done
zip_name=Netvane-$version-win64.zip
setup_name=NetvaneSetup-$version.exe
# Fixed times and no extra attributes: the same build gives the same zip.
touch -d "@${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}" "$out"/files/*
(cd "$out/files" && sha256sum "${files[@]}" >SHA256SUMS && touch -r Netvane.exe SHA256SUMS &&
  zip -q -X -D "../$zip_name" "${files[@]}" SHA256SUMS)
cp "$build/NetvaneSetup.exe" "$out/$setup_name"
(cd "$out" && sha256sum "$setup_name" "$zip_name") >"$out/SHA256SUMS"
rm -rf "$out/files"
(cd "$out" && ls -l && cat SHA256SUMS)
echo "release $version in $out"
