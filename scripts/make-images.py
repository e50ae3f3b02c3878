#!/usr/bin/env python3
"""Draws the program's embedded images (logo, arrow buttons, window icon).

Run once after changing the drawing; the results are kept in src/app/images.
Plain Python, no imaging library: a tiny RGBA canvas written as PNG.
"""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(__file__), "..", "src", "app", "images")


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[(0, 0, 0, 0)] * w for _ in range(h)]

    def set(self, x, y, rgba):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = rgba

    def png(self):
        raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in self.px)

        def chunk(tag, data):
            c = struct.pack(">I", len(data)) + tag + data
            return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

        ihdr = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def logo():
    # A small variable-area seismogram: dispersive wavelets on six traces.
    w, h = 180, 96
    c = Canvas(w, h)
    blue = (20, 60, 150, 255)
    for tr in range(6):
        x0 = 18 + tr * 28
        arrival = 12 + tr * 9
        for y in range(h):
            t = (y - arrival) / 10.0
            amp = 11 * math.exp(-t * t / 4.0) * math.cos(2.2 * t + 0.15 * tr * t * t) if t > -3 else 0
            xa = int(round(x0 + amp))
            lo, hi = sorted((x0, xa))
            for x in range(lo, hi + 1):
                if xa > x0:
                    c.set(x, y, blue)  # filled positive lobe
            c.set(xa, y, (0, 0, 0, 255))
    return c


def arrow(up):
    w, h = 60, 100
    c = Canvas(w, h)
    for y in range(20, 80):
        half = int((y - 20) * 26 / 60) if up else int((80 - y) * 26 / 60)
        for x in range(30 - half, 30 + half + 1):
            c.set(x, y, (40, 40, 40, 255))
    return c


def icon():
    c = Canvas(32, 32)
    for y in range(32):
        for x in range(32):
            c.set(x, y, (255, 255, 255, 255))
    for y in range(32):
        amp = 9 * math.sin(y / 3.0) * math.exp(-((y - 16) / 9.0) ** 2)
        xa = int(round(16 + amp))
        for x in range(min(16, xa), max(16, xa) + 1):
            c.set(x, y, (20, 60, 150, 255) if xa > 16 else (0, 0, 0, 255))
    data = c.png()
    # ICO container holding one PNG image.
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 0, 0, 1, 32, len(data), 6 + 16)
    return header + entry + data


def main():
    os.makedirs(OUT, exist_ok=True)
    files = {
        "logo.PNG": logo().png(),
        "up.png": arrow(True).png(),
        "down.png": arrow(False).png(),
        "icon.ico": icon(),
    }
    for name, data in files.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
