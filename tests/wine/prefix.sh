#!/usr/bin/env bash
# Makes a fresh Wine prefix for one CTest run (setup) and ends it (cleanup).
# The session is kept up with `wineserver -p` so the tests start quickly.
set -u
wineserver=$(dirname "$WINE")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
case "${1:-}" in
  setup)
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; exit 1; }
    "$wineserver" -w
    "$wineserver" -p >/dev/null 2>&1 </dev/null
    "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
    echo "Wine prefix ready: $WINEPREFIX"
    ;;
  cleanup)
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    ;;
  *) echo "usage: prefix.sh setup|cleanup"; exit 2 ;;
esac
