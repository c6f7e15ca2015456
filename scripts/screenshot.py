#!/usr/bin/env python3
"""Takes a PNG screenshot of an area of the X display, standard library only:
reads the root window as `xwd` writes it (32-bit TrueColor) and crops it.
   usage: screenshot.py OUT.png LEFT TOP WIDTH HEIGHT"""
import struct
import subprocess
import sys
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def grab_root():
    dump = subprocess.run(["xwd", "-root", "-silent"], check=True, capture_output=True).stdout
    fields = struct.unpack_from(">25I", dump, 0)
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    colours = fields[19]
    if bits_per_pixel not in (24, 32):
        raise SystemExit(f"screenshot: {bits_per_pixel}-bit display, expected 24 or 32")
    offset = header_size + colours * 12
    return dump[offset:], width, height, bytes_per_line, byte_order, bits_per_pixel // 8


def save_png(path, pixels, stride, byte_order, size, left, top, w, h):
    rows = []
    for y in range(top, top + h):
        line = pixels[y * stride + left * size: y * stride + (left + w) * size]
        rgb = bytearray(w * 3)
        if byte_order == 0:  # least significant byte first: B G R (x)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::size], line[1::size], line[0::size]
        else:                # (x) R G B
            first = size - 3
            rgb[0::3] = line[first::size]
            rgb[1::3] = line[first + 1::size]
            rgb[2::3] = line[first + 2::size]
        rows.append(b"\x00" + bytes(rgb))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 6))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


if __name__ == "__main__":
    out, left, top, w, h = sys.argv[1], *map(int, sys.argv[2:6])
    pixels, width, height, stride, order, size = grab_root()
    left, top = max(0, min(left, width - 1)), max(0, min(top, height - 1))
    w, h = max(1, min(w, width - left)), max(1, min(h, height - top))
    save_png(out, pixels, stride, order, size, left, top, w, h)
