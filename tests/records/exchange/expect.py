"""What an exchange file must say about a record, from the record's fields
and the published meaning of each keyword and header field."""
import datetime
import os
import subprocess
import sys

import numpy as np

import qdw

SUFFIXES = {"seg2": ".sg2", "segy": ".sgy"}
MONTHS = "JAN FEB MAR APR MAY JUN JUL AUG SEP OCT NOV DEC".split()


def typed(value):
    """The decimal a float32 field was typed as: 2.1, not 2.0999999046."""
    return float(repr(np.float32(value)))


def ascii_safe(text):
    return "".join(c if " " <= c <= "~" else "?" for c in text).strip()


def receiver_x(rec, channel):
    """Source at 0; the spread runs away from it on the side the offset's sign gives."""
    position = channel - 1 if rec.trace_order == 1 else rec.channels - channel
    side = -1.0 if typed(rec.offset) < 0 else 1.0
    return side * (abs(typed(rec.offset)) + position * typed(rec.spacing))


def high_cut(rec):
    return int(rec.filter_hz) if int(rec.filter_hz) in (512, 1024, 2048) else 0


def _parsed(text, form):
    try:
        return datetime.datetime.strptime(text, form)
    except ValueError:
        return None


def acquisition_date(rec):
    """The record's date as SEG-2 writes it; 01/JAN/1970 stands in for a missing one."""
    d = _parsed(rec.date, "%Y-%m-%d")
    return "%02d/%s/%04d" % (d.day, MONTHS[d.month - 1], d.year) if d else "01/JAN/1970"


def acquisition_time(rec):
    t = _parsed(rec.time, "%H:%M:%S")
    return t.strftime("%H:%M:%S") if t else "00:00:00"


def date_valid(rec):
    return _parsed(rec.date, "%Y-%m-%d") is not None


def time_valid(rec):
    return _parsed(rec.time, "%H:%M:%S") is not None


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


def field_records():
    """A 24-channel shot with Chinese survey texts and awkward samples (NaN,
    -0, the smallest denormal, an infinity) and a 12-channel record in reverse
    order without gains or hardware filter; each check adjusts them."""
    first = qdw.Record(24, 64).samples_from(
        lambda ch, i: [float("nan"), -0.0, 1e-45, float("-inf")][i] if ch == 5 and i < 4
        else ch * 1000.0 + i * 0.25 - 3.0)
    first.texts = ["南湖工程", "地质队", "张三", "12"]
    second = qdw.Record(12, 1024).samples_from(lambda ch, i: (i % 97) * (ch + 1) * 0.001)
    second.trace_order, second.with_gains, second.filter_hz = 0, False, 4096.0
    second.spacing, second.offset, second.delay_ms = 2.1, 4.0, 0.0
    return first, second


def convert_each(tool, to, records, tmp, f, compare):
    """Converts each (name, record) with the tool into tmp/out and compares;
    returns the output folder."""
    out = os.path.join(tmp, "out")
    for name, rec in records:
        src = write(os.path.join(tmp, name + ".QDW"), rec.encode())
        done = run_tool(tool, "convert", "--to", to, src, "-o", out)
        f.equal(done.returncode, 0, name + " converts (" + done.stderr.strip() + ")")
        if done.returncode == 0:
            compare(rec, os.path.join(out, name + SUFFIXES[to]), name, f)
    return out


def main(doc, selftest, compare):
    """selftest ZEB-RECORD, or compare RECORD OUTPUT."""
    if len(sys.argv) == 3 and sys.argv[1] == "selftest":
        selftest(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "compare":
        f = Failures()
        name = os.path.splitext(os.path.basename(sys.argv[2]))[0]
        compare(qdw.parse(read(sys.argv[2])), sys.argv[3], name, f)
        finish(f)
    else:
        print(doc)
        sys.exit(64)
