#!/usr/bin/env bash
# Copies the screenshots that the dialog and tray tests make (build/windows/artifacts after
# `ctest --preset windows`) into help/images, so the help shows the dialogs as they are built.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
artifacts=${1:-$here/../build/windows/artifacts}
for f in "$here"/images/*.png; do
  name=$(basename "$f")
  if [ -f "$artifacts/$name" ]; then cp "$artifacts/$name" "$f"; else echo "not made by the tests: $name" >&2; fi
done
