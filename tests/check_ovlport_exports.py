#!/usr/bin/env python3
"""Checks the exports of ovlport.dll in both Windows builds: exactly
DriverProc at ordinal 101 and vpmDriverProc at ordinal 102, under their plain
names (no stdcall decoration), as an installable-driver host and a VPM host
look them up.  Exit 77 (skipped) when a build is missing."""
import os
import re
import subprocess
import sys

EXPECTED = {"DriverProc": 101, "vpmDriverProc": 102}


def exports(text):
    """Name -> ordinal, from objdump -p."""
    base = re.search(r"Ordinal Base (\d+)", text)
    table = re.search(r"\[Ordinal/Name Pointer\] Table\n((?:\s+\[\s*\d+\] \S+\n)*)", text)
    if not base or not table:
        return {}
    return {m.group(2): int(base.group(1)) + int(m.group(1))
            for m in re.finditer(r"\[\s*(\d+)\] (\S+)", table.group(1))}


def main():
    root = sys.argv[1]
    failures, checked = [], 0
    for arch, objdump in (("x86", "i686-w64-mingw32-objdump"), ("x64", "x86_64-w64-mingw32-objdump")):
        path = os.path.join(root, f"windows-{arch}", "bin", "ovlport.dll")
        if not os.path.exists(path):
            print(f"skipped: {path} is missing (build the windows-{arch} preset)")
            return 77
        text = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout
        found = exports(text)
        checked += 1
        if found != EXPECTED:
            failures.append(f"{arch}: exports {found}, expected {EXPECTED}")
    for f in failures:
        print("FAIL:", f)
    print(f"{checked} builds of ovlport.dll checked, {len(failures)} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
