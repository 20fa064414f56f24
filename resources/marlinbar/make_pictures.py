#!/usr/bin/env python3
"""Draws the pictures of Marlinbar.ocx: the five 16 x 16 window-menu glyphs on
silver, the 32 x 32 design-time icon and the 16 x 16 toolbox bitmap.

The files are committed; run this script again only to change a picture:
    python3 resources/marlinbar/make_pictures.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SILVER = (192, 192, 192)
BLACK = (0, 0, 0)


def canvas(w, h, colour):
    return [[colour for _ in range(w)] for _ in range(h)]


def rect(px, x0, y0, x1, y1, colour):
    """Fills x0..x1, y0..y1, both inclusive."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            px[y][x] = colour


def frame(px, x0, y0, x1, y1, colour, top=1):
    rect(px, x0, y0, x1, y0 + top - 1, colour)
    rect(px, x0, y1, x1, y1, colour)
    rect(px, x0, y0, x0, y1, colour)
    rect(px, x1, y0, x1, y1, colour)


def write_bmp(path, px):
    """24-bit bottom-up BMP."""
    h, w = len(px), len(px[0])
    stride = (w * 3 + 3) & ~3
    rows = b""
    for y in range(h - 1, -1, -1):
        row = b"".join(bytes((b, g, r)) for (r, g, b) in px[y])
        rows += row + b"\0" * (stride - w * 3)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(rows), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + rows)


def write_ico(path, px, transparent):
    """One 32-bit image with its AND mask; pixels of `transparent` are clear."""
    h, w = len(px), len(px[0])
    xor = b""
    for y in range(h - 1, -1, -1):
        for (r, g, b) in px[y]:
            alpha = 0 if (r, g, b) == transparent else 255
            xor += bytes((b, g, r, alpha))
    mask_stride = ((w + 31) // 32) * 4
    mask = b""
    for y in range(h - 1, -1, -1):
        row = bytearray(mask_stride)
        for x, colour in enumerate(px[y]):
            if colour == transparent:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = info + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


def glyphs():
    minimize = canvas(16, 16, SILVER)
    rect(minimize, 4, 10, 10, 11, BLACK)

    maximize = canvas(16, 16, SILVER)
    frame(maximize, 3, 3, 12, 12, BLACK, top=2)

    next_window = canvas(16, 16, SILVER)
    rect(next_window, 3, 7, 9, 8, BLACK)
    for i in range(5):
        rect(next_window, 9 + i, 3 + i, 9 + i, 12 - i, BLACK)

    close = canvas(16, 16, SILVER)
    for i in range(8):
        rect(close, 4 + i, 4 + i, 5 + i, 4 + i, BLACK)
        rect(close, 10 - i, 4 + i, 11 - i, 4 + i, BLACK)

    restore = canvas(16, 16, SILVER)
    frame(restore, 6, 2, 13, 9, BLACK, top=2)
    rect(restore, 3, 6, 10, 13, SILVER)
    frame(restore, 3, 6, 10, 13, BLACK, top=2)

    return {"minimize": minimize, "maximize": maximize, "next": next_window,
            "close": close, "restore": restore}


def menu_picture(size):
    """A small window with a menu bar and an open pop-up menu."""
    back = (255, 0, 255)
    px = canvas(size, size, back)
    s = size / 32.0
    def sc(v):
        return int(round(v * s))
    white, blue, border, grey = (255, 255, 255), (106, 140, 203), (0, 45, 144), (128, 128, 130)
    rect(px, sc(1), sc(3), sc(30), sc(28), white)
    frame(px, sc(1), sc(3), sc(30), sc(28), border)
    rect(px, sc(2), sc(4), sc(29), sc(8), (153, 187, 234))
    rect(px, sc(4), sc(5), sc(10), sc(7), blue)
    rect(px, sc(4), sc(9), sc(20), sc(26), (246, 246, 246))
    frame(px, sc(4), sc(9), sc(20), sc(26), border)
    rect(px, sc(5), sc(10), sc(8), sc(25), (255, 215, 157))
    for row in (12, 16, 20, 24):
        rect(px, sc(10), sc(row), sc(18), sc(row), grey)
    return px, back


def main():
    for name, px in glyphs().items():
        write_bmp(os.path.join(HERE, f"glyph_{name}.bmp"), px)
    icon, back = menu_picture(32)
    write_ico(os.path.join(HERE, "marlinbar.ico"), icon, back)
    toolbox, back = menu_picture(16)
    toolbox = [[SILVER if c == back else c for c in row] for row in toolbox]
    write_bmp(os.path.join(HERE, "toolbox.bmp"), toolbox)


if __name__ == "__main__":
    main()
