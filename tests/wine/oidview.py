#!/usr/bin/env python3
"""oidview.exe (64-bit) under Wine reporting Windows 95, compared with the
Linux oidview on a machine profile with the same registry: the adapter list,
the prompt, argument handling, both languages, the refusal under Windows NT 4,
and the install key in Wine's own registry.  Wine has no companion device, so
every run that gets that far ends with "OIDVIEW.VXD not found"."""
import winekit

SERVICES = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services"
NET_KEY = SERVICES + r"\Class\Net"
HUB_KEY = SERVICES + r"\VxD\KVELDHUB"
INSTALL_KEY = HUB_KEY + r"\Install"
# Keys this test makes, outermost first: those that were not there before are
# deleted at the end, so the shared prefix is left as it was found.  The
# network class key is replaced whatever it held, so that adapters of another
# test do not join the list.
MADE_KEYS = [SERVICES + r"\Class", NET_KEY, SERVICES + r"\VxD", HUB_KEY,
             r"HKEY_CURRENT_USER\Software\Wine\AppDefaults\oidview.exe"]

# Three Ethernet adapters bound to ndis3 and a dial-up adapter that is not.
ADAPTERS = rf"""REGEDIT4

[{NET_KEY}\0000]
"DriverDesc"="E100B PCI Adapter"

[{NET_KEY}\0000\Ndi\Interfaces]
"Upper"="ndis3"
"Lower"="ethernet"

[{NET_KEY}\0001]
"DriverDesc"="Dial-Up Adapter"

[{NET_KEY}\0001\Ndi\Interfaces]
"Upper"="ndis3"
"Lower"="ppp"

[{NET_KEY}\0002]
"DriverDesc"="DC21X4 PCI Fast Ethernet Adapter"

[{NET_KEY}\0002\Ndi\Interfaces]
"Upper"="ndis2,ndis3"
"Lower"="ethernet"

[{NET_KEY}\0010]
"DriverDesc"="Spare Card"

[{NET_KEY}\0010\Ndi\Interfaces]
"Upper"="ndis3"
"Lower"="ethernet"
"""

LIST = (b"1. E100B PCI Adapter (0000)\n2. DC21X4 PCI Fast Ethernet Adapter (0002)\n"
        b"3. Spare Card (0010)\n")
PROMPT_EN = b"select number(1-3): "
PROMPT_JA = "番号を選んでください(1-3): ".encode("cp932")
USAGE_EN = b"Windows 95 NDIS object listing utility\nusage: oidview [adapter name]\n"
USAGE_JA = "Windows 95 NDISログ情報表示ユーティリティ\n書式: oidview [アダプタ名]\n".encode("cp932")
NOT_FOUND_EN = b"OIDVIEW.VXD not found"
NOT_FOUND_JA = "OIDVIEW.VXDが見つかりません".encode("cp932")
WRONG_EN = b"You wrong Adapter name."
WRONG_JA = "アダプタ名が間違ってます".encode("cp932")
NOT_95 = "このプログラムはWindows 95以外では動作しません\n".encode("cp932")

# name, arguments, standard input, Japanese user, expected standard error
# and exit code.
SCENARIOS = [
    ("prompt until 2", [], b"0\n4\nabc\n2\n", False, LIST + PROMPT_EN * 4 + NOT_FOUND_EN, 0),
    ("prompt in Japanese", [], b"x\n3\n", True, LIST + PROMPT_JA * 2 + NOT_FOUND_JA, 0),
    ("empty reply", [], b"\n", False, LIST + PROMPT_EN, 0),
    ("end of input", [], b"", False, LIST + PROMPT_EN, 0),
    ("/?", ["/?"], b"", False, USAGE_EN, 0),
    ("/? in Japanese", ["/?"], b"", True, USAGE_JA, 0),
    ("/x", ["/x"], b"", False, USAGE_EN, 0),
    ("-?", ["-?"], b"", False, USAGE_EN, 0),
    ("-h", ["-h"], b"", False, WRONG_EN, 0),
    ("empty argument", [""], b"", False, WRONG_EN, 0),
    ("two arguments", ["0000", "x"], b"", False, USAGE_EN, 0),
    ("adapter 0002", ["0002"], b"", False, NOT_FOUND_EN, 0),
    ("dial-up adapter", ["0001"], b"", False, WRONG_EN, 0),
    ("dial-up adapter in Japanese", ["0001"], b"", True, WRONG_JA, 0),
    ("number without its zeros", ["2"], b"", False, WRONG_EN, 0),
    ("name and a blank", ["0002 "], b"", False, WRONG_EN, 0),
]


def profile(platform="windows95", japanese=False):
    text = f'platform = "{platform}"\n'
    if japanese:
        text += "[user]\nlanguage = 0x0411\n"
    return text + "[device]\ninstalled = false\n"


def locale(japanese):
    return {"LC_ALL": "ja_JP.UTF-8" if japanese else "C"}


def install_key(wine):
    """DstDir of the install key in Wine's registry, or None without the key."""
    values = wine.export(INSTALL_KEY).get(INSTALL_KEY.lower())
    if values is None:
        return None
    return values.get("dstdir", "(no DstDir)")


def main():
    wine = winekit.Wine()
    checks = winekit.Checks()
    exe = wine.exe("oidview.exe")
    missing_before = [key for key in MADE_KEYS if not wine.export(key)]
    try:
        wine.set_version("win95", "oidview.exe")
        wine.delete_key(NET_KEY)
        wine.import_reg(ADAPTERS)

        for name, args, stdin, japanese, err, rc in SCENARIOS:
            got = wine.run(exe, args, stdin=stdin, env=locale(japanese))
            want, _ = winekit.linux_run("oidview", args, stdin=stdin, profile=profile(japanese=japanese),
                                        reg_text=ADAPTERS)
            checks.equal(f"{name}: Wine run", (got.rc, got.stdout, got.stderr_lf), (rc, b"", err))
            checks.equal(f"{name}: Linux run", (want.rc, want.stdout, want.stderr), (rc, b"", err))

        # The install key: made when missing, as a volatile key (which takes
        # no lasting subkey) with an empty DstDir; left alone when present.
        wine.delete_key(HUB_KEY)
        wine.run(exe, [], stdin=b"\n")
        checks.equal("no choice: install key untouched", install_key(wine), None)
        got = wine.run(exe, ["0000"], env=locale(False))
        checks.equal("install key made: run", (got.rc, got.stderr_lf), (0, NOT_FOUND_EN))
        checks.equal("install key made: DstDir", install_key(wine), ("sz", ""))
        probe = wine.builtin("reg", "add", INSTALL_KEY + r"\probe", "/f")
        checks.true("install key is volatile: a lasting subkey is refused", probe.rc != 0, repr(probe))
        wine.builtin("reg", "add", INSTALL_KEY, "/v", "DstDir", "/d", r"C:\KIT", "/f")
        wine.run(exe, ["0000"])
        checks.equal("install key present: DstDir unchanged", install_key(wine), ("sz", r"C:\KIT"))

        # Windows NT 4: the Japanese message whatever the language; the
        # registry is not touched.
        wine.delete_key(HUB_KEY)
        wine.set_version("nt40", "oidview.exe")
        got = wine.run(exe, ["0000"], env=locale(False))
        want, _ = winekit.linux_run("oidview", ["0000"], profile=profile("windowsnt"), reg_text=ADAPTERS)
        checks.equal("nt40: Wine run", (got.rc, got.stdout, got.stderr_lf), (0, b"", NOT_95))
        checks.equal("nt40: Linux run", (want.rc, want.stdout, want.stderr), (0, b"", NOT_95))
        checks.equal("nt40: install key untouched", install_key(wine), None)
    finally:
        wine.delete_key(NET_KEY)
        wine.set_version(None, "oidview.exe")
        for key in missing_before:
            wine.delete_key(key)
    checks.equal("keys made by the test removed", [k for k in missing_before if wine.export(k)], [])
    checks.finish()


if __name__ == "__main__":
    main()
