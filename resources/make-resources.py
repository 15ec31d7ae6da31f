#!/usr/bin/env python3
"""Draws Dirtally's pictures and synthesises its thunder clap.

Needs only Python 3's standard library and is deterministic: running it again rewrites the same
bytes. Run it from anywhere; it writes next to itself:

  icon16.png ... icon256.png  the program's icon at each size desktops ask for (ICON_SIZES),
                          16-colour palette with a transparent background, each drawn on its
                          own pixel grid, so that the small ones stay sharp
  image1.png              the main window's 32 x 32 picture, 24-bit colour
  image1@2x.png           the same picture drawn at 64 x 64, for screens scaled to 200%
  pointer.png             the buttons' mouse pointer, 16-colour palette; its hot spot is the arrow's
                          tip at pixel (0, 0)
  thunder.wav             a thunder clap of 2.6 s, 22050 Hz mono 16-bit PCM
"""

import math
import os
import random
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The classic 16-colour palette; index 16 is the transparent background.
VGA = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, OLIVE, SILVER, GREY, RED, YELLOW, WHITE = 0, 1, 3, 7, 8, 9, 11, 15
CLEAR = 16
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(name, width, height, colour_type, rows, palette=None):
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    chunks = [png_chunk(b"IHDR", header)]
    if palette is not None:
        chunks.append(png_chunk(b"PLTE", b"".join(bytes(c) for c in palette)))
        alpha = bytes(0 if i == CLEAR else 255 for i in range(len(palette)))
        chunks.append(png_chunk(b"tRNS", alpha))
    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    chunks.append(png_chunk(b"IDAT", zlib.compress(raw, 9)))
    chunks.append(png_chunk(b"IEND", b""))
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + b"".join(chunks))


def write_indexed(name, grid):
    palette = VGA + [(0xFF, 0xFF, 0xFF)]
    write_png(name, len(grid[0]), len(grid), 3, grid, palette)


def canvas(size, fill=CLEAR):
    return [[fill] * size for _ in range(size)]


def rect(grid, x0, y0, x1, y1, fill, outline=None, width=1):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            edge = min(x - x0, x1 - x, y - y0, y1 - y) < width
            grid[y][x] = outline if edge and outline is not None else fill


def folder_with_ruler(size):
    """A manila folder with a ruler laid across its front: the program measures folders.

    Lines are a pixel wide up to 32 pixels and thicken with the size beyond, so that the large
    icons keep the small ones' weight; the ruler's marks stay two design units apart."""
    s = size / 32.0
    g = canvas(size)
    w = max(1, size // 32)

    def px(v):
        return int(round(v * s))

    rect(g, px(2), px(5), px(13), px(9), YELLOW, BLACK, w)
    rect(g, px(2), px(8), px(29), px(27), YELLOW, BLACK, w)
    rect(g, px(3), px(9), px(28), px(10), OLIVE)
    if px(28) < px(29):
        for y in range(px(11), px(26) + 1):
            for x in range(px(28) - w + 1, px(28) + 1):
                g[y][x] = OLIVE
    top, bottom = px(18), px(25)
    rect(g, px(4), top, px(27), bottom, SILVER, BLACK, w)
    for i, x in enumerate(range(px(6), px(26) + 1, max(2, px(2)))):
        length = (bottom - top) // 2 if i % 2 == 0 else max(1, (bottom - top) // 4)
        for y in range(top + w, top + w + length):
            for dx in range(w):
                g[y][x + dx] = BLACK
    for y in range(bottom - w, bottom):
        for x in range(px(5), px(27)):
            g[y][x] = GREY if g[y][x] == SILVER else g[y][x]
    return g


def inside(polygon, x, y):
    """Even-odd rule for the pixel centre (x + 0.5, y + 0.5)."""
    cx, cy = x + 0.5, y + 0.5
    result = False
    for (ax, ay), (bx, by) in zip(polygon, polygon[1:] + polygon[:1]):
        if (ay > cy) != (by > cy):
            if cx < ax + (cy - ay) * (bx - ax) / (by - ay):
                result = not result
    return result


def pointer():
    """A yellow arrow with a black rim, tip at (0, 0), and a red ruler mark under it."""
    arrow = [(0, 0), (0, 22), (5.5, 17), (9.5, 26), (13, 24.5), (9, 16), (16, 16)]
    g = canvas(32)
    for y in range(32):
        for x in range(32):
            if inside(arrow, x, y):
                g[y][x] = YELLOW
    rim = []
    for y in range(32):
        for x in range(32):
            if g[y][x] != YELLOW:
                continue
            around = [(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))]
            if x == 0 or y == 0 or any(
                    not (0 <= ax < 32 and 0 <= ay < 32) or g[ay][ax] == CLEAR for ax, ay in around):
                rim.append((x, y))
    for x, y in rim:
        g[y][x] = BLACK
    rect(g, 16, 25, 30, 30, SILVER, BLACK)
    for i, x in enumerate(range(18, 30, 2)):
        for y in range(26, 28 if i % 2 else 29):
            g[y][x] = RED if i % 2 == 0 else BLACK
    return g


def image1(size, name):
    """A folder in true colour with three size bars rising out of it, on a blue tile.

    Drawn on a 32-unit design grid at `size` pixels: outlines stay one pixel wide, so the larger
    picture is sharper, not merely bigger."""
    s = size / 32.0
    rows = []
    bars = [(8, 13, 9, (220, 60, 50)), (15, 20, 4, (60, 170, 70)), (22, 26, 12, (60, 100, 220))]

    def spans(v, low, high):
        return low - 0.5 < v < high + 0.5

    def edge(v, low, high):
        return v < low - 0.5 + 1 / s or v > high + 0.5 - 1 / s

    for y in range(size):
        v = (y + 0.5) / s - 0.5
        row = []
        for x in range(size):
            u = (x + 0.5) / s - 0.5
            d = math.hypot(u - 15.5, v - 15.5) / 22.0
            colour = (int(200 - 90 * d), int(220 - 80 * d), int(250 - 40 * d))
            for x0, x1, top, (r, gg, b) in bars:
                if spans(u, x0, x1) and spans(v, top, 20):
                    shade = 1.0 - 0.35 * min(1.0, max(0.0, (u - x0) / (x1 - x0)))
                    colour = (int(r * shade), int(gg * shade), int(b * shade))
                    if edge(u, x0, x1) or v < top - 0.5 + 1 / s:
                        colour = (40, 40, 40)
            if spans(u, 3, 28) and spans(v, 17, 28):
                t = min(1.0, max(0.0, (v - 17) / 11.0))
                colour = (int(250 - 40 * t), int(205 - 50 * t), int(80 - 40 * t))
                if edge(u, 3, 28) or edge(v, 17, 28):
                    colour = (110, 80, 20)
            row.extend(colour)
        rows.append(row)
    write_png(name, size, size, 2, rows)


def thunder():
    """A sharp crack, then a rolling low rumble that dies away."""
    rate, seconds = 22050, 2.6
    count = int(rate * seconds)
    rnd = random.Random(1203)
    rolls = [(rnd.uniform(0.25, 1.6), rnd.uniform(0.4, 1.0), rnd.uniform(0.08, 0.3)) for _ in range(6)]

    def lowpass(samples, cutoff):
        a = 1.0 - math.exp(-2.0 * math.pi * cutoff / rate)
        out, y = [], 0.0
        for v in samples:
            y += a * (v - y)
            out.append(y)
        return out

    noise = [rnd.uniform(-1.0, 1.0) for _ in range(count)]
    rumble = lowpass(lowpass(lowpass(noise, 260.0), 200.0), 160.0)
    crack = lowpass(noise, 3500.0)
    samples = []
    for i in range(count):
        t = i / rate
        swell = min(1.0, t / 0.08) * math.exp(-t / 0.9)
        for at, height, width in rolls:
            swell += height * math.exp(-((t - at) / width) ** 2) * math.exp(-t / 1.2)
        fade = min(1.0, (seconds - t) / 0.45)
        value = rumble[i] * swell * 14.0 + crack[i] * math.exp(-t / 0.05) * 0.9
        samples.append(value * fade)
    peak = max(abs(v) for v in samples)
    data = b"".join(struct.pack("<h", int(32767 * 0.9 * v / peak)) for v in samples)
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16)
    header += b"data" + struct.pack("<I", len(data))
    with open(os.path.join(HERE, "thunder.wav"), "wb") as f:
        f.write(header + data)


def main():
    for size in ICON_SIZES:
        write_indexed(f"icon{size}.png", folder_with_ruler(size))
    write_indexed("pointer.png", pointer())
    image1(32, "image1.png")
    image1(64, "image1@2x.png")
    thunder()


if __name__ == "__main__":
    main()
