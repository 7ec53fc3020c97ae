#!/usr/bin/python3
"""Checks the committed pictures in resources/ against the formats the
program loads, that tools/make_art.py reproduces them byte for byte, and that
the screenshot in docs/ shows the window as Windows draws it.

    /usr/bin/python3 tests/art/test_art.py
"""

import io
import os
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                     os.pardir, os.pardir))
RES = os.path.join(ROOT, "resources")
GENERATOR = os.path.join(ROOT, "tools", "make_art.py")
FILES = ("heart.ico", "cartoon.bmp", "fill.bmp", "splash.jpg")
BACKGROUND = (254, 201, 1)


def read(name):
    with open(os.path.join(RES, name), "rb") as f:
        return f.read()


def parse_bmp(data):
    """Returns (info dict, pixel getter(x, y) with y counted from the top)."""
    magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    (bi_size, w, h, planes, bpp, comp, image_size, xppm, yppm, used,
     important) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    info = dict(magic=magic, size=size, offset=offset, bi_size=bi_size, w=w, h=h,
                planes=planes, bpp=bpp, comp=comp, image_size=image_size,
                xppm=xppm, yppm=yppm, used=used)
    stride = (w * 3 + 3) & ~3

    def pixel(x, y):
        i = offset + (h - 1 - y) * stride + 3 * x
        b, g, r = data[i:i + 3]
        return (r, g, b)
    return info, pixel


def parse_ico(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    entries = []
    for i in range(count):
        w, h, colours, res, planes, bpp, length, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i)
        dib = data[offset:offset + length]
        hdr = struct.unpack_from("<IiiHHIIiiII", dib, 0)
        entries.append(dict(w=w or 256, h=h or 256, colours=colours, planes=planes,
                            bpp=bpp, length=length, offset=offset, dib=dib, hdr=hdr))
    return reserved, kind, entries


def decode_dib(e):
    """Returns (list of (r, g, b, a) top-down, list of mask bits top-down)."""
    w, h, bpp, dib = e["w"], e["h"], e["bpp"], e["dib"]
    pos = 40
    palette = None
    if bpp == 8:
        used = e["hdr"][9] or 256
        palette = [tuple(dib[pos + 4 * i:pos + 4 * i + 3][::-1]) for i in range(used)]
        pos += 4 * used
    stride = ((w * bpp + 31) // 32) * 4
    mstride = ((w + 31) // 32) * 4
    mask_pos = pos + stride * h
    pixels, mask = [], []
    for y in range(h):
        row = pos + (h - 1 - y) * stride
        mrow = mask_pos + (h - 1 - y) * mstride
        for x in range(w):
            if bpp == 8:
                idx = dib[row + x]
                pixels.append(palette[idx] + (idx,))
            else:
                b, g, r, a = dib[row + 4 * x:row + 4 * x + 4]
                pixels.append((r, g, b, a))
            mask.append((dib[mrow + x // 8] >> (7 - x % 8)) & 1)
    return pixels, mask


class IconTest(unittest.TestCase):
    def setUp(self):
        self.data = read("heart.ico")
        self.reserved, self.kind, self.entries = parse_ico(self.data)

    def test_directory(self):
        self.assertEqual((self.reserved, self.kind), (0, 1))
        self.assertEqual([(e["w"], e["h"], e["bpp"]) for e in self.entries],
                         [(48, 48, 8), (32, 32, 8), (16, 16, 8),
                          (48, 48, 32), (32, 32, 32), (16, 16, 32)])
        # images follow the directory back to back and fill the file exactly
        pos = 6 + 16 * len(self.entries)
        for e in self.entries:
            self.assertEqual(e["offset"], pos)
            self.assertEqual(e["planes"], 1)
            self.assertEqual(e["colours"], 0)
            pos += e["length"]
        self.assertEqual(pos, len(self.data))

    def test_bitmap_headers_and_sizes(self):
        for e in self.entries:
            w, h, bpp = e["w"], e["h"], e["bpp"]
            bi_size, bw, bh, planes, bbpp, comp = e["hdr"][:6]
            self.assertEqual((bi_size, bw, bh, planes, bbpp, comp),
                             (40, w, 2 * h, 1, bpp, 0), (w, bpp))
            palette = 256 * 4 if bpp == 8 else 0
            if bpp == 8:
                self.assertIn(e["hdr"][9], (0, 256))
            xor = ((w * bpp + 31) // 32) * 4 * h
            mask = ((w + 31) // 32) * 4 * h
            self.assertEqual(e["length"], 40 + palette + xor + mask, (w, bpp))

    def test_heart_shape_and_transparency(self):
        masks = {}
        for e in self.entries:
            w, bpp = e["w"], e["bpp"]
            pixels, mask = decode_dib(e)
            at = lambda x, y: pixels[y * w + x]
            for x, y in ((0, 0), (w - 1, 0), (0, w - 1), (w - 1, w - 1),
                         (w // 2, w - 1)):
                self.assertEqual(mask[y * w + x], 1, (w, bpp, x, y))
            centre = at(w // 2, w // 2)
            self.assertEqual(mask[(w // 2) * w + w // 2], 0)
            self.assertGreater(centre[0], centre[1] + 100, (w, bpp, centre))
            # upper-left lobe carries the highlight, the bottom is darker
            lobe = max(sum(at(x, y)[:3]) for x in range(w // 8, w // 2)
                       for y in range(w // 8, w // 2) if not mask[y * w + x])
            low = sum(at(w // 2, w * 3 // 4)[:3])
            self.assertGreater(lobe, low + 150, (w, bpp))
            for p, m in zip(pixels, mask):
                if bpp == 8 and m:
                    self.assertEqual(p, (0, 0, 0, 0))   # black, palette index 0
                if bpp == 32:
                    if m:
                        self.assertLess(p[3], 128)
                    else:
                        self.assertGreaterEqual(p[3], 128)
            if bpp == 32:
                alphas = {p[3] for p in pixels}
                self.assertTrue(any(0 < a < 255 for a in alphas), "edge not smoothed")
            masks.setdefault(w, []).append(mask)
        for w, pair in masks.items():
            self.assertEqual(pair[0], pair[1], "8 and 32 bit %d px masks differ" % w)


class BitmapTest(unittest.TestCase):
    def check_format(self, data):
        self.assertEqual(len(data), 230454)
        info, pixel = parse_bmp(data)
        self.assertEqual(info["magic"], b"BM")
        self.assertEqual(info["size"], 230454)
        self.assertEqual(info["offset"], 54)
        self.assertEqual((info["bi_size"], info["w"], info["h"], info["planes"],
                          info["bpp"], info["comp"]), (40, 320, 240, 1, 24, 0))
        self.assertIn(info["image_size"], (0, 230400))
        self.assertEqual((info["xppm"], info["yppm"], info["used"]), (2835, 2835, 0))
        return pixel

    def test_fill(self):
        data = read("fill.bmp")
        self.check_format(data)
        self.assertEqual(data[54:], bytes((1, 201, 254)) * (320 * 240))

    def test_cartoon(self):
        pixel = self.check_format(read("cartoon.bmp"))
        # where the percentage is drawn, and the picture's edges
        for y in range(148, 199):
            for x in range(112, 206):
                self.assertEqual(pixel(x, y), BACKGROUND, (x, y))
        for x in range(320):
            for y in (0, 239):
                self.assertEqual(pixel(x, y), BACKGROUND, (x, y))
        for y in range(240):
            for x in (0, 319):
                self.assertEqual(pixel(x, y), BACKGROUND, (x, y))
        # boy's red shirt on the left, girl's pink dress on the right
        def count(x0, x1, y0, y1, test):
            return sum(1 for y in range(y0, y1) for x in range(x0, x1)
                       if test(pixel(x, y)))
        near = lambda c: lambda p: max(abs(a - b) for a, b in zip(p, c)) <= 12
        red, pink = near((224, 32, 40)), near((255, 110, 168))
        self.assertGreater(count(0, 110, 120, 200, red), 800)
        self.assertEqual(count(210, 320, 120, 200, red), 0)
        self.assertGreater(count(210, 320, 120, 210, pink), 1500)
        self.assertEqual(count(0, 110, 120, 210, pink), 0)
        # title: white letters outlined in near-black above the percentage
        white = lambda p: min(p) > 245
        black = lambda p: max(p) < 60
        self.assertGreater(count(100, 220, 10, 130, white), 1500)
        self.assertGreater(count(100, 220, 10, 130, black), 800)


class SplashTest(unittest.TestCase):
    def segments(self, data):
        self.assertEqual(data[:2], b"\xff\xd8")
        self.assertEqual(data[-2:], b"\xff\xd9")
        pos, out = 2, []
        while True:
            self.assertEqual(data[pos], 0xFF)
            marker = data[pos + 1]
            length = struct.unpack_from(">H", data, pos + 2)[0]
            out.append((marker, data[pos + 4:pos + 2 + length]))
            if marker == 0xDA:        # entropy-coded data follows
                return out
            pos += 2 + length

    def test_jfif_and_frame(self):
        data = read("splash.jpg")
        self.assertTrue(10000 < len(data) < 32000, len(data))
        segs = self.segments(data)
        marker, app0 = segs[0]
        self.assertEqual(marker, 0xE0)
        self.assertEqual(app0[:5], b"JFIF\0")
        self.assertEqual(tuple(app0[5:7]), (1, 1))                  # version 1.01
        self.assertEqual(struct.unpack(">BHH", app0[7:12]), (1, 72, 72))
        frames = [(m, body) for m, body in segs if 0xC0 <= m <= 0xCF
                  and m not in (0xC4, 0xC8, 0xCC)]
        self.assertEqual([m for m, _ in frames], [0xC0])            # baseline only
        body = frames[0][1]
        precision, h, w, n = struct.unpack_from(">BHHB", body, 0)
        self.assertEqual((precision, w, h, n), (8, 200, 160, 3))
        sampling = [body[6 + 3 * i + 1] for i in range(n)]
        self.assertEqual(sampling, [0x22, 0x11, 0x11])

    def test_picture(self):
        from PIL import Image
        im = Image.open(io.BytesIO(read("splash.jpg"))).convert("RGB")
        self.assertEqual(im.size, (200, 160))
        # dark red at the sides, orange toward the middle, under the spider
        for x, y in ((2, 80), (197, 80)):
            r, g, b = im.getpixel((x, y))
            self.assertTrue(r < 170 and g < 40, (x, y, (r, g, b)))
        r, g, b = im.getpixel((100, 100))
        self.assertTrue(r > 180 and g > 40 and b < 60, (r, g, b))


class GeneratorTest(unittest.TestCase):
    def test_reproduces_committed_files(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, GENERATOR, out], check=True,
                           stdout=subprocess.DEVNULL)
            self.assertEqual(sorted(os.listdir(out)), sorted(FILES))
            for name in FILES:
                with open(os.path.join(out, name), "rb") as f:
                    self.assertTrue(f.read() == read(name), name + " differs")


class ScreenshotTest(unittest.TestCase):
    def test_close_button_shows_a_cross(self):
        # Wine draws the caption buttons' symbols with the Marlett font; in a prefix that
        # lacks it, the close button shows the letter "r" instead of a cross.
        from PIL import Image
        im = Image.open(os.path.join(ROOT, "docs", "screenshot.png")).convert("RGB")
        w, h = im.size
        coloured = lambda p: max(p) - min(p) > 40
        # the caption: the rows coloured in the middle of the title bar, from the top
        rows = [y for y in range(min(h, 40)) if coloured(im.getpixel((w // 2, y)))]
        self.assertTrue(rows, "no coloured caption at the top")
        y0 = rows[0]
        y1 = next((y for y in range(y0, h) if not coloured(im.getpixel((w // 2, y)))), h)
        # the close button: in the caption's middle row, the rightmost stretch without the
        # caption's colour that has the caption's colour on both sides
        middle = [coloured(im.getpixel((x, (y0 + y1) // 2))) for x in range(w)]
        x1 = max(x for x in range(w) if middle[x])
        x1 = max(x for x in range(x1) if not middle[x]) + 1
        x0 = max(x for x in range(x1) if middle[x]) + 1
        glyph = {(x, y) for y in range(y0, y1) for x in range(x0, x1)
                 if sum(im.getpixel((x, y))) < 150}
        self.assertGreaterEqual(len(glyph), 8, "no symbol on the close button")
        left = min(x for x, _ in glyph)
        top = min(y for _, y in glyph)
        size = max(max(x for x, _ in glyph) - left, max(y for _, y in glyph) - top)
        cells = {(x - left, y - top) for x, y in glyph}
        # a cross: every dark pixel on one of the two diagonals, and all four ends drawn
        for dx, dy in cells:
            self.assertTrue(abs(dx - dy) <= 1 or abs(dx + dy - size) <= 1,
                            "close button symbol is not a cross: %s" % sorted(cells))
        for end in ((0, 0), (size, 0), (0, size), (size, size)):
            self.assertTrue(any(abs(dx - end[0]) <= 1 and abs(dy - end[1]) <= 1
                                for dx, dy in cells), "cross lacks its end at %s" % (end,))


if __name__ == "__main__":
    unittest.main()
