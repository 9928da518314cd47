#!/usr/bin/env python3
"""Writes a C++ header of code page 932 byte strings from a UTF-8 text table.

Input lines: name<TAB>text, where text uses the C escapes \\n, \\r, \\t, \\\\
and \\".  Lines that are empty or start with # are skipped.  For every name the
header holds the code page 932 bytes (namespace NS) and the UTF-8 original
(namespace NS::utf8), so a test can convert the original independently and
compare.
"""
import sys

ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "0": "\0"}


def unescape(text, where):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\":
            if i + 1 >= len(text) or text[i + 1] not in ESCAPES:
                sys.exit(f"{where}: unknown escape in {text!r}")
            out.append(ESCAPES[text[i + 1]])
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def literal(data):
    parts = []
    for b in data:
        ch = chr(b)
        if 0x20 <= b < 0x7F and ch not in '\\"?':
            parts.append(ch)
        else:
            parts.append(f"\\{b:03o}")
    return '"' + "".join(parts) + '"'


def main():
    source, header, ns = sys.argv[1:4]
    rows = []
    with open(source, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            name, sep, text = line.partition("\t")
            if not sep:
                sys.exit(f"{source}:{number}: expected name<TAB>text")
            rows.append((name, unescape(text, f"{source}:{number}")))
    lines = [
        f"// Generated from {source.rsplit('/', 1)[-1]}; do not edit.",
        "#pragma once",
        "#include <string_view>",
        f"namespace {ns} {{",
    ]
    for name, text in rows:
        data = text.encode("cp932")
        lines.append(f"inline constexpr std::string_view {name}{{{literal(data)}, {len(data)}}};")
    lines.append(f"namespace utf8 {{")
    for name, text in rows:
        data = text.encode("utf-8")
        lines.append(f"inline constexpr std::string_view {name}{{{literal(data)}, {len(data)}}};")
    lines += ["}", f"}}  // namespace {ns}", ""]
    with open(header, "w", encoding="ascii") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
