#!/usr/bin/env python3
"""nicshow.exe (64-bit) under Wine against the Linux nicshow on this
machine's real network interfaces.

Wine's NetBIOS binds one LAN adapter number to each IPv4 address of a
non-loopback interface and reports that interface's hardware address; the
Linux build binds one to each interface that is up, is not a loopback, has a
6-byte hardware address and an IPv4 address.  Where these two rules pick the
same interfaces, both programs must print the same bytes (CRLF line ends
aside) and end with the same exit code, and the address printed must be the
one /sys/class/net reports.  Elsewhere (no such interface, or an interface
that only one rule picks) the test is skipped and says why.
"""
import fcntl
import os
import socket
import struct
import subprocess
import sys

import winekit

SIOCGIFADDR = 0x8915
IFF_UP = 0x1
IFF_LOOPBACK = 0x8


def read(path):
    with open(path) as f:
        return f.read().strip()


def has_ipv4(name):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        try:
            fcntl.ioctl(s.fileno(), SIOCGIFADDR, struct.pack("256s", name.encode()[:15]))
            return True
        except OSError:
            return False


def interfaces():
    found = []
    for name in os.listdir("/sys/class/net"):
        base = os.path.join("/sys/class/net", name)
        if not os.path.exists(os.path.join(base, "flags")):
            continue  # not an interface (bonding_masters)
        flags = int(read(os.path.join(base, "flags")), 16)
        found.append({
            "name": name,
            "index": int(read(os.path.join(base, "ifindex"))),
            "up": bool(flags & IFF_UP),
            "loopback": bool(flags & IFF_LOOPBACK),
            "addr_len": int(read(os.path.join(base, "addr_len"))),
            "address": read(os.path.join(base, "address")),
            "ipv4": has_ipv4(name),
        })
    return sorted(found, key=lambda i: i["index"])


def main():
    all_interfaces = interfaces()
    ours = [i for i in all_interfaces
            if i["up"] and not i["loopback"] and i["addr_len"] == 6 and i["ipv4"]]
    wines = [i for i in all_interfaces if not i["loopback"] and i["ipv4"]]
    if not ours:
        print("skipped: no interface here is up, not a loopback, with a 6-byte hardware address and "
              "an IPv4 address, so neither NetBIOS has a LAN adapter to report")
        sys.exit(winekit.SKIP)
    if [i["name"] for i in ours] != [i["name"] for i in wines]:
        print("skipped: Wine's NetBIOS would bind other interfaces than ours here "
              f"(Wine: {[i['name'] for i in wines]}, ours: {[i['name'] for i in ours]}), "
              "so their outputs need not agree")
        sys.exit(winekit.SKIP)
    print("interfaces bound:", ", ".join(f"{i['name']} {i['address']}" for i in ours))

    env = {k: v for k, v in os.environ.items() if k != "KIT_MACHINE"}
    linux = subprocess.run([os.path.join(winekit.NATIVE_BIN, "nicshow")], env=env,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    wine = winekit.Wine().run("nicshow.exe")

    checks = winekit.Checks()
    first = ours[0]["address"].replace(":", "")
    if all(i["address"] == ours[0]["address"] for i in ours):
        want = ("現在のネットワークアドレスは " + first + " です。\n").encode("cp932")
        checks.equal("Linux nicshow prints the address of " + ours[0]["name"], linux.stdout, want)
        checks.equal("Linux nicshow exit code", linux.returncode, 0)
    # The Windows C runtime writes a line feed as CR LF in text mode.
    checks.equal("standard output, Wine and Linux", wine.stdout, linux.stdout.replace(b"\n", b"\r\n"))
    checks.equal("standard error, Wine and Linux", wine.stderr, linux.stderr.replace(b"\n", b"\r\n"))
    checks.equal("exit code, Wine and Linux", wine.rc, linux.returncode)
    checks.finish()


if __name__ == "__main__":
    main()
