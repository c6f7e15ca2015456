#!/usr/bin/env python3
"""Renders the GameHost product icon from its vector design into
res/gamehost.ico (six sizes) and docs/icon-preview.png.

Standard library only, so the icon can be rebuilt on any machine with a
Python 3; the output is byte-for-byte reproducible (no timestamps, fixed
compression level, only correctly rounded float operations)."""

import math
import os
import struct
import sys
import zlib

SIZES = (256, 128, 64, 48, 32, 16)

# Palette (sRGB, 0..1).
def rgb(hex_text):
    v = int(hex_text, 16)
    return ((v >> 16) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0)

SKY_TOP = rgb("101a4c")      # night blue
SKY_MID = rgb("2c1f6e")
SKY_LOW = rgb("6b2d96")      # violet
GLOW = rgb("8f7dff")         # moon halo tint
HILL_TOP = rgb("22195a")
HILL_LOW = rgb("120c33")
MOON_LIT = rgb("fff1c4")
MOON_EDGE = rgb("ffc95c")
TOWER_TOP = rgb("ffe9b0")
TOWER_LOW = rgb("f6a948")
TOWER_SHADE = 0.86           # left face of the tower, away from the moon
WINDOW = rgb("2a1656")
STAR = rgb("fff6dc")


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def lerp(a, b, t):
    return (a[0] + (b[0] - a[0]) * t,
            a[1] + (b[1] - a[1]) * t,
            a[2] + (b[2] - a[2]) * t)


def smoothstep(e0, e1, x):
    t = clamp((x - e0) / (e1 - e0))
    return t * t * (3.0 - 2.0 * t)


# ---------------------------------------------------------------- geometry
# Every size gets its own hand-fitted layout in its own pixels: the large
# ones are the master design scaled, the small ones are snapped to whole
# pixels and made bolder so that merlons and crescent survive at 16 px.

def layout(size):
    if size >= 64:
        k = size / 256.0
        m = {
            "margin": 8 * k, "radius": 50 * k, "shadow": size >= 128,
            "rim": size >= 48,
            # Tower: left x of the battlement, merlon top, merlon width and
            # height, crenel width, battlement height, corbel height,
            # shaft width, shaft bottom.
            "x0": 56 * k, "top": 104 * k, "mw": 24 * k, "mh": 16 * k,
            "cw": 16 * k, "bh": 28 * k, "ch": 12 * k, "sw": 64 * k,
            "bottom": 236 * k,
            "window": (100 * k, 160 * k, 116 * k, 190 * k),
            # Crescent: lit disc and the disc that bites it.
            "moon": (192 * k, 70 * k, 40 * k, 211 * k, 53 * k, 34 * k),
            "hill": (128 * k, 318 * k, 230 * k, 92 * k),
            "stars": [(44 * k, 52 * k, 3.2 * k), (88 * k, 36 * k, 2.2 * k),
                      (214 * k, 150 * k, 2.6 * k), (34 * k, 126 * k, 1.8 * k),
                      (120 * k, 64 * k, 1.6 * k)] if size >= 64 else [],
            "sparkle": size >= 128,
            "shade": True,
        }
        return m
    if size == 48:
        return {
            "margin": 1, "radius": 10, "shadow": False, "rim": True,
            "x0": 9, "top": 19, "mw": 5, "mh": 3, "cw": 3, "bh": 5,
            "ch": 2, "sw": 11, "bottom": 46,
            "window": (18, 31, 21, 36),
            "moon": (36.0, 12.8, 7.6, 39.6, 9.6, 6.5),
            "hill": (24, 59.6, 43, 17.2),
            "stars": [(8.5, 10.5, 0.9), (16.5, 7.5, 0.7)],
            "sparkle": False, "shade": True,
        }
    if size == 32:
        return {
            "margin": 0.5, "radius": 6.5, "shadow": False, "rim": False,
            "x0": 4, "top": 13, "mw": 4, "mh": 2, "cw": 2, "bh": 4,
            "ch": 1, "sw": 8, "bottom": 31,
            "window": (11, 21, 13, 25),
            "moon": (24.4, 8.4, 5.4, 26.9, 6.2, 4.5),
            "hill": (16, 40.2, 29, 12),
            "stars": [],
            "sparkle": False, "shade": False,
        }
    # 16 px: two-pixel merlons, one-pixel crenels, no window, fatter moon.
    return {
        "margin": 0, "radius": 3.2, "shadow": False, "rim": False,
        "x0": 1, "top": 7, "mw": 2, "mh": 1, "cw": 1, "bh": 2,
        "ch": 0, "sw": 4, "bottom": 16,
        "window": None,
        "moon": (12.0, 4.0, 3.5, 13.7, 2.5, 2.8),
        "hill": (8, 30, 40, 16),
        "stars": [],
        "sparkle": False, "shade": False,
    }


def rounded_rect_sd(x, y, x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx = (x0 + x1) * 0.5
    cy = (y0 + y1) * 0.5
    hx = (x1 - x0) * 0.5 - r
    hy = (y1 - y0) * 0.5 - r
    qx = abs(x - cx) - hx
    qy = abs(y - cy) - hy
    ox = qx if qx > 0 else 0.0
    oy = qy if qy > 0 else 0.0
    inner = qx if qx > qy else qy
    if inner > 0:
        inner = 0.0
    return math.sqrt(ox * ox + oy * oy) + inner - r


def make_shader(size):
    L = layout(size)
    s = float(size)
    m = L["margin"]
    tx0, ty0, tx1, ty1 = m, m, s - m, s - m
    if L["shadow"]:
        # Room below the tile for its shadow.
        ty0 = m * 0.5
        ty1 = s - m * 1.5
    rad = L["radius"]
    tw = tx1 - tx0
    th = ty1 - ty0

    x0, top, mw, mh, cw = L["x0"], L["top"], L["mw"], L["mh"], L["cw"]
    bh, ch, sw, bottom = L["bh"], L["ch"], L["sw"], L["bottom"]
    bw = 3 * mw + 2 * cw
    bx1 = x0 + bw
    by0 = top + mh
    by1 = by0 + bh
    sx0 = x0 + (bw - sw) * 0.5
    sx1 = sx0 + sw
    sy0 = by1 + ch
    tower_cx = (x0 + bx1) * 0.5
    merlons = [(x0 + i * (mw + cw), x0 + i * (mw + cw) + mw) for i in range(3)]
    win = L["window"]
    mcx, mcy, mr, bcx, bcy, br = L["moon"]
    hcx, hcy, hrx, hry = L["hill"]
    stars = L["stars"]
    glow_x = mcx - 0.4 * mr
    glow_y = mcy + 0.4 * mr
    rim_w = max(1.0, s / 128.0)

    def in_tower(x, y):
        if y < top or y >= bottom:
            return False
        if y < by0:
            for a, b in merlons:
                if a <= x < b:
                    return True
            return False
        if y < by1:
            return x0 <= x < bx1
        if y < sy0:
            # Corbel: the battlement narrows onto the shaft.
            t = (y - by1) / ch
            half = (bw + (sw - bw) * t) * 0.5
            return tower_cx - half <= x < tower_cx + half
        return sx0 <= x < sx1

    def in_window(x, y):
        if win is None:
            return False
        wx0, wy0, wx1, wy1 = win
        if not (wx0 <= x < wx1 and wy0 <= y < wy1):
            return False
        r = (wx1 - wx0) * 0.5
        if size >= 48 and y < wy0 + r:
            dx = x - (wx0 + r)
            dy = y - (wy0 + r)
            return dx * dx + dy * dy <= r * r
        return True

    def shade(x, y):
        """Premultiplied RGBA of one sample point."""
        d = rounded_rect_sd(x, y, tx0, ty0, tx1, ty1, rad)
        if d > 0:
            if not L["shadow"]:
                return (0.0, 0.0, 0.0, 0.0)
            off = s / 96.0
            blur = s / 48.0
            ds = rounded_rect_sd(x, y - off, tx0, ty0, tx1, ty1, rad)
            a = 0.34 * (1.0 - smoothstep(-blur * 0.5, blur, ds))
            return (0.0, 0.0, 0.0, a)
        u = (x - tx0) / tw
        v = (y - ty0) / th
        # Sky: diagonal three-stop gradient.
        t = clamp(0.30 * u + 0.85 * v - 0.08)
        if t < 0.5:
            c = lerp(SKY_TOP, SKY_MID, t * 2.0)
        else:
            c = lerp(SKY_MID, SKY_LOW, t * 2.0 - 1.0)
        # Halo around the moon.
        # Centred on the lit limb, not the disc, so the bitten part stays sky.
        dx = (x - glow_x) / s
        dy = (y - glow_y) / s
        dist = math.sqrt(dx * dx + dy * dy)
        g = clamp(1.0 - dist / 0.40)
        c = lerp(c, GLOW, 0.24 * g * g)
        # Sheen on the upper half.
        if v < 0.55:
            c = lerp(c, (1.0, 1.0, 1.0), 0.07 * (1.0 - v / 0.55))
        # Stars.
        for sx, sy, sr in stars:
            ddx = x - sx
            ddy = y - sy
            if L["sparkle"]:
                # Four-point sparkle: a diamond-ish star with thin rays.
                ax = abs(ddx)
                ay = abs(ddy)
                if math.sqrt(ax * ay) + (ax + ay) * 0.12 < sr * 0.55 and ax + ay < sr * 2.6:
                    c = lerp(c, STAR, 0.9)
            elif ddx * ddx + ddy * ddy <= sr * sr:
                c = lerp(c, STAR, 0.85)
        # Crescent.
        ddx = x - mcx
        ddy = y - mcy
        if ddx * ddx + ddy * ddy <= mr * mr:
            ex = x - bcx
            ey = y - bcy
            if ex * ex + ey * ey > br * br:
                mt = clamp(math.sqrt(ddx * ddx + ddy * ddy) / mr)
                c = lerp(MOON_LIT, MOON_EDGE, 0.25 + 0.75 * mt * mt if size >= 48 else 0.35)
        # Hill.
        hx = (x - hcx) / hrx
        hy = (y - hcy) / hry
        if hx * hx + hy * hy <= 1.0:
            c = lerp(HILL_TOP, HILL_LOW, clamp((y - (hcy - hry)) / (s * 0.14)))
        # Tower.
        if in_tower(x, y):
            if in_window(x, y):
                c = WINDOW
            else:
                tt = clamp((y - top) / (bottom - top))
                c = lerp(TOWER_TOP, TOWER_LOW, tt)
                if L["shade"] and x < tower_cx:
                    c = (c[0] * TOWER_SHADE, c[1] * TOWER_SHADE, c[2] * TOWER_SHADE)
        # Rim light: strong along the top, faint elsewhere so the tile keeps
        # its outline on dark taskbars.
        if L["rim"] and d > -rim_w:
            c = lerp(c, (1.0, 1.0, 1.0), 0.08 + 0.18 * clamp(1.0 - v / 0.5))
        return (c[0], c[1], c[2], 1.0)

    return shade


def render(size):
    """Returns size*size straight-alpha RGBA bytes, rows top-down."""
    shade = make_shader(size)
    n = 4 if size >= 128 else 6 if size >= 48 else 8
    offs = [(k + 0.5) / n for k in range(n)]
    inv = 1.0 / (n * n)
    out = bytearray(size * size * 4)
    o = 0
    for j in range(size):
        for i in range(size):
            r = g = b = a = 0.0
            for oy in offs:
                y = j + oy
                for ox in offs:
                    sr, sg, sb, sa = shade(i + ox, y)
                    r += sr * sa
                    g += sg * sa
                    b += sb * sa
                    a += sa
            a *= inv
            if a > 0.0:
                f = 1.0 / (a * n * n)
                out[o] = int(clamp(r * f) * 255.0 + 0.5)
                out[o + 1] = int(clamp(g * f) * 255.0 + 0.5)
                out[o + 2] = int(clamp(b * f) * 255.0 + 0.5)
                out[o + 3] = int(clamp(a) * 255.0 + 0.5)
            o += 4
    return bytes(out)


# ---------------------------------------------------------------- encoders

def png_bytes(width, height, pixels, channels):
    """PNG of 8-bit RGBA (channels 4) or RGB (3) rows, top-down."""
    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data +
                struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))
    stride = width * channels
    raw = bytearray()
    for y in range(height):
        row = pixels[y * stride:(y + 1) * stride]
        # Sub filter against the previous pixel: cheap and good on gradients.
        f = bytearray(stride)
        for i in range(stride):
            left = row[i - channels] if i >= channels else 0
            f[i] = (row[i] - left) & 255
        raw.append(1)
        raw += f
    color_type = 6 if channels == 4 else 2
    ihdr = struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def dib_bytes(size, rgba):
    """Classic icon image: header with doubled height, BGRA bottom-up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         0, 0, 0, 0, 0)
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        row = rgba[y * size * 4:(y + 1) * size * 4]
        for i in range(0, len(row), 4):
            xor += bytes((row[i + 2], row[i + 1], row[i], row[i + 3]))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        line = bytearray(mask_stride)
        for x in range(size):
            if rgba[(y * size + x) * 4 + 3] == 0:
                line[x >> 3] |= 0x80 >> (x & 7)
        mask += line
    return header + bytes(xor) + bytes(mask)


def ico_bytes(images):
    """images: list of (size, payload bytes) in directory order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        body += data
    return out + body


def preview(rendered):
    """All sizes side by side, once on a light and once on a dark backdrop."""
    gap = 24
    width = gap + sum(sz + gap for sz in SIZES)
    band = 256 + 2 * gap
    height = 2 * band
    img = bytearray(width * height * 3)
    for band_index, bg in enumerate(((0xf2, 0xf2, 0xf4), (0x1e, 0x1f, 0x24))):
        y0 = band_index * band
        for y in range(y0, y0 + band):
            for x in range(width):
                p = (y * width + x) * 3
                img[p:p + 3] = bytes(bg)
        x = gap
        for sz in SIZES:
            px = rendered[sz]
            oy = y0 + gap + (256 - sz) // 2
            for j in range(sz):
                for i in range(sz):
                    q = (j * sz + i) * 4
                    a = px[q + 3]
                    p = ((oy + j) * width + x + i) * 3
                    for c in range(3):
                        img[p + c] = (px[q + c] * a + bg[c] * (255 - a) + 127) // 255
            x += sz + gap
    return png_bytes(width, height, bytes(img), 3)


def main():
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    rendered = {sz: render(sz) for sz in SIZES}
    images = []
    for sz in SIZES:
        if sz == 256:
            images.append((sz, png_bytes(sz, sz, rendered[sz], 4)))
        else:
            images.append((sz, dib_bytes(sz, rendered[sz])))
    ico_path = os.path.join(root, "res", "gamehost.ico")
    png_path = os.path.join(root, "docs", "icon-preview.png")
    os.makedirs(os.path.dirname(png_path), exist_ok=True)
    with open(ico_path, "wb") as f:
        f.write(ico_bytes(images))
    with open(png_path, "wb") as f:
        f.write(preview(rendered))
    print("wrote", os.path.relpath(ico_path, root), "and", os.path.relpath(png_path, root))
    return 0


if __name__ == "__main__":
    sys.exit(main())
