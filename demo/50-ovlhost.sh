#!/usr/bin/env bash
# ovlhost: a VPM host session against the overlay driver on a simulated
# 640 x 480 x 16 notebook.  The host negotiates, opens a 320 x 240 overlay
# behind a magenta colour key, switches it on and copies a rectangle through
# lock; the capture engine model then stores one test frame where the driver
# programmed it, and the screen is composed and written as a picture.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
out="${KIT_DEMO_OUT:-$root/build/demo}"
mkdir -p "$out"
script="$root/machines/overlay/session-640x480x16.json"

echo "== ovlhost: overlay driver session ($script)"
"$KIT_BIN/ovlhost" "$script" --png "$out/ovlhost-screen.png"
status=$?
printf '(exit code %d)\n' "$status"
if [ "$status" -eq 0 ]; then
  echo "The screen is in $out/ovlhost-screen.png, the overlay surface in $out/ovlhost-screen-overlay.png"
fi
exit "$status"
