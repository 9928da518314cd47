#!/usr/bin/env python3
"""ovlport.dll (64-bit) under Wine, loaded by a minimal host.

The library loads (its entry point runs the screen query and controller
detection), both exports are found by name and by ordinal, DriverProc answers
every message as the installable-driver protocol asks, and vpmDriverProc checks
interface, version and slot in that order.  A 64-bit process cannot reach the
display controller's ports, so the controller is never detected and the
driver table is refused with -3 (overlay unavailable), leaving the slot alone.
"""
import sys

import winekit

EXPECTED = """\
DriverProc: found, ordinal 101: the same
vpmDriverProc: found, ordinal 102: the same
DriverProc 0: 0
DriverProc 1: 1
DriverProc 2: 1
DriverProc 3: 1
DriverProc 4: 1
DriverProc 5: 1
DriverProc 6: 1
DriverProc 7: 0
DriverProc 8: 0
DriverProc 9: 1
DriverProc 10: 0
DriverProc 11: 0
DriverProc 12: 0
DriverProc 13: 0
DriverProc 14: 0
DriverProc 15: 1
DriverProc 16: 0
vpmDriverProc 0x4002 0x10100 null: -1
vpmDriverProc 0x4001 0x10101 slot: -2, slot unchanged
vpmDriverProc 0x4001 0x10100 null: -5
vpmDriverProc 0x4001 0x10100 slot: -3, slot unchanged
FreeLibrary: ok
"""


def main():
    wine = winekit.Wine()
    result = wine.run("ovlport_probe.exe")
    if result.rc != 0 or result.stdout_lf.decode() != EXPECTED:
        print("FAIL: ovlport_probe.exe under Wine")
        print(result)
        return 1
    print("ovlport.dll under Wine: exports, DriverProc and vpmDriverProc as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
