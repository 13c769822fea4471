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
# Magenta outside a rounded rectangle: the outline of the skinned dialogs (drawn without
# anti-aliasing, so the transparent colour stays exact).
"$convert" -size 320x240 xc:'#ff00ff' \( -size 320x240 gradient:'#2b3a55'-'#101826' \) \
  \( -size 320x240 xc:black +antialias -fill white -draw 'roundrectangle 0,0 319,239 14,14' \) \
  -composite -type truecolor -compress none BMP3:"$out/background.bmp"
"$convert" -size 80x24 xc:'#3b82f6' xc:'#60a5fa' xc:'#1d4ed8' xc:'#9ca3af' +append \
  -fill none -stroke '#0f172a' -draw 'rectangle 0,0 319,23' -type truecolor -compress none BMP3:"$out/button.bmp"
"$convert" -size 16x16 xc:'#e5e7eb' xc:'#1e8e3e' xc:'#e5e7eb' xc:'#1e8e3e' +append \
  -type truecolor -compress none BMP3:"$out/check.bmp"
"$convert" -size 16x16 xc:'#ff00ff' -fill '#e5e7eb' -draw 'circle 8,8 8,1' \( -size 16x16 xc:'#ff00ff' -fill '#1e8e3e' \
  -draw 'circle 8,8 8,1' \) +append -type truecolor -compress none BMP3:"$out/radio.bmp"
