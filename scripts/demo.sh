#!/bin/sh
# The demo: the reference Launcher starts the host beside the sample game.
# With a display of the user's own, the windows are left to the user (closing
# the host ends everything).  Without one, on the virtual display, a tour
# takes the host through its stages, saves a PNG screenshot of each under
# BUILD/demo/ and exits 0 only when every stage happened.
#   usage: scripts/demo.sh BUILD   (run inside scripts/with-wine.sh)
set -eu
build=$(cd "$1" && pwd)
demo="$build/demo"
wine=/usr/lib/wine/wine64

rm -rf "$demo"
mkdir -p "$demo"
cp "$build/bin/GameHost.exe" "$build/bin/launcher.exe" "$demo/"
cp "$build/bin/${DEMO_GAME:-sample_game}.exe" "$demo/Mirelune.dll"
[ -n "${DEMO_GAME_CONFIG:-}" ] && printf "$DEMO_GAME_CONFIG" > "$demo/fixture-game.txt"
printf 'width=1080\r\nheight=820\r\n' > "$demo/TRNW.conf"
windows_demo=$(/usr/lib/wine/winepath -w "$demo" 2>/dev/null || echo "Z:$demo" | tr / '\\')

echo "demo folder: $demo"
echo "TRNW.conf before: $(tr -d '\r' < "$demo/TRNW.conf" | tr '\n' ' ')"

if [ "${GAMEHOST_DEMO_INTERACTIVE:-0}" = 1 ]; then
  echo "showing the host on $DISPLAY; close its window to end the demo"
  "$wine" "$build/bin/demo_tour.exe" "$windows_demo" --stay
  exit $?
fi

# Answers the tour's screenshot requests until the tour ends.
serve_screenshots() {
  while [ ! -e "$demo/.tour-done" ]; do
    for want in "$demo"/*.want; do
      [ -e "$want" ] || continue
      name=$(basename "$want" .want)
      # shellcheck disable=SC2046
      python3 "$(dirname "$0")/screenshot.py" "$demo/$name.png" $(cat "$want") || true
      rm -f "$want"
    done
    sleep 0.1
  done
}
serve_screenshots &
server=$!

status=0
"$wine" "$build/bin/demo_tour.exe" "$windows_demo" || status=$?
touch "$demo/.tour-done"
wait "$server" 2>/dev/null || true
rm -f "$demo/.tour-done"

echo "TRNW.conf after:  $(tr -d '\r' < "$demo/TRNW.conf" | tr '\n' ' ')"
echo "screenshots:"
for png in "$demo"/*.png; do [ -e "$png" ] && echo "  $png"; done
exit $status
