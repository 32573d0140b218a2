#!/usr/bin/env python3
"""Writes a Windows icon file (.ico) from pictures of several sizes, with the standard
library only: make-ico.py OUT.ico PICTURE... Each picture is an XPM of ours (assets/*.xpm,
"c #RRGGBB" or "c None" colours), stored as a 32-bit bitmap with its mask, or a PNG, stored
as it is (Windows reads PNG icons from Vista on; best for 256 pixels)."""

import re
import struct
import sys


def read_xpm(path):
    """Width, height and rows of (r, g, b, a) of one of our XPM files."""
    with open(path, encoding="utf-8") as f:
        strings = re.findall(r'"((?:[^"\\]|\\.)*)"', f.read())
    width, height, ncolors, cpp = (int(v) for v in strings[0].split()[:4])
    colors = {}
    for line in strings[1 : 1 + ncolors]:
        key, fields = line[:cpp], line[cpp:].split()
        value = fields[fields.index("c") + 1]
        if value.lower() == "none":
            colors[key] = (0, 0, 0, 0)
        elif re.fullmatch(r"#[0-9A-Fa-f]{6}", value):
            colors[key] = (int(value[1:3], 16), int(value[3:5], 16), int(value[5:7], 16), 255)
        else:
            raise ValueError(f"{path}: colour {value!r} is neither #RRGGBB nor None")
    rows = []
    for line in strings[1 + ncolors : 1 + ncolors + height]:
        rows.append([colors[line[i * cpp : (i + 1) * cpp]] for i in range(width)])
    if len(rows) != height or any(len(r) != width for r in rows):
        raise ValueError(f"{path}: the pixel rows do not match {width} x {height}")
    return width, height, rows


def bitmap_entry(width, height, rows):
    """The icon image as Windows stores it: a BITMAPINFOHEADER of twice the height (colour
    and mask), BGRA rows bottom-up, then the 1-bit AND mask, rows padded to 32 bits."""
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = (width + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + pixels + bytes(mask)


def png_entry(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError(f"{path}: not a PNG file")
    width, height = struct.unpack(">II", data[16:24])
    return width, height, data


def main():
    if len(sys.argv) < 3:
        sys.exit("usage: make-ico.py OUT.ico PICTURE.xpm|PICTURE.png...")
    images = []
    for path in sys.argv[2:]:
        if path.endswith(".png"):
            images.append(png_entry(path))
        else:
            width, height, rows = read_xpm(path)
            images.append((width, height, bitmap_entry(width, height, rows)))
    images.sort(key=lambda image: image[0])
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for width, height, data in images:
        # 256 is written as 0; planes 1, 32 bits per pixel.
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(directory + b"".join(data for _, _, data in images))


if __name__ == "__main__":
    main()
