#!/usr/bin/env python3
"""Draws every picture of the program: the toolbar strip, the splash
pictures, the speaker-library marks and the two icons.

Only the standard library is used for drawing and for writing the BMP and
ICO files; ImageMagick's `convert` renders the few lines of text of the
splash pictures into grey masks.  The generated files are committed, so the
build never runs this script.

    python3 resources/art/draw_pictures.py      # rewrites resources/bitmaps, resources/icons
"""

import math
import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.dirname(HERE)
BITMAPS = os.path.join(RES, "bitmaps")
ICONS = os.path.join(RES, "icons")

FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
FONT_COND_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf"
FONT_REGULAR = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

# The 16 colours of a 4-bit Windows bitmap (the standard VGA order).
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)


# --------------------------------------------------------------------------
# Indexed pixel art (toolbar, library marks): crisp, no smoothing.

class Indexed:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        """Filled rectangle, corners inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def box(self, x0, y0, x1, y1, fill, edge=BLACK):
        """A filled rectangle with a one-pixel outline (both corners inclusive)."""
        self.rect(x0, y0, x1, y1, fill)
        self.frame(x0, y0, x1, y1, edge)

    def frame(self, x0, y0, x1, y1, c):
        self.hline(x0, x1, y0, c)
        self.hline(x0, x1, y1, c)
        self.vline(x0, y0, y1, c)
        self.vline(x1, y0, y1, c)

    def hline(self, x0, x1, y, c):
        for x in range(min(x0, x1), max(x0, x1) + 1):
            self.set(x, y, c)

    def vline(self, x, y0, y1, c):
        for y in range(min(y0, y1), max(y0, y1) + 1):
            self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def poly(self, pts, c):
        """Filled polygon sampled at pixel centres (even-odd rule)."""
        ys = [p[1] for p in pts]
        for y in range(max(0, int(min(ys))), min(self.h, int(math.ceil(max(ys))) + 1)):
            yc = y + 0.5
            xs = []
            for i in range(len(pts)):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % len(pts)]
                if (ya <= yc < yb) or (yb <= yc < ya):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                for x in range(int(math.ceil(xs[i] - 0.5)), int(math.floor(xs[i + 1] - 0.5)) + 1):
                    self.set(x, y, c)

    def disc(self, cx, cy, r, c):
        """Filled circle around a pixel-centre position (cx, cy may be halves)."""
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r + 0.25:
                    self.set(x, y, c)

    def circle(self, cx, cy, r, c, width=1.0):
        """Circle outline of the given width."""
        for y in range(int(cy - r - 2), int(cy + r + 3)):
            for x in range(int(cx - r - 2), int(cx + r + 3)):
                d = math.hypot(x - cx, y - cy)
                if r - width + 0.5 <= d + 0.0 <= r + 0.5:
                    self.set(x, y, c)

    def arc(self, cx, cy, r, a0, a1, c, width=1.0):
        """Arc between angles a0..a1 (degrees, 0 = right, counter-clockwise, y up)."""
        for y in range(int(cy - r - 2), int(cy + r + 3)):
            for x in range(int(cx - r - 2), int(cx + r + 3)):
                d = math.hypot(x - cx, y - cy)
                if not (r - width + 0.5 <= d <= r + 0.5):
                    continue
                a = math.degrees(math.atan2(cy - y, x - cx))
                if a0 <= a <= a1:
                    self.set(x, y, c)

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                self.set(ox + x, oy + y, other.px[y][x])

    def pattern(self, ox, oy, rows, colours):
        """Draws a small character pattern; '.' is left alone."""
        for y, row in enumerate(rows):
            for x, ch in enumerate(row):
                if ch != ".":
                    self.set(ox + x, oy + y, colours[ch])


def write_bmp4(path, img):
    """A 4-bit bottom-up BMP with the VGA palette."""
    stride = ((img.w * 4 + 31) // 32) * 4
    rows = []
    for y in range(img.h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(img.w):
            v = img.px[y][x] & 15
            if x % 2 == 0:
                row[x // 2] |= v << 4
            else:
                row[x // 2] |= v
        rows.append(bytes(row))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in VGA)
    data = b"".join(rows)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, img.w, img.h, 1, 4, 0, len(data), 3780, 3780, 16, 0)
    with open(path, "wb") as f:
        f.write(header + info + palette + data)


# --------------------------------------------------------------------------
# Smooth pictures (splash, icons): drawn at SS times the size, averaged down.

SS = 4


class Smooth:
    def __init__(self, w, h, bg=(255, 255, 255, 255)):
        self.w, self.h = w, h
        self.W, self.H = w * SS, h * SS
        self.px = [list(bg) * self.W for _ in range(self.H)]  # flat RGBA per row

    def _put(self, X, Y, c):
        if 0 <= X < self.W and 0 <= Y < self.H:
            row = self.px[Y]
            i = X * 4
            a = c[3] / 255.0 if len(c) > 3 else 1.0
            for k in range(3):
                row[i + k] = row[i + k] * (1 - a) + c[k] * a
            row[i + 3] = row[i + 3] * (1 - a) + 255 * a

    def fill(self, inside, c, box):
        """Sets every sample whose centre satisfies inside(x, y) (picture units)."""
        x0, y0, x1, y1 = box
        for Y in range(max(0, int(y0 * SS) - 1), min(self.H, int(y1 * SS) + 2)):
            y = (Y + 0.5) / SS
            for X in range(max(0, int(x0 * SS) - 1), min(self.W, int(x1 * SS) + 2)):
                if inside((X + 0.5) / SS, y):
                    self._put(X, Y, c)

    def rect(self, x0, y0, x1, y1, c):
        self.fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, c, (x0, y0, x1, y1))

    def rrect(self, x0, y0, x1, y1, r, c):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        self.fill(inside, c, (x0, y0, x1, y1))

    def ellipse(self, cx, cy, rx, ry, c):
        self.fill(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0, c,
                  (cx - rx, cy - ry, cx + rx, cy + ry))

    def ring(self, cx, cy, r, width, c):
        self.fill(lambda x, y: r - width / 2 <= math.hypot(x - cx, y - cy) <= r + width / 2, c,
                  (cx - r - width, cy - r - width, cx + r + width, cy + r + width))

    def poly(self, pts, c):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]

        def inside(x, y):
            n, j, res = len(pts), len(pts) - 1, False
            for i in range(n):
                (xi, yi), (xj, yj) = pts[i], pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    res = not res
                j = i
            return res
        self.fill(inside, c, (min(xs), min(ys), max(xs), max(ys)))

    def polyline(self, pts, width, c):
        """A stroked path with round joins, drawn in one pass (no double blending)."""
        h = width / 2.0
        segs = list(zip(pts, pts[1:]))
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]

        def inside(x, y):
            for (ax, ay), (bx, by) in segs:
                dx, dy = bx - ax, by - ay
                L = dx * dx + dy * dy
                t = 0.0 if L == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / L))
                if (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= h * h:
                    return True
            return False
        self.fill(inside, c, (min(xs) - h, min(ys) - h, max(xs) + h, max(ys) + h))

    def text(self, s, x, y, size, c, font=FONT_BOLD, anchor="lt", kerning=None):
        """Text rendered by ImageMagick into a grey mask; anchor l/c/r and t/m/b."""
        args = ["convert", "-background", "black", "-fill", "white", "-font", font,
                "-pointsize", str(size * SS), "-depth", "8"]
        if kerning is not None:
            args += ["-kerning", str(kerning * SS)]
        args += ["label:" + s, "-trim", "+repage", "pgm:-"]
        data = subprocess.run(args, check=True, stdout=subprocess.PIPE).stdout
        parts = data.split(b"\n", 3)
        mw, mh = (int(v) for v in parts[1].split())
        mask = parts[3]
        X = int(round(x * SS)) - {"l": 0, "c": mw // 2, "r": mw}[anchor[0]]
        Y = int(round(y * SS)) - {"t": 0, "m": mh // 2, "b": mh}[anchor[1]]
        for j in range(mh):
            for i in range(mw):
                a = mask[j * mw + i]
                if a:
                    self._put(X + i, Y + j, (c[0], c[1], c[2], a * (c[3] if len(c) > 3 else 255) / 255))
        return mw / SS, mh / SS

    def down(self):
        """Averages the samples: rows of (r, g, b, a) 0..255 ints."""
        out = []
        n = SS * SS
        for y in range(self.h):
            row = []
            for x in range(self.w):
                acc = [0.0, 0.0, 0.0, 0.0]
                for j in range(SS):
                    src = self.px[y * SS + j]
                    for i in range(SS):
                        k = (x * SS + i) * 4
                        a = src[k + 3]
                        acc[0] += src[k] * a
                        acc[1] += src[k + 1] * a
                        acc[2] += src[k + 2] * a
                        acc[3] += a
                if acc[3] > 0:
                    row.append(tuple(int(round(v / acc[3])) for v in acc[:3]) + (int(round(acc[3] / n)),))
                else:
                    row.append((0, 0, 0, 0))
            out.append(row)
        return out


def write_bmp24(path, rows):
    h, w = len(rows), len(rows[0])
    stride = ((w * 3 + 3) // 4) * 4
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for (r, g, b, _a) in rows[y]:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        data += line
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + bytes(data))


def write_ico(path, images):
    """An icon file of 32-bit images (BMP form with an AND mask), one per size."""
    entries, blobs = [], []
    for rows in images:
        h, w = len(rows), len(rows[0])
        xor = bytearray()
        for y in range(h - 1, -1, -1):
            for (r, g, b, a) in rows[y]:
                xor += bytes((b, g, r, a))
        mstride = ((w + 31) // 32) * 4
        andm = bytearray()
        for y in range(h - 1, -1, -1):
            line = bytearray(mstride)
            for x, (_r, _g, _b, a) in enumerate(rows[y]):
                if a == 0:
                    line[x // 8] |= 0x80 >> (x % 8)
            andm += line
        info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
        blobs.append(info + bytes(xor) + bytes(andm))
        entries.append((w, h))
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for (w, h), blob in zip(entries, blobs):
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


# --------------------------------------------------------------------------
# Toolbar strip 300: 14 images of 32 x 32 in 16 colours on button-face grey
# (the toolbar maps silver to the button face colour).

def tb_page(im, x0=7, y0=3, x1=24, y1=28, fold=6):
    im.poly([(x0, y0), (x1 - fold, y0), (x1 + 1, y0 + fold + 1), (x1 + 1, y1 + 1), (x0, y1 + 1)], WHITE)
    im.hline(x0, x1 - fold, y0, BLACK)
    im.vline(x0, y0, y1, BLACK)
    im.hline(x0, x1, y1, BLACK)
    im.vline(x1, y0 + fold, y1, BLACK)
    im.line(x1 - fold, y0, x1, y0 + fold, BLACK)
    # folded corner
    im.poly([(x1 - fold, y0 + 1), (x1 - fold, y0 + fold + 1), (x1, y0 + fold + 1)], SILVER)
    im.vline(x1 - fold, y0, y0 + fold, BLACK)
    im.hline(x1 - fold, x1, y0 + fold, BLACK)


def tb_new(im):
    tb_page(im)
    # a sparkle: the page is new
    im.poly([(21.5, 15), (23.5, 20), (28.5, 22), (23.5, 24), (21.5, 29), (19.5, 24), (14.5, 22), (19.5, 20)], YELLOW)
    im.line(21, 15, 19, 21, OLIVE)
    im.line(22, 15, 24, 21, OLIVE)
    im.line(21, 29, 19, 23, OLIVE)
    im.line(22, 29, 24, 23, OLIVE)


def tb_open(im):
    # folder back
    im.poly([(3, 8), (11, 8), (13, 11), (26, 11), (26, 27), (3, 27)], OLIVE)
    im.frame(3, 11, 26, 27, BLACK)
    im.line(3, 8, 3, 11, BLACK)
    im.hline(3, 11, 8, BLACK)
    im.line(11, 8, 13, 11, BLACK)
    # a sheet sticking out
    im.box(7, 6, 22, 14, WHITE)
    for y in (9, 11):
        im.hline(9, 20, y, GRAY)
    # front flap, opened forward
    im.poly([(7, 15), (30, 15), (25, 28), (2, 28)], YELLOW)
    im.line(7, 15, 30, 15, BLACK)
    im.line(30, 15, 25, 28, BLACK)
    im.line(25, 28, 2, 28, BLACK)
    im.line(2, 28, 7, 15, BLACK)
    # arrow: opening
    im.poly([(26, 2), (31, 7), (28, 7), (28, 11), (24, 11), (24, 7), (21, 7)], BLUE)
    im.line(26, 2, 31, 7, NAVY)
    im.line(26, 2, 21, 7, NAVY)


def tb_save(im):
    im.box(4, 4, 27, 27, NAVY)
    im.set(27, 4, SILVER)
    im.line(25, 4, 27, 6, BLACK)
    im.set(26, 4, SILVER)
    im.set(27, 5, SILVER)
    # label
    im.box(8, 5, 23, 15, WHITE)
    for y in (8, 10, 12):
        im.hline(10, 21, y, GRAY)
    # shutter
    im.box(9, 19, 22, 27, SILVER)
    im.rect(18, 21, 20, 25, NAVY)


def speaker_box(im, x0, y0, colour):
    """A small loudspeaker cabinet 10 x 16 with two drivers."""
    im.box(x0, y0, x0 + 9, y0 + 15, colour)
    im.disc(x0 + 4.5, y0 + 4, 2, BLACK)
    im.set(x0 + 4, y0 + 4, GRAY)
    im.set(x0 + 5, y0 + 4, GRAY)
    im.disc(x0 + 4.5, y0 + 10.5, 3, BLACK)
    im.disc(x0 + 4.5, y0 + 10.5, 1, GRAY)


def tb_copy(im):
    speaker_box(im, 2, 10, GRAY)
    speaker_box(im, 20, 10, GRAY)
    # arrow from the first to the second
    im.rect(9, 4, 20, 5, GREEN)
    im.poly([(20, 1), (25, 4.5), (20, 8)], GREEN)
    im.vline(8, 4, 9, GREEN)
    im.vline(9, 4, 9, GREEN)


def tb_firmware(im):
    # a chip with a download arrow
    im.rect(7, 14, 24, 29, BLACK)
    for x in range(9, 24, 3):
        im.vline(x, 12, 13, GRAY)
        im.vline(x, 30, 31, GRAY)
    im.set(9, 16, GRAY)
    im.poly([(12, 1), (19, 1), (19, 7), (23, 7), (15.5, 13), (8, 7), (12, 7)], LIME)
    im.line(12, 1, 19, 1, GREEN)
    im.line(8, 7, 15, 13, GREEN)
    im.line(23, 7, 16, 13, GREEN)


def plug(im, x, y, colour):
    """A plug pointing right: body 9 x 10 at (x, y), pins to the right."""
    im.box(x, y, x + 8, y + 9, colour)
    im.hline(x + 9, x + 12, y + 2, BLACK)
    im.hline(x + 9, x + 12, y + 3, GRAY)
    im.hline(x + 9, x + 12, y + 6, BLACK)
    im.hline(x + 9, x + 12, y + 7, GRAY)
    im.rect(x - 5, y + 4, x - 1, y + 5, BLACK)


def socket(im, x, y, colour):
    """A socket opening to the left at x."""
    im.box(x, y - 1, x + 8, y + 10, colour)
    im.hline(x + 1, x + 3, y + 2, BLACK)
    im.hline(x + 1, x + 3, y + 7, BLACK)
    im.rect(x + 9, y + 4, x + 13, y + 5, BLACK)


def tb_connect(im):
    plug(im, 5, 11, GRAY)
    socket(im, 18, 11, GRAY)
    # lightning: the link is live
    im.poly([(17, 1), (13, 8), (16, 8), (14, 10), (20, 5), (17, 5), (19, 1)], YELLOW)
    im.line(17, 1, 13, 8, OLIVE)
    # ground line under them
    im.hline(4, 28, 25, GREEN)
    im.hline(4, 28, 26, LIME)


def tb_disconnect(im):
    plug(im, 3, 11, GRAY)
    socket(im, 21, 11, GRAY)
    # a red gap between them
    im.line(15, 4, 18, 9, RED)
    im.line(16, 4, 19, 9, RED)
    im.line(18, 22, 15, 27, RED)
    im.line(19, 22, 16, 27, RED)


def tb_about(im):
    im.disc(15.5, 15.5, 12.5, BLUE)
    im.circle(15.5, 15.5, 12.5, NAVY)
    im.disc(15.5, 9, 2, WHITE)
    im.rect(14, 13, 17, 22, WHITE)
    im.rect(12, 13, 14, 14, WHITE)
    im.rect(12, 22, 19, 24, WHITE)


def speaker_cone(im, colour):
    im.box(3, 11, 9, 20, colour)
    im.poly([(9, 11), (17, 4), (17, 27), (9, 20)], colour)
    im.line(9, 11, 17, 4, BLACK)
    im.line(9, 20, 17, 27, BLACK)
    im.vline(17, 4, 27, BLACK)


def tb_mute_off(im):
    speaker_cone(im, GRAY)
    for r in (5, 9, 13):
        im.arc(15, 15.5, r, -50, 50, BLUE, 1.6)


def tb_mute_on(im):
    speaker_cone(im, GRAY)
    for d in (0, 1):
        im.line(20 + d, 10, 29 + d, 21, RED)
        im.line(29 + d, 10, 20 + d, 21, RED)
    im.line(20, 11, 28, 21, RED)
    im.line(28, 11, 20, 21, RED)


def tb_profile(im):
    # clipboard with text lines and a pencil
    im.box(5, 5, 23, 29, OLIVE)
    im.box(8, 8, 20, 27, WHITE, GRAY)
    im.box(10, 3, 18, 7, GRAY)
    for y in (12, 15, 18, 21, 24):
        im.hline(10, 18 if y != 24 else 15, y, NAVY)
    # pencil
    im.poly([(28, 9), (31, 12), (21, 22), (18, 19)], YELLOW)
    im.line(28, 9, 18, 19, OLIVE)
    im.line(31, 12, 21, 22, OLIVE)
    im.poly([(18, 19), (21, 22), (16, 24)], WHITE)
    im.set(16, 24, BLACK)
    im.set(17, 23, BLACK)
    im.line(28, 9, 31, 12, MAROON)
    im.line(29, 9, 31, 11, RED)


def tb_diagnostics(im):
    im.box(3, 5, 28, 24, GRAY)
    im.rect(5, 7, 26, 22, BLACK)
    # prompt ">_"
    im.line(8, 10, 11, 13, LIME)
    im.line(8, 16, 11, 13, LIME)
    im.hline(13, 17, 17, LIME)
    im.rect(11, 25, 20, 26, GRAY)
    im.rect(8, 27, 23, 28, BLACK)


def tb_select_device(im):
    # the USB trident
    im.vline(15, 4, 27, BLACK)
    im.vline(16, 4, 27, BLACK)
    im.poly([(15.5, 1), (19.5, 6), (11.5, 6)], BLACK)
    im.disc(15.5, 26.5, 3, BLACK)
    im.line(15, 21, 8, 14, BLACK)
    im.line(16, 21, 9, 14, BLACK)
    im.vline(8, 10, 14, BLACK)
    im.vline(9, 10, 14, BLACK)
    im.disc(8.5, 9, 2.2, BLACK)
    im.line(16, 18, 23, 12, BLACK)
    im.line(16, 17, 23, 11, BLACK)
    im.rect(21, 7, 25, 11, BLACK)


def tb_exit(im):
    im.box(8, 3, 22, 29, MAROON)
    im.rect(10, 5, 20, 27, OLIVE)
    im.disc(18, 16, 1, YELLOW)
    im.poly([(21, 13), (26, 13), (26, 9), (31, 16), (26, 23), (26, 19), (21, 19)], LIME)
    im.line(26, 9, 31, 16, GREEN)
    im.line(31, 16, 26, 23, GREEN)


TOOLBAR = [tb_new, tb_open, tb_save, tb_copy, tb_firmware, tb_connect, tb_disconnect, tb_about,
           tb_mute_off, tb_mute_on, tb_profile, tb_diagnostics, tb_select_device, tb_exit]


def toolbar():
    strip = Indexed(32 * len(TOOLBAR), 32, SILVER)
    for i, draw in enumerate(TOOLBAR):
        im = Indexed(32, 32, SILVER)
        draw(im)
        strip.blit(im, 32 * i, 0)
    write_bmp4(os.path.join(BITMAPS, "toolbar.bmp"), strip)


# --------------------------------------------------------------------------
# Speaker-library marks 221: two 16 x 16 images (two-band, three-band
# preset) on magenta, which the image list treats as transparent.

def library_marks():
    im = Indexed(32, 16, MAGENTA)
    for i, drivers in enumerate((2, 3)):
        x0 = 16 * i + 3
        im.box(x0, 0, x0 + 9, 15, GRAY)
        if drivers == 2:
            im.rect(x0 + 3, 2, x0 + 6, 4, BLACK)        # horn
            im.disc(x0 + 4.5, 10, 3, BLACK)             # woofer
            im.disc(x0 + 4.5, 10, 1, SILVER)
        else:
            im.rect(x0 + 3, 2, x0 + 6, 3, BLACK)        # horn
            im.disc(x0 + 4.5, 6.5, 1.5, BLACK)          # mid
            im.disc(x0 + 4.5, 11.5, 2, BLACK)           # woofer
            im.rect(x0 + 4, 11, x0 + 5, 12, SILVER)
        # the band count as dots on the right
        for k in range(drivers):
            im.rect(x0 + 11, 2 + 5 * k, x0 + 12, 3 + 5 * k, BLUE)
    write_bmp4(os.path.join(BITMAPS, "speakerlib.bmp"), im)


# --------------------------------------------------------------------------
# Splash pictures (white background).  Sizes: the dialog-unit rectangles of
# the splash at 96 dpi in 12-point Tahoma (base units 9 x 19):
#   345 logo 58 x 21 du -> 131 x 50, 224 unit 122 x 22 du -> 275 x 52,
#   343 strap line 151 x 13 du -> 339 x 31.

NAVY_INK = (20, 40, 90)
ACCENT = (0, 120, 215)
STEEL = (60, 64, 72)


def band_curves(img, x0, y0, w, h, width, colours):
    """Three overlapping band-pass humps: the crossover picture of the logo."""
    for k, col in enumerate(colours):
        centre = x0 + w * (0.2 + 0.3 * k)
        pts = []
        for i in range(41):
            x = x0 + w * i / 40.0
            d = (x - centre) / (w * 0.16)
            lift = math.exp(-d * d * d * d / 2.0)
            if lift > 0.04:
                pts.append((x, y0 + h - h * lift))
        img.polyline(pts, width, col)


def splash_logo():
    img = Smooth(131, 50)
    img.text("QVR-500", 65.5, 3, 22, NAVY_INK, FONT_BOLD, "ct")
    band_curves(img, 14, 30, 103, 15, 2.2, [(220, 60, 40), (240, 170, 0), (0, 140, 70)])
    img.rect(10, 46, 121, 47.2, NAVY_INK)
    write_bmp24(os.path.join(BITMAPS, "splash_logo.bmp"), img.down())


def splash_unit():
    img = Smooth(275, 52)
    # rack ears
    for x in (2, 259):
        img.rrect(x, 4, x + 14, 48, 2, (150, 154, 160))
        img.ellipse(x + 7, 11, 2.4, 2.4, (70, 70, 75))
        img.ellipse(x + 7, 41, 2.4, 2.4, (70, 70, 75))
    # front panel
    img.rrect(14, 3, 261, 49, 3, (38, 41, 48))
    img.rect(16, 5, 259, 7, (70, 74, 84))
    img.text("QVR500", 26, 12, 11, (235, 238, 242), FONT_BOLD, "lt")
    img.text("DIGITAL CROSSOVER", 26, 28, 5.5, (160, 168, 180), FONT_REGULAR, "lt")
    # six channel meters: label and a column of LEDs each
    labels = ["L", "LC", "C", "RC", "R", "SW"]
    for i, lab in enumerate(labels):
        x = 124 + i * 17
        for j, col in enumerate([(230, 40, 30), (240, 200, 0), (40, 210, 60), (40, 210, 60)]):
            img.rrect(x - 4, 11 + j * 6, x + 4, 15 + j * 6, 1, col if j >= 1 or i % 3 == 0 else (90, 30, 30))
        img.text(lab, x, 37, 5, (200, 205, 215), FONT_BOLD, "ct")
    # power LED and USB port
    img.ellipse(238, 16, 2.6, 2.6, (40, 220, 255))
    img.text("POWER", 238, 21, 4.2, (160, 168, 180), FONT_REGULAR, "ct")
    img.rrect(230, 31, 246, 38, 1, (15, 15, 18))
    img.rect(233, 33, 243, 36, (120, 125, 135))
    img.text("USB", 238, 40, 4.2, (160, 168, 180), FONT_REGULAR, "ct")
    write_bmp24(os.path.join(BITMAPS, "splash_unit.bmp"), img.down())


def splash_strap():
    img = Smooth(339, 31)
    img.text("Six-Channel Digital Loudspeaker Crossover", 169.5, 15.5, 10.5, STEEL, FONT_BOLD, "cm")
    img.rect(20, 28, 319, 29, ACCENT)
    write_bmp24(os.path.join(BITMAPS, "splash_strap.bmp"), img.down())


# --------------------------------------------------------------------------
# Icons: 100 the program (crossover curves on a blue tile), 227 the sibling
# cinema-processor program (a film frame on a dark red tile).

def icon_program(n):
    img = Smooth(n, n, (0, 0, 0, 0))
    s = n / 32.0
    img.rrect(1 * s, 1 * s, 31 * s, 31 * s, 6 * s, (16, 70, 150, 255))
    img.rrect(2 * s, 2 * s, 30 * s, 16 * s, 5 * s, (40, 100, 185, 255))
    band_curves(img, 3 * s, 5 * s, 26 * s, 13 * s if n >= 32 else 20 * s, max(1.4, 2.2 * s),
                [(255, 90, 70, 255), (255, 210, 40, 255), (90, 230, 120, 255)])
    if n >= 32:
        img.text("QVR", 16 * s, 28.5 * s, 6.5 * s, (255, 255, 255, 255), FONT_BOLD, "cb")
    return img.down()


def icon_sibling(n):
    img = Smooth(n, n, (0, 0, 0, 0))
    s = n / 32.0
    img.rrect(1 * s, 1 * s, 31 * s, 31 * s, 6 * s, (130, 20, 30, 255))
    # film strip with sprocket holes
    img.rect(5 * s, 5 * s, 27 * s, 19 * s, (25, 25, 28, 255))
    for i in range(5):
        x = 6.5 * s + i * 4.4 * s
        img.rect(x, 6 * s, x + 2 * s, 7.6 * s, (230, 230, 230, 255))
        img.rect(x, 16.4 * s, x + 2 * s, 18 * s, (230, 230, 230, 255))
    img.rect(7 * s, 9 * s, 25 * s, 15 * s, (250, 200, 60, 255))
    if n >= 32:
        img.text("PLM", 16 * s, 28.5 * s, 6.5 * s, (255, 255, 255, 255), FONT_BOLD, "cb")
    else:
        img.rect(5 * s, 22 * s, 27 * s, 26 * s, (255, 255, 255, 255))
    return img.down()


def icons():
    write_ico(os.path.join(ICONS, "qvr500.ico"), [icon_program(n) for n in (16, 32, 48)])
    write_ico(os.path.join(ICONS, "plm40.ico"), [icon_sibling(n) for n in (16, 32, 48)])


def main():
    os.makedirs(BITMAPS, exist_ok=True)
    os.makedirs(ICONS, exist_ok=True)
    toolbar()
    library_marks()
    splash_logo()
    splash_unit()
    splash_strap()
    icons()
    return 0


if __name__ == "__main__":
    sys.exit(main())
