#!/usr/bin/env python3
"""The DirectDraw seam (64-bit) on Wine's DirectDraw, through a minimal host.

Surface descriptions read back through the seam carry what DirectDraw
reports: the colour keys its flags name, the pixel format and pitch given at
creation, the memory and pitch of a lock; DirectDraw's own result codes pass
through unchanged (an unlock without a lock is refused with DDERR_NOTLOCKED),
and every object is released.
"""
import sys

import winekit

EXPECTED = """\
DirectDrawCreate: 0
SetCooperativeLevel: 0
primary: 0
SetColorKey destination overlay: 0
GetSurfaceDesc: 0
primary destination overlay key: reported, f81f-f81f
plain surface: 0
SetColorKey destination blit: 0
SetColorKey source blit: 0
GetSurfaceDesc: 0
size 50x20, pitch at least a line: yes
format: flags 40, 16 bits, masks f800 7e0 1f
destination blit key: reported, 11-11
source blit key: reported, 33-33
Lock: 0, memory set, same pitch: yes
locked source blit key: reported, 33-33
Unlock: 0
Unlock again: 88760248
Release plain: 0
Release primary: 0
Release DirectDraw: 0
"""


def main():
    wine = winekit.Wine()
    result = wine.run("directdraw_probe.exe")
    if result.rc != 0 or result.stdout_lf.decode() != EXPECTED:
        print("FAIL: directdraw_probe.exe under Wine")
        print(result)
        return 1
    print("DirectDraw seam under Wine: descriptions, keys, locks and results as DirectDraw reports them")
    return 0


if __name__ == "__main__":
    sys.exit(main())
