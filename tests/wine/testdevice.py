"""The lister's companion device under Wine: the kernel-mode test driver in
device/, built here with the 64-bit MinGW-w64 compiler, installed into the
shared Wine prefix as a kernel service, and given its answers through the
registry.  The same answers, written as the [device] section of a machine
profile, drive the simulated device of the Linux build, so one scenario runs
on both sides and the results compare directly.

Answers are Answer records: the adapter name and object identifier a request
carries, the value bytes, and optionally the status written, the dataLength
reported (the number of value bytes when absent), a moved dataOffset, the
completion ("immediate", "pending", or "fails": pending, then failed) and an
error that fails the request at once.
"""
import os
import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass
from typing import Optional

import winekit

SERVICE = "kveldnav"
SERVICE_KEY = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services" + "\\" + SERVICE
PARAMETERS_KEY = SERVICE_KEY + r"\Parameters"
REQUESTS_KEY = PARAMETERS_KEY + r"\Requests"
DRIVER_PATH = r"C:\windows\system32\drivers\kveldnav.sys"
DEVICE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "device")
CC = "x86_64-w64-mingw32-gcc"

RESPONSE_HEADER = 60
FLAG_PENDING, FLAG_FAIL, FLAG_OWN = 1, 2, 4
COMPLETION_SETTING = {"immediate": 0, "pending": 1, "fails": 2}


@dataclass
class Answer:
    adapter: str
    oid: int
    data: bytes = b""
    status: int = 0
    length: Optional[int] = None
    offset: Optional[int] = None
    completion: Optional[str] = None
    fail: Optional[int] = None


def _ddk_include():
    """The folder of the MinGW-w64 DDK headers (ntddk.h and wdm.h)."""
    probe = subprocess.run([CC, "-E", "-Wp,-v", "-x", "c", "-"], input=b"", capture_output=True)
    for line in probe.stderr.decode(errors="replace").splitlines():
        folder = os.path.join(line.strip(), "ddk")
        if line.startswith(" ") and os.path.exists(os.path.join(folder, "ntddk.h")):
            return folder
    raise SystemExit(f"FAIL: no DDK headers found for {CC} (package mingw-w64-x86-64-dev)")


def build(outdir):
    """Builds the driver and the probe client into outdir; returns their paths."""
    if shutil.which(CC) is None:
        raise SystemExit(f"FAIL: {CC} is missing (package gcc-mingw-w64-x86-64)")
    driver = os.path.join(outdir, "kveldnav.sys")
    probe = os.path.join(outdir, "kvprobe.exe")
    warnings = ["-Wall", "-Wextra", "-Werror"]
    steps = [
        # A native-subsystem image entered at DriverEntry, linked against the
        # kernel's import library only.
        [CC, "-std=c99", "-O2", *warnings, "-ffreestanding", "-fno-stack-protector", "-mno-stack-arg-probe",
         "-isystem", _ddk_include(), "-nostdlib", "-shared", "-Wl,--subsystem,native",
         "-Wl,--entry,DriverEntry", "-o", driver, os.path.join(DEVICE_DIR, "kveldnav.c"), "-lntoskrnl", "-lhal"],
        [CC, "-O2", *warnings, "-static", "-o", probe, os.path.join(DEVICE_DIR, "kvprobe.c")],
    ]
    for step in steps:
        r = subprocess.run(step, capture_output=True)
        if r.returncode != 0:
            raise SystemExit(f"FAIL: building the test device: {' '.join(step)}\n"
                             + r.stderr.decode(errors="replace"))
    return driver, probe


def _le32(v):
    return (v & 0xFFFFFFFF).to_bytes(4, "little")


def _reg_hex(data):
    return "hex:" + ",".join(f"{b:02x}" for b in data)


def device_reg(answers, completion="immediate"):
    """The REGEDIT4 text that gives the test device these answers."""
    lines = ["REGEDIT4", "", f"[{PARAMETERS_KEY}]",
             f'"Completion"=dword:{COMPLETION_SETTING[completion]:08x}', "", f"[{PARAMETERS_KEY}\\Answers]"]
    for a in answers:
        flags = 0
        if a.fail:
            flags = FLAG_OWN | FLAG_FAIL
        elif a.completion is not None:
            flags = FLAG_OWN | {"immediate": 0, "pending": FLAG_PENDING, "fails": FLAG_PENDING | FLAG_FAIL}[a.completion]
        record = (_le32(a.status) + _le32(RESPONSE_HEADER if a.offset is None else a.offset)
                  + _le32(len(a.data) if a.length is None else a.length) + _le32(flags) + a.data)
        lines.append(f'"{a.adapter}:{a.oid:08x}"={_reg_hex(record)}')
    return "\r\n".join(lines) + "\r\n"


def device_toml(answers, completion="immediate"):
    """The [device] section of a machine profile with the same answers."""
    lines = ["[device]", "installed = true", f'completion = "{completion}"']
    for a in answers:
        lines += ["", "[[device.answer]]", f'adapter = "{a.adapter}"', f"oid = 0x{a.oid:08x}",
                  f'data = "{a.data.hex(" ")}"', f"status = 0x{a.status:08x}"]
        if a.length is not None:
            lines.append(f"length = {a.length}")
        if a.offset is not None:
            lines.append(f"offset = {a.offset}")
        if a.completion is not None:
            lines.append(f'completion = "{a.completion}"')
        if a.fail:
            lines.append(f"fail = {a.fail}")
    return "\n".join(lines) + "\n"


class TestDevice:
    """The test driver installed as a kernel service of the shared prefix."""

    def __init__(self, wine):
        self.wine = wine
        self.tmp = tempfile.mkdtemp(prefix="kveldnav-")
        self.driver, self.probe_exe = build(self.tmp)
        self.installed_file = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "system32",
                                           "drivers", "kveldnav.sys")

    def install(self):
        """Copies the driver into the prefix, creates its service, starts it and
        waits until the device opens."""
        self.remove()
        shutil.copyfile(self.driver, self.installed_file)
        r = self.wine.builtin("sc", "create", SERVICE, "type=", "kernel", "start=", "demand",
                              "binPath=", DRIVER_PATH)
        if r.rc != 0:
            raise SystemExit(f"FAIL: sc create: {r}")
        self.start()

    def start(self):
        self.wine.builtin("sc", "start", SERVICE)
        for _ in range(50):
            if self.probe("0000", 0).stdout.startswith(b"open=1"):
                return
            time.sleep(0.2)
        raise SystemExit("FAIL: the test device does not open after sc start")

    def running(self):
        return b"RUNNING" in self.wine.builtin("sc", "query", SERVICE).stdout

    def probe(self, adapter, oid, capacity=256):
        """One query through the probe client: its line, as winekit.Result."""
        return self.wine.run(self.probe_exe, [adapter, f"{oid:x}", str(capacity)])

    def set_answers(self, answers, completion="immediate"):
        """Replaces the answers and the completion setting, and clears the
        request log."""
        self.wine.delete_key(PARAMETERS_KEY)
        self.wine.import_reg(device_reg(answers, completion))
        if not self.running():
            self.start()

    def clear_requests(self):
        self.wine.delete_key(REQUESTS_KEY)

    def requests(self):
        """The requests received since the log was cleared, in order, as
        (code, input bytes, output size)."""
        values = self.wine.export(REQUESTS_KEY.replace("HKEY_LOCAL_MACHINE", "HKLM")).get(REQUESTS_KEY.lower(), {})
        count = values.get("count", ("dword", 0))[1]
        out = []
        for i in range(count):
            kind, record = values.get(f"{i:04d}", (3, b""))
            if len(record) < 12:
                out.append(("missing", i))
                continue
            code, in_size, out_size = (int.from_bytes(record[k:k + 4], "little") for k in (0, 4, 8))
            out.append((code, record[12:12 + in_size], out_size))
        return out

    def remove(self):
        """Stops and deletes the service and its file (nothing if absent)."""
        self.wine.builtin("sc", "stop", SERVICE)
        for _ in range(25):
            if not self.running():
                break
            time.sleep(0.2)
        self.wine.builtin("sc", "delete", SERVICE)
        self.wine.delete_key(SERVICE_KEY.replace("HKEY_LOCAL_MACHINE", "HKLM"))
        if os.path.exists(self.installed_file):
            os.unlink(self.installed_file)

    def close(self):
        self.remove()
        shutil.rmtree(self.tmp, ignore_errors=True)


def read_sim_record(path):
    """The requests the simulated device recorded (written by oidview_record:
    one line per request, "<code hex> <output size> <input hex>"), as
    TestDevice.requests gives them."""
    out = []
    if not os.path.exists(path):
        return out
    with open(path) as f:
        for line in f:
            parts = line.split()
            if not parts:
                continue
            code, out_size = int(parts[0], 16), int(parts[1])
            data = bytes.fromhex(parts[2]) if len(parts) > 2 else b""
            out.append((code, data, out_size))
    return out
