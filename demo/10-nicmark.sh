#!/usr/bin/env bash
# nicmark on the built-in sample notebook: the adapter list, a set and a
# release from the command line, and the list again with both changes.
# The sample is copied into a state folder of this demo's own, so every run
# starts from the sample as shipped and leaves the user's copy alone.
set -u
nicmark="$KIT_BIN/nicmark"
state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT
export XDG_STATE_HOME="$state"
unset KIT_MACHINE

step() { printf '\n==== %s\n' "$*"; }
# nicmark prints everything to standard error; show it in order with ours.
# The answer 0 is typed at the adapter prompt, which keeps its line open.
# Every step here is meant to end with exit code 0.
status=0
ended() { printf '(exit code %d)\n' "$1"; [ "$1" -eq 0 ] || status=1; }
list() { echo 0 | "$nicmark" 2>&1; local rc=$?; echo 0; ended $rc; }
run() { "$nicmark" "$@" 2>&1; ended $?; }

echo "== nicmark: network address setup (registry of the sample in $state/notebook-kit/sample)"

step "nicmark                         (the list; the answer 0 cancels)"
list

step "nicmark 0000 02AABBCCDDEE       (set the address of adapter 0000)"
run 0000 02AABBCCDDEE

step "nicmark 0002                    (release the address of adapter 0002)"
run 0002

step "nicmark                         (the list again)"
list
echo
exit $status
