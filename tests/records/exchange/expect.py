"""What an exchange file must say about a record, from the record's fields
and the published meaning of each keyword and header field."""
import os
import subprocess
import sys

import numpy as np

MONTHS = "JAN FEB MAR APR MAY JUN JUL AUG SEP OCT NOV DEC".split()


def typed(value):
    """The decimal a float32 field was typed as: 2.1, not 2.0999999046."""
    return float(repr(np.float32(value)))


def ascii_safe(text):
    return "".join(c if " " <= c <= "~" else "?" for c in text).strip()


def receiver_x(rec, channel):
    position = channel - 1 if rec.trace_order == 1 else rec.channels - channel
    return typed(rec.offset) + position * typed(rec.spacing)


def high_cut(rec):
    return int(rec.filter_hz) if int(rec.filter_hz) in (512, 1024, 2048) else 0


def acquisition_date(rec):
    y, m, d = (int(x) for x in rec.date.split("-"))
    return "%02d/%s/%04d" % (d, MONTHS[m - 1], y)


class Failures:
    def __init__(self):
        self.count = 0
        self.checks = 0

    def check(self, condition, what):
        self.checks += 1
        if not condition:
            self.count += 1
            print("FAIL:", what)

    def equal(self, got, want, what):
        self.check(got == want, "%s: got %r, want %r" % (what, got, want))


def run_tool(tool, *args):
    return subprocess.run([tool, *args], capture_output=True, text=True)


def finish(failures):
    print("%d passed, %d failed" % (failures.checks - failures.count, failures.count))
    sys.exit(1 if failures.count else 0)


def write(path, raw):
    with open(path, "wb") as f:
        f.write(raw)
    return path


def read(path):
    with open(path, "rb") as f:
        return f.read()


def files_in(folder):
    return sorted(os.listdir(folder))
