"""The Python module quenfield against the reference host: the same samples give the same file.

Run by ctest: test_quenfield.py QUENFIELD-EXPORT E2E-PIXELS, with the built package on PYTHONPATH and
QUENFIELD_EXPORT_MODULE naming the built plug-in. Exports go to a temporary folder of the test's own; the
companion is a stand-in that copies each file into OUT.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

import numpy

import quenfield

HOST, PIXELS = sys.argv[1], sys.argv[2]
WORK = tempfile.mkdtemp(prefix="quenfield-python.")
TMP, REFTMP, OUT = (os.path.join(WORK, d) for d in ("tmp", "reftmp", "out"))
EXPORTS = os.path.join(TMP, "QuenfieldImport")
NODATA = os.path.join(WORK, "nodata")
WIDTH, HEIGHT = 37, 150  # more than two bands of 64 rows, the last one short


def setUpModule():
    for folder in (TMP, REFTMP, OUT, NODATA, os.path.join(WORK, "data", "applications")):
        os.makedirs(folder, mode=0o700)
    with open(os.path.join(WORK, "take.sh"), "w") as take:
        # A copy, as a companion reads the file: the export keeps its path for the test to see.
        take.write(f'cp "$1" "{OUT}/.taking" && mv "{OUT}/.taking" "{OUT}/$(basename "$1")"\n')
    with open(os.path.join(WORK, "data", "applications", "com.quenfield.Quenfield.desktop"), "w") as entry:
        entry.write(f"[Desktop Entry]\nType=Application\nName=Take (test)\nExec=/bin/sh {WORK}/take.sh %f\n")
    for name in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
        os.environ.pop(name, None)
    os.environ.update(HOME=WORK, TMPDIR=TMP, XDG_DATA_HOME=os.path.join(WORK, "data"), XDG_DATA_DIRS=NODATA,
                      XDG_CONFIG_HOME=os.path.join(WORK, "config"))


def tearDownModule():
    shutil.rmtree(WORK)


def samples(dtype, channels, seed=1):
    """Samples that reach both ends of the range."""
    rng = numpy.random.default_rng(seed)
    shape = (HEIGHT, WIDTH) if channels == 0 else (HEIGHT, WIDTH, channels)
    if dtype == numpy.float32:
        return rng.uniform(-0.5, 4.0, shape).astype(numpy.float32)
    top = numpy.iinfo(dtype).max
    array = rng.integers(0, top, shape, dtype=dtype, endpoint=True)
    array.flat[:2] = (0, top)
    return array


def write_png(path, array):
    channels = 1 if array.ndim == 2 else array.shape[2]
    colour = {1: 0, 2: 4, 3: 2, 4: 6}[channels]
    big = array.astype(array.dtype.newbyteorder(">"))
    raw = b"".join(b"\0" + row.tobytes() for row in big)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", array.shape[1], array.shape[0], array.itemsize * 8, colour, 0, 0, 0)
    with open(path, "wb") as png:
        png.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) +
                  chunk(b"IEND", b""))


def float_pattern(channels, seed):
    """e2e_pixels' float pattern as an OpenEXR file and as an array of the same samples."""
    exr = os.path.join(WORK, f"f32-{channels}-{seed}.exr")
    raw = exr + ".raw"
    args = ["f32", str(WIDTH), str(HEIGHT), str(channels), str(seed)]
    subprocess.run([PIXELS, "exr", *args, exr], check=True)
    subprocess.run([PIXELS, "raw", *args, raw], check=True)
    return exr, numpy.fromfile(raw, numpy.float32).reshape(HEIGHT, WIDTH, channels)


def reference_export(path):
    """The reference host's file and line for an image file, exported without a companion (the file is kept)."""
    shutil.rmtree(os.path.join(REFTMP, "QuenfieldImport"), ignore_errors=True)
    env = dict(os.environ, TMPDIR=REFTMP, XDG_DATA_HOME=NODATA)
    run = subprocess.run([HOST, path], env=env, capture_output=True, text=True)
    folder = os.path.join(REFTMP, "QuenfieldImport")
    (name,) = os.listdir(folder)
    with open(os.path.join(folder, name), "rb") as exported:
        data = exported.read()
    shutil.rmtree(folder)
    return data, run.stdout.splitlines()[0]


def taken(exported, timeout=10):
    """The bytes of an export once the companion stand-in has copied it into OUT."""
    moved = os.path.join(OUT, os.path.basename(exported.path))
    deadline = time.monotonic() + timeout
    while not os.path.exists(moved) and time.monotonic() < deadline:
        time.sleep(0.02)
    with open(moved, "rb") as file:
        data = file.read()
    os.remove(moved)
    return data


def leftovers():
    return os.listdir(EXPORTS) if os.path.isdir(EXPORTS) else []


class SameBytesAsReferenceHost(unittest.TestCase):
    def test_each_sample_type_and_channel_count(self):
        for dtype in (numpy.uint8, numpy.uint16, numpy.float32):
            for channels in (0, 1, 2, 3, 4):  # 0: an H x W array
                with self.subTest(dtype=dtype.__name__, channels=channels):
                    name = f"{dtype.__name__}-{channels}"
                    if dtype == numpy.float32:
                        source, array = float_pattern(max(channels, 1), seed=channels)
                        array = array.reshape(HEIGHT, WIDTH) if channels == 0 else array
                    else:
                        array = samples(dtype, channels, seed=channels)
                        source = os.path.join(WORK, name + ".png")
                        write_png(source, array)
                    expected, _ = reference_export(source)
                    exported = quenfield.export(array, name + ".png")
                    self.assertFalse(exported.kept)
                    self.assertEqual(exported.editor_message, "")
                    self.assertTrue(exported.words.startswith("exported to " + exported.path))
                    self.assertTrue(exported.words.endswith("; the companion application was started"))
                    self.assertEqual(taken(exported), expected)

    def test_arrays_not_laid_out_as_rows(self):
        """Strided, reversed and big-endian arrays are read through a band of their own."""
        array = samples(numpy.uint16, 4, seed=7)
        source = os.path.join(WORK, "layouts.png")
        write_png(source, array)
        expected, _ = reference_export(source)
        wide = numpy.zeros((HEIGHT, WIDTH * 2, 4), numpy.uint16)
        wide[:, ::2] = array
        for label, layout in (("strided", wide[:, ::2]), ("fortran", numpy.asfortranarray(array)),
                              ("big-endian", array.astype(">u2"))):
            with self.subTest(layout=label):
                self.assertEqual(taken(quenfield.export(layout, "layouts.png")), expected)

    def test_bands_from_a_callback(self):
        """Bands as an editor hands them over: in blue-green-red order, in any buffer type, at any address."""
        array = samples(numpy.uint16, 4, seed=3)
        source = os.path.join(WORK, "bands.png")
        write_png(source, array)
        expected, _ = reference_export(source)
        bgr = array[:, :, [2, 1, 0, 3]].copy()
        unaligned = bytearray(1) + bgr.tobytes()  # a memoryview from byte 1: no sample at its alignment
        for label, order, band in (
                ("bytes", "RGB", lambda y, rows: array[y:y + rows].tobytes()),
                ("bytearray BGR", "BGR", lambda y, rows: bytearray(bgr[y:y + rows].tobytes())),
                ("numpy BGR", "BGR", lambda y, rows: bgr[y:y + rows]),
                ("unaligned BGR", "BGR",
                 lambda y, rows: memoryview(unaligned)[1 + y * WIDTH * 8:1 + (y + rows) * WIDTH * 8])):
            with self.subTest(source=label):
                asked, reported = [], []

                def source_band(y, rows):
                    asked.append((y, rows))
                    return band(y, rows)

                exported = quenfield.export_bands(
                    source_band, width=WIDTH, height=HEIGHT, depth=16, planes=4, name="bands.png", order=order,
                    band_rows=16, progress=lambda done, total: reported.append((done, total)))
                self.assertEqual(taken(exported), expected)
                self.assertEqual(asked, [(y, min(16, HEIGHT - y)) for y in range(0, HEIGHT, 16)])
                self.assertTrue(reported and all(total == HEIGHT for _, total in reported))


class Failures(unittest.TestCase):
    def export_bands(self, source=None, name="failing.png", **options):
        array = samples(numpy.uint8, 3)
        return quenfield.export_bands(source or (lambda y, rows: array[y:y + rows]), width=WIDTH, height=HEIGHT,
                                      depth=8, planes=3, name=name, band_rows=16, **options)

    def test_callback_exception_is_raised_again_and_no_file_is_left(self):
        def fail_from(y_fail):
            def source(y, rows):
                if y >= y_fail:
                    raise ZeroDivisionError("band " + str(y))
                return bytes(rows * WIDTH * 3)
            return source

        def raise_(error):
            raise error

        for label, options, error in (
                ("source", dict(source=fail_from(64)), ZeroDivisionError),
                ("progress", dict(progress=lambda done, total: done > 40 and raise_(KeyError("p"))), KeyError),
                ("cancelled", dict(cancelled=lambda: raise_(OSError("c"))), OSError),
                ("source returns no buffer", dict(source=lambda y, rows: 42), TypeError),
                ("source returns a short band", dict(source=lambda y, rows: bytes(7)), ValueError),
                ("source starts another export",
                 dict(source=lambda y, rows: quenfield.export(numpy.zeros((2, 2), numpy.uint8))), RuntimeError)):
            with self.subTest(callback=label):
                with self.assertRaises(error) as raised:
                    self.export_bands(**options)
                self.assertIs(type(raised.exception), error)  # the callback's own, not an ExportError
                self.assertEqual(leftovers(), [])

    def test_cancel_ends_with_its_code_and_no_file(self):
        polls = []
        with self.assertRaises(quenfield.ExportError) as raised:
            self.export_bands(cancelled=lambda: polls.append(1) or len(polls) > 3, name="cancelled.png")
        self.assertEqual(raised.exception.code, -128)
        self.assertEqual(str(raised.exception), "not exported: cancelled by the user (-128)")
        self.assertEqual(raised.exception.editor_message, "")
        self.assertEqual(leftovers(), [])

    def test_kept_file_is_described_as_the_reference_host_does(self):
        array = samples(numpy.uint8, 3, seed=5)
        source = os.path.join(WORK, "kept.png")
        write_png(source, array)
        _, line = reference_export(source)
        os.environ["XDG_DATA_HOME"] = NODATA
        os.environ["TMPDIR"] = REFTMP  # where the reference host's file was, so that the paths are the same
        try:
            exported = quenfield.export(array, "kept.png")
        finally:
            os.environ.update(XDG_DATA_HOME=os.path.join(WORK, "data"), TMPDIR=TMP)
        self.assertTrue(exported.kept)
        self.assertEqual(source + ": " + exported.words, line)
        self.assertTrue(exported.editor_message.startswith("kept.png was exported to " + exported.path + ", but"))
        os.remove(exported.path)

    def test_plugin_that_cannot_be_loaded(self):
        module = os.environ["QUENFIELD_EXPORT_MODULE"]
        os.environ["QUENFIELD_EXPORT_MODULE"] = os.path.join(WORK, "missing.so")
        try:
            with self.assertRaises(quenfield.ExportError) as raised:
                self.export_bands()
        finally:
            os.environ["QUENFIELD_EXPORT_MODULE"] = module
        self.assertEqual(raised.exception.code, 0)
        self.assertIn("missing.so", str(raised.exception))
        self.assertTrue(raised.exception.editor_message.endswith("name the plug-in in QUENFIELD_EXPORT_MODULE."))

    def test_bad_requests_are_refused_before_the_export(self):
        good = dict(width=4, height=4, depth=8, planes=3, name="bad.png")
        for label, call, error in (
                ("float64", lambda: quenfield.export(numpy.zeros((4, 4, 3))), TypeError),
                ("int16", lambda: quenfield.export(numpy.zeros((4, 4), numpy.int16)), TypeError),
                ("five channels", lambda: quenfield.export(numpy.zeros((4, 4, 5), numpy.uint8)), ValueError),
                ("one dimension", lambda: quenfield.export(numpy.zeros(4, numpy.uint8)), ValueError),
                ("no rows", lambda: quenfield.export(numpy.zeros((0, 4, 3), numpy.uint8)), ValueError),
                ("depth 12", lambda: quenfield.export_bands(None, **dict(good, depth=12)), ValueError),
                ("RGB of 2 planes", lambda: quenfield.export_bands(None, **dict(good, planes=2)), ValueError),
                ("gray in BGR", lambda: quenfield.export_bands(None, **dict(good, planes=1, gray=True,
                                                                             order="BGR")), ValueError),
                ("order", lambda: quenfield.export_bands(None, **dict(good, order="BRG")), ValueError),
                ("no band rows", lambda: quenfield.export_bands(None, **dict(good, band_rows=0)), ValueError)):
            with self.subTest(request=label):
                self.assertRaises(error, call)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
