#!/usr/bin/env bash
# Builds Netvane_Help.chm with chmcmd (Debian's fp-utils) from a copy of the sources; any warning
# or error fails the build.   build-chm.sh <help source folder> <work folder> <output .chm>
# NV_HELP_IMAGES=<folder>: every picture of images/ is taken from that folder (a test run's
# artifacts) instead of the copies kept in the sources; one missing there fails the build, so a
# release never ships an older picture.
set -eu
src=$1 work=$2 out=$3
rm -rf "$work" && mkdir -p "$work" && cp -r "$src"/. "$work"/
if [ -n "${NV_HELP_IMAGES:-}" ]; then
  for f in "$work"/images/*.png; do
    name=$(basename "$f")
    [ -f "$NV_HELP_IMAGES/$name" ] || { echo "build-chm: $name was not made by the test run in $NV_HELP_IMAGES" >&2; exit 1; }
    cp "$NV_HELP_IMAGES/$name" "$f"
  done
fi
cd "$work"
chmcmd Netvane.hhp >chmcmd.log 2>&1 || { cat chmcmd.log; exit 1; }
if grep -qiE 'warning|error|hint' chmcmd.log; then cat chmcmd.log; exit 1; fi
cp Netvane_Help.chm "$out"
