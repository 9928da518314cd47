"""Helpers for end-to-end tests: the Windows builds under Wine, the Linux
builds on a temporary machine profile, and registry files of both.

The Wine tests of one CTest run share one prefix (WINEPREFIX), kept up by a
persistent wineserver; they run one at a time.  Output of Windows programs is
captured through files: the persistent session's processes inherit the
standard handles of whatever started them, and a pipe would never close.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
WIN64_BIN = os.environ.get("KIT_WIN64_BIN", "")
NATIVE_BIN = os.environ.get("KIT_NATIVE_BIN", "")
SOURCE = os.environ.get("KIT_SOURCE", os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))

SKIP = 77  # CTest's skip code for these tests


class Result:
    def __init__(self, rc, stdout, stderr):
        self.rc, self.stdout, self.stderr = rc, stdout, stderr

    @property
    def stdout_lf(self):
        return self.stdout.replace(b"\r\n", b"\n")

    @property
    def stderr_lf(self):
        return self.stderr.replace(b"\r\n", b"\n")

    def __repr__(self):
        return f"Result(rc={self.rc}, stdout={self.stdout!r}, stderr={self.stderr!r})"


def _run_files(argv, stdin=b"", env=None, cwd=None, timeout=120):
    """Runs argv with its standard streams on temporary files."""
    with tempfile.TemporaryDirectory() as tmp:
        paths = [os.path.join(tmp, n) for n in ("in", "out", "err")]
        with open(paths[0], "wb") as f:
            f.write(stdin)
        with open(paths[0], "rb") as i, open(paths[1], "wb") as o, open(paths[2], "wb") as e:
            full_env = dict(os.environ)
            if env:
                full_env.update(env)
            rc = subprocess.run(argv, stdin=i, stdout=o, stderr=e, env=full_env, cwd=cwd,
                                timeout=timeout).returncode
        with open(paths[1], "rb") as f:
            out = f.read()
        with open(paths[2], "rb") as f:
            err = f.read()
    return Result(rc, out, err)


class Wine:
    """The shared Wine prefix of this test run."""

    def __init__(self):
        if not os.path.exists(WINE):
            print(f"skipped: no Wine at {WINE}")
            sys.exit(SKIP)
        self.env = {"WINEDEBUG": os.environ.get("WINEDEBUG", "-all")}

    def exe(self, name):
        path = os.path.join(WIN64_BIN, name)
        if not os.path.exists(path):
            raise SystemExit(f"FAIL: {path} is missing: build the windows-x64 preset")
        return path

    def run(self, program, args=(), stdin=b"", env=None, timeout=120):
        """Runs a Windows program (a path, or a name in the 64-bit build)."""
        path = program if os.path.sep in program else self.exe(program)
        e = dict(self.env)
        if env:
            e.update(env)
        return _run_files([WINE, path, *args], stdin=stdin, env=e, timeout=timeout)

    def builtin(self, *args, timeout=120):
        """Runs one of Wine's own programs (reg, regedit, cmd, sc...)."""
        return _run_files([WINE, *args], env=self.env, timeout=timeout)

    def set_version(self, version, program=None):
        """win95, nt40, ... or None for Wine's default; for one program when named."""
        key = r"HKCU\Software\Wine" + (rf"\AppDefaults\{program}" if program else "")
        if version is None:
            self.builtin("reg", "delete", key, "/v", "Version", "/f")
        else:
            r = self.builtin("reg", "add", key, "/v", "Version", "/d", version, "/f")
            if r.rc != 0:
                raise SystemExit(f"FAIL: cannot set the Wine version: {r}")

    def delete_key(self, path):
        """Deletes a key and its subkeys; a missing key is fine."""
        self.builtin("reg", "delete", path, "/f")

    def import_reg(self, text):
        """Imports a REGEDIT4 text (str, written as code page 1252 bytes)."""
        data = text.encode("cp1252") if isinstance(text, str) else text
        with tempfile.NamedTemporaryFile(suffix=".reg", delete=False) as f:
            f.write(data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))
            name = f.name
        try:
            r = self.builtin("regedit", "/S", name)
        finally:
            os.unlink(name)
        if r.rc != 0:
            raise SystemExit(f"FAIL: regedit import failed: {r}")

    def export(self, key):
        """The key and its subkeys as parse_reg gives them ({} when missing)."""
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "out.reg")
            r = self.builtin("reg", "export", key, out, "/y")
            if r.rc != 0 or not os.path.exists(out):
                return {}
            with open(out, "rb") as f:
                return parse_reg(f.read())

    def wait(self):
        """Waits for the wineserver to settle (after registry changes)."""
        ws = os.path.join(os.path.dirname(WINE), "wineserver")
        subprocess.run([ws if os.path.exists(ws) else "wineserver", "-w"], timeout=120)


def linux_run(tool, args=(), stdin=b"", profile="", reg_text=None, env=None, files=None):
    """Runs a Linux program of the kit on a temporary machine profile.

    profile is the TOML text (without the registry line: it is added when
    reg_text is given); files maps extra file names to their bytes.  Returns
    (Result, registry after the run as parse_reg gives it)."""
    with tempfile.TemporaryDirectory() as tmp:
        toml = profile
        if reg_text is not None:
            with open(os.path.join(tmp, "machine.reg"), "wb") as f:
                f.write(reg_text.encode("cp1252") if isinstance(reg_text, str) else reg_text)
            toml = 'registry = "machine.reg"\n' + toml
        with open(os.path.join(tmp, "machine.toml"), "w") as f:
            f.write(toml)
        for name, data in (files or {}).items():
            with open(os.path.join(tmp, name), "wb") as f:
                f.write(data)
        e = {"KIT_MACHINE": os.path.join(tmp, "machine.toml")}
        if env:
            e.update(env)
        result = _run_files([os.path.join(NATIVE_BIN, tool), *args], stdin=stdin, env=e)
        registry = {}
        if reg_text is not None:
            with open(os.path.join(tmp, "machine.reg"), "rb") as f:
                registry = parse_reg(f.read())
    return result, registry


def _decode(data):
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le")
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8")
    return data.decode("cp1252", errors="replace")


def _unquote(s):
    """Reads a quoted .reg string at the start of s; returns (text, rest)."""
    assert s.startswith('"'), s
    out, i = [], 1
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s):
            out.append(s[i + 1])
            i += 2
            continue
        if c == '"':
            return "".join(out), s[i + 1:]
        out.append(c)
        i += 1
    raise ValueError(f"unterminated string: {s!r}")


def parse_reg(data):
    """A REGEDIT4 or version 5 registry file as {key path (lower case):
    {value name (lower case): (type, value)}}, where a REG_SZ value is
    ("sz", text up to its first zero), a DWORD ("dword", number) and
    anything else (type number, bytes)."""
    text = _decode(data)
    lines, cur = [], ""
    for raw in text.splitlines():
        line = raw.rstrip()
        if cur:
            line = line.lstrip()
        if line.endswith("\\") and ("=hex" in cur + line):
            cur += line[:-1]
            continue
        lines.append(cur + line)
        cur = ""
    result, key = {}, None
    for line in lines:
        s = line.strip()
        if not s or s.startswith(";") or s.startswith("REGEDIT4") or s.startswith("Windows Registry"):
            continue
        if s.startswith("[") and s.endswith("]"):
            key = s[1:-1].lower()
            result.setdefault(key, {})
            continue
        if key is None:
            continue
        if s.startswith("@"):
            name, rest = "", s[1:]
        else:
            name, rest = _unquote(s)
        rest = rest.strip()[1:].strip()  # drop "="
        if rest.startswith('"'):
            value = ("sz", _unquote(rest)[0])
        elif rest.startswith("dword:"):
            value = ("dword", int(rest[6:], 16))
        elif rest.startswith("hex"):
            m = re.match(r"hex(?:\(([0-9a-fA-F]+)\))?:(.*)", rest)
            vtype = int(m.group(1), 16) if m.group(1) else 3
            body = m.group(2).replace(" ", "")
            raw = bytes(int(b, 16) for b in body.split(",") if b)
            if vtype == 1:
                value = ("sz", raw.split(b"\0", 1)[0].decode("cp1252"))
            else:
                value = (vtype, raw)
        else:
            continue
        result[key][name.lower()] = value
    return result


def subtree(registry, key):
    """The part of a parse_reg result at and below key, with paths made
    relative to it (so the Wine and Linux results compare directly)."""
    key = key.lower()
    out = {}
    for path, values in registry.items():
        if path == key or path.startswith(key + "\\"):
            out[path[len(key):]] = values
    return out


class Checks:
    """Collects failures and ends the test with a summary."""

    def __init__(self):
        self.failures = 0
        self.count = 0

    def equal(self, what, got, want):
        self.count += 1
        if got != want:
            self.failures += 1
            print(f"FAIL {what}:\n  got:  {got!r}\n  want: {want!r}")
        else:
            print(f"ok   {what}")

    def true(self, what, cond, detail=""):
        self.count += 1
        if not cond:
            self.failures += 1
            print(f"FAIL {what} {detail}")
        else:
            print(f"ok   {what}")

    def finish(self):
        print(f"{self.count - self.failures} passed, {self.failures} failed")
        sys.exit(1 if self.failures else 0)
