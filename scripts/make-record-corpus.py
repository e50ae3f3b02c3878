#!/usr/bin/env python3
"""Writes the seed corpus of the record-parser fuzz target: small valid record
files in the layouts readers meet, and damaged ones next to each kind of
refusal. Usage: make-record-corpus.py OUTPUT_DIR"""

import math
import os
import struct
import sys

IDENT = b"VRK-ZEB-2.1.0-20130618"
HEADER_AT, CHANNEL_AT, DATA_AT = 56, 442, 646


def text(value, width):
    raw = value.encode("gb2312")[:width]
    return raw + b" " * (width - len(raw))


def header(channels, samples, interval=500.0, project="QUARTZON", unit="测试单位",
           tester="张三", profile="001", date="2024-03-05", time="14:30:59"):
    block = b"".join(text(t, 80) for t in (project, unit, tester, profile))
    block += struct.pack("<iifiiffffii", 1, channels, interval, samples, 1, 2.0, 4.0, 0.0, 4096.0, 1, 1)
    block += text(date, 10) + text(time, 8) + struct.pack("<i", 0)
    assert len(block) == 386
    return block


def channel_block(with_gains=True):
    block = struct.pack("<ii", 1, 1) + struct.pack("<24f", *[1.0 + i / 8 for i in range(24)])
    if with_gains:
        block += struct.pack("<i", 0) + struct.pack("<24i", *[6 * (i // 6) + i % 3 for i in range(24)])
    return block


def samples(channels, length):
    values = []
    for ch in range(channels):
        values += [math.sin((i + ch) / 5.0) * (ch + 1) * 100.0 for i in range(length)]
    return struct.pack("<%df" % len(values), *values)


def record(channels=12, length=16, ident=IDENT, rtype=0, offsets=(HEADER_AT, CHANNEL_AT, DATA_AT),
           head=None, with_gains=True, data=None):
    h_at, c_at, d_at = offsets
    body = {h_at: head if head is not None else header(channels, length),
            c_at: channel_block(with_gains),
            d_at: data if data is not None else samples(channels, length)}
    out = bytearray(ident.ljust(40, b" ")[:40] + struct.pack("<iiii", rtype, h_at, c_at, d_at))
    for at in sorted(body):
        if at < 0:
            continue
        if len(out) < at:
            out += b"\0" * (at - len(out))
        out[at:at + len(body[at])] = body[at]
    return bytes(out)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    good = record()
    seeds = {
        "valid-12x16": good,
        "valid-24x8": record(channels=24, length=8),
        "valid-1x1": record(channels=1, length=1),
        "valid-lowercase": record(ident=b"vrk-zeb-2.1.0-20130618"),
        "valid-no-gains": record(offsets=(HEADER_AT, CHANNEL_AT, CHANNEL_AT + 104), with_gains=False),
        "valid-gap-108": record(offsets=(HEADER_AT, CHANNEL_AT, CHANNEL_AT + 108), with_gains=False),
        "valid-moved-blocks": record(offsets=(100, 600, 900)),
        "valid-long-texts": record(head=header(12, 16, project="工程" * 50, unit="A" * 79 + "中")),
        "valid-zero-in-text": record(head=header(12, 16, project="AB\0CD")),
        "valid-tiny-interval": record(head=header(12, 16, interval=5.0)),
        "valid-nan-interval": record(head=header(12, 16, interval=float("nan"))),
        "valid-trailing-bytes": good + b"\xff" * 37,
        "writing-mark": b"BAD" + good[3:],
        "old-mark": b"OLD" + good[3:],
        "type-1": record(rtype=1),
        "empty": b"",
        "ident-only": IDENT,
        "cut-in-header": good[:300],
        "cut-in-channels": good[:500],
        "cut-in-data": good[:DATA_AT + 100],
        "channels-0": record(head=header(0, 16)),
        "channels-25": record(head=header(25, 16)),
        "channels-negative": record(head=header(-3, 16)),
        "samples-0": record(head=header(12, 0)),
        "samples-negative": record(head=header(12, -1)),
        "samples-huge": record(head=header(24, 0x7FFFFFFF)),
        "offsets-reversed": record(offsets=(CHANNEL_AT, HEADER_AT, DATA_AT)),
        "offsets-beyond": record(offsets=(HEADER_AT, CHANNEL_AT, 1 << 30), data=b""),
        "offsets-negative": record(offsets=(-56, CHANNEL_AT, DATA_AT)),
        "gains-overlap-data": record(offsets=(HEADER_AT, CHANNEL_AT, CHANNEL_AT + 150)),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name + ".qdw"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
