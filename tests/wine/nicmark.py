#!/usr/bin/env python3
"""nicmark.exe (64-bit) under Wine against the Linux nicmark on the same
scenario: the same fixture registry, the same arguments and answers.  Standard
error (CRLF line ends aside), the exit code and the adapter keys afterwards
must be equal, and each scenario must end as it is meant to.

Usage: nicmark.py [scenario...]   (all scenarios without arguments)
"""
import os
import sys

import winekit

HERE = os.path.dirname(os.path.abspath(__file__))

WIN95_NET = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Net"
NT_CARDS = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\NetworkCards"
NT_SERVICES = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services"

# Per platform: the Wine version name, the profile's platform, the fixture,
# and the keys the fixture makes (compared after each run).
PLATFORMS = {
    "win95": ("win95", "windows95", "win95.reg", [WIN95_NET]),
    "nt40": ("nt40", "windowsnt", "nt40.reg",
             [NT_CARDS] + [NT_SERVICES + "\\" + s for s in ("DC21X43", "E100B1", "NdisWan2")]),
}

# name: (platform, arguments, answers, exit code, {key: NetworkAddress after
# the run, None for none}) -- the last two say how the scenario must end.
SCENARIOS = {
    "win95_list": ("win95", [], b"0\r\n", 0,
                   {WIN95_NET + r"\0002": "02004C4F4F50", WIN95_NET + r"\10": "0A0000000010"}),
    "win95_interactive_set": ("win95", [], b"5\r\n3\r\n7\r\n1x\r\n02aabbccddee \r\n0eaabbccddee\r\n", 0,
                              {WIN95_NET + r"\9": "0eaabbccddee", WIN95_NET + r"\0000": None}),
    "win95_interactive_release": ("win95", [], b"2\n2\n", 0, {WIN95_NET + r"\0002": None}),
    "win95_release_without_value": ("win95", ["0000"], b"", 0, {WIN95_NET + r"\0000": None}),
    "win95_end_of_input_at_address": ("win95", [], b"1\r\n1\r\n", 2, {WIN95_NET + r"\0000": None}),
    "nt40_list": ("nt40", [], b"", 0, {NT_SERVICES + r"\DC21X43\Parameters": "02004C4F4F51"}),
    "nt40_set": ("nt40", ["e100b1", "02AABBCCDDEE"], b"", 0,
                 {NT_SERVICES + r"\E100B1\Parameters": "02AABBCCDDEE"}),
    "nt40_release": ("nt40", ["DC21X43"], b"", 0, {NT_SERVICES + r"\DC21X43\Parameters": None}),
    "unknown_adapter": ("nt40", ["1"], b"", 2, {NT_SERVICES + r"\DC21X43\Parameters": "02004C4F4F51"}),
    "unknown_adapter_95": ("win95", ["0001", "02AABBCCDDEE"], b"", 2, {WIN95_NET + r"\0001": None}),
    "malformed_address": ("win95", ["0000", "03AABBCCDDEE"], b"", 2, {WIN95_NET + r"\0000": None}),
    "malformed_address_nt": ("nt40", ["E100B1", "02AABBCCDDE"], b"", 2,
                             {NT_SERVICES + r"\E100B1\Parameters": None}),
    "three_arguments": ("win95", ["0000", "02AABBCCDDEE", "x"], b"", 1, {WIN95_NET + r"\0000": None}),
}


def fixture(name):
    with open(os.path.join(HERE, "nicmark", name), encoding="ascii") as f:
        return f.read()


def compared(registry, keys):
    return {key: winekit.subtree(registry, key) for key in keys}


def network_address(registry, key):
    value = registry.get(key.lower(), {}).get("networkaddress")
    return value[1] if value else None


def run_scenario(wine, checks, name):
    platform, args, answers, code, addresses = SCENARIOS[name]
    version, profile_platform, reg_name, keys = PLATFORMS[platform]
    reg_text = fixture(reg_name)

    linux, linux_registry = winekit.linux_run("nicmark", args, stdin=answers,
                                              profile=f'platform = "{profile_platform}"\n', reg_text=reg_text)

    wine.set_version(version)
    # Wine keeps NetworkCards volatile and refuses plain subkeys under it:
    # the fixture's keys replace it and the others whole.
    for key in keys:
        wine.delete_key(key)
    wine.import_reg(reg_text)
    windows = wine.run("nicmark.exe", args, stdin=answers)
    wine_registry = {}
    for key in keys:
        wine_registry.update(wine.export(key))

    checks.equal(f"{name}: standard error", windows.stderr_lf, linux.stderr)
    checks.equal(f"{name}: standard output", (windows.stdout, linux.stdout), (b"", b""))
    checks.equal(f"{name}: exit code", windows.rc, linux.rc)
    checks.equal(f"{name}: registry", compared(wine_registry, keys), compared(linux_registry, keys))
    checks.equal(f"{name}: exit code as meant", linux.rc, code)
    for key, want in addresses.items():
        checks.equal(f"{name}: NetworkAddress of {key.rsplit(chr(92), 2)[-2:]}",
                     network_address(linux_registry, key), want)


def main():
    names = sys.argv[1:] or list(SCENARIOS)
    for name in names:
        if name not in SCENARIOS:
            raise SystemExit(f"unknown scenario {name}; known: {', '.join(SCENARIOS)}")
    if not winekit.NATIVE_BIN or not os.path.exists(os.path.join(winekit.NATIVE_BIN, "nicmark")):
        raise SystemExit("FAIL: the Linux nicmark is missing: build the native preset")
    wine = winekit.Wine()
    checks = winekit.Checks()
    try:
        for name in names:
            run_scenario(wine, checks, name)
    finally:
        wine.set_version(None)
    checks.finish()


if __name__ == "__main__":
    main()
