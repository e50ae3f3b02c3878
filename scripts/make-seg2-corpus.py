#!/usr/bin/env python3
"""Seeds for the SEG-2 reader's fuzz target: small files laid out as the
standard describes, in both byte orders and every sample format it reads,
one of them with receivers the tool refuses to place."""
import os
import struct
import sys


def strings(pairs, e):
    out = b""
    for k, v in pairs:
        text = (k + " " + v).encode() + b"\0"
        out += struct.pack(e + "H", len(text) + 2) + text
    out += b"\0\0"
    return out + b"\0" * (-len(out) % 4)


def seg2(e, fmt, xs, interval="0.00025"):
    codes = {"h": 1, "i": 2, "f": 4, "d": 5}
    n, samples = len(xs), 8
    head = struct.pack(e + "HHHH", 0x3A55, 1, 4 * n, n) + bytes([1, 0, 0, 1, 10]) + b"\0" * 19
    fstr = strings([("ACQUISITION_DATE", "02/NOV/2023"), ("SOURCE_LOCATION", "0")], e)
    at = 32 + 4 * n + len(fstr)
    blocks, pointers = b"", b""
    for ch, x in enumerate(xs, 1):
        tstr = strings([("DELAY", "0"), ("RECEIVER_LOCATION", str(x)), ("SAMPLE_INTERVAL", interval)], e)
        data = struct.pack(e + str(samples) + fmt, *[ch * k for k in range(samples)])
        block = struct.pack(e + "HHII", 0x4422, 32 + len(tstr), len(data), samples) + bytes([codes[fmt]])
        block += b"\0" * (32 - len(block)) + tstr + data
        pointers += struct.pack(e + "I", at)
        at += len(block)
        blocks += block
    return head + pointers + fstr + blocks


def main(folder):
    os.makedirs(folder, exist_ok=True)
    seeds = {
        "forward-le-float": seg2("<", "f", [2, 3, 4, 5]),
        "reverse-be-int16": seg2(">", "h", [7.5, 6, 4.5, 3]),
        "int32": seg2("<", "i", [-1, -2, -3]),
        "double": seg2("<", "d", [1]),
        "uneven": seg2("<", "f", [1, 2, 4]),
    }
    for name, raw in seeds.items():
        with open(os.path.join(folder, name + ".sg2"), "wb") as f:
            f.write(raw)


if __name__ == "__main__":
    main(sys.argv[1])
