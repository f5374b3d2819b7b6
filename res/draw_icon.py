#!/usr/bin/env python3
"""Draws the installer's icon (an open book on a blue tile) and writes it as a .ico file with
16, 32 and 48 pixel images. Deterministic: the same bytes on every run."""
import struct
import sys


def pixel(x, y, size):
    """RGBA of one pixel; coordinates in a 0..1 square, y downwards."""
    u, v = (x + 0.5) / size, (y + 0.5) / size
    # Rounded tile.
    r = 0.18
    cx, cy = min(max(u, r), 1 - r), min(max(v, r), 1 - r)
    if (u - cx) ** 2 + (v - cy) ** 2 > r * r:
        return (0, 0, 0, 0)
    colour = (0x1F, 0x5F, 0xA8, 255)
    # Two pages of an open book, with a spine down the middle.
    if 0.18 <= u <= 0.82 and 0.26 <= v <= 0.76:
        if abs(u - 0.5) < 0.025:
            return (0x0E, 0x3A, 0x6E, 255)
        sag = 0.06 * (1 - abs(u - 0.5) / 0.32)
        if v >= 0.26 + sag:
            # Lines of text on the pages.
            line = int((v - 0.34) / 0.08)
            in_line = 0 <= line < 5 and ((v - 0.34) % 0.08) < 0.03
            margin = 0.24 <= u <= 0.44 or 0.56 <= u <= 0.76
            if in_line and margin and size >= 32:
                return (0x7F, 0x9F, 0xC8, 255)
            return (0xF7, 0xF4, 0xEA, 255)
    return colour


def image(size):
    rows = []
    for y in reversed(range(size)):  # bottom-up, as in a DIB
        rows.append(b"".join(bytes((b, g, r, a)) for r, g, b, a in (pixel(x, y, size) for x in range(size))))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)  # alpha carries the shape
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(path):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
