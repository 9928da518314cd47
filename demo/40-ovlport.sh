#!/usr/bin/env bash
# ovlport, the overlay driver, on the built-in sample notebook: a host session
# through the driver's exports (negotiate, open, show, a window moved partly
# off the screen, a change of screen depth, close), with the overlay engine's
# registers at the end.
set -u
state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT
export XDG_STATE_HOME="$state"
unset KIT_MACHINE
echo "== ovlport: a host session on the sample notebook"
"$KIT_BIN/ovlport_demo"
rc=$?
printf '(exit code %d)\n\n' "$rc"
exit $rc
