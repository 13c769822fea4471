#!/usr/bin/env bash
# CTest fixture for the Windows run: a Wine prefix of the build tree's own (never ~/.wine),
# one wineserver kept alive for the whole run, and an Xvfb display for programs with windows.
#   wine-fixture.sh setup|cleanup|fontlinks PREFIX
set -u
action=$1
export WINEPREFIX=$2 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export PATH=/usr/lib/wine:$PATH
display=${NV_XVFB_DISPLAY:-:97}
# Wine's desktop process starts with wineboot and keeps the display it saw then: without it every
# later window creation fails ("no driver could be loaded").
export DISPLAY=$display
# Beside the prefix, one per prefix: a build tree may boot a second prefix on the same display, and
# its cleanup must not stop the display the first prefix's setup started.
pidfile=${WINEPREFIX%/}.xvfb.pid
bootlog=${WINEPREFIX%/}.wineboot.log

# As a Korean Windows links its interface faces to a Hangul face, so captions and message boxes
# show the Korean texts: the faces Wine draws them with are linked to Debian's fonts-nanum.  (The
# prefix has no Tahoma: its captions are then drawn in NanumGothic, Latin letters included; the
# dialogs themselves fall back to DejaVu Sans, see netvane/ui/include/netvane/dialog_font.h.)
# Wine writes its default links again whenever a program starts under another code page (the
# Korean-locale update test does), so screenshot tests call "fontlinks" right before they run.
font_links() {
  fc-list 2>/dev/null | grep -q NanumGothic.ttf || return 0
  # Twice: the first program to load the fonts may write Wine's defaults after our first value.
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "DejaVu Sans" Tahoma; do
    wine64 reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
      /t REG_MULTI_SZ /d 'NanumGothic.ttf,NanumGothic' /f </dev/null >/dev/null 2>&1
  done
}

case $action in
fontlinks)
  font_links
  exit 0
  ;;
setup)
  mkdir -p "$WINEPREFIX"
  socket=/tmp/.X11-unix/X${display#:}
  lock=/tmp/.X${display#:}-lock
  # A server that died leaves its socket and lock behind; taking that for a live display would
  # fail every window test, so a display counts only while the process its lock names runs.
  if [ -e "$socket" ] && ! { [ -f "$lock" ] && [ -d "/proc/$(tr -d ' ' <"$lock")" ]; }; then
    echo "display $display: removing the socket and lock of an X server that is gone"
    rm -f "$socket" "$lock"
  fi
  if ! [ -e "$socket" ] && command -v Xvfb >/dev/null; then
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    echo $! >"$pidfile"
    for _ in $(seq 50); do [ -e "$socket" ] && break; sleep 0.1; done
    [ -e "$socket" ] || echo "display $display: Xvfb did not start; programs with windows will fail" >&2
  fi
  wineserver -p </dev/null >/dev/null 2>&1
  if [ -f "$WINEPREFIX/system.reg" ]; then
    wine64 wineboot </dev/null >"$bootlog" 2>&1
  else
    # A prefix's first boot leaves driver services start-pending for a long while, and the service
    # manager refuses every other start until they settle: boot once more, as after an install.
    wine64 wineboot -i </dev/null >"$bootlog" 2>&1
    wineserver -k </dev/null >/dev/null 2>&1
    wineserver -p </dev/null >/dev/null 2>&1
    wine64 wineboot </dev/null >>"$bootlog" 2>&1
  fi
  rc=$?
  # Never let an auto-detected COM port reach /dev/ttyS0 (this machine's console).
  for n in 1 2 3 4; do
    wine64 reg add 'HKLM\Software\Wine\Ports' /v COM$n /d /dev/null/none /f </dev/null >/dev/null 2>&1
  done
  rm -f "$WINEPREFIX"/dosdevices/com*
  font_links
  echo "wine prefix ready at $WINEPREFIX (wineboot rc=$rc)"
  exit $rc
  ;;
cleanup)
  wineserver -k </dev/null >/dev/null 2>&1
  if [ -f "$pidfile" ]; then
    kill "$(cat "$pidfile")" 2>/dev/null
    rm -f "$pidfile"
  fi
  exit 0
  ;;
*)
  echo "usage: $0 setup|cleanup PREFIX" >&2
  exit 2
  ;;
esac
