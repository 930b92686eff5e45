#!/usr/bin/env python3
"""Draws the six command icons as 32x32 icons of 8 bits per pixel.

The .ico files under resources/icons are committed; run this only to change
them: scripts/make-icons.py resources/icons
To look at them, enlarged: scripts/make-icons.py --png /tmp/icons
"""
import struct
import sys
import zlib
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
    "purple": (128, 0, 128),
    "olive": (192, 192, 0),
    "aqua": (0, 224, 224),
    "darkteal": (0, 80, 80),
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

    def disc(self, cx, cy, r, color):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r + r:
                    self.put(x, y, color)

    def polygon(self, points, color):
        """Fills a convex polygon given clockwise or anticlockwise."""
        ys = [p[1] for p in points]
        for y in range(min(ys), max(ys) + 1):
            xs = []
            for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
                if (y0 <= y <= y1 or y1 <= y <= y0) and y0 != y1:
                    xs.append(x0 + (x1 - x0) * (y - y0) / (y1 - y0))
            if xs:
                for x in range(round(min(xs)), round(max(xs)) + 1):
                    self.put(x, y, color)

    def outline(self, color):
        """Draws color around every opaque pixel (a black outline)."""
        solid = [(x, y) for y in range(SIZE) for x in range(SIZE) if self.pixels[y][x]]
        for x, y in solid:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                if 0 <= x + dx < SIZE and 0 <= y + dy < SIZE and self.pixels[y + dy][x + dx] is None:
                    self.pixels[y + dy][x + dx] = color

    def png(self, scale=8):
        """The picture enlarged, transparent pixels on a light checkerboard."""
        rows = []
        for y in range(SIZE * scale):
            row = bytearray([0])
            for x in range(SIZE * scale):
                c = self.pixels[y // scale][x // scale]
                if c:
                    row += bytes(PALETTE[c])
                else:
                    row += b"\xdd\xdd\xdd" if (x // 4 + y // 4) % 2 else b"\xf4\xf4\xf4"
            rows.append(bytes(row))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        side = SIZE * scale
        header = struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))

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
    # a shadow to the lower right, then the letter
    c.rect(8, 6, 13, 29, "purple")
    c.rect(22, 6, 27, 29, "purple")
    c.rect(14, 15, 21, 20, "purple")
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
    # the note, its lower right corner curling up
    c.polygon([(4, 6), (27, 6), (27, 24), (23, 29), (4, 29)], "yellow")
    c.polygon([(23, 29), (27, 24), (23, 24)], "olive")
    c.line(4, 6, 27, 6, "gray")
    c.line(4, 6, 4, 29, "gray")
    c.line(4, 29, 23, 29, "gray")
    c.line(27, 6, 27, 24, "gray")
    c.line(23, 29, 27, 24, "gray")
    for y in (15, 19, 23):
        c.line(8, y, 21 if y == 23 else 23, y, "gray")
    # the push-pin: a round teal head with a highlight, its needle in the note
    c.line(17, 9, 19, 12, "black")
    c.disc(14, 6, 4, "darkteal")
    c.disc(14, 6, 3, "teal")
    c.put(13, 4, "aqua")
    c.put(12, 5, "aqua")
    c.put(13, 5, "aqua")
    return c


def notepad_with_pen():
    c = Canvas()
    # the pad with its spiral binding and ruled lines
    c.rect(3, 5, 21, 30, "white")
    c.frame(3, 5, 21, 30, "black")
    for x in range(5, 21, 3):
        c.put(x, 3, "gray")
        c.put(x, 4, "gray")
        c.put(x, 5, "silver")
    for y in range(10, 29, 3):
        c.line(6, y, 18, y, "lightblue")
    c.line(6, 10, 6, 28, "red")
    # the fountain pen, lying across it: a blue barrel, a silver band and a
    # silver nib with its slit
    c.polygon([(24, 1), (30, 7), (17, 20), (11, 14)], "blue")
    c.line(24, 1, 11, 14, "navy")
    c.line(30, 7, 17, 20, "navy")
    c.line(24, 1, 30, 7, "navy")
    c.line(23, 4, 13, 14, "lightblue")
    c.line(15, 13, 19, 17, "silver")
    c.line(14, 14, 18, 18, "silver")
    c.polygon([(11, 14), (17, 20), (9, 24), (7, 22)], "silver")
    c.line(11, 14, 7, 22, "gray")
    c.line(17, 20, 9, 24, "gray")
    c.line(13, 18, 8, 23, "black")
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
    c.line(11, 3, 11, 6, "black")  # the pin
    c.disc(11, 2, 2, "red")
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
    args = sys.argv[1:]
    as_png = args[:1] == ["--png"]
    if as_png:
        args = args[1:]
    out = Path(args[0] if args else "resources/icons")
    out.mkdir(parents=True, exist_ok=True)
    for number, draw in ICONS.items():
        if as_png:
            (out / f"{number}.png").write_bytes(draw().png())
        else:
            (out / f"{number}.ico").write_bytes(draw().ico())
