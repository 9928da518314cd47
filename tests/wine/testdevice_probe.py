#!/usr/bin/env python3
"""The lister's test device itself under Wine, before the lister meets it:
the driver loads as a kernel service, opens under the companion device's
name, answers one query at a time from its registry answers (at once and
through the pending path), never writes outside the response buffer, fails a
request when told to, and records what it received."""
import winekit
from testdevice import Answer, TestDevice

QUERY_CODE = 0x7434000A


def fields(line):
    return dict(item.split("=", 1) for item in line.decode().split())


def request_bytes(adapter, oid):
    name = adapter.encode()[:7]
    return (bytes(4) + (24).to_bytes(4, "little") + (5).to_bytes(4, "little") + oid.to_bytes(4, "little")
            + bytes(8) + name + bytes(8 - len(name)))


def main():
    wine = winekit.Wine()
    checks = winekit.Checks()
    device = TestDevice(wine)
    try:
        device.install()
        answers = [
            Answer("0000", 0x00010107, bytes.fromhex("a0860100")),
            Answer("0000", 0x0001010C, bytes.fromhex("00000e07"), completion="pending"),
            Answer("0000", 0x01010102, bytes.fromhex("00000e123456"), offset=100),
            # Claims more than it has and is moved to the buffer's last bytes:
            # what lies past the buffer is not written.
            Answer("0000", 0x00020101, bytes.fromhex("0102030405060708"), length=300, offset=312),
            Answer("0000", 0x00020102, bytes.fromhex("07000000"), status=0xC0010015),
            Answer("0000", 0x00020103, b"", fail=31),
            Answer("0000", 0x00020104, bytes.fromhex("01000000"), completion="fails"),
            Answer("0001", 0x00010107, bytes.fromhex("40420f00")),
        ]
        # (adapter, oid, capacity, completion setting, expected fields of the probe line)
        cases = [
            ("0000", 0x00010107, 256, "immediate",
             dict(ioctl="1", pending="0", returned="316", status="00000000", offset="60", length="4", data="a0860100")),
            ("0001", 0x00010107, 256, "immediate", dict(ioctl="1", status="00000000", data="40420f00")),
            ("0002", 0x00010107, 256, "immediate", dict(ioctl="1", status="c0000001", length="0", data="")),
            ("0000", 0x0001010C, 256, "immediate",
             dict(ioctl="0", error="997", pending="1", overlapped="1", returned="316", data="00000e07")),
            ("0000", 0x00010107, 256, "pending",
             dict(ioctl="0", error="997", pending="1", overlapped="1", status="00000000", data="a0860100")),
            ("0000", 0x00010107, 20, "pending", dict(pending="1", overlapped="1", returned="80", data="a0860100")),
            ("0000", 0x01010102, 256, "immediate", dict(offset="100", length="6", data="00000e123456")),
            ("0000", 0x00020101, 256, "immediate", dict(offset="312", length="300", data="01020304")),
            ("0000", 0x00020102, 256, "immediate", dict(status="c0010015", data="07000000")),
            ("0000", 0x00020103, 256, "pending", dict(ioctl="0", error="31", pending="0")),
            ("0000", 0x00020104, 256, "immediate", dict(ioctl="0", pending="1", overlapped="0", error="31")),
            ("0000", 0x00010107, 256, "fails", dict(ioctl="0", pending="1", overlapped="0", error="31")),
        ]
        sent = []
        for adapter, oid, capacity, completion, want in cases:
            device.set_answers(answers, completion)
            r = device.probe(adapter, oid, capacity)
            line = r.stdout.strip().splitlines()[-1] if r.stdout.strip() else b""
            got = fields(line) if line.startswith(b"open=1") else {"open": line.decode(errors="replace")}
            checks.equal(f"{adapter}:{oid:08x} capacity {capacity}, {completion}",
                         {k: got.get(k) for k in want}, want)
            sent.append((QUERY_CODE, request_bytes(adapter, oid), capacity + 60))

        # Every request of the last scenario again, now with its record read
        # back: the log starts empty once cleared, and keeps the arrival order.
        device.set_answers(answers)
        device.clear_requests()
        for _, request, size in sent[:3]:
            device.probe(request[24:28].decode(), int.from_bytes(request[12:16], "little"), size - 60)
        checks.equal("requests recorded in order", device.requests(), sent[:3])
    finally:
        device.close()
    checks.true("service removed", not device.running())
    checks.finish()


if __name__ == "__main__":
    main()
