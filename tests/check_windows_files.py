#!/usr/bin/env python3
"""Checks the Windows files of both builds.

- windows-x86: PE32 (i386), subsystem version 4.0, console programs marked as
  such; every imported function is on tests/win95_functions.txt, the list of
  functions checked to exist on Windows 95 (a new import fails here until
  someone has looked at it and added it);
- both builds: imports only from the DLLs tests/windows_files.txt allows.
"""
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def objdump(arch):
    return {"x86": "i686-w64-mingw32-objdump", "x64": "x86_64-w64-mingw32-objdump"}[arch]


def imports(text):
    """DLL name -> list of function names, from objdump -p."""
    result, dll = {}, None
    for line in text.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1)
            result.setdefault(dll, [])
            continue
        if dll is None:
            continue
        m = re.match(r"\s+[0-9a-fA-F]+\s+(?:<none>\s+)?[0-9a-fA-F]+\s+(\S+)$", line)
        if m:
            result[dll].append(m.group(1))
        elif not line.strip():
            dll = None if result.get(dll) else dll
    return result


def main():
    root = sys.argv[1]
    files = []
    with open(os.path.join(HERE, "windows_files.txt")) as f:
        for line in f:
            line = line.split("#", 1)[0].split()
            if line:
                files.append((line[0], line[1], {d.lower() for d in line[2:]}))
    allowed95 = set()
    with open(os.path.join(HERE, "win95_functions.txt")) as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                allowed95.add(line.lower())
    failures, checked = [], 0
    for arch in ("x86", "x64"):
        folder = os.path.join(root, f"windows-{arch}", "bin")
        for name, kind, dlls in files:
            path = os.path.join(folder, name)
            if not os.path.exists(path):
                failures.append(f"{arch}: {name} is missing (build the windows-{arch} preset)")
                continue
            checked += 1
            text = subprocess.run([objdump(arch), "-p", path], capture_output=True, text=True,
                                  check=True).stdout
            fmt = "pei-i386" if arch == "x86" else "pei-x86-64"
            if f"file format {fmt}" not in text:
                failures.append(f"{arch}: {name} is not {fmt}")
            if arch == "x86":
                if not re.search(r"MajorSubsystemVersion\s+4\b", text) or \
                   not re.search(r"MinorSubsystemVersion\s+0\b", text):
                    failures.append(f"x86: {name}: subsystem version is not 4.0")
                want = {"cui": "Windows CUI", "gui": "Windows GUI", "dll": None}[kind]
                if want and want not in text:
                    failures.append(f"x86: {name}: subsystem is not {want}")
            for dll, functions in imports(text).items():
                base = dll.lower().removesuffix(".dll")
                if base not in dlls:
                    failures.append(f"{arch}: {name} imports from {dll}, which is not allowed")
                if arch == "x86":
                    for fn in functions:
                        if f"{base}!{fn}".lower() not in allowed95:
                            failures.append(
                                f"x86: {name} imports {dll}!{fn}, not on tests/win95_functions.txt")
    for f in failures:
        print("FAIL:", f)
    print(f"{checked} Windows files checked, {len(failures)} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
