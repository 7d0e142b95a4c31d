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


def small(draw):
    cv = Canvas(16, 16)
    draw(cv)
    return cv


def mode_icon(cv):
    cv.page(2, 1, 14, 15, lines=False)
    for y in range(3, 13):
        for x in range(4, 12):
            if (x + y) % 2 == 0 and x < 8:
                cv.px[y][x] = INK
    cv.rect(8, 3, 12, 13, INK)


def resolution_icon(cv):
    for y in range(2, 14, 2):
        for x in range(2, 14, 2):
            cv.rect(x, y, x + 1, y + 1, BLUE)
    cv.frame(1, 1, 15, 15, INK)


def pagesize_icon(cv):
    cv.page(1, 3, 10, 15, lines=False)
    cv.page(6, 1, 15, 12, lines=False)
    cv.rect(8, 4, 13, 5, GREY)
    cv.rect(8, 7, 13, 8, GREY)


def scanrange_icon(cv):
    cv.page(1, 1, 9, 11, lines=False)
    cv.page(4, 3, 12, 13, lines=False)
    cv.page(7, 5, 15, 15, lines=True)


def pages_icon(cv):
    cv.page(3, 1, 13, 15, lines=False)
    cv.rect(6, 5, 10, 6, INK)
    cv.rect(9, 5, 10, 12, INK)
    cv.rect(6, 11, 10, 12, INK)
    cv.rect(6, 8, 10, 9, INK)


def toolbar():
    strip = Canvas(6 * 16, 16)
    def clear(cv):
        cv.page(2, 2, 11, 15, lines=True)
        for i in range(6):
            cv.rect(8 + i, 3 + i, 10 + i, 5 + i, RED)
            cv.rect(13 - i, 3 + i, 15 - i, 5 + i, RED)
    def scan(cv):
        cv.page(4, 1, 12, 8, lines=False)
        cv.rect(1, 7, 15, 13, DARK)
        cv.rect(2, 10, 14, 11, LIGHT_BLUE)
        cv.rect(11, 11, 13, 12, GREEN)
    def save(cv):
        cv.rect(2, 2, 14, 14, BLUE)
        cv.rect(4, 2, 12, 7, WHITE)
        cv.rect(5, 10, 11, 14, GREY)
        cv.rect(9, 3, 11, 6, INK)
    def prefs(cv):
        cv.page(2, 1, 12, 15, lines=True)
        cv.rect(9, 8, 15, 10, DARK)
        cv.rect(11, 6, 13, 12, DARK)
    def driver(cv):
        cv.rect(1, 2, 15, 14, FACE)
        cv.frame(1, 2, 15, 14, INK)
        cv.rect(2, 3, 14, 5, BLUE)
        cv.rect(4, 8, 12, 11, DARK)
    def helpicon(cv):
        cv.rect(4, 2, 12, 4, BLUE)
        cv.rect(10, 3, 12, 8, BLUE)
        cv.rect(7, 7, 11, 9, BLUE)
        cv.rect(7, 8, 9, 11, BLUE)
        cv.rect(7, 12, 9, 14, BLUE)
    for i, d in enumerate((clear, scan, save, prefs, driver, helpicon)):
        strip.blit(small(d), i * 16, 0)
    return strip


def orientation(landscape):
    cv = Canvas(32, 32)
    if landscape:
        cv.page(3, 8, 29, 26)
    else:
        cv.page(7, 2, 25, 29)
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
    write_bmp("toolbar.bmp", toolbar())
    write_bmp("portrait.bmp", orientation(False))
    write_bmp("landscape.bmp", orientation(True))
    write_bmp("about.bmp", about())
