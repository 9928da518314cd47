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

    def __del__(self):
        self.tmp.cleanup()

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



YELLOW, RED, MAGENTA, WHITE, BLACK = (255, 255, 0), (255, 0, 0), (255, 0, 255), (255, 255, 255), (0, 0, 0)
DESKTOP = (0x20, 0x40, 0x60)  # the samples' fill colour
FOUR_CC_565 = 0x35363520


class Samples(unittest.TestCase):
    """The sample sessions.  The capture is 640 x 480 of the test picture
    (bars 80 pixels wide, grid lines every 32), reduced to 320 x 240 unless
    said otherwise, so overlay pixel (x, y) shows frame pixel (2x, 2y)."""

    def results(self, run):
        return [(line["name"], line.get("result"), line.get("err")) for line in run.lines if "step" in line]

    def assertRegisters(self, final, expected):
        seq = final["sequencer"]
        for index, value in expected.items():
            self.assertEqual(seq[index], value, f"sequencer register {index}")

    def assertClean(self, final):
        books = final["books"]
        for key in ("surfaceLocks", "directDrawMisuse", "memoryMisuse", "deviceContexts", "registerViolations"):
            self.assertEqual(books[key], 0, key)

    def test_session_640x480x16(self):
        run = Run(sample("session-640x480x16.json"), trace=True)
        self.assertEqual(run.rc, 0, run.stderr)
        self.assertEqual(self.results(run), [
            ("DriverProc", 1, None), ("vpmDriverProc", 0, None), ("queryDriver", 2, None), ("negotiate", 0, None),
            ("openOverlay", 0, None), ("show", 0, None), ("showSurface", 0, None), ("getDescriptor", 0, None),
            ("lock", 0, None), ("writeRect", 0, None), ("readRect", 0, None), ("unlock", 0, None)])
        answer = run.step(4)["answer"]
        self.assertEqual((answer["capFlags"], answer["revision"], answer["formats"], answer["format"],
                          answer["keyColor"], answer["generationMask"]), (0x7F0F0F, 8, 6, 6, 1, 0x830C3))
        caps = answer["capabilityValues"]  # descriptor offsets +64 on, 4 bytes each
        self.assertEqual((caps[0], caps[(160 - 64) // 4], caps[(280 - 64) // 4], caps[(288 - 64) // 4]),
                         (2, 8184, 640, 480))
        self.assertEqual(run.step(8)["descriptor"]["window"]["destRect"], [100, 80, 420, 320])

        final = run.final()
        state = final["state"]
        self.assertEqual((state["overlayShown"], state["surfaceShown"], state["openObjects"]), (1, 1, 1))
        self.assertEqual((state["colorKey"], state["key16"], state["key24"], state["keyPaletteIndex"]),
                         (0xF81F, 0xF81F, 0xFF00FF, 0xFF00))
        self.assertEqual(state["surfaceFourCC"], FOUR_CC_565)
        self.assertEqual(state["visibleRect"], [100, 80, 420, 320])
        self.assertEqual(state["overlaySourceRect"], [0, 0, 320, 240])
        # lock hands out the overlay memory and pitch; writeRect stored the
        # pattern in a surface that creation had cleared.
        offset, pitch = state["overlayOffset"], state["overlayPitch"]
        self.assertGreaterEqual(offset, 640 * 480 * 2)
        self.assertEqual(run.step(9)["access"], {"memory": offset, "pitch": pitch})
        self.assertEqual(run.step(11)["firstPixels"], [0x07E0] * 4 + [0, 0])
        # Control word 0x1123 with bit 12 dropped (no pattern bits); 3-bit
        # halving both ways; capture window 0..640 x 0..479; buffer at the
        # overlay memory with its pitch in 2-byte units.
        start = offset // 2
        self.assertRegisters(final, {
            "08": 0x23, "09": 0x01, "0a": 0x44, "0b": 0, "14": 0, "15": 0xDF, "16": 0x10, "17": 0, "18": 0x80,
            "19": 0x20, "0c": start & 0xFF, "0d": (start >> 8) & 0xFF, "0e": start >> 16,
            "1a": (pitch // 2) & 0xFF, "1b": pitch >> 9, "1f": 2})
        self.assertClean(final)
        self.assertEqual(final["capture"]["stored"], True)
        self.assertEqual((final["capture"]["width"], final["capture"]["height"]), (320, 240))
        self.assertEqual((final["capture"]["start"], final["capture"]["pitch"]), (offset, pitch))

        # show switches the engine on inside the unlock bracket: register
        # 0x09 before 0x08.
        ports = run.step(6)["ports"]
        a, b = int(ports[1].split()[2], 16), int(ports[4].split()[2], 16)
        self.assertEqual(ports, [
            "out8 3ce 09", f"in8 3cf {a:02x}", f"out16 3ce {a | 0x26:02x}09",
            "out8 3ce 0a", f"in8 3cf {b:02x}", f"out16 3ce {b | 0x20:02x}0a",
            "out8 3c4 08", "in8 3c5 22", "out8 3c4 09", "in8 3c5 01", "out16 3c4 0109", "out16 3c4 2308",
            f"out16 3ce {b:02x}0a", f"out16 3ce {a:02x}09"])
        self.assertEqual(run.step(7)["directDrawCalls"], ["UpdateOverlay overlay"])
        self.assertEqual(run.step(3)["ports"], [])

        screen = run.screen()
        self.assertEqual(screen[130][145], YELLOW)  # frame (90, 100)
        self.assertEqual(screen[180][300], RED)     # frame (400, 200)
        self.assertEqual(screen[50][50], via565(*DESKTOP))
        self.assertEqual(screen[470][10], via565(0xC0, 0xC0, 0xC0))
        self.assertEqual(screen[79][150], via565(*DESKTOP))  # just above the window
        self.assertEqual(run.overlay()[50][45], YELLOW)

    def test_window_off_screen(self):
        run = Run(sample("window-off-screen.json"), trace=True)
        self.assertEqual(run.rc, 0, run.stderr)
        self.assertEqual(self.results(run), [
            ("vpmDriverProc", 0, None), ("openOverlay", 0, None), ("show", 0, None), ("showSurface", 0, None),
            ("setWindow", -17, "errGeometry"), ("loseSurfaces", None, None), ("setWindow", 0, None)])
        # The refused window changed nothing; the move after the surfaces
        # were lost restores them and places the overlay again.
        self.assertEqual((run.step(5)["ports"], run.step(5)["directDrawCalls"]), ([], []))
        self.assertEqual(run.step(7)["directDrawCalls"], [
            "UpdateOverlay overlay", "Restore primary", "Restore overlay", "UpdateOverlay overlay",
            "UpdateOverlay overlay"])
        state = run.final()["state"]
        # The window reaches 160 pixels past the left edge and 60 lines past
        # the bottom: the visible part shows the surface from column 160.
        self.assertEqual(state["visibleRect"], [0, 300, 160, 480])
        self.assertEqual(state["overlaySourceRect"], [160, 0, 320, 180])
        self.assertClean(run.final())
        screen = run.screen()
        self.assertEqual(screen[350][5], MAGENTA)    # overlay (165, 50), frame (330, 100)
        self.assertEqual(screen[350][45], RED)       # overlay (205, 50), frame (410, 100)
        self.assertEqual(screen[479][159], BLACK)    # overlay (319, 179), frame (638, 358)
        self.assertEqual(screen[350][170], via565(*DESKTOP))  # right of the window
        self.assertEqual(screen[200][200], via565(*DESKTOP))  # where the window was before

    def test_in_place_fallback(self):
        run = Run(sample("in-place-fallback.json"))
        self.assertEqual(run.rc, 0, run.stderr)
        self.assertEqual(self.results(run), [
            ("vpmDriverProc", 0, None), ("openOverlay", 0, None), ("show", 0, None), ("showSurface", 0, None),
            ("shrinkVideoMemory", None, None), ("configure", 0, None), ("lock", 0, None), ("unlock", 0, None)])
        final = run.final()
        self.assertEqual(final["state"]["inPlaceMode"], 1)
        # lock hands out the screen memory with the screen's pitch.
        access = run.step(7)["access"]
        self.assertLess(access["memory"], 640 * 480 * 2)
        self.assertEqual(access["pitch"], 1280)
        # The engine stores into the screen under the visible rectangle:
        # (100 x 2 + 80 x 1280) / 2 = 51300, pitch 1280 / 2.
        self.assertRegisters(final, {"0c": 0x64, "0d": 0xC8, "0e": 0x00, "1a": 0x80, "1b": 0x02, "08": 0x23})
        self.assertEqual((final["capture"]["start"], final["capture"]["pitch"]), (102600, 1280))
        self.assertClean(final)
        screen = run.screen()
        self.assertEqual(screen[130][145], YELLOW)
        self.assertEqual(screen[180][300], RED)
        self.assertEqual(screen[50][50], via565(*DESKTOP))

    def test_depth_change_16_to_24(self):
        run = Run(sample("depth-change-16-to-24.json"))
        self.assertEqual(run.rc, 0, run.stderr)
        self.assertEqual(self.results(run), [
            ("vpmDriverProc", 0, None), ("openOverlay", 0, None), ("show", 0, None), ("showSurface", 0, None),
            ("modeChange", None, None), ("setWindow", 0, None), ("show", 0, None)])
        self.assertTrue(run.step(5)["changed"])
        # Recovery rebuilt the key for 24 bits and told the host the overlay
        # was switched off (notice 3); the host switched it on again.
        self.assertEqual(run.step(6)["notices"], [{"notice": 32762, "argument": 3}])
        self.assertNotIn("notices", run.step(7))
        final = run.final()
        state = final["state"]
        self.assertEqual((state["colorKey"], state["key16"], state["key24"]), (0xFF00FF, 0xF81F, 0xFF00FF))
        self.assertEqual((state["bytesPerPixel"], state["configuredBytesPerPixel"]), (3, 3))
        self.assertEqual((state["overlayShown"], state["pendingNotice"]), (1, 0))
        offset = state["overlayOffset"]
        self.assertGreaterEqual(offset, 640 * 480 * 3)
        self.assertRegisters(final, {"08": 0x23, "0c": (offset // 2) & 0xFF, "0d": (offset // 2 >> 8) & 0xFF,
                                     "0e": offset // 2 >> 16})
        self.assertEqual(final["books"]["directDrawObjects"], 3)  # the replaced objects were released
        self.assertClean(final)
        screen = run.screen()
        self.assertEqual(screen[130][145], YELLOW)
        self.assertEqual(screen[50][50], DESKTOP)  # 24 bits: the colour itself

    def test_palette_8bit(self):
        run = Run(sample("palette-8bit.json"))
        self.assertEqual(run.rc, 0, run.stderr)
        self.assertEqual(self.results(run), [
            ("vpmDriverProc", 0, None), ("negotiate", 0, None), ("openOverlay", 0, None), ("show", 0, None),
            ("showSurface", 0, None)])
        final = run.final()
        state = final["state"]
        # Palette index 5 of this notebook is magenta.
        self.assertEqual((state["colorKey"], state["keyPaletteIndex"], state["key24"], state["key16"]),
                         (5, 5, 0xFF00FF, 0xF81F))
        # YUY2 (control bit 1 clear); 11-bit halving: 0x400 both ways.
        self.assertRegisters(final, {"08": 0x21, "0a": 0x44, "1c": 0, "1d": 0})
        self.assertClean(final)
        screen = run.screen()
        # Yellow through YUY2 is Y 210, U 16, V 146, which converts back to
        # (255, 255, 0); white is Y 235 with neutral chroma.
        self.assertEqual(screen[170][205], YELLOW)  # overlay (45, 50)
        self.assertEqual(screen[170][165], WHITE)   # overlay (5, 50)
        self.assertEqual(screen[50][50], DESKTOP)   # palette entry 2
        self.assertEqual(screen[470][10], (0xC0, 0xC0, 0xC0))

    def test_session_close_and_refusals(self):
        run = Run(sample("session-close.json"))
        self.assertEqual(run.rc, 0, run.stderr)
        self.assertEqual(self.results(run), [
            ("DriverProc", 0, None), ("vpmDriverProc", -1, "errInterface"), ("vpmDriverProc", 0, None),
            ("getAttributes", 0, None), ("setAttributes", -7, "errAttribute"), ("failNextGlobalAlloc", None, None),
            ("openOverlay", -9, "errNoMemory"), ("openOverlay", 0, None), ("openOverlay", -3, "errUnavailable"),
            ("lock", -18, "errLocked"), ("reservedOp1", -255, "errNotImplemented"), ("show", 0, None),
            ("showSurface", 0, None), ("hide", 0, None), ("hideSurface", 0, None), ("close", 0, None),
            ("show", -6, "errInvalidState"), ("closeDriver", 0, None)])
        self.assertEqual(run.step(1)["messageBuffer"], "Untrapped message: c")
        self.assertEqual(run.step(4)["request"], {"size": 0, "mask": 0, "attributes": [0, 0, 0, 0, 0]})
        # Driver-computed geometry for a 300 x 200 destination on generation 3.
        window = run.step(8)["descriptor"]["window"]
        self.assertEqual((window["imageRect"], window["surfaceWidth"], window["surfaceHeight"]),
                         ([0, 0, 300, 120], 304, 120))
        final = run.final()
        # Closed: the DirectDraw objects are gone, and only the object's own
        # block stays allocated; the engine is off, so nothing is captured.
        self.assertEqual((final["books"]["directDrawObjects"], final["books"]["memoryBlocks"]), (0, 1))
        self.assertEqual(final["state"]["openObjects"], 0)
        self.assertFalse(final["capture"]["stored"])
        self.assertRegisters(final, {"08": 0x20})
        self.assertClean(final)


# An open overlay with its memory locked, for the rectangle copies below.
OPEN = ('{"step": "openOverlay", "descriptor": {'
        '"revision": 8, "formats": 2, "format": 2, "capFlags": "0x10108", "keyColor": "0xF81F", "window": {'
        '"frameWidth": 640, "frameHeight": 480, "captureRect": [0, 0, 640, 480], "surfaceWidth": 320, '
        '"surfaceHeight": 240, "imageRect": [0, 0, 320, 240], "displayRect": [0, 0, 320, 240], '
        '"destRect": [100, 80, 420, 320]}}}')
LOCKED = '{"machine": {}, "steps": [{"step": "vpmDriverProc"}, ' + OPEN + ', {"step": "lock", "flags": 8}, '


class BadScripts(unittest.TestCase):
    CASES = [
        # Host rectangles the host could not have a buffer for: one that
        # starts two billion lines down, and one whose width is 1 only when
        # the 32-bit difference wraps.
        (LOCKED + '{"step": "readRect", "surfaceRect": [0, 0, 4, 1], "hostRect": [0, 2000000000, 4, 2000000001], '
         '"pitch": 65536}]}',
         'step 4 (readRect): field "hostRect": needs a host buffer of more than 64 MiB'),
        (LOCKED + '{"step": "writeRect", "surfaceRect": [0, 0, 1, 1], "hostRect": [2147483647, 0, -2147483648, 1], '
         '"pitch": 64, "pattern": 0}]}',
         'step 4 (writeRect): field "hostRect": a rectangle inside the memory'),
        # The next open gives back the block of a closed object, even when it
        # fails: the closed object is gone.
        ('{"machine": {}, "steps": [{"step": "vpmDriverProc"}, ' + OPEN + ', {"step": "close"}, '
         '{"step": "failNextGlobalAlloc"}, ' + OPEN + ', {"step": "show"}]}',
         'step 6 (show): no overlay object: an openOverlay step must succeed first'),
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
