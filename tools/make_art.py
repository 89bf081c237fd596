#!/usr/bin/env python3
"""Draw the program icons and the installer's animation frames.

Run from the repository root:  python3 tools/make_art.py

Everything is drawn from simple shapes with a tiny supersampling
rasteriser and written with struct/zlib only, so the output is the same
bytes on every run and every machine.
"""

import math
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def rnd(v):
    """Round half up (same result everywhere, unlike banker's rounding)."""
    return int(math.floor(v + 0.5))


# ---------------------------------------------------------------------------
# Rasteriser: polygons filled on a supersampled grid, then box-filtered.
# Pixels are premultiplied (r, g, b, a) tuples of ints.

class Canvas:
    def __init__(self, w, h, ss, bg=(0, 0, 0, 0), k=1.0, snap=True):
        self.w, self.h, self.ss = w, h, ss
        self.k = k              # design units -> pixels
        self.snap = snap        # round straight-edged shapes to whole pixels
        self.m = None           # optional local transform (design units)
        self.off = (0, 0)       # shift applied before snapping
        self.px = [[bg] * (w * ss) for _ in range(h * ss)]

    def _map(self, pts, snap):
        out = []
        for x, y in pts:
            if self.m:
                x, y = self.m(x, y)
            x, y = (x + self.off[0]) * self.k, (y + self.off[1]) * self.k
            if snap and self.snap and not self.m:
                x, y = rnd(x), rnd(y)
            out.append((x * self.ss, y * self.ss))
        return out

    def fill(self, contours, rgb, alpha=255, snap=True):
        """Fill polygons (non-zero winding) with a flat colour."""
        edges = []
        top, bot = 1e9, -1e9
        for pts in contours:
            pts = self._map(pts, snap)
            for i in range(len(pts)):
                x0, y0 = pts[i]
                x1, y1 = pts[(i + 1) % len(pts)]
                if y0 == y1:
                    continue
                w = 1
                if y0 > y1:
                    x0, y0, x1, y1, w = x1, y1, x0, y0, -1
                edges.append((y0, y1, x0, (x1 - x0) / (y1 - y0), w))
                top, bot = min(top, y0), max(bot, y1)
        if not edges:
            return
        W = len(self.px[0])
        src = tuple(rnd(c * alpha / 255) for c in rgb) + (alpha,)
        inv = 255 - alpha
        j0 = max(0, math.ceil(top - 0.5))
        j1 = min(len(self.px) - 1, math.floor(bot - 0.5))
        for j in range(j0, j1 + 1):
            yc = j + 0.5
            xs = sorted((x0 + (yc - y0) * dx, w)
                        for y0, y1, x0, dx, w in edges if y0 <= yc < y1)
            row = self.px[j]
            wind = 0
            start = 0.0
            for x, w in xs:
                was = wind
                wind += w
                if was == 0 and wind != 0:
                    start = x
                elif was != 0 and wind == 0:
                    i0 = max(0, math.ceil(start - 0.5))
                    i1 = min(W, math.ceil(x - 0.5))
                    if i1 <= i0:
                        continue
                    if alpha == 255:
                        row[i0:i1] = [src] * (i1 - i0)
                    else:
                        for i in range(i0, i1):
                            d = row[i]
                            row[i] = tuple(s + (dc * inv + 127) // 255
                                           for s, dc in zip(src, d))

    def pixels(self):
        """Box-filter down to rows of straight-alpha (r, g, b, a)."""
        ss, n = self.ss, self.ss * self.ss
        out = []
        for j in range(self.h):
            band = self.px[j * ss:(j + 1) * ss]
            line = []
            for i in range(self.w):
                r = g = b = a = 0
                for row in band:
                    for p in row[i * ss:(i + 1) * ss]:
                        r += p[0]
                        g += p[1]
                        b += p[2]
                        a += p[3]
                if a == 0:
                    line.append((0, 0, 0, 0))
                else:
                    line.append(((r * 255 + a // 2) // a,
                                 (g * 255 + a // 2) // a,
                                 (b * 255 + a // 2) // a,
                                 (a + n // 2) // n))
            out.append(line)
        return out


# ---------------------------------------------------------------------------
# Shape outlines (lists of points in design units).

def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def arc(cx, cy, rx, ry, a0, a1, n):
    """Points along an elliptical arc, angles in degrees, y pointing down."""
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / n)))
            for i in range(n + 1)]


def ellipse(cx, cy, rx, ry, n=64):
    return arc(cx, cy, rx, ry, 0, 360, n)[:-1]


def rrect(x0, y0, x1, y1, r, n=8):
    r = min(r, (x1 - x0) / 2, (y1 - y0) / 2)
    if r <= 0:
        return rect(x0, y0, x1, y1)
    return (arc(x1 - r, y0 + r, r, r, 270, 360, n) +
            arc(x1 - r, y1 - r, r, r, 0, 90, n) +
            arc(x0 + r, y1 - r, r, r, 90, 180, n) +
            arc(x0 + r, y0 + r, r, r, 180, 270, n))


def inset(pts, d):
    """Move every edge of a simple polygon inwards by d (mitred corners)."""
    n = len(pts)
    area = sum(pts[i][0] * pts[(i + 1) % n][1] - pts[(i + 1) % n][0] * pts[i][1]
               for i in range(n))
    s = 1 if area > 0 else -1
    lines = []
    for i in range(n):
        (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % n]
        dx, dy = x1 - x0, y1 - y0
        ln = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / ln * s * d, dx / ln * s * d
        lines.append((x0 + nx, y0 + ny, dx, dy, nx, ny))
    out = []
    for i in range(n):
        ax, ay, adx, ady, _, _ = lines[i - 1]
        bx, by, bdx, bdy, bnx, bny = lines[i]
        den = adx * bdy - ady * bdx
        if abs(den) < 1e-9 * (math.hypot(adx, ady) * math.hypot(bdx, bdy) + 1e-12):
            out.append((pts[i][0] + bnx, pts[i][1] + bny))
        else:
            t = ((bx - ax) * bdy - (by - ay) * bdx) / den
            out.append((ax + adx * t, ay + ady * t))
    return out


def outlined(c, pts, fill, line, lw, snap=True):
    """Shape with a line-coloured border lw pixels wide drawn inside it."""
    c.fill([pts], line, snap=snap)
    c.fill([inset(pts, lw / c.k)], fill, snap=snap)


def rotated(c, cx, cy, deg):
    """Rotate everything drawn afterwards by deg about (cx, cy)."""
    co, si = math.cos(math.radians(deg)), math.sin(math.radians(deg))
    c.m = lambda x, y: (cx + (x - cx) * co - (y - cy) * si,
                        cy + (x - cx) * si + (y - cy) * co)


# ---------------------------------------------------------------------------
# Colours

WHITE = (255, 255, 255)
INK = (52, 56, 64)
BODY = (196, 200, 206)
BODY_DARK = (150, 155, 163)
CAP = (116, 122, 131)
RAIL = (46, 104, 214)
RAIL_LIGHT = (128, 176, 246)
RAIL_INK = (20, 46, 120)
HEAD = (64, 68, 78)
BLADE = (220, 224, 230)
SLOT = (24, 26, 30)
VINYL = (232, 84, 44)
VINYL_LIGHT = (250, 150, 110)
VINYL_INK = (150, 40, 18)
PAGE_INK = (110, 116, 128)
FOLD = (214, 220, 230)
TEXT = (150, 170, 205)
HEADER = (46, 104, 214)
PIECE = (64, 190, 64)
PIECE_INK = (26, 110, 40)
SKY = (150, 200, 246)
SUN = (250, 206, 40)
HILL = (84, 170, 70)
HILL_FAR = (60, 130, 60)
FOLDER_BACK = (64, 118, 200)
FOLDER_FRONT = (110, 168, 236)
FOLDER_INK = (30, 70, 150)
BIN = (250, 250, 250)
BIN_SHADE = (222, 226, 230)
BIN_INSIDE = (150, 156, 164)
BIN_INK = (112, 118, 128)
RECYCLE = (36, 160, 64)
ANIM_BG = (236, 233, 216)


# ---------------------------------------------------------------------------
# Icons.  Design grid is 48 units; 16 px gets its own simpler drawing.

def plotter(c, size):
    lw = max(1, rnd(c.k * 0.75))
    u = 1 / c.k                         # one pixel in design units
    c.off = (0, -3 if size == 16 else -2)
    if size == 16:
        # Body, rail and carriage only; the sheet is a plain trapezoid.
        outlined(c, [(11, 28), (37, 28), (44, 46), (4, 46)], VINYL, VINYL_INK, lw)
        outlined(c, rect(0, 12, 48, 33), BODY, INK, lw)
        c.fill([rect(3, 15, 45, 21)], RAIL)
        c.fill([rect(9, 27, 39, 30)], SLOT)
        outlined(c, rect(24, 6, 36, 27), HEAD, INK, lw)
        c.fill([rect(27, 27, 33, 30)], BLADE)
        return
    big = size >= 48
    # vinyl sheet leaving the front slot
    sheet = [(10, 28), (38, 28), (43, 46), (5, 46)]
    outlined(c, sheet, VINYL, VINYL_INK, lw, snap=not big)
    if big:
        # cut lines of a star on the sheet
        pts = []
        for i in range(10):
            r = 7 if i % 2 == 0 else 3
            a = math.radians(-90 + 36 * i)
            pts.append((24 + r * math.cos(a), 37.5 + r * math.sin(a)))
        c.fill([pts], VINYL_INK, snap=False)
        c.fill([inset(pts, lw * u)], VINYL_LIGHT, snap=False)
    # machine body with the darker lower front
    outlined(c, rrect(2, 13, 46, 32, 3), BODY, INK, lw)
    c.fill([rect(2 + lw * u, 25, 46 - lw * u, 32 - lw * u)], BODY_DARK)
    # pinch-roller housings at both ends
    outlined(c, rrect(1, 11, 9, 34, 2), CAP, INK, lw)
    outlined(c, rrect(39, 11, 47, 34, 2), CAP, INK, lw)
    # blue top rail
    outlined(c, rect(8, 14, 40, 20), RAIL, RAIL_INK, lw)
    if size >= 32:
        c.fill([rect(8 + lw * u, 14 + lw * u, 40 - lw * u, 16)], RAIL_LIGHT)
    # slot the sheet comes out of
    c.fill([rect(9, 27, 39, 29)], SLOT)
    # blade carriage riding on the rail
    outlined(c, rrect(24, 8, 34, 26, 1.5), HEAD, INK, lw)
    if size >= 32:
        c.fill([rect(26, 10, 32, 12)], BODY_DARK)
    c.fill([rect(27.5, 26, 30.5, 28.5)], BLADE)
    c.fill([[(27.5, 28.5), (30.5, 28.5), (29, 31)]], BLADE, snap=False)


def addon(c, size):
    lw = max(1, rnd(c.k * 0.75))
    if size == 16:
        # drawn on the pixel grid: 3 design units are one pixel
        page = [(3, 0), (24, 0), (33, 9), (33, 39), (3, 39)]
        outlined(c, page, WHITE, PAGE_INK, lw)
        c.fill([rect(9, 9, 18, 12)], HEADER)
        c.fill([rect(9, 15, 27, 18)], TEXT)
        c.fill([rect(9, 21, 15, 24)], TEXT)
        piece = [(15, 24), (21, 24), (21, 15), (33, 15), (33, 24), (39, 24),
                 (39, 30), (48, 30), (48, 42), (39, 42), (39, 48), (15, 48)]
        outlined(c, piece, PIECE, PIECE_INK, lw)
        return
    # document with a folded corner
    f = 9
    page = [(4, 2), (32 - f, 2), (32, 2 + f), (32, 42), (4, 42)]
    outlined(c, page, WHITE, PAGE_INK, lw)
    outlined(c, [(32 - f, 2), (32, 2 + f), (32 - f, 2 + f)], FOLD, PAGE_INK, lw)
    c.fill([rect(9, 8, 21, 11)], HEADER)
    for y in (15, 20, 25, 30):
        c.fill([rect(9, y, 27 if y < 25 else 17, y + 2)], TEXT)
    # the plug-in: a puzzle piece in front
    if size >= 48:
        pts = puzzle(17, 23, 40, 46, 4.8, 3.2, sockets=True)
    else:
        pts = puzzle(16, 23, 40, 47, 5.5, 3.0, sockets=False)
    outlined(c, pts, PIECE, PIECE_INK, lw, snap=False)


def puzzle(x0, y0, x1, y1, r, h, sockets):
    """Square piece with knobs on top and right, sockets left and bottom."""
    a = math.sqrt(r * r - h * h)
    ang = math.degrees(math.atan2(h, a))
    mx, my = (x0 + x1) / 2, (y0 + y1) / 2
    n = 24
    pts = [(x0, y0)]
    pts += arc(mx, y0 - h, r, r, 180 - ang, 360 + ang, n)     # top knob
    pts.append((x1, y0))
    pts += arc(x1 + h, my, r, r, 270 - ang, 450 + ang, n)     # right knob
    pts.append((x1, y1))
    if sockets:
        pts += arc(mx, y1 - h, r, r, ang, -180 - ang, n)      # bottom socket
    pts.append((x0, y1))
    if sockets:
        pts += arc(x0 + h, my, r, r, 90 + ang, -90 - ang, n)  # left socket
    return pts


def render_icon(draw, size, ss):
    c = Canvas(size, size, ss, k=size / 48)
    draw(c, size)
    return c.pixels()


# ---------------------------------------------------------------------------
# Animation frames (pixel units, 122 x 48)

def picture_page(c, cx, cy, deg=0, s=1.0):
    """White page with a folded corner and a little landscape on it."""
    if deg:
        rotated(c, cx, cy, deg)
    w, h, f = 10 * s, 13 * s, 6 * s
    x0, y0, x1, y1 = cx - w, cy - h, cx + w, cy + h
    outlined(c, [(x0, y0), (x1 - f, y0), (x1, y0 + f), (x1, y1), (x0, y1)],
             WHITE, PAGE_INK, 1)
    outlined(c, [(x1 - f, y0), (x1, y0 + f), (x1 - f, y0 + f)], FOLD, PAGE_INK, 1)
    c.fill([rect(x0 + 3 * s, y0 + 3 * s, x1 - f - 1 * s, y0 + 4.5 * s)], TEXT)
    c.fill([rect(x0 + 3 * s, y0 + 6.5 * s, x1 - 3 * s, y0 + 8 * s)], TEXT)
    # the landscape: sky, sun, two hills, framed
    px0, py0, px1, py1 = x0 + 3 * s, cy - 3 * s, x1 - 3 * s, y1 - 3 * s
    outlined(c, rect(px0, py0, px1, py1), SKY, PAGE_INK, 1)
    ix0, iy0, ix1, iy1 = px0 + 1, py0 + 1, px1 - 1, py1 - 1
    c.fill([ellipse(ix1 - 3.2 * s, iy0 + 3 * s, 1.7 * s, 1.7 * s, 32)], SUN, snap=False)
    c.fill([[(ix0, iy1), (ix0, iy1 - 4 * s), (ix0 + 5 * s, iy1 - 7.5 * s),
             (ix0 + 10 * s, iy1 - 3 * s), (ix1, iy1 - 5 * s), (ix1, iy1)]],
           HILL_FAR, snap=False)
    c.fill([[(ix0, iy1), (ix0, iy1 - 2 * s), (ix0 + 6 * s, iy1 - 3.5 * s),
             (ix1, iy1 - 1.5 * s), (ix1, iy1)]], HILL, snap=False)
    c.m = None


def folder_back(c):
    outlined(c, [(86, 10), (95, 10), (98, 13), (114, 13), (114, 40), (86, 40)],
             FOLDER_BACK, FOLDER_INK, 1)


def folder_front(c):
    outlined(c, [(90, 22), (118, 22), (114, 40), (86, 40)],
             FOLDER_FRONT, FOLDER_INK, 1, snap=False)
    c.fill([[(91, 23), (117, 23), (116.7, 24.2), (90.7, 24.2)]],
           (170, 206, 248), snap=False)


def recycle(c, cx, cy, ro, ri):
    """Three arrows chasing each other round a circle."""
    rm, hw = (ro + ri) / 2, (ro - ri) / 2
    for k in range(3):
        a0 = -90 + 120 * k + 14
        a1 = a0 + 72
        band = (arc(cx, cy, ro, ro, a0, a1, 16) +
                arc(cx, cy, ri, ri, a1, a0, 16))
        c.fill([band], RECYCLE, snap=False)
        t = math.radians(a1)
        ux, uy = math.cos(t), math.sin(t)           # outwards
        vx, vy = -uy, ux                            # along the arrow
        bx, by = cx + rm * ux, cy + rm * uy
        head = [(bx + ux * (hw * 2.1), by + uy * (hw * 2.1)),
                (bx + vx * hw * 2.6, by + vy * hw * 2.6),
                (bx - ux * (hw * 2.1), by - uy * (hw * 2.1))]
        c.fill([head], RECYCLE, snap=False)


def bin_back(c):
    outlined(c, ellipse(100, 16, 14, 3.5, 48), BIN_INSIDE, BIN_INK, 1, snap=False)


def bin_front(c):
    body = [(86, 16), (90, 43), (110, 43), (114, 16)] + arc(100, 16, 14, 3.5, 0, 180, 24)[1:-1]
    outlined(c, body, BIN, BIN_INK, 1, snap=False)
    c.fill([[(106.5, 22), (109.5, 22), (107.6, 40), (105.2, 40)]], BIN_SHADE, snap=False)
    recycle(c, 99, 31, 7, 4.2)


def anim_frame(n):
    c = Canvas(122, 48, 6, bg=ANIM_BG + (255,))
    if n == 152:
        return c.pixels()
    removal = n >= 149
    step = n - (149 if removal else 146)        # 0, 1 or 2
    picture_page(c, 20, 24)
    if removal:
        bin_back(c)
        if step >= 2:
            picture_page(c, 100, 17, 10, 0.85)
        bin_front(c)
    else:
        folder_back(c)
        if step >= 2:
            picture_page(c, 100, 16, -4, 0.9)
        folder_front(c)
    if step >= 1:
        picture_page(c, 60, 19, 18)
    return c.pixels()


# ---------------------------------------------------------------------------
# File writers

def png_bytes(rows):
    h, w = len(rows), len(rows[0])
    raw = b''.join(b'\0' + bytes(v for p in row for v in p) for row in rows)

    def chunk(tag, data):
        return (struct.pack('>I', len(data)) + tag + data +
                struct.pack('>I', zlib.crc32(tag + data) & 0xffffffff))
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) +
            chunk(b'IEND', b''))


VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
       (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
       (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]

# 6x6x6 colour cube plus a ramp of greys in between the cube's own greys
CUBE = ([(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)] +
        [(v, v, v) for v in (rnd(i * 255 / 41) for i in range(1, 41))])

# Where plain nearest-colour matching picks a poor 16-colour stand-in.
VGA_HINT = {INK: 0, SLOT: 0, HEAD: 8, RAIL: 12, RAIL_INK: 4, HEADER: 12,
            PIECE: 10, PIECE_INK: 2, VINYL: 9, VINYL_INK: 1}


def nearest(rgb, pal, cache):
    if rgb not in cache:
        r, g, b = rgb
        cache[rgb] = min(range(len(pal)), key=lambda i: (
            3 * (pal[i][0] - r) ** 2 + 4 * (pal[i][1] - g) ** 2 +
            2 * (pal[i][2] - b) ** 2, i))
    return cache[rgb]


def dib_entry(rows, bpp):
    """Icon image: BITMAPINFOHEADER, palette, colour bits and AND mask."""
    h, w = len(rows), len(rows[0])
    if bpp == 32:
        pal = []
        mask = [[p[3] == 0 for p in row] for row in rows]
    else:
        pal = VGA if bpp == 4 else CUBE
        cache = dict((c, i) for c, i in VGA_HINT.items()) if bpp == 4 else {}
        mask = [[p[3] < 128 for p in row] for row in rows]
    xor = bytearray()
    stride = (w * bpp + 31) // 32 * 4
    for y in range(h - 1, -1, -1):
        line = bytearray()
        if bpp == 32:
            for r, g, b, a in rows[y]:
                line += bytes((b, g, r, a) if a else (0, 0, 0, 0))
        else:
            idx = [0 if mask[y][x] else nearest(rows[y][x][:3], pal, cache)
                   for x in range(w)]
            if bpp == 8:
                line += bytes(idx)
            else:
                for x in range(0, w, 2):
                    line.append(idx[x] << 4 | (idx[x + 1] if x + 1 < w else 0))
        xor += line + bytes(stride - len(line))
    andm = bytearray()
    mstride = (w + 31) // 32 * 4
    for y in range(h - 1, -1, -1):
        line = bytearray(mstride)
        for x in range(w):
            if mask[y][x]:
                line[x >> 3] |= 0x80 >> (x & 7)
        andm += line
    head = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, bpp, 0,
                       len(xor) + len(andm), 0, 0, 0, 0)
    quads = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in pal)
    return head + quads + bytes(xor) + bytes(andm)


def ico_bytes(draw):
    images = []                         # (size, colours, bpp, data)
    for bpp in (4, 8, 32):
        for size in (16, 24, 32, 48):
            if bpp == 4:
                # 16 colours: crisp pixels, no smoothing to dither away
                rows = render_icon(draw, size, 1)
            else:
                rows = render_icon(draw, size, 8)
            images.append((size, 16 if bpp == 4 else 0, bpp, dib_entry(rows, bpp)))
    images.append((256, 0, 32, png_bytes(render_icon(draw, 256, 4))))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, colours, bpp, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0,
                           1, bpp, len(data), offset)
        offset += len(data)
    return out + b''.join(d for _, _, _, d in images)


def bmp_bytes(rows):
    """24-bit bottom-up BMP with a plain BITMAPINFOHEADER."""
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) // 4 * 4
    bits = bytearray()
    for row in reversed(rows):
        line = bytes(v for p in row for v in (p[2], p[1], p[0]))
        bits += line + bytes(stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(bits), 0, 0, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    return head + info + bytes(bits)


def write(rel, data):
    path = os.path.join(ROOT, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
    print('%-32s %7d bytes' % (rel, len(data)))


def main():
    write('installer/res/PLOTINST.ico', ico_bytes(plotter))
    write('deployer/res/AddonDeploy.ico', ico_bytes(addon))
    for n in range(146, 153):
        write('installer/res/anim%d.bmp' % n, bmp_bytes(anim_frame(n)))


if __name__ == '__main__':
    main()
