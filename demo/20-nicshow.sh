#!/usr/bin/env bash
# nicshow, the network address display tool: once on the sample notebook (its
# [netbios] section), once on this machine's own network interfaces.  Its
# messages are code page 932 bytes; they are shown here converted to UTF-8.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${KIT_BIN:-$root/build/native/bin}

show() {
  local out err status
  out=$(mktemp) err=$(mktemp)
  "$bin/nicshow" >"$out" 2>"$err"
  status=$?
  echo "-- standard error:"
  iconv -f CP932 -t UTF-8 <"$err"
  echo "-- standard output:"
  iconv -f CP932 -t UTF-8 <"$out"
  echo "-- exit status $status"
  rm -f "$out" "$err"
}

echo "== nicshow on the sample notebook (KIT_MACHINE=machines/sample.toml)"
KIT_MACHINE="$root/machines/sample.toml" show
echo
echo "== nicshow on this machine's network interfaces (no machine profile named)"
(unset KIT_MACHINE; show)
echo
