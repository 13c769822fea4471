#!/usr/bin/env bash
# Builds Netvane_Help.chm with chmcmd (Debian's fp-utils) from a copy of the sources; any warning
# or error fails the build.   build-chm.sh <help source folder> <work folder> <output .chm>
set -eu
src=$1 work=$2 out=$3
rm -rf "$work" && mkdir -p "$work" && cp -r "$src"/. "$work"/
cd "$work"
chmcmd Netvane.hhp >chmcmd.log 2>&1 || { cat chmcmd.log; exit 1; }
if grep -qiE 'warning|error|hint' chmcmd.log; then cat chmcmd.log; exit 1; fi
cp Netvane_Help.chm "$out"
