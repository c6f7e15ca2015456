#!/bin/sh
# Runs a Windows program under Wine in the project's own prefix; ctest uses it
# as the emulator for every test executable.
here=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:=$here/build/wineprefix}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
exec /usr/lib/wine/wine64 "$@"
