#!/usr/bin/env bash
# oidview, the NDIS object lister, on the built-in sample notebook: the
# adapter list with the answer typed at the prompt, an adapter named on the
# command line (its requests complete through the event), and the Japanese
# texts (code page 932, shown here converted to UTF-8).  The sample is copied
# into a state folder of this demo's own.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${KIT_BIN:-$root/build/native/bin}
state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT
export XDG_STATE_HOME="$state"
unset KIT_MACHINE

step() { printf '\n==== %s\n' "$*"; }
# oidview ends with exit code 1 after a listing and 0 otherwise.
status=0
run() {
  local want=$1 stdin=$2 out err rc
  shift 2
  out=$(mktemp) err=$(mktemp)
  printf '%s' "$stdin" | "$bin/oidview" "$@" >"$out" 2>"$err"
  rc=$?
  echo "-- standard error:"
  iconv -f CP932 -t UTF-8 <"$err"
  # The typed answer, and a line end after a message that has none.
  if [ -n "$stdin" ]; then printf '%s' "$stdin"; elif [ -s "$err" ] && [ -n "$(tail -c1 "$err")" ]; then echo; fi
  echo "-- standard output:"
  iconv -f CP932 -t UTF-8 <"$out"
  echo "-- exit code $rc"
  [ "$rc" -eq "$want" ] || status=1
  rm -f "$out" "$err"
}

echo "== oidview: NDIS objects of the sample notebook's Ethernet adapters"

step "oidview            (the list; the answer 1 chooses the E100B card)"
run 1 $'1\n'

step "oidview 0002       (the DC21X4 card, named on the command line)"
run 1 "" 0002

step "oidview 0001       (the dial-up adapter is not an Ethernet adapter)"
run 0 "" 0001

# The same notebook with a Japanese user.
sample="$state/notebook-kit/sample"
sed 's/^language = 0x0409/language = 0x0411/' "$sample/sample.toml" >"$sample/japanese.toml"
export KIT_MACHINE="$sample/japanese.toml"

step "oidview /?         (a Japanese user: the usage text)"
run 0 "" /?

step "oidview 0002       (a Japanese user: the labels in Japanese)"
run 1 "" 0002
echo
exit $status
