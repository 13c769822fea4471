#!/usr/bin/env bash
# Draws the resource library's icons and skin bitmaps into OUTDIR (simple shapes, no fonts).
#   make-images.sh OUTDIR
set -eu
out=$1
mkdir -p "$out"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert

icon() {  # name fill outline shape
  "$convert" -size 32x32 xc:none -fill "$2" -stroke "$3" -strokewidth 2 -draw "$4" \
    -define icon:auto-resize=32,16 "$out/$1.ico"
}
icon netvane '#2563eb' '#0f2a6b' 'roundrectangle 2,2 29,29 7,7'   # program
icon net_a '#1e8e3e' '#0b4d1f' 'circle 16,16 16,3'                 # network A: green disc
icon net_b '#d93025' '#7a1410' 'polygon 16,2 30,16 16,30 2,16'     # network B: red diamond

# Dialog background and the skinned controls' state strips (normal, hover, pressed, disabled).
# Magenta outside the outline of the skinned dialogs: the bottom corners are rounded, the top
# ones square so the caption keeps its corners.  Drawn without anti-aliasing (+antialias), so
# the transparent colour stays exact and no blend of it can show at an edge.
"$convert" -size 320x240 xc:'#ff00ff' \( -size 320x240 gradient:'#2b3a55'-'#101826' \) \
  \( -size 320x240 xc:black +antialias -fill white -draw 'roundrectangle 0,0 319,239 14,14' \
     -draw 'rectangle 0,0 319,120' \) \
  -composite -type truecolor -compress none BMP3:"$out/background.bmp"
# Push buttons: 80 x 32 per state, taller than the stretch margins (top 7, bottom 18), one flat
# face each with its own border; white captions reach a contrast above 4.5:1 on every face but
# the disabled one, whose caption the skin draws light grey (also above 4.5:1).
slices=()
for face in '#1d4ed8' '#2563eb' '#1e3a8a' '#4b5563'; do
  slices+=( \( -size 80x32 xc:"$face" -fill none -stroke '#0f172a' +antialias -draw 'rectangle 0,0 79,31' \) )
done
"$convert" "${slices[@]}" +append -type truecolor -compress none BMP3:"$out/button.bmp"
"$convert" -size 16x16 xc:'#e5e7eb' xc:'#1e8e3e' xc:'#9ca3af' xc:'#4d7c5a' +append \
  -fill none -stroke '#0f172a' +antialias -draw 'rectangle 0,0 15,15' -draw 'rectangle 16,0 31,15' \
  -draw 'rectangle 32,0 47,15' -draw 'rectangle 48,0 63,15' -type truecolor -compress none BMP3:"$out/check.bmp"
"$convert" \( -size 16x16 xc:'#ff00ff' +antialias -fill '#e5e7eb' -stroke '#0f172a' -draw 'circle 7.5,7.5 7.5,1' \) \
  \( -size 16x16 xc:'#ff00ff' +antialias -fill '#1e8e3e' -stroke '#0f172a' -draw 'circle 7.5,7.5 7.5,1' \) \
  +append -type truecolor -compress none BMP3:"$out/radio.bmp"
