#!/usr/bin/env python3
"""Draws Tolvix's icons and bitmaps (res/art) from simple shapes.

Run after changing a drawing; the results are committed so that the build needs
no image tools."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res", "art")

FACE = (192, 192, 192)
WHITE = (255, 255, 255)
INK = (32, 32, 40)
BLUE = (38, 92, 170)
LIGHT_BLUE = (120, 170, 230)
GREEN = (40, 150, 60)
RED = (190, 40, 40)
GREY = (120, 120, 128)
DARK = (70, 72, 80)


class Canvas:
    def __init__(self, w, h, fill=None):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]  # None is transparent

    def rect(self, x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y][x] = c

    def frame(self, x0, y0, x1, y1, c):
        self.rect(x0, y0, x1, y0 + 1, c)
        self.rect(x0, y1 - 1, x1, y1, c)
        self.rect(x0, y0, x0 + 1, y1, c)
        self.rect(x1 - 1, y0, x1, y1, c)

    def page(self, x0, y0, x1, y1, lines=True):
        self.rect(x0, y0, x1, y1, WHITE)
        self.frame(x0, y0, x1, y1, INK)
        if lines:
            for y in range(y0 + 3, y1 - 2, 2):
                self.rect(x0 + 2, y, x1 - 2 - (3 if (y // 2) % 3 == 0 else 0), y + 1, GREY)

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                if other.px[y][x] is not None:
                    self.px[oy + y][ox + x] = other.px[y][x]


def write_bmp(name, cv, bg=FACE):
    row = (cv.w * 3 + 3) & ~3
    data = bytearray()
    for y in range(cv.h - 1, -1, -1):
        line = bytearray()
        for x in range(cv.w):
            r, g, b = cv.px[y][x] or bg
            line += bytes((b, g, r))
        data += line + b"\0" * (row - len(line))
    hdr = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + 40 + len(data), 0, 0, 54) + hdr + data)


def write_bmp8(name, cv, bg=FACE):
    """8-bit with a colour table: the toolbar maps table entries (the face grey
    among them) to the system colours, which it cannot do for 24-bit images."""
    colours = []
    for row in cv.px:
        for c in row:
            c = c or bg
            if c not in colours:
                colours.append(c)
    assert len(colours) <= 256
    index = {c: i for i, c in enumerate(colours)}
    row_bytes = (cv.w + 3) & ~3
    data = bytearray()
    for y in range(cv.h - 1, -1, -1):
        line = bytes(index[c or bg] for c in cv.px[y])
        data += line + b"\0" * (row_bytes - len(line))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    hdr = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 8, 0, len(data), 2835, 2835, len(colours), len(colours))
    off = 14 + 40 + len(table)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", off + len(data), 0, 0, off) + hdr + table + data)


def icon_image(cv):
    xor = bytearray()
    for y in range(cv.h - 1, -1, -1):
        for x in range(cv.w):
            c = cv.px[y][x]
            xor += bytes((c[2], c[1], c[0], 255)) if c else b"\0\0\0\0"
    mask_row = ((cv.w + 31) // 32) * 4
    mask = bytearray()
    for y in range(cv.h - 1, -1, -1):
        bits = bytearray(mask_row)
        for x in range(cv.w):
            if cv.px[y][x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    hdr = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return hdr + xor + mask


def write_ico(name, canvases):
    images = [icon_image(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for cv, img in zip(canvases, images):
        out += struct.pack("<BBBBHHII", cv.w % 256, cv.h % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out + b"".join(images))


NAVY = (20, 50, 110)
YELLOW = (240, 200, 40)
SHUTTER = (200, 205, 215)
SCREEN = (200, 225, 250)
BEZEL = (60, 64, 72)


def line(cv, x0, y0, x1, y1, c, width=1):
    """Straight line by Bresenham; width grows it to the right and down."""
    dx, dy = abs(x1 - x0), -abs(y1 - y0)
    sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
    err = dx + dy
    while True:
        cv.rect(x0, y0, x0 + width, y0 + width, c)
        if (x0, y0) == (x1, y1):
            break
        e2 = 2 * err
        if e2 >= dy:
            err += dy
            x0 += sx
        if e2 <= dx:
            err += dx
            y0 += sy


def disc(cv, cx, cy, r, c):
    for y in range(cv.h):
        for x in range(cv.w):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                cv.px[y][x] = c


def glyph(cv, x0, y0, rows, c):
    """Draws a small bitmap given as strings ('#' set)."""
    for dy, row in enumerate(rows):
        for dx, ch in enumerate(row):
            if ch == "#":
                cv.rect(x0 + dx, y0 + dy, x0 + dx + 1, y0 + dy + 1, c)


def scanner(size):
    s = size / 32.0
    cv = Canvas(size, size)
    sc = lambda v: int(round(v * s))
    cv.page(sc(9), sc(2), sc(23), sc(18))
    cv.rect(sc(3), sc(15), sc(29), sc(27), DARK)
    cv.rect(sc(4), sc(16), sc(28), sc(18), GREY)
    cv.rect(sc(5), sc(22), sc(27), sc(23), LIGHT_BLUE)
    cv.rect(sc(23), sc(24), sc(26), sc(26), GREEN)
    cv.page(sc(8), sc(26), sc(24), sc(31), lines=False)
    return cv


def small(draw, h=16):
    cv = Canvas(16, h)
    draw(cv)
    return cv


def mode_icon(cv):
    # A page half in dithered grey, half in solid black: the kinds of black and white.
    cv.rect(2, 1, 14, 15, WHITE)
    for y in range(2, 14):
        for x in range(3, 8):
            if (x + y) % 2 == 0:
                cv.px[y][x] = INK
    cv.rect(8, 2, 13, 14, INK)
    cv.frame(2, 1, 14, 15, INK)


def resolution_icon(cv):
    # Fine dots under a magnifying glass.
    cv.rect(1, 1, 12, 12, WHITE)
    for y in range(2, 11, 2):
        for x in range(2, 11, 2):
            cv.rect(x, y, x + 1, y + 1, BLUE)
    cv.frame(1, 1, 12, 12, GREY)
    disc(cv, 9.5, 9.5, 4.2, INK)
    disc(cv, 9.5, 9.5, 3.0, LIGHT_BLUE)
    for y in range(8, 11):
        for x in range(8, 11):
            cv.px[y][x] = BLUE if (x + y) % 2 == 0 else LIGHT_BLUE
    line(cv, 12, 12, 14, 14, INK, 2)


def pagesize_icon(cv):
    # A small page in front of a large one.
    cv.page(5, 1, 15, 14, lines=False)
    cv.page(1, 6, 8, 15, lines=False)
    line(cv, 9, 4, 12, 4, BLUE)
    line(cv, 12, 4, 12, 7, BLUE)
    line(cv, 9, 7, 12, 4, BLUE)


def scanrange_icon(cv):
    # A stack of sheets, the top one marked.
    cv.page(6, 1, 15, 11, lines=False)
    cv.page(4, 3, 13, 13, lines=False)
    cv.page(2, 5, 11, 15, lines=True)
    cv.rect(11, 12, 16, 13, BLUE)
    cv.rect(13, 10, 14, 16, BLUE)


def pages_icon(cv):
    # A page with a count on it.
    cv.page(2, 1, 14, 15, lines=False)
    glyph(cv, 4, 4, ["##..###",
                     ".#....#",
                     ".#..###",
                     ".#..#..",
                     "###.###"], BLUE)
    cv.rect(4, 11, 12, 12, GREY)


def toolbar():
    # Six 16 x 15 images: the toolbar's own bitmap size. The face grey around
    # them is mapped to the button colour by the toolbar.
    strip = Canvas(6 * 16, 15)

    def clear(cv):
        cv.page(1, 1, 11, 14, lines=True)
        line(cv, 7, 6, 13, 12, RED, 2)
        line(cv, 13, 6, 7, 12, RED, 2)

    def scan(cv):
        cv.page(4, 0, 12, 8, lines=True)
        cv.rect(1, 7, 15, 13, DARK)
        cv.rect(1, 7, 15, 8, GREY)
        cv.rect(3, 9, 13, 10, LIGHT_BLUE)
        cv.rect(11, 11, 13, 12, GREEN)
        cv.rect(2, 13, 14, 14, INK)

    def save(cv):
        cv.rect(1, 1, 15, 14, BLUE)
        cv.rect(14, 1, 15, 2, FACE)
        cv.rect(4, 1, 12, 6, WHITE)
        cv.rect(5, 2, 11, 3, GREY)
        cv.rect(5, 4, 11, 5, GREY)
        cv.rect(4, 8, 12, 14, SHUTTER)
        cv.rect(6, 9, 8, 13, NAVY)
        cv.frame(1, 1, 15, 14, NAVY)

    def prefs(cv):
        cv.rect(1, 1, 15, 14, WHITE)
        cv.frame(1, 1, 15, 14, INK)
        for y, knob in ((4, 9), (7, 5), (10, 11)):
            cv.rect(3, y, 13, y + 1, GREY)
            cv.rect(knob - 1, y - 1, knob + 1, y + 2, BLUE)

    def driver(cv):
        cv.rect(0, 1, 16, 14, FACE)
        cv.rect(1, 2, 15, 13, (236, 236, 236))
        cv.frame(0, 1, 16, 14, INK)
        cv.rect(1, 2, 15, 4, BLUE)
        cv.rect(12, 2, 14, 4, WHITE)
        cv.rect(3, 6, 9, 7, GREY)
        cv.rect(3, 8, 9, 9, GREY)
        cv.rect(10, 10, 14, 12, DARK)
        cv.frame(2, 10, 7, 12, DARK)

    def helpicon(cv):
        disc(cv, 8, 7.5, 7.2, BLUE)
        glyph(cv, 5, 3, [".####.",
                         "##..##",
                         "....##",
                         "...##.",
                         "..##..",
                         "......",
                         "..##..",
                         "..##.."], WHITE)

    for i, d in enumerate((clear, scan, save, prefs, driver, helpicon)):
        strip.blit(small(d, 15), i * 16, 0)
    return strip


def orientation(landscape):
    # A screen showing the page upright or turned; it fills the picture, so no
    # background shows against the dialog's face colour.
    cv = Canvas(32, 32, BEZEL)
    cv.rect(2, 2, 30, 30, SCREEN)
    if landscape:
        cv.page(4, 8, 28, 24, lines=False)
        for y in range(11, 22, 2):
            cv.rect(6, y, 26 - (4 if y == 21 else 0), y + 1, GREY)
    else:
        cv.page(8, 4, 24, 28, lines=False)
        for y in range(7, 26, 2):
            cv.rect(10, y, 22 - (4 if y == 25 else 0), y + 1, GREY)
    return cv


def about():
    cv = Canvas(288, 166, (235, 240, 248))
    for y in range(166):
        shade = 40 + y * 60 // 166
        cv.rect(0, y, 288, y + 1, (shade, shade + 50, 150 + shade // 2))
    big = scanner(96)
    cv.blit(big, 24, 35)
    for i in range(3):
        cv.page(150 + i * 30, 30 + i * 12, 210 + i * 30, 110 + i * 12)
    return cv


if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    write_ico("tolvix.ico", [scanner(32), scanner(16)])
    write_ico("mode.ico", [small(mode_icon)])
    write_ico("resolution.ico", [small(resolution_icon)])
    write_ico("pagesize.ico", [small(pagesize_icon)])
    write_ico("scanrange.ico", [small(scanrange_icon)])
    write_ico("pages.ico", [small(pages_icon)])
    write_bmp8("toolbar.bmp", toolbar())
    write_bmp("portrait.bmp", orientation(False))
    write_bmp("landscape.bmp", orientation(True))
    write_bmp("about.bmp", about())
