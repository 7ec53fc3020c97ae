#!/usr/bin/python3
"""Draw PAIRLY Calc's pictures and write them into resources/.

    /usr/bin/python3 tools/make_art.py [OUTDIR]      (default OUTDIR: resources/)

Writes:
    heart.ico    window/app icon: 48, 32, 16 px at 8 bpp, then 48, 32, 16 px at 32 bpp
    cartoon.bmp  320x240 24-bit picture shown above the result
    fill.bmp     320x240 24-bit plain background
    splash.jpg   200x160 baseline JPEG shown in the splash window

Needs Debian's python3 with these Debian packages:
    python3-pil          drawing, resampling, JPEG encoding
    fonts-dejavu-core    lettering (DejaVu Sans Bold)

Everything is drawn from geometry here; nothing is read except the fonts.
Pictures are drawn at several times their final size and scaled down with
Lanczos filtering. The output is deterministic: two runs with the same
Pillow/libjpeg give byte-identical files.
"""

import io
import math
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

LANCZOS = Image.Resampling.LANCZOS
BICUBIC = Image.Resampling.BICUBIC

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
FONT_BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")

# The program paints over the cartoon with this exact colour elsewhere, so the
# picture's background must match it to the bit.
BACKGROUND = (254, 201, 1)
BMP_SIZE = (320, 240)
PIXELS_PER_METRE_72DPI = 2835

# Where the program draws the navy percentage over the cartoon; we keep a
# margin around it free of any drawing.
PERCENT_CLEAR = (112, 148, 205, 198)  # x0, y0, x1, y1 inclusive


# --------------------------------------------------------------------------
# small geometry / colour helpers

def lerp(a, b, t):
    return a + (b - a) * t


def mix(c0, c1, t):
    return tuple(int(round(lerp(a, b, t))) for a, b in zip(c0, c1))


def ramp(stops, t):
    """Colour at t along [(pos, colour), ...] sorted by pos."""
    t = min(max(t, stops[0][0]), stops[-1][0])
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0) if p1 > p0 else 0.0)
    return stops[-1][1]


def catmull_rom(points, steps=10, closed=True):
    """Smooth curve through the given points (closed loop by default)."""
    pts = list(points)
    n = len(pts)
    out = []
    segs = n if closed else n - 1
    for i in range(segs):
        p0 = pts[(i - 1) % n] if closed or i > 0 else pts[0]
        p1 = pts[i]
        p2 = pts[(i + 1) % n]
        p3 = pts[(i + 2) % n] if closed or i + 2 < n else pts[-1]
        for s in range(steps):
            t = s / steps
            t2, t3 = t * t, t * t * t
            out.append(tuple(
                0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2
                       + (-a + 3 * b - 3 * c + d) * t3)
                for a, b, c, d in zip(p0, p1, p2, p3)))
    if not closed:
        out.append(pts[-1])
    return out


def quad_bezier(p0, p1, p2, steps=16):
    return [tuple((1 - t) ** 2 * a + 2 * (1 - t) * t * b + t * t * c
                  for a, b, c in zip(p0, p1, p2))
            for t in (i / steps for i in range(steps + 1))]


def ellipse_points(cx, cy, rx, ry, angle_deg=0.0, n=72):
    ca, sa = math.cos(math.radians(angle_deg)), math.sin(math.radians(angle_deg))
    pts = []
    for i in range(n):
        t = 2 * math.pi * i / n
        x, y = rx * math.cos(t), ry * math.sin(t)
        pts.append((cx + x * ca - y * sa, cy + x * sa + y * ca))
    return pts


def font(path, size):
    return ImageFont.truetype(path, size, layout_engine=ImageFont.Layout.BASIC)


class Canvas:
    """An RGBA layer drawn at `ss` times the final size, addressed in final
    pixel coordinates so the drawing code reads in the picture's own units."""

    def __init__(self, w, h, ss, fill=(0, 0, 0, 0)):
        self.w, self.h, self.ss = w, h, ss
        self.img = Image.new("RGBA", (w * ss, h * ss), fill)
        self.draw = ImageDraw.Draw(self.img)

    def pts(self, points):
        s = self.ss
        return [(x * s, y * s) for x, y in points]

    def box(self, b):
        s = self.ss
        return [b[0] * s, b[1] * s, b[2] * s, b[3] * s]

    def px(self, w):
        return max(1, int(round(w * self.ss)))

    def polygon(self, points, fill, outline=None, width=0.0):
        p = self.pts(points)
        self.draw.polygon(p, fill=fill)
        if outline is not None and width > 0:
            self.draw.line(p + p[:2], fill=outline, width=self.px(width),
                           joint="curve")

    def ellipse(self, b, fill, outline=None, width=0.0):
        if outline is not None and width > 0:
            # outline straddles the edge like the polygon outlines do
            h = width / 2
            self.draw.ellipse(self.box((b[0] - h, b[1] - h, b[2] + h, b[3] + h)),
                              fill=outline)
            self.draw.ellipse(self.box((b[0] + h, b[1] + h, b[2] - h, b[3] - h)),
                              fill=fill)
        else:
            self.draw.ellipse(self.box(b), fill=fill)

    def circle(self, cx, cy, r, fill, outline=None, width=0.0):
        self.ellipse((cx - r, cy - r, cx + r, cy + r), fill, outline, width)

    def line(self, points, fill, width):
        p = self.pts(points)
        w = self.px(width)
        self.draw.line(p, fill=fill, width=w, joint="curve")
        # round caps
        r = w / 2
        for x, y in (p[0], p[-1]):
            self.draw.ellipse([x - r, y - r, x + r, y + r], fill=fill)

    def limb(self, points, fill, outline, width, edge):
        """A rounded tube (arm, leg) with an outline of `edge` pixels."""
        self.line(points, outline, width + 2 * edge)
        self.line(points, fill, width)

    def overlay(self, layer):
        self.img.alpha_composite(layer)

    def layer(self):
        return Canvas(self.w, self.h, self.ss)

    def reduce(self):
        return self.img.resize((self.w, self.h), LANCZOS)


def fit_font(path, text, max_w, max_h, stroke=0.0, start=400):
    """Largest font size whose rendered text (with stroke) fits max_w x max_h."""
    size = start
    while size > 4:
        f = font(path, size)
        s = int(round(stroke * size))
        x0, y0, x1, y1 = f.getbbox(text, stroke_width=s)
        if x1 - x0 <= max_w and y1 - y0 <= max_h:
            return f, s
        size -= 1
    raise ValueError("text does not fit: %r" % text)


def text_centred(canvas, text, path, box, fill, stroke_ratio=0.0,
                 stroke_fill=None, max_size=400, layers=()):
    """Draw `text` centred in `box` (final px). `layers` is a list of extra
    (stroke_ratio, colour, dx, dy) passes drawn underneath, outermost first,
    for shadows and double outlines. Returns the final-pixel ink box."""
    ss = canvas.ss
    bx0, by0, bx1, by1 = [v * ss for v in box]
    widest = max([stroke_ratio] + [l[0] for l in layers])
    f, _ = fit_font(path, text, bx1 - bx0, by1 - by0, widest, max_size * ss)
    wide = int(round(widest * f.size))
    x0, y0, x1, y1 = f.getbbox(text, stroke_width=wide)
    ox = (bx0 + bx1 - (x1 - x0)) / 2 - x0
    oy = (by0 + by1 - (y1 - y0)) / 2 - y0
    for ratio, colour, dx, dy in layers:
        s = int(round(ratio * f.size))
        canvas.draw.text((ox + dx * ss, oy + dy * ss), text, font=f, fill=colour,
                         stroke_width=s, stroke_fill=colour)
    s = int(round(stroke_ratio * f.size))
    canvas.draw.text((ox, oy), text, font=f, fill=fill, stroke_width=s,
                     stroke_fill=stroke_fill if stroke_fill else fill)
    return tuple(v / ss for v in (ox + x0, oy + y0, ox + x1, oy + y1))


# --------------------------------------------------------------------------
# file writers

def bmp24_bytes(img):
    """Uncompressed bottom-up 24-bit BMP with BITMAPINFOHEADER at 72 dpi."""
    img = img.convert("RGB")
    w, h = img.size
    stride = (w * 3 + 3) & ~3
    raw = img.tobytes("raw", "BGR")
    pad = b"\0" * (stride - w * 3)
    rows = [raw[y * w * 3:(y + 1) * w * 3] + pad for y in range(h)]
    pixels = b"".join(reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels),
                       PIXELS_PER_METRE_72DPI, PIXELS_PER_METRE_72DPI, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0,
                       14 + len(info))
    return head + info + pixels


def and_mask(opaque, w, h):
    """1-bit AND mask rows (1 = transparent), bottom-up, rows padded to 4."""
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            if not opaque[y * w + x]:
                row[x >> 3] |= 0x80 >> (x & 7)
        out += row
    return bytes(out)


def dib_header(w, h, bpp, image_size):
    # height counts XOR and AND bitmaps together, as icon resources require
    return struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, image_size,
                       0, 0, 0, 0)


def ico_image_8bpp(rgba):
    """Palette image: index 0 is black and marks transparent pixels; the
    other 255 entries come from median-cut on the opaque pixels."""
    w, h = rgba.size
    alpha = rgba.getchannel("A").tobytes()
    opaque = [a >= 128 for a in alpha]
    rgb = rgba.convert("RGB")
    # give transparent pixels an opaque neighbour's colour so they don't
    # steal a palette slot
    fill = next(p for p, o in zip(rgb.getdata(), opaque) if o)
    flat = Image.new("RGB", (w, h), fill)
    flat.paste(rgb, (0, 0), Image.frombytes("L", (w, h),
                                            bytes(255 if o else 0 for o in opaque)))
    q = flat.quantize(colors=255, method=Image.Quantize.MEDIANCUT,
                      dither=Image.Dither.NONE)
    pal = q.getpalette()[:255 * 3]
    pal += [0] * (255 * 3 - len(pal))
    palette = [(0, 0, 0)] + [tuple(pal[i:i + 3]) for i in range(0, 255 * 3, 3)]
    idx = q.tobytes()
    stride = (w + 3) & ~3
    xor = bytearray()
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            i = y * w + x
            row[x] = idx[i] + 1 if opaque[i] else 0
        xor += row
    mask = and_mask(opaque, w, h)
    quads = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    return dib_header(w, h, 8, len(xor) + len(mask)) + quads + bytes(xor) + mask


def ico_image_32bpp(rgba):
    w, h = rgba.size
    raw = rgba.tobytes("raw", "BGRA")
    xor = b"".join(raw[y * w * 4:(y + 1) * w * 4] for y in reversed(range(h)))
    opaque = [a >= 128 for a in rgba.getchannel("A").tobytes()]
    mask = and_mask(opaque, w, h)
    return dib_header(w, h, 32, len(xor) + len(mask)) + xor + mask


def ico_bytes(images):
    """images: [(PIL RGBA image, bpp)], written in the given order."""
    blobs = [ico_image_8bpp(im) if bpp == 8 else ico_image_32bpp(im)
             for im, bpp in images]
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = len(head) + 16 * len(images)
    entries = b""
    for (im, bpp), blob in zip(images, blobs):
        w, h = im.size
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, bpp,
                               len(blob), offset)
        offset += len(blob)
    return head + entries + b"".join(blobs)


def jpeg_bytes(img, quality):
    buf = io.BytesIO()
    img.convert("RGB").save(buf, "JPEG", quality=quality, subsampling=2,
                            dpi=(72, 72), optimize=False, progressive=False)
    data = bytearray(buf.getvalue())
    # JFIF APP0 follows SOI; we want version 1.01 whatever the encoder wrote
    if data[2:4] != b"\xff\xe0" or data[6:11] != b"JFIF\0":
        raise RuntimeError("encoder did not write a JFIF APP0 segment first")
    data[11:13] = b"\x01\x01"
    return bytes(data)


# --------------------------------------------------------------------------
# heart icon

HEART_DARK = (96, 0, 10)


def heart_points(cx, cy, width, n=480):
    raw = []
    for i in range(n):
        t = 2 * math.pi * i / n
        x = 16 * math.sin(t) ** 3
        y = -(13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t)
              - math.cos(4 * t))
        raw.append((x, y))
    xs = [p[0] for p in raw]
    ys = [p[1] for p in raw]
    mx, my = (min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2
    k = width / (max(xs) - min(xs))
    return [(cx + (x - mx) * k, cy + (y - my) * k) for x, y in raw]


def draw_heart(canvas, cx, cy, width, edge):
    """Glossy heart: layered shrinking hearts for the body shading, a darker
    wash toward the point, soft highlights on the upper-left lobe and a dark
    rim of `edge` final pixels. Drawn onto `canvas` (RGBA)."""
    ss = canvas.ss
    size = canvas.img.size
    outline = heart_points(cx, cy, width)
    ys = [p[1] for p in outline]
    top, bottom = min(ys), max(ys)
    height = bottom - top

    mask = Image.new("L", size, 0)
    ImageDraw.Draw(mask).polygon(canvas.pts(outline), fill=255)

    body = Image.new("RGB", size, HEART_DARK)
    bd = ImageDraw.Draw(body)
    stops = [(0.0, (128, 0, 14)), (0.25, (196, 10, 30)), (0.6, (232, 30, 48)),
             (0.9, (250, 80, 92)), (1.0, (255, 130, 138))]
    hx, hy = cx - width * 0.2, top + height * 0.3     # lightest spot
    steps = 48
    for k in range(steps):
        f = k / (steps - 1)
        s = 1.0 - 0.82 * f
        ccx, ccy = lerp(cx, hx, f), lerp(cy, hy, f)
        pts = heart_points(ccx, ccy, width * s)
        bd.polygon(canvas.pts(pts), fill=ramp(stops, f))
    body = body.filter(ImageFilter.GaussianBlur(ss * width / 60))

    # darker toward the bottom point
    shade = Image.new("L", size, 0)
    sd = ImageDraw.Draw(shade)
    y0 = int((top + height * 0.45) * ss)
    y1 = int(bottom * ss) + 1
    for y in range(y0, y1):
        f = (y - y0) / max(1, y1 - y0)
        sd.line([(0, y), (size[0], y)], fill=int(150 * f ** 1.4))
    body = Image.composite(Image.new("RGB", size, (80, 0, 8)), body, shade)

    # soft broad gloss on the upper-left lobe, then a small bright glint
    gloss = Image.new("L", size, 0)
    ImageDraw.Draw(gloss).polygon(canvas.pts(ellipse_points(
        cx - width * 0.24, top + height * 0.24, width * 0.16, width * 0.09, -40)),
        fill=190)
    gloss = gloss.filter(ImageFilter.GaussianBlur(ss * width / 30))
    glint = Image.new("L", size, 0)
    ImageDraw.Draw(glint).polygon(canvas.pts(ellipse_points(
        cx - width * 0.27, top + height * 0.2, width * 0.075, width * 0.04, -40)),
        fill=235)
    glint = glint.filter(ImageFilter.GaussianBlur(ss * width / 110))
    white = Image.new("RGB", size, (255, 255, 255))
    body = Image.composite(white, body, gloss)
    body = Image.composite(white, body, glint)
    # a faint reflected light along the lower right edge
    rim = Image.new("L", size, 0)
    ImageDraw.Draw(rim).polygon(canvas.pts(ellipse_points(
        cx + width * 0.22, top + height * 0.62, width * 0.1, width * 0.03, -50)),
        fill=70)
    rim = rim.filter(ImageFilter.GaussianBlur(ss * width / 60))
    body = Image.composite(Image.new("RGB", size, (255, 120, 120)), body, rim)

    # dark rim: a stroke along the outline, keeping only its inner half
    ring = Image.new("L", size, 0)
    p = canvas.pts(outline)
    ImageDraw.Draw(ring).line(p + p[:2], fill=255,
                              width=max(1, int(round(2 * edge * ss))),
                              joint="curve")
    ring = ImageChops.multiply(ring, mask)
    body = Image.composite(Image.new("RGB", size, HEART_DARK), body, ring)

    # transparent pixels carry the rim colour so scaling leaves no dark fringe
    layer = Image.composite(body, Image.new("RGB", size, HEART_DARK), mask)
    layer.putalpha(mask)
    canvas.overlay(layer)


def heart_icon(px):
    ss = 16
    c = Canvas(px, px, ss)
    edge = max(1.0, px / 40)
    draw_heart(c, px / 2, px / 2 + px * 0.01, px * 0.94, edge)
    im = c.reduce()
    # Lanczos ringing leaves a few near-zero alphas outside the edge; clear
    # them to fully transparent black like any other empty icon pixel
    r, g, b, a = im.split()
    keep = a.point(lambda v: 255 if v >= 6 else 0)
    im = Image.composite(im, Image.new("RGBA", im.size, (0, 0, 0, 0)), keep)
    return im


def make_icon():
    sizes = (48, 32, 16)
    hearts = {px: heart_icon(px) for px in sizes}
    return ico_bytes([(hearts[px], 8) for px in sizes]
                     + [(hearts[px], 32) for px in sizes])


# --------------------------------------------------------------------------
# cartoon: boy, title, girl

INK = (38, 22, 16)
SKIN = (255, 216, 178)
SKIN_SHADE = (238, 178, 140)
CHEEK = (255, 120, 120, 110)
WHITE = (255, 255, 255)
LINE = 1.6  # outline width in final pixels


def draw_face(c, cx, cy, r, look):
    """Eyes, nose, mouth and cheeks for a head centred at (cx, cy).
    `look` shifts the pupils sideways (+1 right, -1 left)."""
    for ex in (cx - r * 0.36, cx + r * 0.36):
        ey = cy + r * 0.02
        c.ellipse((ex - r * 0.17, ey - r * 0.24, ex + r * 0.17, ey + r * 0.24),
                  WHITE, INK, LINE * 0.8)
        px = ex + look * r * 0.06
        c.circle(px, ey + r * 0.05, r * 0.12, INK)
        c.circle(px - r * 0.04, ey - r * 0.02, r * 0.045, WHITE)
    # cheeks
    blush = c.layer()
    for bx in (cx - r * 0.62, cx + r * 0.62):
        blush.ellipse((bx - r * 0.16, cy + r * 0.28, bx + r * 0.16, cy + r * 0.44),
                      CHEEK)
    c.overlay(blush.img)
    # nose
    c.line(quad_bezier((cx - r * 0.05, cy + r * 0.22), (cx + r * 0.1, cy + r * 0.3),
                       (cx - r * 0.03, cy + r * 0.36), 10), SKIN_SHADE, LINE)
    # open smile
    mouth = [(cx - r * 0.36, cy + r * 0.44)]
    mouth += quad_bezier((cx - r * 0.36, cy + r * 0.44), (cx, cy + r * 1.02),
                         (cx + r * 0.36, cy + r * 0.44), 20)[1:]
    mouth += quad_bezier((cx + r * 0.36, cy + r * 0.44), (cx, cy + r * 0.52),
                         (cx - r * 0.36, cy + r * 0.44), 12)[1:-1]
    c.polygon(mouth, (190, 40, 50), INK, LINE * 0.9)
    tongue = quad_bezier((cx - r * 0.14, cy + r * 0.68), (cx, cy + r * 0.56),
                         (cx + r * 0.14, cy + r * 0.68), 8)
    tongue += quad_bezier((cx + r * 0.14, cy + r * 0.68), (cx, cy + r * 0.76),
                          (cx - r * 0.14, cy + r * 0.68), 8)[1:-1]
    c.polygon(tongue, (255, 120, 130))


def head_arc(cx, cy, r, a0, a1, n=24, wobble=None):
    """Points along a circle from angle a0 to a1 (degrees, screen coords)."""
    out = []
    for i in range(n + 1):
        a = math.radians(lerp(a0, a1, i / n))
        rr = r + (wobble(i) if wobble else 0)
        out.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    return out


def draw_arms(c, cx, shoulder_y, elbow, hand, width, hand_r):
    """Both arms, mirrored about cx: from the shoulders 20 px either side through the
    elbows and hands, given as (distance from cx, y), each ending in a round hand."""
    for side in (-1, 1):
        sh = (cx + side * 20, shoulder_y)
        el = (cx + side * elbow[0], elbow[1])
        at = (cx + side * hand[0], hand[1])
        c.limb([sh, el, at], SKIN, INK, width, LINE / 2 + 0.2)
        c.circle(at[0], at[1] + 1, hand_r, SKIN, INK, LINE)


def draw_boy(c):
    cx, hy, r = 56, 104, 29
    shirt, shirt_dark = (224, 32, 40), (170, 16, 28)
    khaki, khaki_dark = (196, 174, 120), (150, 128, 84)
    shoe = (92, 52, 30)

    # legs, socks and shoes
    for lx, dir_ in ((47, -1), (65, 1)):
        c.limb([(lx, 186), (lx + dir_ * 1.5, 214)], SKIN, INK, 9, LINE / 2 + 0.2)
        c.polygon([(lx - 5.5, 206), (lx + 5.5 + dir_ * 1.5, 206),
                   (lx + 5.5 + dir_ * 1.5, 215), (lx - 5.5, 215)], WHITE, INK, LINE)
        sx = lx + dir_ * 5
        c.polygon(catmull_rom([(sx - 10, 222), (sx - 9, 215), (sx - 2, 213),
                               (sx + 9, 215), (sx + 11, 221), (sx, 224)], 8),
                  shoe, INK, LINE)
        c.ellipse((sx - 5 + dir_ * 3, 215.5, sx + 1 + dir_ * 3, 217.5), (140, 90, 60))

    # arms (behind the shirt), hands
    draw_arms(c, cx, 142, (30, 160), (31, 176), 8.5, 5.6)

    # shorts
    shorts = [(cx - 23, 168), (cx + 23, 168), (cx + 25, 192), (cx + 3, 192),
              (cx, 184), (cx - 3, 192), (cx - 25, 192)]
    c.polygon(shorts, khaki, INK, LINE)
    c.line([(cx, 172), (cx, 184)], khaki_dark, 1.0)
    c.line([(cx - 22, 173), (cx + 22, 173)], khaki_dark, 1.0)

    # shirt: body and short sleeves
    body = catmull_rom([(cx - 19, 132), (cx, 130), (cx + 19, 132), (cx + 23, 150),
                        (cx + 24, 173), (cx, 175), (cx - 24, 173), (cx - 23, 150)], 10)
    for side in (-1, 1):
        sleeve = [(cx + side * 14, 133), (cx + side * 27, 139), (cx + side * 37, 153),
                  (cx + side * 25, 160), (cx + side * 18, 150)]
        c.polygon(catmull_rom(sleeve, 8), shirt, INK, LINE)
    c.polygon(body, shirt, INK, LINE)
    # shirt shading and a star badge
    c.line(quad_bezier((cx - 17, 165), (cx, 171), (cx + 17, 165)), shirt_dark, 2.2)
    star = []
    for i in range(10):
        a = math.radians(-90 + 36 * i)
        rr = 7 if i % 2 == 0 else 3
        star.append((cx + rr * math.cos(a), 153 + rr * math.sin(a)))
    c.polygon(star, (255, 220, 40), INK, 0.9)
    # collar
    c.polygon([(cx - 10, 131), (cx, 140), (cx + 10, 131), (cx, 134)], WHITE, INK, LINE * 0.8)

    # ears, head
    for side in (-1, 1):
        c.circle(cx + side * (r - 1), hy + 4, 6, SKIN, INK, LINE)
        c.circle(cx + side * (r - 1), hy + 4, 2.6, SKIN_SHADE)
    c.circle(cx, hy, r, SKIN, INK, LINE)

    # hair: a spiky cap over the top of the head
    hair_col, hair_dark = (120, 64, 26), (84, 42, 16)
    cap = head_arc(cx, hy, r + 2.5, 188, 352, 40,
                   lambda i: 6.0 if i % 5 == 2 else 0.0)
    fringe = [(cx + r * 0.92, hy - r * 0.25), (cx + r * 0.6, hy - r * 0.42),
              (cx + r * 0.45, hy - r * 0.22), (cx + r * 0.2, hy - r * 0.5),
              (cx - r * 0.05, hy - r * 0.26), (cx - r * 0.25, hy - r * 0.52),
              (cx - r * 0.5, hy - r * 0.3), (cx - r * 0.7, hy - r * 0.48),
              (cx - r * 0.95, hy - r * 0.2)]
    c.polygon(cap + fringe, hair_col, INK, LINE)
    for x0 in (-0.5, 0.0, 0.45):
        c.line(quad_bezier((cx + r * x0, hy - r * 0.92), (cx + r * (x0 + 0.12), hy - r * 0.8),
                           (cx + r * (x0 + 0.05), hy - r * 0.6), 8), hair_dark, 1.0)

    draw_face(c, cx, hy, r, 1)


def draw_girl(c):
    cx, hy, r = 264, 104, 28
    dress, dress_dark, dress_light = (255, 110, 168), (214, 64, 126), (255, 196, 222)
    hair_col, hair_dark = (150, 62, 26), (110, 40, 14)
    bow = (232, 28, 96)

    # long hair behind head and shoulders
    back = catmull_rom([(cx, hy - r - 4), (cx + r + 6, hy - r * 0.5),
                        (cx + r + 9, hy + r * 0.6), (cx + r + 12, hy + r * 1.5),
                        (cx + r + 2, hy + r * 1.85), (cx, hy + r * 1.2),
                        (cx - r - 2, hy + r * 1.85), (cx - r - 12, hy + r * 1.5),
                        (cx - r - 9, hy + r * 0.6), (cx - r - 6, hy - r * 0.5)], 10)
    c.polygon(back, hair_col, INK, LINE)

    # legs, socks, shoes
    for lx, dir_ in ((256, -1), (272, 1)):
        c.limb([(lx, 190), (lx + dir_ * 1.0, 214)], SKIN, INK, 7.5, LINE / 2 + 0.2)
        c.polygon([(lx - 4.8, 207), (lx + 4.8 + dir_, 207), (lx + 4.8 + dir_, 214),
                   (lx - 4.8, 214)], WHITE, INK, LINE)
        sx = lx + dir_ * 4
        c.polygon(catmull_rom([(sx - 9, 222), (sx - 8, 215), (sx, 213.5),
                               (sx + 8, 215), (sx + 9, 221), (sx, 224)], 8),
                  (210, 30, 60), INK, LINE)
        c.line([(sx - 6, 215), (sx + 6, 215)], INK, 1.0)

    # A-line dress with a waist band and hem trim
    skirt = catmull_rom([(cx - 16, 132), (cx, 130), (cx + 16, 132), (cx + 19, 150),
                         (cx + 30, 176), (cx + 37, 196), (cx, 199),
                         (cx - 37, 196), (cx - 30, 176), (cx - 19, 150)], 10)
    c.polygon(skirt, dress, INK, LINE)
    c.line(quad_bezier((cx - 20, 156), (cx, 160), (cx + 20, 156)), WHITE, 3.2)
    c.line(quad_bezier((cx - 34, 190), (cx, 195), (cx + 34, 190)), dress_light, 2.5)
    for dx, dy in ((-14, 172), (8, 168), (-2, 182), (18, 182), (-22, 186), (24, 170)):
        c.circle(cx + dx, dy, 2.0, dress_light)
    c.line(quad_bezier((cx + 8, 163), (cx + 14, 178), (cx + 12, 194)), dress_dark, 1.2)
    c.line(quad_bezier((cx - 8, 163), (cx - 14, 178), (cx - 12, 194)), dress_dark, 1.2)
    # arms and hands, in front of the skirt
    draw_arms(c, cx, 140, (31, 156), (37, 170), 7.5, 5.0)
    # puffed sleeves
    for side in (-1, 1):
        c.ellipse((cx + side * 22 - 8, 131, cx + side * 22 + 8, 147), dress, INK, LINE)
        c.line(quad_bezier((cx + side * 22 - 5, 135), (cx + side * 20, 140),
                           (cx + side * 22 - 3, 145)), dress_dark, 1.0)
    # round collar
    c.polygon(catmull_rom([(cx - 11, 130), (cx, 128), (cx + 11, 130), (cx + 5, 137),
                           (cx, 134), (cx - 5, 137)], 6), WHITE, INK, LINE * 0.8)

    # head, then fringe
    c.circle(cx, hy, r, SKIN, INK, LINE)
    cap = head_arc(cx, hy, r + 3, 175, 365, 36)
    fringe = [(cx + r + 1, hy - r * 0.05), (cx + r * 0.75, hy - r * 0.45),
              (cx + r * 0.4, hy - r * 0.35), (cx + r * 0.15, hy - r * 0.55),
              (cx - r * 0.15, hy - r * 0.38), (cx - r * 0.4, hy - r * 0.6),
              (cx - r * 0.72, hy - r * 0.4), (cx - r - 1, hy - r * 0.05)]
    c.polygon(catmull_rom(cap[::4] + fringe, 6), hair_col, INK, LINE)
    for x0 in (-0.55, -0.1, 0.35):
        c.line(quad_bezier((cx + r * x0, hy - r * 0.95), (cx + r * (x0 - 0.1), hy - r * 0.8),
                           (cx + r * (x0 + 0.02), hy - r * 0.62), 8), hair_dark, 1.0)

    draw_face(c, cx, hy, r, -1)
    # eyelashes
    for side in (-1, 1):
        ex = cx + side * r * 0.36 + side * r * 0.14
        ey = hy - r * 0.16
        for k in range(2):
            c.line([(ex, ey + k * 3), (ex + side * 4, ey - 2 + k * 3.5)], INK, 1.1)

    # bow on the top right of the head
    bx, by = cx + r * 0.55, hy - r * 0.98
    for side in (-1, 1):
        loop = catmull_rom([(bx, by), (bx + side * 8, by - 8), (bx + side * 14, by - 3),
                            (bx + side * 13, by + 7), (bx + side * 6, by + 6)], 8)
        c.polygon(loop, bow, INK, LINE)
    c.circle(bx, by, 3.6, (255, 80, 140), INK, LINE)


def draw_small_heart(c, cx, cy, w, colour):
    pts = heart_points(cx, cy, w, 120)
    c.polygon(pts, colour, INK, LINE * 0.9)
    c.polygon(ellipse_points(cx - w * 0.22, cy - w * 0.18, w * 0.12, w * 0.07, -40, 24),
              (255, 190, 190))


def make_cartoon():
    w, h = BMP_SIZE
    c = Canvas(w, h, 4)

    # faint words in a slightly darker yellow, where nothing else is
    faint = c.layer()
    word_col = (214, 150, 0, 255)
    for text, box in (("love", (4, 4, 36, 16)), ("match", (282, 4, 316, 16)),
                      ("names", (116, 205, 156, 217)), ("friends", (162, 214, 206, 226))):
        text_centred(faint, text, FONT_BOLD, box, word_col)
    faint_img = faint.img
    a = faint_img.getchannel("A").point(lambda v: v * 150 // 255)
    faint_img.putalpha(a)
    c.overlay(faint_img)

    draw_boy(c)
    draw_girl(c)

    # title: white block capitals, thick black outline, offset shadow
    shadow = (150, 96, 0)
    text_centred(c, "PAIRLY", FONT_BOLD, (52, 10, 268, 60), WHITE, 0.07, INK,
                 layers=[(0.07, shadow, 1.6, 2.0)])
    text_centred(c, "CALC", FONT_BOLD, (100, 66, 220, 126), WHITE, 0.07, INK,
                 layers=[(0.07, shadow, 1.6, 2.0)])
    draw_small_heart(c, 160, 136, 12, (232, 24, 48))

    im = c.reduce()
    out = Image.new("RGBA", (w, h), BACKGROUND + (255,))
    out.alpha_composite(im)
    out = out.convert("RGB")
    x0, y0, x1, y1 = PERCENT_CLEAR
    out.paste(BACKGROUND, (x0, y0, x1 + 1, y1 + 1))
    return out


# --------------------------------------------------------------------------
# splash: spider on a web

def radial_background(w, h, centre, stops, reach):
    img = Image.new("RGB", (w, h))
    cx, cy = centre
    data = []
    for y in range(h):
        for x in range(w):
            d = math.hypot((x + 0.5 - cx) / reach[0], (y + 0.5 - cy) / reach[1])
            data.append(ramp(stops, d))
    img.putdata(data)
    return img


def draw_web(c, hub, rx, ry):
    threads = 13
    angles = [lerp(4, 176, i / (threads - 1)) for i in range(threads)]

    def at(a, f):
        t = math.radians(a)
        return (hub[0] + rx * f * math.cos(t), hub[1] + ry * f * math.sin(t))

    shade = c.layer()
    silk = c.layer()
    rings = [0.12, 0.22, 0.33, 0.45, 0.58, 0.72, 0.87, 1.02]
    strands = []
    for a in angles:
        strands.append([hub, at(a, 1.15)])
    for k, f in enumerate(rings):
        for a0, a1 in zip(angles, angles[1:]):
            p0, p1 = at(a0, f), at(a1, f)
            mid = ((p0[0] + p1[0]) / 2, (p0[1] + p1[1]) / 2)
            span = math.hypot(p1[0] - p0[0], p1[1] - p0[1])
            ctrl = (mid[0], mid[1] + span * 0.28)
            strands.append(quad_bezier(p0, ctrl, p1, 14))
    for pts in strands:
        shade.line([(x + 0.6, y + 0.8) for x, y in pts], (40, 0, 0, 110), 1.2)
        silk.line(pts, (236, 236, 240, 235), 0.9)
    c.overlay(shade.img)
    c.overlay(silk.img)
    # a few grey cross-lights so the web reads as grey-and-white silk
    grey = c.layer()
    for k, f in enumerate(rings[1::2]):
        for a0, a1 in list(zip(angles, angles[1:]))[k % 2::2]:
            p0, p1 = at(a0, f), at(a1, f)
            mid = ((p0[0] + p1[0]) / 2, (p0[1] + p1[1]) / 2)
            span = math.hypot(p1[0] - p0[0], p1[1] - p0[1])
            grey.line(quad_bezier(p0, (mid[0], mid[1] + span * 0.28), p1, 14),
                      (150, 150, 160, 255), 0.9)
    c.overlay(grey.img)
    # dew drops caught where the silk crosses
    dew = c.layer()
    for k, i in ((1, 3), (2, 7), (3, 1), (3, 9), (4, 5), (5, 2), (5, 8), (6, 6),
                 (6, 10), (7, 0), (7, 4)):
        x, y = at(angles[i], rings[k])
        dew.circle(x, y + 0.3, 1.25, (255, 255, 255, 200))
        dew.circle(x - 0.35, y - 0.05, 0.45, (255, 255, 255, 255))
    c.overlay(dew.img)


def shaded_ellipse(c, box, stops, light, steps=40, outline=None, width=0.0):
    """Ellipse shaded by shrinking ellipses that slide toward `light`
    (a point given as fractions of the box)."""
    x0, y0, x1, y1 = box
    if outline is not None:
        c.ellipse(box, outline, outline, 0)
        h = width
        x0, y0, x1, y1 = x0 + h, y0 + h, x1 - h, y1 - h
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    lx, ly = lerp(x0, x1, light[0]), lerp(y0, y1, light[1])
    hw, hh = (x1 - x0) / 2, (y1 - y0) / 2
    for k in range(steps):
        f = k / (steps - 1)
        s = 1.0 - 0.85 * f
        ex, ey = lerp(cx, lx, f), lerp(cy, ly, f)
        c.ellipse((ex - hw * s, ey - hh * s, ex + hw * s, ey + hh * s), ramp(stops, f))


def gloss(c, cx, cy, rx, ry, angle, alpha, blur):
    layer = c.layer()
    layer.polygon(ellipse_points(cx, cy, rx, ry, angle, 48), (255, 255, 255, alpha))
    img = layer.img.filter(ImageFilter.GaussianBlur(blur * c.ss))
    c.overlay(img)


def draw_spider(c, cx, cy):
    dark = (70, 0, 0)
    leg_col = (214, 58, 14)
    body_stops = [(0.0, (150, 20, 0)), (0.3, (214, 52, 8)), (0.7, (250, 110, 30)),
                  (1.0, (255, 170, 80))]

    # silk line from the web down to the spider
    c.line([(cx, -2), (cx, cy - 12)], (236, 236, 240, 255), 0.9)

    head_y = cy + 14
    legs = []
    # (base dy, knee angle, knee len, foot angle, foot len); left side,
    # angles in degrees measured from pointing left, positive = upwards
    leg_shapes = [(-4, 62, 20, 10, 20), (-1, 34, 22, -20, 21),
            (2, 8, 22, -46, 19), (5, -18, 18, -70, 17)]
    def step(p, angle, length, side):
        return (p[0] + side * length * math.cos(math.radians(angle)),
                p[1] - length * math.sin(math.radians(angle)))

    for side in (-1, 1):
        for bdy, ka, kl, fa, fl in leg_shapes:
            base = (cx + side * 6, head_y + bdy)
            knee = step(base, ka, kl, side)
            foot = step(knee, fa, fl, side)
            tip = step(foot, fa - 28, 5.5, side)
            legs.append((base, knee, foot, tip))
    for base, knee, foot, tip in legs:
        c.line([base, knee, foot, tip], dark, 3.8)
    for base, knee, foot, tip in legs:
        c.line([base, knee, foot], leg_col, 1.9)
        c.line([foot, tip], leg_col, 1.4)
        c.circle(knee[0], knee[1], 1.8, (255, 120, 50), dark, 0.8)
        c.circle(foot[0], foot[1], 1.3, (255, 120, 50), dark, 0.7)
    for base, knee, foot, tip in legs:
        # light catching the upper segment
        kx = lerp(base[0], knee[0], 0.6)
        ky = lerp(base[1], knee[1], 0.6)
        c.line([(lerp(base[0], knee[0], 0.25), lerp(base[1], knee[1], 0.25) - 0.4),
                (kx, ky - 0.4)], (255, 160, 90), 0.7)

    # abdomen (top) and head (bottom)
    shaded_ellipse(c, (cx - 17, cy - 18, cx + 17, cy + 12), body_stops, (0.32, 0.25),
                   outline=dark, width=1.2)
    gloss(c, cx - 6, cy - 9, 6.5, 3.6, -35, 215, 1.2)
    gloss(c, cx - 7, cy - 10, 2.2, 1.3, -35, 255, 0.3)
    # a few markings on the abdomen
    for dx, dy, rr in ((0, -2, 2.6), (-6, 3, 1.8), (6, 3, 1.8)):
        c.circle(cx + dx, cy + dy, rr, (150, 24, 0))
    shaded_ellipse(c, (cx - 11, head_y - 8, cx + 11, head_y + 10), body_stops,
                   (0.35, 0.3), outline=dark, width=1.1)
    gloss(c, cx - 4, head_y - 3, 3.6, 2.0, -30, 200, 0.8)
    # eyes and a smile
    for ex in (cx - 4.2, cx + 4.2):
        c.circle(ex, head_y + 1.5, 3.1, WHITE, dark, 0.7)
        c.circle(ex, head_y + 2.2, 1.6, (20, 0, 0))
        c.circle(ex - 0.6, head_y + 1.5, 0.6, WHITE)
    c.line(quad_bezier((cx - 3, head_y + 6), (cx, head_y + 8.6), (cx + 3, head_y + 6), 8),
           dark, 0.8)


def make_splash():
    w, h = 200, 160
    ss = 4
    bg = radial_background(w, h, (100, 50), [
        (0.0, (255, 150, 30)), (0.3, (240, 96, 16)), (0.62, (176, 32, 8)),
        (1.0, (96, 0, 0))], (118, 100))
    c = Canvas(w, h, ss)
    c.img = bg.resize((w * ss, h * ss), BICUBIC).convert("RGBA")
    c.draw = ImageDraw.Draw(c.img)

    draw_web(c, (100, -8), 118, 64)
    draw_spider(c, 100, 41)

    # lettering along the bottom edge: gold letters, dark then white outline
    letters = c.layer()
    text_centred(letters, "PAIRLY CALC", FONT_BOLD, (10, 139, 190, 157),
                 (255, 200, 40), 0.07, (90, 0, 0),
                 layers=[(0.16, (255, 255, 255), 0, 0)])
    c.overlay(letters.img)
    return c.reduce().convert("RGB")


def main(argv):
    out_dir = argv[1] if len(argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), os.pardir, "resources")
    out_dir = os.path.normpath(out_dir)
    os.makedirs(out_dir, exist_ok=True)
    files = {
        "heart.ico": make_icon(),
        "cartoon.bmp": bmp24_bytes(make_cartoon()),
        "fill.bmp": bmp24_bytes(Image.new("RGB", BMP_SIZE, BACKGROUND)),
        "splash.jpg": jpeg_bytes(make_splash(), 92),
    }
    for name, data in files.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
        print("%-12s %7d bytes" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
