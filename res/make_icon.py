#!/usr/bin/env python3
"""Draws the program icon and writes Nimbrel.ico: 256, 48, 32 and 16 pixels
square, each at 4, 8 and 32 bits per pixel, in that order. The 256-pixel
images are PNG, the rest classic DIBs with an AND mask.

The picture: a dark rounded tile with an upward arrow in the band's upload
green and a downward arrow in its download blue.

    python3 res/make_icon.py res/Nimbrel.ico
"""
import struct
import sys
import zlib

TILE = (32, 36, 44)
UP = (126, 228, 68)
DOWN = (78, 154, 230)
EDGE = (70, 76, 90)

# The band's arrow (x 3..14, y 0..11 in an 18-wide cell), as polygons in
# units of a 32-unit square.
UP_ARROW = [(9, 0), (14, 5), (11, 5), (11, 11), (6, 11), (6, 5), (3, 5), (8, 0)]


def arrow(points, dx, dy, scale, flip):
    out = []
    for x, y in points:
        if flip:
            y = 11 - y
        out.append((dx + x * scale, dy + y * scale))
    return out


SHAPES = [
    (UP, arrow(UP_ARROW, 0.7, 10.0, 1.1, False)),
    (DOWN, arrow(UP_ARROW, 13.2, 10.0, 1.1, True)),
]


def inside(poly, x, y):
    hit = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def in_tile(x, y, radius=6.0, lo=1.0, hi=31.0):
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def sample(x, y):
    """Colour and coverage of one point in 32-unit space."""
    if not in_tile(x, y):
        return None
    for colour, poly in SHAPES:
        if inside(poly, x, y):
            return colour
    if not in_tile(x, y, 5.2, 1.8, 30.2):
        return EDGE
    return TILE


def render(size, ss):
    """Premultiplication-free RGBA rows, supersampled ss x ss."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = n = 0
            for sy in range(ss):
                for sx in range(ss):
                    c = sample((px + (sx + 0.5) / ss) * 32.0 / size, (py + (sy + 0.5) / ss) * 32.0 / size)
                    if c is not None:
                        r += c[0]; g += c[1]; b += c[2]; n += 1
            if n == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((r // n, g // n, b // n, 255 * n // (ss * ss)))
        rows.append(row)
    return rows


def palette_for(bpp):
    base = [(0, 0, 0), TILE, UP, DOWN, EDGE]
    if bpp == 4:
        extra = [(255, 255, 255), (128, 128, 128), (64, 114, 34), (39, 77, 115),
                 (51, 56, 67), (96, 188, 56), (60, 120, 180), (100, 110, 125),
                 (20, 22, 28), (160, 200, 240), (190, 240, 160)]
        return base + extra
    cube = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    greys = [(v, v, v) for v in range(8, 256, 7)][: 256 - len(base) - len(cube)]
    pal = base + cube + greys
    return (pal + [(0, 0, 0)] * 256)[:256]


def nearest(pal, c):
    best, bi = None, 0
    for i, p in enumerate(pal):
        d = (p[0] - c[0]) ** 2 + (p[1] - c[1]) ** 2 + (p[2] - c[2]) ** 2
        if best is None or d < best:
            best, bi = d, i
    return bi


def dib(rows, bpp):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, 0, 0, 0, 0, 0)
    body = bytearray()
    pal = []
    if bpp in (4, 8):
        pal = palette_for(bpp)
        for r, g, b in pal:
            body += bytes((b, g, r, 0))
    stride = ((size * bpp + 31) // 32) * 4
    cache = {}
    for row in reversed(rows):
        line = bytearray()
        if bpp == 32:
            for r, g, b, a in row:
                line += bytes((b, g, r, a))
        else:
            idx = []
            for r, g, b, a in row:
                key = (r, g, b) if a >= 128 else None
                if key is None:
                    idx.append(0)
                    continue
                if key not in cache:
                    cache[key] = nearest(pal, key)
                idx.append(cache[key])
            if bpp == 8:
                line += bytes(idx)
            else:
                for i in range(0, size, 2):
                    hi = idx[i]
                    lo = idx[i + 1] if i + 1 < size else 0
                    line.append((hi << 4) | lo)
        body += line + b"\0" * (stride - len(line))
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        body += bits
    return header + bytes(body)


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(rows, bpp):
    size = len(rows)
    if bpp == 32:
        raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)
        ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
        extra = b""
    else:
        pal = palette_for(bpp)
        cache = {}
        lines = []
        for row in rows:
            idx = []
            for r, g, b, a in row:
                if a < 128:
                    idx.append(0)
                    continue
                key = (r, g, b)
                if key not in cache:
                    cache[key] = nearest(pal, key)
                idx.append(cache[key])
            if bpp == 8:
                lines.append(b"\0" + bytes(idx))
            else:
                packed = bytearray()
                for i in range(0, size, 2):
                    packed.append((idx[i] << 4) | (idx[i + 1] if i + 1 < size else 0))
                lines.append(b"\0" + bytes(packed))
        raw = b"".join(lines)
        ihdr = struct.pack(">IIBBBBB", size, size, bpp, 3, 0, 0, 0)
        plte = b"".join(bytes(p) for p in pal)
        trns = b"\0"  # entry 0 is the transparent one
        extra = png_chunk(b"PLTE", plte) + png_chunk(b"tRNS", trns)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + extra
            + png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def main(path):
    sizes = (256, 48, 32, 16)
    rendered = {s: render(s, 2 if s == 256 else 4) for s in sizes}
    images = []
    for bpp in (4, 8, 32):
        for s in sizes:
            data = png(rendered[s], bpp) if s == 256 else dib(rendered[s], bpp)
            images.append((s, bpp, data))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for s, bpp, data in images:
        colours = 16 if bpp == 4 else 0
        out += struct.pack("<BBBBHHII", s % 256, s % 256, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "Nimbrel.ico")
