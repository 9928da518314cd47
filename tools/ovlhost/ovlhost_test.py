"""End-to-end tests of ovlhost: the sample sessions in machines/overlay, run
against the driver library on the simulated notebook, checked step by step,
in the final state and at a few pixels of the pictures; and scripts that
ovlhost must refuse.

usage: ovlhost_test.py OVLHOST SOURCE_DIR
"""
import json
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

OVLHOST = SOURCE = None


def read_png(path):
    """The pixels of an 8-bit RGB PNG file, as rows of (r, g, b)."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 2)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride, rows, prev = width * 3, [], bytearray(width * 3)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append([tuple(line[x * 3:x * 3 + 3]) for x in range(width)])
        prev = line
    return rows


def via565(r, g, b):
    """A colour as a 16-bit screen shows it."""
    r5, g6, b5 = r >> 3, g >> 2, b >> 3
    return ((r5 << 3) | (r5 >> 2), (g6 << 2) | (g6 >> 4), (b5 << 3) | (b5 >> 2))


class Run:
    def __init__(self, script, png=True, trace=False, text=None):
        self.tmp = tempfile.TemporaryDirectory()
        if text is not None:
            script = os.path.join(self.tmp.name, "script.json")
            with open(script, "w") as f:
                f.write(text)
        argv = [OVLHOST, script]
        self.png = os.path.join(self.tmp.name, "screen.png") if png else None
        if png:
            argv += ["--png", self.png]
        if trace:
            argv += ["--trace"]
        p = subprocess.run(argv, capture_output=True, timeout=120)
        self.rc, self.stdout, self.stderr = p.returncode, p.stdout.decode(), p.stderr.decode()
        self.lines = [json.loads(line) for line in self.stdout.splitlines()] if self.rc != 2 else []

    def step(self, n):
        return next(line for line in self.lines if line.get("step") == n)

    def final(self):
        return self.lines[-1]

    def screen(self):
        return read_png(self.png)

    def overlay(self):
        return read_png(self.png.replace("screen.png", "screen-overlay.png"))


def sample(name):
    return os.path.join(SOURCE, "machines", "overlay", name)


class BadScripts(unittest.TestCase):
    CASES = [
        ('{"machine": {}, "steps": [{"step": "vpmDriverProc"}, {"step": "zoom"}]}',
         'step 2: unknown step "zoom"'),
        ('{"machine": {}, "steps": [{"step": "vpmDriverProc"}, {"step": "openOverlay"}]}',
         'step 2 (openOverlay): field "descriptor": is missing'),
        ('{"machine": {"width": "wide"}, "steps": []}',
         'machine: field "width": expected an integer, got the text "wide"'),
        ('{"machine": {}, "steps": [{"step": "setWindow", "window": {"destRect": 5}}]}',
         'step 1 (setWindow): field "window.destRect": expected an array of 4 integers (left, top, right, bottom)'),
        # Steps that cannot run where they stand.
        ('{"machine": {}, "steps": [{"step": "negotiate", "flags": 0, "descriptor": {}}]}',
         'step 1 (negotiate): no driver table: a vpmDriverProc step must succeed first'),
        ('{"machine": {}, "steps": [{"step": "show"}]}',
         'step 1 (show): no overlay object: an openOverlay step must succeed first'),
    ]

    def test_refused_with_exit_2_and_a_message_naming_step_and_field(self):
        for text, message in self.CASES:
            with self.subTest(message=message):
                run = Run(None, png=False, text=text)
                self.assertEqual(run.rc, 2, run.stderr)
                self.assertTrue(run.stderr.startswith("ovlhost: "), run.stderr)
                self.assertIn(message, run.stderr)

    def test_usage_and_missing_file(self):
        p = subprocess.run([OVLHOST], capture_output=True)
        self.assertEqual((p.returncode, p.stdout), (2, b""))
        self.assertIn(b"usage: ovlhost SCRIPT.json", p.stderr)
        p = subprocess.run([OVLHOST, "/nonexistent/script.json"], capture_output=True)
        self.assertEqual(p.returncode, 2)
        self.assertEqual(p.stderr, b"ovlhost: cannot read /nonexistent/script.json\n")


def main():
    global OVLHOST, SOURCE
    OVLHOST, SOURCE = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)


if __name__ == "__main__":
    main()
