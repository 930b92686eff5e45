#!/usr/bin/env python3
"""Draws the six command icons as 32x32 icons of 8 bits per pixel.

The .ico files under resources/icons are committed; run this only to change
them: scripts/make-icons.py resources/icons
"""
import struct
import sys
from pathlib import Path

PALETTE = {
    "black": (0, 0, 0),
    "white": (255, 255, 255),
    "magenta": (255, 0, 255),
    "blue": (0, 0, 255),
    "navy": (0, 0, 128),
    "yellow": (255, 255, 0),
    "cream": (255, 255, 192),
    "teal": (0, 128, 128),
    "green": (0, 255, 0),
    "lightblue": (160, 208, 255),
    "gray": (128, 128, 128),
    "silver": (192, 192, 192),
    "red": (255, 0, 0),
}
NAMES = list(PALETTE)
SIZE = 32


class Canvas:
    def __init__(self):
        self.pixels = [[None] * SIZE for _ in range(SIZE)]  # None: transparent

    def put(self, x, y, color):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.pixels[y][x] = color

    def rect(self, x0, y0, x1, y1, color):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, color)

    def frame(self, x0, y0, x1, y1, color):
        for x in range(x0, x1 + 1):
            self.put(x, y0, color)
            self.put(x, y1, color)
        for y in range(y0, y1 + 1):
            self.put(x0, y, color)
            self.put(x1, y, color)

    def line(self, x0, y0, x1, y1, color):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.put(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), color)

    def outline(self, color):
        """Draws color around every opaque pixel (a black outline)."""
        solid = [(x, y) for y in range(SIZE) for x in range(SIZE) if self.pixels[y][x]]
        for x, y in solid:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                if 0 <= x + dx < SIZE and 0 <= y + dy < SIZE and self.pixels[y + dy][x + dx] is None:
                    self.pixels[y + dy][x + dx] = color

    def ico(self):
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE.values())
        palette += b"\0" * (256 * 4 - len(palette))
        xor = b""
        mask = b""
        for row in reversed(self.pixels):  # bottom-up
            xor += bytes(NAMES.index(c) if c else 0 for c in row)
            bits = 0
            for x, c in enumerate(row):
                if c is None:
                    bits |= 1 << (31 - x)
            mask += struct.pack(">I", bits)
        image_size = len(xor) + len(mask)
        header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, image_size, 0, 0, 256, 0)
        image = header + palette + xor + mask
        directory = struct.pack("<HHH", 0, 1, 1)
        entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
        return directory + entry + image


def magenta_h():
    c = Canvas()
    c.rect(6, 4, 11, 27, "magenta")
    c.rect(20, 4, 25, 27, "magenta")
    c.rect(12, 13, 19, 18, "magenta")
    return c


def blue_f():
    c = Canvas()
    c.rect(8, 4, 13, 27, "blue")
    c.rect(14, 4, 24, 9, "blue")
    c.rect(14, 14, 21, 18, "blue")
    c.outline("black")
    return c


def note_with_pin():
    c = Canvas()
    c.rect(5, 7, 27, 28, "yellow")
    c.frame(5, 7, 27, 28, "gray")
    for y in (14, 18, 22):
        c.line(9, y, 23, y, "gray")
    c.rect(14, 2, 18, 6, "teal")  # pin head
    c.line(16, 7, 16, 10, "black")  # pin needle
    return c


def notepad_with_pen():
    c = Canvas()
    c.rect(4, 5, 22, 29, "white")
    c.frame(4, 5, 22, 29, "black")
    for x in range(6, 22, 3):
        c.put(x, 4, "gray")
        c.put(x, 3, "gray")
    for y in range(10, 28, 3):
        c.line(7, y, 19, y, "lightblue")
    c.line(27, 3, 14, 22, "blue")  # the pen's barrel
    c.line(28, 4, 15, 23, "blue")
    c.line(26, 2, 13, 21, "navy")
    c.line(14, 23, 12, 26, "black")  # the nib
    return c


def squares_and_cube():
    c = Canvas()
    c.rect(0, 0, 31, 31, "black")
    c.rect(2, 2, 10, 29, "white")
    for y in (4, 10, 16, 22):
        c.rect(4, y, 8, y + 4, "blue")
    # a wire-frame cube
    c.frame(13, 12, 24, 23, "green")
    c.frame(18, 7, 29, 18, "green")
    for x0, y0 in ((13, 12), (24, 12), (13, 23), (24, 23)):
        c.line(x0, y0, x0 + 5, y0 - 5, "green")
    return c


def version_note():
    c = Canvas()
    c.rect(8, 10, 29, 29, "yellow")  # the framed sheet behind
    c.frame(8, 10, 29, 29, "black")
    c.rect(2, 4, 20, 20, "lightblue")  # the note
    c.frame(2, 4, 20, 20, "navy")
    c.rect(10, 1, 12, 3, "red")  # pin
    # "1.0"
    c.line(6, 9, 6, 16, "black")
    c.put(5, 10, "black")
    c.put(9, 16, "black")
    c.frame(12, 9, 16, 16, "black")
    return c


ICONS = {
    8001: magenta_h,
    8002: blue_f,
    8003: note_with_pin,
    8004: notepad_with_pen,
    8005: squares_and_cube,
    8006: version_note,
}

if __name__ == "__main__":
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "resources/icons")
    out.mkdir(parents=True, exist_ok=True)
    for number, draw in ICONS.items():
        (out / f"{number}.ico").write_bytes(draw().ico())
