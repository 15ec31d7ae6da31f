#!/usr/bin/env python3
"""Draws Dirtally's pictures and synthesises its thunder clap.

Needs only Python 3's standard library and is deterministic: running it again rewrites the same
bytes. Run it from anywhere; it writes next to itself:

  icon32.png, icon16.png  window icon, 16-colour palette with a transparent background
  image1.png              the main window's 32 x 32 picture, 24-bit colour
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


def rect(grid, x0, y0, x1, y1, fill, outline=None):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            edge = x in (x0, x1) or y in (y0, y1)
            grid[y][x] = outline if edge and outline is not None else fill


def folder_with_ruler(size):
    """A manila folder with a ruler laid across its front: the program measures folders."""
    s = size / 32.0
    g = canvas(size)

    def px(v):
        return int(round(v * s))

    rect(g, px(2), px(5), px(13), px(9), YELLOW, BLACK)
    rect(g, px(2), px(8), px(29), px(27), YELLOW, BLACK)
    rect(g, px(3), px(9), px(28), px(10), OLIVE)
    if px(28) < px(29):
        for y in range(px(11), px(26) + 1):
            g[y][px(28)] = OLIVE
    top, bottom = px(18), px(25)
    rect(g, px(4), top, px(27), bottom, SILVER, BLACK)
    for i, x in enumerate(range(px(6), px(26) + 1, 2)):
        length = (bottom - top) // 2 if i % 2 == 0 else max(1, (bottom - top) // 4)
        for y in range(top + 1, top + 1 + length):
            g[y][x] = BLACK
    for x in range(px(5), px(27)):
        g[bottom - 1][x] = GREY if g[bottom - 1][x] == SILVER else g[bottom - 1][x]
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


def image1():
    """A folder in true colour with three size bars rising out of it, on a blue tile."""
    rows = []
    bars = [(8, 13, 9, (220, 60, 50)), (15, 20, 4, (60, 170, 70)), (22, 26, 12, (60, 100, 220))]
    for y in range(32):
        row = []
        for x in range(32):
            d = math.hypot(x - 15.5, y - 15.5) / 22.0
            colour = (int(200 - 90 * d), int(220 - 80 * d), int(250 - 40 * d))
            for x0, x1, top, (r, gg, b) in bars:
                if x0 <= x <= x1 and top <= y <= 20:
                    shade = 1.0 - 0.35 * (x - x0) / (x1 - x0)
                    colour = (int(r * shade), int(gg * shade), int(b * shade))
                    if x in (x0, x1) or y == top:
                        colour = (40, 40, 40)
            if 3 <= x <= 28 and 17 <= y <= 28:
                t = (y - 17) / 11.0
                colour = (int(250 - 40 * t), int(205 - 50 * t), int(80 - 40 * t))
                if x in (3, 28) or y in (17, 28):
                    colour = (110, 80, 20)
            row.extend(colour)
        rows.append(row)
    write_png("image1.png", 32, 32, 2, rows)


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
    write_indexed("icon32.png", folder_with_ruler(32))
    write_indexed("icon16.png", folder_with_ruler(16))
    write_indexed("pointer.png", pointer())
    image1()
    thunder()


if __name__ == "__main__":
    main()
