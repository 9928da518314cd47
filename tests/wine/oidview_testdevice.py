#!/usr/bin/env python3
"""oidview.exe (64-bit, Wine reporting win95) against the kernel-mode test
device, and the Linux oidview against the simulated device with the same
answers: the listing (standard output) must be the same bytes, with the CRLF
line ends of the Windows C runtime's text mode; the dialogue (standard error)
the same apart from CRLF; the exit codes equal; and the requests the test
device received the ones the simulated device recorded."""
import os
import tempfile

import winekit
from testdevice import Answer, TestDevice, device_toml, read_sim_record

QUERY_CODE = 0x7434000A
SERVICES = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services"
NET_KEY = SERVICES + r"\Class\Net"
# Keys this test makes (the lister makes the install key below VxD), outermost
# first: those that were not there before are deleted at the end, so that the
# shared prefix is left as it was found.  The network class key is replaced
# whatever it held, so that adapters of another test do not join the list.
MADE_KEYS = [SERVICES + r"\Class", NET_KEY, SERVICES + r"\VxD", SERVICES + r"\VxD\KVELDHUB",
             r"HKEY_CURRENT_USER\Software\Wine\AppDefaults\oidview.exe"]

ADAPTERS = rf"""REGEDIT4

[{NET_KEY}\0000]
"DriverDesc"="Test Fast Ethernet Adapter"

[{NET_KEY}\0000\Ndi\Interfaces]
"Upper"="ndis2,ndis3"
"Lower"="ethernet"

[{NET_KEY}\0001]
"DriverDesc"="Test Ethernet Card"

[{NET_KEY}\0001\Ndi\Interfaces]
"Upper"="ndis3"
"Lower"="ethernet"
"""


def dword(v):
    return (v & 0xFFFFFFFF).to_bytes(4, "little")


def qword(v):
    return v.to_bytes(8, "little")


# Adapter 0000 answers every object of the table, so that every value rule
# prints: names found and not found, link speeds, bit names, the vendor code,
# text, version, address lists, and lengths of 4, 8, 2 and 6 bytes.
FULL = [
    (0x00010102, dword(0)),                                   # Ready
    (0x00010103, dword(0) + dword(5)),                        # two media
    (0x00010104, dword(0) + b"\x01\x00"),                     # trailing part ignored
    (0x00010105, dword(1500)),
    (0x00010106, dword(1514)),
    (0x00010107, dword(15000)),                               # 1.5 Mbps
    (0x00010108, dword(0x10000)),
    (0x00010109, dword(0xFFFFFFFF)),
    (0x0001010A, dword(1514)),
    (0x0001010B, b"\x34\x12"),                                # 2-byte value
    (0x0001010C, bytes.fromhex("00000e07")),                  # vendor code 00000e
    (0x0001010D, b"Test Fast Ethernet Adapter\0"),
    (0x0001010E, dword(0xF00B)),                              # packet filter names
    (0x0001010F, dword(128)),
    (0x00010110, bytes.fromhex("0203")),                      # version 3.2
    (0x00010111, dword(1518)),
    (0x00010113, dword(0x80000011)),                          # MAC option names
    (0x00020101, qword(2 ** 32)),
    (0x00020102, qword(10 ** 12 + 5)),
    (0x00020103, qword(7)),
    (0x00020104, dword(3)),
    (0x00020105, dword(0)),
    (0x00020201, qword(2 ** 64 - 1)),
    (0x00020202, qword(123456789012)),
    (0x00020203, dword(1)),
    (0x00020204, dword(2)),
    (0x00020205, dword(3)),
    (0x00020206, dword(4)),
    (0x00020207, qword(2 ** 40 + 10000)),
    (0x00020208, dword(6)),
    (0x00020209, dword(7)),
    (0x0002020A, dword(8)),
    (0x0002020B, dword(9)),
    (0x0002020C, dword(10)),
    (0x0002020D, dword(11)),
    (0x0002020E, dword(12)),
    (0x01010101, bytes.fromhex("00000e123456")),
    (0x01010102, bytes.fromhex("02000e123456")),
    (0x01010103, bytes.fromhex("01005e000001" "01005e000002")),  # two addresses
    (0x01010104, dword(32)),
    (0x01020101, dword(13)),
    (0x01020102, dword(14)),
    (0x01020103, dword(15)),
    (0x01020201, dword(16)),
    (0x01020202, dword(17)),
    (0x01020203, dword(18)),
    (0x01020204, dword(19)),
    (0x01020205, dword(20)),
    (0x01020206, dword(21)),
    (0x01020207, bytes.fromhex("01005e00000102")),           # 7 bytes, length rule
]


def full(adapter="0000", **kw):
    return [Answer(adapter, oid, data, **kw) for oid, data in FULL]


def line(label, value, encoding="ascii"):
    """A listing line: the label padded to 32 bytes of its printed form."""
    return label.encode(encoding).ljust(32) + b"  " + value + b"\n"


class Scenario:
    def __init__(self, name, answers, args=("0000",), stdin=b"", completion="immediate", japanese=False,
                 present=(), absent=(), stdout=None, adapter="0000"):
        self.name, self.answers, self.args, self.stdin = name, answers, list(args), stdin
        self.adapter = adapter  # the adapter named in every request
        self.completion, self.japanese = completion, japanese
        self.present, self.absent, self.stdout = present, absent, stdout


SCENARIOS = [
    Scenario("full listing", full(), present=[
        line("OID_GEN_HARDWARE_STATUS", b"Ready"),
        line("OID_GEN_MEDIA_SUPPORTED", b"Ethernet(802.3), DEC/Intel/Xerox (DIX) Ethernet"),
        line("OID_GEN_LINK_SPEED", b"1.5 Mbps"),
        line("OID_GEN_VENDOR_ID", b"00000e"),
        line("OID_GEN_CURRENT_PACKET_FILTER", b"Directed, Multicast, Broadcast, MacFrame, Functional, "
                                              b"AllFunctional, Group"),
        line("OID_GEN_DRIVER_VERSION", b"3.2"),
        line("OID_GEN_MAC_OPTIONS", b"CopyLookaheadData, FullDuplex, Reserved"),
        line("OID_GEN_XMIT_OK", b"4294967296"),
        line("OID_GEN_RCV_OK", b"1000000000005"),
        line("OID_GEN_DIRECTED_BYTES_XMIT", b"18446744073709551615"),
        line("OID_GEN_RECEIVE_BLOCK_SIZE", b"34-12"),
        line("OID_802_3_MULTICAST_LIST", b"01-00-5e-00-00-01, 01-00-5e-00-00-02"),
        line("OID_802_3_XMIT_LATE_COLLISIONS", b"01-00-5e-00-00-01-02"),
    ]),
    Scenario("full listing in Japanese, chosen at the prompt", full("0001"), args=(), stdin=b"x\n2\n",
             japanese=True, adapter="0001",
             present=[line("リンクスピード", b"1.5 Mbps", "cp932"),
                      line("送信バイト数(Directed)", b"18446744073709551615", "cp932")]),
    Scenario("pending completion for every object", full(), completion="pending",
             present=[line("OID_GEN_LINK_SPEED", b"1.5 Mbps"), line("OID_GEN_XMIT_OK", b"4294967296")]),
    # The device knows only the other adapter.
    Scenario("adapter that answers nothing", full("0001"), args=("0000",), stdout=b""),
    Scenario("failure statuses", [
        Answer("0000", 0x00010105, dword(1500), status=0xC0010015),   # passed on
        Answer("0000", 0x00010106, dword(1514), status=0x80000005),   # passed on
        Answer("0000", 0x00010107, dword(100000), status=0xC0000001),  # no value
        Answer("0000", 0x00010108, dword(64), status=0x00000103),     # passed on
    ], present=[line("OID_GEN_MAXIMUM_LOOKAHEAD", b"1500"), line("OID_GEN_MAXIMUM_FRAME_SIZE", b"1514"),
                line("OID_GEN_TRANSMIT_BUFFER_SPACE", b"64")], absent=[b"OID_GEN_LINK_SPEED"]),
    Scenario("moved dataOffset", [
        Answer("0000", 0x00010107, dword(100000), offset=64),
        Answer("0000", 0x0001010D, b"Moved Adapter\0", offset=200),
        Answer("0000", 0x01010101, bytes.fromhex("00000e123456"), offset=310),  # ends at the buffer's end
        Answer("0000", 0x01010102, bytes.fromhex("00000e654321"), offset=12),   # over the reserved header
        Answer("0000", 0x01010103, bytes.fromhex("01005e00000102"), offset=61),  # 7-byte list, unaligned
    ], present=[line("OID_GEN_LINK_SPEED", b"10 Mbps"), line("OID_GEN_VENDOR_DESCRIPTION", b"Moved Adapter"),
                line("OID_802_3_PERMANENT_ADDRESS", b"00-00-0e-12-34-56"),
                line("OID_802_3_CURRENT_ADDRESS", b"00-00-0e-65-43-21"),
                line("OID_802_3_MULTICAST_LIST", b"01-00-5e-00-00-01, 02")]),
    Scenario("replies beyond the capacity or the buffer", [
        Answer("0000", 0x00010107, dword(100000), length=257),                     # above the capacity
        Answer("0000", 0x00010105, dword(1500), length=0xFFFFFFFF),
        Answer("0000", 0x00010106, dword(1514), offset=313),                       # past the buffer's end
        Answer("0000", 0x00010108, dword(64), offset=0xFFFFFFF0),                  # wraps in 32 bits
        Answer("0000", 0x00010109, dword(0)),                                      # empty value
        Answer("0000", 0x0001010A, b"", length=0),
        Answer("0000", 0x0001010F, dword(128), length=256),                        # exactly the capacity
    ], present=[line("OID_GEN_RECEIVE_BUFFER_SPACE", b"0"),
                b"OID_GEN_CURRENT_LOOKAHEAD"],
       absent=[b"OID_GEN_LINK_SPEED", b"OID_GEN_MAXIMUM_LOOKAHEAD", b"OID_GEN_MAXIMUM_FRAME_SIZE",
               b"OID_GEN_TRANSMIT_BUFFER_SPACE", b"OID_GEN_TRANSMIT_BLOCK_SIZE"]),
    Scenario("requests that fail", [
        Answer("0000", 0x00010107, dword(100000), fail=31),                 # DeviceIoControl fails
        Answer("0000", 0x00010105, dword(1500), completion="fails"),        # the completion fails
        Answer("0000", 0x00010106, dword(1514), completion="pending"),
        Answer("0000", 0x00010108, dword(64), completion="immediate"),
    ], completion="fails",
       present=[line("OID_GEN_MAXIMUM_FRAME_SIZE", b"1514"), line("OID_GEN_TRANSMIT_BUFFER_SPACE", b"64")],
       absent=[b"OID_GEN_LINK_SPEED", b"OID_GEN_MAXIMUM_LOOKAHEAD"]),
]


def sim_profile(scenario):
    lines = ['platform = "windows95"']
    if scenario.japanese:
        lines += ["[user]", "language = 0x0411"]
    return "\n".join(lines) + "\n" + device_toml(scenario.answers, scenario.completion)


def expected_requests(adapter):
    name = adapter.encode()
    request = lambda oid: (bytes(4) + dword(24) + dword(5) + dword(oid) + bytes(8) + name + bytes(8 - len(name)))
    return [(QUERY_CODE, request(oid), 316) for oid, _ in FULL]


def main():
    wine = winekit.Wine()
    checks = winekit.Checks()
    exe = wine.exe("oidview.exe")
    for tool in ("oidview", "oidview_record"):
        if not os.path.exists(os.path.join(winekit.NATIVE_BIN, tool)):
            raise SystemExit(f"FAIL: {tool} is missing: build the native preset")
    missing_before = [key for key in MADE_KEYS if not wine.export(key)]
    device = TestDevice(wine)
    try:
        device.install()
        wine.set_version("win95", "oidview.exe")
        wine.delete_key(NET_KEY)
        wine.import_reg(ADAPTERS)
        for s in SCENARIOS:
            env = {"LC_ALL": "ja_JP.UTF-8" if s.japanese else "C"}
            device.set_answers(s.answers, s.completion)
            device.clear_requests()
            got = wine.run(exe, s.args, stdin=s.stdin, env=env)
            received = device.requests()
            want, _ = winekit.linux_run("oidview", s.args, stdin=s.stdin, profile=sim_profile(s), reg_text=ADAPTERS)
            with tempfile.TemporaryDirectory() as tmp:
                record = os.path.join(tmp, "requests.txt")
                replay, _ = winekit.linux_run("oidview_record", s.args, stdin=s.stdin, profile=sim_profile(s),
                                              reg_text=ADAPTERS, env={"KIT_DEVICE_RECORD": record})
                recorded = read_sim_record(record)
            checks.equal(f"{s.name}: Linux run that records", (replay.rc, replay.stdout, replay.stderr),
                         (want.rc, want.stdout, want.stderr))
            checks.equal(f"{s.name}: exit code", (got.rc, want.rc), (1, 1))
            # The listing byte for byte, as the Windows C runtime writes it
            # in text mode (every line feed preceded by a carriage return).
            checks.equal(f"{s.name}: standard output", got.stdout, want.stdout.replace(b"\n", b"\r\n"))
            checks.equal(f"{s.name}: standard error", got.stderr_lf, want.stderr)
            checks.equal(f"{s.name}: requests received and recorded", received, recorded)
            checks.equal(f"{s.name}: requests as sent", received, expected_requests(s.adapter))
            if s.stdout is not None:
                checks.equal(f"{s.name}: listing", got.stdout, s.stdout)
            for text in s.present:
                checks.true(f"{s.name}: listed {text!r}", text in got.stdout_lf, got.stdout_lf.decode("cp932"))
            for text in s.absent:
                checks.true(f"{s.name}: not listed {text.decode()}", text not in got.stdout_lf)
    finally:
        device.close()
        wine.set_version(None, "oidview.exe")
        for key in missing_before:
            wine.delete_key(key)
    checks.equal("keys made by the test removed", [k for k in missing_before if wine.export(k)], [])
    checks.true("test device removed", not device.running())
    checks.finish()


if __name__ == "__main__":
    main()
