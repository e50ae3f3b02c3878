#!/usr/bin/env python3
"""Writes the seed corpus of the upload fuzz target: witness server streams
(tasks, acknowledgements, resend requests, heartbeats, hostile lengths, cut
frames) and parameter texts. Usage: make-upload-corpus.py OUTPUT_DIR"""

import os
import struct
import sys


def frame(cls, code, task=4711, mileage=b"K12+345", channel=0, tag=0, payload=b"", length=None):
    head = bytes([cls, code]) + struct.pack("<i", task) + mileage[:16].ljust(16, b"\0")
    head += bytes([channel, 0, 0]) + struct.pack("<hh", tag, len(payload) if length is None else length)
    head += bytes([sum(head) & 0xFF, sum(payload) & 0xFF])
    return head + payload


def scan_seed(piece, sent_tag, stream):
    # Even first byte: the scanner; then the piece size and the tag just sent.
    return bytes([0, piece, sent_tag]) + stream


def text_seed(parts, numbers=b""):
    return bytes([1]) + numbers + "\x1f".join(parts).encode("gb2312", "replace")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    task = frame(1, 1)
    seeds = {
        "task": scan_seed(0, 0, task),
        "beat-then-task": scan_seed(1, 0, frame(0, 8) + task),
        "task-split": scan_seed(0, 0, task[:10]) ,
        "empty-mileage": scan_seed(0, 0, frame(1, 1, mileage=b"") + task),
        "full-mileage": scan_seed(3, 0, frame(1, 1, mileage=b"0123456789ABCDEF")),
        "acks": scan_seed(2, 7, frame(1, 5) + frame(1, 3) + frame(2, 5, channel=8, tag=7)),
        "resend": scan_seed(0, 7, frame(2, 3, channel=8, tag=5) + frame(2, 3, tag=0) + frame(2, 3, tag=-3)),
        "hostile-length": scan_seed(0, 3, frame(0, 8, length=30000) + task),
        "negative-length": scan_seed(0, 3, frame(0, 8, length=-1) + task),
        "payload": scan_seed(9, 1, frame(2, 5, channel=2, tag=1, payload=bytes(4969))),
        "normal-reply": scan_seed(0, 0, b"VRK" + bytes(12) + b"VRKsok" + bytes(7)),
        "texts": text_seed(["SN0001", "K001", "桥梁A", "QUARTZON", "张三", "2024-03-01", "ZEB-24"],
                           struct.pack("<ffff", 114.3, 62.5, 2.5, 28.8)),
        "escapes": text_seed(['a"b\\c', "\n\t", '","x":"'], struct.pack("<ffff", float("nan"), 1e30, -1e30, 0)),
        "long": text_seed(["x" * 6000]),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
