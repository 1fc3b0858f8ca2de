#!/usr/bin/env python3
"""Draws the program's pictures: icon, toolbar images, status lights, toolbar
wallpapers, the setup's page pictures. Plain Python, no libraries: shapes are
signed-distance functions, anti-aliased by their distance to the pixel centre. Run it after changing a
picture and commit what it writes; the build only uses the written files."""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


# ---- shapes: each returns the signed distance (pixels) from a point to its edge

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def rect(x0, y0, x1, y1, r=0.0):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def d(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return d


def ring(cx, cy, r, w):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - w / 2


def arc(cx, cy, r, w, a0, a1):
    """Ring segment from angle a0 to a1 (degrees, clockwise from 12 o'clock), round caps."""
    def d(x, y):
        ang = (math.degrees(math.atan2(x - cx, -(y - cy))) + 360) % 360
        lo, hi = a0 % 360, a1 % 360
        inside = lo <= ang <= hi if lo <= hi else (ang >= lo or ang <= hi)
        if inside:
            return abs(math.hypot(x - cx, y - cy) - r) - w / 2
        ends = [(cx + r * math.sin(math.radians(a)), cy - r * math.cos(math.radians(a))) for a in (a0, a1)]
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - w / 2
    return d


def segment(x0, y0, x1, y1, w):
    def d(x, y):
        px, py, bx, by = x - x0, y - y0, x1 - x0, y1 - y0
        t = max(0.0, min(1.0, (px * bx + py * by) / (bx * bx + by * by)))
        return math.hypot(px - bx * t, py - by * t) - w / 2
    return d


def polygon(points):
    def d(x, y):
        best, sign, n = float("inf"), 1, len(points)
        for i in range(n):
            (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
            ex, ey, wx, wy = bx - ax, by - ay, x - ax, y - ay
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            best = min(best, math.hypot(wx - ex * t, wy - ey * t))
            if (ay <= y < by or by <= y < ay) and x < ax + (y - ay) * ex / ey:
                sign = -sign
        return sign * best
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


# ---- paints: colour at a point

def solid(c):
    return lambda x, y: c


def vgrad(y0, c0, y1, c1):
    def p(x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))
    return p


def radial(cx, cy, r, c0, c1):
    def p(x, y):
        t = max(0.0, min(1.0, math.hypot(x - cx, y - cy) / r))
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))
    return p


class Canvas:
    """RGBA, 0..1 floats, premultiplied while composing."""

    def __init__(self, w, h, scale=1.0):
        self.w, self.h, self.s = w, h, scale
        self.px = [[(0.0, 0.0, 0.0, 0.0) for _ in range(w)] for _ in range(h)]

    def fill(self, shape, paint, alpha=1.0):
        s = self.s
        for j in range(self.h):
            for i in range(self.w):
                x, y = (i + 0.5) / s, (j + 0.5) / s
                cov = max(0.0, min(1.0, 0.5 - shape(x, y) * s)) * alpha
                if cov <= 0:
                    continue
                r, g, b = paint(x, y)
                R, G, B, A = self.px[j][i]
                self.px[j][i] = (r * cov + R * (1 - cov), g * cov + G * (1 - cov),
                                 b * cov + B * (1 - cov), cov + A * (1 - cov))

    def bgra_rows(self, opaque_bg=None):
        """Bottom-up rows of BGRA bytes (un-premultiplied)."""
        rows = []
        for row in reversed(self.px):
            out = bytearray()
            for R, G, B, A in row:
                if opaque_bg is not None:
                    r, g, b = (c + bg * (1 - A) for c, bg in zip((R, G, B), opaque_bg))
                    a = 1.0
                elif A > 0:
                    r, g, b, a = R / A, G / A, B / A, A
                else:
                    r = g = b = a = 0.0
                out += bytes(round(max(0.0, min(1.0, v)) * 255) for v in (b, g, r, a))
            rows.append(bytes(out))
        return rows


def write_bmp(path, canvas, bg):
    """24-bit BMP, opaque."""
    w, h = canvas.w, canvas.h
    stride = (w * 3 + 3) & ~3
    pixels = b"".join(
        bytes(b for k, b in enumerate(row) if k % 4 != 3).ljust(stride, b"\0")
        for row in canvas.bgra_rows(bg))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def write_ico(path, canvases):
    """32-bit icons with alpha and an AND mask, one image per canvas."""
    images = []
    for c in canvases:
        w, h = c.w, c.h
        xor = b"".join(c.bgra_rows())
        mask_stride = ((w + 31) // 32) * 4
        mask = bytes(mask_stride * h)  # alpha decides; the mask is all "draw"
        info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((w, h, info + xor + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(d for _, _, d in images))


def rgb(hexcode):
    return tuple(int(hexcode[i:i + 2], 16) / 255 for i in (0, 2, 4))


# ---- the pictures, drawn on a 32-unit grid and scaled

def sheet(c):
    """A page with a folded corner whose lower half is cut into strips."""
    paper = solid(rgb("FFFFFF"))
    edge = solid(rgb("5A6B80"))
    body = polygon([(8, 3), (20, 3), (25, 8), (25, 17), (8, 17)])
    c.fill(body, edge)
    c.fill(polygon([(9, 4), (19.5, 4), (24, 8.5), (24, 16), (9, 16)]), paper)
    c.fill(polygon([(19.5, 4), (19.5, 8.5), (24, 8.5)]), solid(rgb("C9D3DF")))
    for k, y in enumerate((7, 9.5, 12)):
        c.fill(segment(11, y, 18 if k == 0 else 21, y, 1.1), solid(rgb("9AA8BA")))
    for k in range(5):
        x = 8.5 + k * 3.4
        length = 12 - (k % 2) * 3 - (k == 2) * 2
        c.fill(rect(x, 18, x + 2.4, 18 + length, 0.6), edge)
        c.fill(rect(x + 0.5, 18, x + 1.9, 17.5 + length, 0.4), paper)


def shredder(c):
    c.fill(rect(3, 15, 29, 22, 2), vgrad(15, rgb("E0483B"), 22, rgb("9E1D14")))
    c.fill(rect(5, 17.5, 27, 19, 0.7), solid(rgb("3B0A06")))
    sheet(c)
    c.fill(rect(3, 15, 29, 17, 1), solid(rgb("F26B5E")), 0.6)


def app_icon(c):
    c.fill(rect(1, 1, 31, 31, 6), vgrad(1, rgb("3F8EDB"), 31, rgb("173F8A")))
    c.fill(rect(2, 2, 30, 16, 5), solid(rgb("FFFFFF")), 0.15)
    sheet(c)


def options(c):
    shape = circle(16, 16, 10)
    for k in range(8):
        a = math.radians(k * 45)
        cx, cy = 16 + 11.5 * math.sin(a), 16 - 11.5 * math.cos(a)
        shape = union(shape, circle(cx, cy, 3.2))
    shape = minus(shape, circle(16, 16, 4.5))
    c.fill(shape, radial(12, 11, 18, rgb("D6DCE4"), rgb("5D6B7C")))
    c.fill(ring(16, 16, 4.5, 1.2), solid(rgb("3E4956")))
    c.fill(ring(16, 16, 10, 0.8), solid(rgb("FFFFFF")), 0.35)


def preview_icon(c):
    c.fill(rect(6, 3, 22, 25, 1.5), solid(rgb("FFFFFF")))
    for y in (8, 12, 16):
        c.fill(rect(9, y, 19, y + 1.4, 0.5), solid(rgb("9AA5B1")))
    c.fill(circle(19, 18, 6.5), solid(rgb("CFE6FA")), 0.75)
    c.fill(ring(19, 18, 6.5, 2.2), solid(rgb("2F5E9C")))
    c.fill(segment(23.6, 22.6, 29, 28, 3.4), solid(rgb("3B3B3B")))


def help_icon(c):
    c.fill(circle(16, 16, 14), radial(11, 9, 22, rgb("6FB3F2"), rgb("1C5BB0")))
    c.fill(arc(16, 12.5, 5, 3.4, 270, 160), solid(rgb("FFFFFF")))
    c.fill(segment(17.7, 17.2, 16, 19.5, 3.4), solid(rgb("FFFFFF")))
    c.fill(circle(16, 24.5, 2.1), solid(rgb("FFFFFF")))


def exit_icon(c):
    c.fill(circle(16, 16, 14), radial(11, 9, 22, rgb("F07A6A"), rgb("A3190D")))
    c.fill(arc(16, 17, 8, 3.2, 35, 325), solid(rgb("FFFFFF")))
    c.fill(segment(16, 6, 16, 15, 3.2), solid(rgb("FFFFFF")))


def ball(light, dark):
    def draw(c):
        c.fill(circle(8, 8, 6.5), radial(6, 5.5, 9, light, dark))
        c.fill(ring(8, 8, 6.5, 0.8), solid(tuple(x * 0.6 for x in dark)))
        c.fill(circle(6.3, 5.5, 2.2), solid(rgb("FFFFFF")), 0.55)
    return draw


def picture(draw, size, grid):
    c = Canvas(size, size, size / grid)
    draw(c)
    return c


def wallpaper(path, top, mid, bottom):
    c = Canvas(320, 13)
    full = rect(0, 0, 320, 13)
    c.fill(full, lambda x, y: tuple(
        (a + (b - a) * (y / 6.5)) if y < 6.5 else (b + (d - b) * ((y - 6.5) / 6.5))
        for a, b, d in zip(top, mid, bottom)))
    write_bmp(path, c, (1, 1, 1))


# ---- tab icons of the options dialog

def globe(c):
    c.fill(circle(16, 16, 13), radial(11, 10, 20, rgb("8FD0FF"), rgb("1F6FC4")))
    land = solid(rgb("3FA34D"))
    c.fill(polygon([(8, 9), (14, 7), (16, 12), (12, 16), (13, 21), (9, 19), (6, 13)]), land)
    c.fill(polygon([(18, 15), (24, 13), (26, 19), (22, 26), (19, 22)]), land)
    c.fill(ring(16, 16, 13, 1.2), solid(rgb("174F8F")))


def documents(c):
    paper, edge = solid(rgb("FFFFFF")), solid(rgb("5A6B80"))
    for dx, dy in ((6, 2), (2, 6)):
        c.fill(polygon([(4 + dx, 2 + dy), (17 + dx, 2 + dy), (22 + dx, 7 + dy), (22 + dx, 24 + dy),
                        (4 + dx, 24 + dy)]), edge)
        c.fill(polygon([(5 + dx, 3 + dy), (16.5 + dx, 3 + dy), (21 + dx, 7.5 + dy), (21 + dx, 23 + dy),
                        (5 + dx, 23 + dy)]), paper)
    for y in (15, 19, 23, 27):
        c.fill(segment(7, y, 19, y, 1.3), solid(rgb("9AA8BA")))


def clock(c):
    c.fill(circle(16, 16, 13.5), radial(12, 10, 20, rgb("FFFFFF"), rgb("C9D3DF")))
    c.fill(ring(16, 16, 13, 2), solid(rgb("2F5F9E")))
    for k in range(12):
        a = math.radians(k * 30)
        c.fill(circle(16 + 9.8 * math.sin(a), 16 - 9.8 * math.cos(a), 0.9), solid(rgb("3E4956")))
    c.fill(segment(16, 16, 16, 8, 2), solid(rgb("20262E")))
    c.fill(segment(16, 16, 21.5, 19, 2), solid(rgb("20262E")))
    c.fill(circle(16, 16, 1.6), solid(rgb("C0392B")))


def blinder(c):
    """A window with a bar across: pop-ups blocked."""
    c.fill(rect(3, 5, 29, 27, 2), solid(rgb("5A6B80")))
    c.fill(rect(4, 9, 28, 26, 1), solid(rgb("FFFFFF")))
    c.fill(rect(4, 6, 28, 9), solid(rgb("3F8EDB")))
    c.fill(circle(16, 18, 7), solid(rgb("D83B2D")))
    c.fill(circle(16, 18, 5), solid(rgb("FFFFFF")))
    c.fill(segment(12.5, 21.5, 19.5, 14.5, 2), solid(rgb("D83B2D")))


def browsers(c):
    """A browser window: tabs along the top, an address bar, a page."""
    c.fill(rect(2, 6, 30, 27, 2), solid(rgb("5A6B80")))
    c.fill(rect(3, 12, 29, 26, 1), solid(rgb("FFFFFF")))
    c.fill(rect(3, 7, 13, 12, 1), solid(rgb("FFFFFF")))
    c.fill(rect(14, 8, 23, 12, 1), solid(rgb("B9C6D6")))
    c.fill(rect(5, 14, 27, 17, 1), solid(rgb("DDE5EF")))
    c.fill(circle(16, 22, 3.2), solid(rgb("3F8EDB")))


def windows_traces(c):
    """A window of four panes, the system's own."""
    for x0, y0, colour in ((4, 4, "3F8EDB"), (17, 4, "3F8EDB"), (4, 17, "2F6FB8"), (17, 17, "2F6FB8")):
        c.fill(rect(x0, y0, x0 + 11, y0 + 11, 1), solid(rgb(colour)))


# ---- the notification area with the companion's icon (337 x 36)

DIGITS = {  # seven segments: a b c d e f g
    "0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg", "5": "acdfg",
    "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg"}


def digit(c, ch, x, y, colour, w=4.0, h=8.0, t=1.1):
    ends = {"a": ((0, 0), (1, 0)), "b": ((1, 0), (1, 0.5)), "c": ((1, 0.5), (1, 1)),
            "d": ((0, 1), (1, 1)), "e": ((0, 0.5), (0, 1)), "f": ((0, 0), (0, 0.5)),
            "g": ((0, 0.5), (1, 0.5))}
    for seg in DIGITS[ch]:
        (x0, y0), (x1, y1) = ends[seg]
        c.fill(segment(x + x0 * w, y + y0 * h, x + x1 * w, y + y1 * h, t), solid(colour))


def clock_text(c, x, y, colour):
    for ch in "9":
        digit(c, ch, x, y, colour)
    c.fill(circle(x + 6.5, y + 2.5, 0.7), solid(colour))
    c.fill(circle(x + 6.5, y + 5.5, 0.7), solid(colour))
    digit(c, "0", x + 9, y, colour)
    digit(c, "0", x + 15, y, colour)


def tray_icons(c, x, y):
    """Speaker, network and the companion's icon, 16 x 16 each, from x."""
    dark = solid(rgb("30363D"))
    c.fill(polygon([(x + 2, y + 6), (x + 5, y + 6), (x + 9, y + 2), (x + 9, y + 14), (x + 5, y + 10),
                    (x + 2, y + 10)]), dark)
    c.fill(arc(x + 9, y + 8, 4, 1.2, 40, 140), dark)
    n = x + 22
    c.fill(rect(n + 1, y + 3, n + 9, y + 9), solid(rgb("5A6B80")))
    c.fill(rect(n + 2, y + 4, n + 8, y + 8), solid(rgb("9FD0FF")))
    c.fill(rect(n + 6, y + 7, n + 15, y + 13), solid(rgb("5A6B80")))
    c.fill(rect(n + 7, y + 8, n + 14, y + 12), solid(rgb("9FD0FF")))
    b = x + 44
    c.fill(circle(b + 8, y + 8, 7.5), solid(rgb("D83B2D")))
    c.fill(circle(b + 8, y + 8, 5.2), solid(rgb("FFFFFF")))
    c.fill(segment(b + 4.5, y + 11.5, b + 11.5, y + 4.5, 2), solid(rgb("D83B2D")))


def notification_area(path, xp):
    c = Canvas(337, 36)
    if xp:
        c.fill(rect(0, 0, 337, 36), vgrad(0, rgb("3C81F3"), 36, rgb("1F4FBF")))
        c.fill(rect(0, 0, 337, 2), solid(rgb("6FA2F7")))
        c.fill(rect(205, 0, 337, 36), vgrad(0, rgb("1BA3F0"), 36, rgb("0E6FD6")))
        c.fill(rect(205, 0, 206, 36), solid(rgb("0B4DAE")))
        tray_icons(c, 214, 10)
        clock_text(c, 290, 14, rgb("FFFFFF"))
    else:
        c.fill(rect(0, 0, 337, 36), solid(rgb("C0C0C0")))
        c.fill(rect(0, 0, 337, 1), solid(rgb("FFFFFF")))
        c.fill(rect(203, 5, 333, 31), solid(rgb("808080")))
        c.fill(rect(204, 6, 334, 32), solid(rgb("FFFFFF")))
        c.fill(rect(204, 6, 333, 31), solid(rgb("C0C0C0")))
        tray_icons(c, 212, 10)
        clock_text(c, 290, 14, rgb("000000"))
    write_bmp(path, c, (0, 0, 0))


def blit(dst, src, x0, y0):
    """Lays a drawn picture over a canvas, its top left corner at pixel (x0, y0)."""
    for j, row in enumerate(src.px):
        for i, (r, g, b, a) in enumerate(row):
            R, G, B, A = dst.px[y0 + j][x0 + i]
            dst.px[y0 + j][x0 + i] = (r + R * (1 - a), g + G * (1 - a), b + B * (1 - a), a + A * (1 - a))


def installer_side(path):
    """The setup's welcome and finish pages: 164 x 314, the program's blue with
    its picture, strips falling below it as from the shredder."""
    c = Canvas(164, 314)
    c.fill(rect(0, 0, 164, 314), vgrad(0, rgb("3F8EDB"), 314, rgb("173F8A")))
    c.fill(circle(82, 100, 74), radial(82, 100, 74, rgb("FFFFFF"), rgb("3F8EDB")), 0.18)
    for k in range(7):
        x = 24 + k * 17
        top = 176 + (k % 3) * 6
        c.fill(rect(x, top, x + 9, top + 60 + (k * 37) % 70, 3), solid(rgb("FFFFFF")), 0.10 + 0.03 * (k % 3))
    blit(c, picture(app_icon, 112, 32), 26, 44)
    write_bmp(path, c, (1, 1, 1))


def installer_header(path):
    """The setup's page header: 150 x 57 on the header's white, the picture at the right."""
    c = Canvas(150, 57)
    c.fill(rect(0, 0, 150, 57), solid(rgb("FFFFFF")))
    blit(c, picture(app_icon, 48, 32), 96, 4)
    write_bmp(path, c, (1, 1, 1))


# The toolbar's 32-pixel pictures and the tabs' 16-pixel ones, also at 125, 150
# and 200 per cent (and the tabs at 250 and 300): the program takes the drawn
# size nearest below what the window's DPI asks for rather than stretching one.
TOOLBAR_SIZES = (32, 40, 48, 64)
TAB_SIZES = (16, 20, 24, 32, 40, 48)


def main():
    write_ico(os.path.join(HERE, "vellumix.ico"),
              [picture(app_icon, s, 32) for s in (16, 32, 48)])
    for name, draw in (("shred", shredder), ("preview", preview_icon), ("options", options), ("help", help_icon),
                       ("exit", exit_icon)):
        write_ico(os.path.join(HERE, name + ".ico"), [picture(draw, s, 32) for s in TOOLBAR_SIZES])
    for name, light, dark in (("grayball", "E4E4E4", "7A7A7A"), ("redball", "FF8C7A", "B3170A"),
                              ("greenball", "9BF08A", "1E8A12")):
        write_ico(os.path.join(HERE, name + ".ico"), [picture(ball(rgb(light), rgb(dark)), 16, 16)])
    for name, draw in (("tabinternet", globe), ("tabdocuments", documents), ("tabgeneral", options),
                       ("tabschedule", clock), ("tabblinder", blinder), ("tabbrowsers", browsers),
                       ("tabwindows", windows_traces)):
        write_ico(os.path.join(HERE, name + ".ico"), [picture(draw, s, 32) for s in TAB_SIZES])
    notification_area(os.path.join(HERE, "na_xp.bmp"), True)
    notification_area(os.path.join(HERE, "na_98.bmp"), False)
    installer_side(os.path.join(HERE, "installer-side.bmp"))
    installer_header(os.path.join(HERE, "installer-header.bmp"))
    skins = os.path.join(HERE, "..", "skins")
    os.makedirs(skins, exist_ok=True)
    wallpaper(os.path.join(skins, "winxp1.bmp"), rgb("D8E6FA"), rgb("A9C6F0"), rgb("7FA6DE"))
    wallpaper(os.path.join(skins, "winxp2.bmp"), rgb("F4F4F6"), rgb("DCDDE2"), rgb("BEC0C8"))


if __name__ == "__main__":
    main()
