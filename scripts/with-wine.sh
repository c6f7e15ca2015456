#!/bin/sh
# Runs a command with the project's Wine prefix ready and a display to draw
# on: the caller's DISPLAY, or an Xvfb display started here and stopped when
# the command ends.  Every Windows process of the prefix is ended afterwards.
#   usage: scripts/with-wine.sh BUILD_DIR command...
set -eu
build=$(cd "$1" && pwd); shift
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64

xvfb_pid=""
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ]; then
  # The first free display number from 90 up.
  n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  i=0
  until [ -e "/tmp/.X11-unix/X$n" ] || [ $i -ge 100 ]; do sleep 0.1; i=$((i + 1)); done
fi

if [ ! -f "$WINEPREFIX/.gamehost-ready" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1 || true
  # A virtual desktop of a fixed size makes screen metrics and placement the
  # same on every machine and display.
  "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1920x1080 /f >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  touch "$WINEPREFIX/.gamehost-ready"
fi

# The wine server and the prefix's system processes outlive the program that
# starts them and keep its standard output: started here, on /dev/null, they
# cannot hold a test's output pipe (and so the test) open until the very end.
/usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null || true
"$wine" cmd /c exit >/dev/null 2>&1 </dev/null || true
# The server closes the virtual desktop a moment after the last program on it
# ends, and a program starting in that moment cannot create a window; the
# keeper stays on it until the prefix's processes are ended on exit.
if [ -f "$build/bin/desktop_keeper.exe" ]; then
  "$wine" "$build/bin/desktop_keeper.exe" >/dev/null 2>&1 </dev/null &
  sleep 1
fi

"$@"
