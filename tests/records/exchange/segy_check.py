"""Reads SEG-Y files the program wrote with segyio (Debian's python3-segyio)
and checks the textual, binary and trace headers and every sample against
the record they came from.
  segy_check.py selftest ZEB-RECORD   builds records, converts, checks
  segy_check.py compare RECORD SGY    checks one conversion"""
import os
import tempfile

import numpy as np
import segyio

import expect

BF, TF = segyio.BinField, segyio.TraceField


def half_away(x):
    """Whole numbers as the field's users expect them: halves away from zero."""
    return int(np.sign(x) * np.floor(abs(x) + 0.5))


def compare(rec, path, name, f):
    with segyio.open(path, ignore_geometry=True) as s:
        f.equal(s.tracecount, rec.channels, "trace count")
        text = bytes(s.text[0]).decode("ascii")
        cards = [text[i:i + 80] for i in range(0, 3200, 80)]
        f.equal(len(cards), 40, "40 card images")
        for i, card in enumerate(cards, start=1):
            f.equal(card[:4], "C%2d " % i, "card %d label" % i)
        f.equal(cards[38].rstrip(), "C39 SEG Y REV1", "card 39")
        f.equal(cards[39].rstrip(), "C40 END TEXTUAL HEADER", "card 40")
        for want in ("RECORD " + expect.ascii_safe(name), "PROJECT " + expect.ascii_safe(rec.texts[0]),
                     "TEST UNIT " + expect.ascii_safe(rec.texts[1]),
                     "TESTER " + expect.ascii_safe(rec.texts[2])):
            f.check(want in text, "textual header lacks %r" % want)

        b = s.bin
        want_bin = {BF.JobID: 1, BF.ReelNumber: 1, BF.Traces: rec.channels, BF.AuxTraces: 0,
                    BF.Interval: int(rec.interval_us), BF.IntervalOriginal: int(rec.interval_us),
                    BF.Samples: rec.samples, BF.SamplesOriginal: rec.samples, BF.Format: 5,
                    BF.MeasurementSystem: 1, BF.SEGYRevision: 0x0100, BF.TraceFlag: 1,
                    BF.ExtendedHeaders: 0, BF.SortingCode: 1}
        for field, value in want_bin.items():
            f.equal(b[field], value, "binary header %s" % field)

        y, m, d = (int(x) for x in rec.date.split("-"))
        hh, mm, ss = (int(x) for x in rec.time.split(":"))
        day = (np.datetime64(rec.date) - np.datetime64("%04d-01-01" % y)).astype(int) + 1
        for ch in range(1, rec.channels + 1):
            h = s.header[ch - 1]
            x = expect.receiver_x(rec, ch)
            want = {TF.TRACE_SEQUENCE_LINE: ch, TF.TRACE_SEQUENCE_FILE: ch, TF.FieldRecord: 1,
                    TF.TraceNumber: ch, TF.TraceIdentificationCode: 1, TF.offset: half_away(x),
                    TF.SourceGroupScalar: -100, TF.SourceX: 0, TF.GroupX: half_away(x * 100),
                    TF.CoordinateUnits: 1, TF.DelayRecordingTime: half_away(expect.typed(rec.delay_ms)),
                    TF.TRACE_SAMPLE_COUNT: rec.samples, TF.TRACE_SAMPLE_INTERVAL: int(rec.interval_us),
                    TF.GainType: 1, TF.InstrumentGainConstant: rec.gains[ch - 1] if rec.with_gains else 0,
                    TF.HighCutFrequency: expect.high_cut(rec), TF.YearDataRecorded: y,
                    TF.DayOfYear: day, TF.HourOfDay: hh, TF.MinuteOfHour: mm, TF.SecondOfMinute: ss,
                    TF.TimeBaseCode: 1}
            for field, value in want.items():
                f.equal(h[field], value, "channel %d trace header %s" % (ch, field))
            got = np.asarray(s.trace[ch - 1], dtype=np.float32).view(np.uint32)
            f.check(np.array_equal(got, np.frombuffer(rec.data[ch - 1], "<f4").view(np.uint32)),
                    "channel %d samples differ" % ch)

    # The same samples straight from the bytes: big-endian, behind each 240-byte header.
    raw = expect.read(path)
    size = 4 * rec.samples
    f.equal(len(raw), 3600 + rec.channels * (240 + size), "file size")
    for ch in range(rec.channels):
        at = 3600 + ch * (240 + size) + 240
        f.check(np.array_equal(np.frombuffer(raw[at:at + size], ">u4"),
                               np.frombuffer(rec.data[ch], "<u4")),
                "channel %d bytes differ" % (ch + 1))


def selftest(tool):
    f = expect.Failures()
    first, second = expect.field_records()
    second.interval_us = 16000.0
    second.date, second.time = "2024-12-31", "23:59:59"
    with tempfile.TemporaryDirectory() as tmp:
        out = expect.convert_each(tool, "segy", (("SHOT1", first), ("R2", second)), tmp, f, compare)

        # Known answers, worked out by hand.
        with segyio.open(os.path.join(out, "SHOT1.sgy"), ignore_geometry=True) as s:
            h = s.header[2]
            f.equal((h[TF.offset], h[TF.GroupX], s.bin[BF.LineNumber], h[TF.DayOfYear]),
                    (6, 625, 12, 306), "SHOT1 channel 3: 6.25 m, profile 12, 2 November")
        with segyio.open(os.path.join(out, "R2.sgy"), ignore_geometry=True) as s:
            f.equal((s.header[0][TF.GroupX], s.header[11][TF.GroupX], s.header[0][TF.DayOfYear]),
                    (2710, 400, 366), "R2 reverse order 27.1 m to 4 m, leap year's last day")

        # The spread on the negative side: coordinates and offsets signed alike.
        west = expect.qdw.Record(4, 8).samples_from(lambda ch, i: ch + i)
        west.offset, west.spacing = -3.0, 2.5
        expect.convert_each(tool, "segy", (("WEST", west),), tmp, f, compare)
        with segyio.open(os.path.join(out, "WEST.sgy"), ignore_geometry=True) as s:
            f.equal([(h[TF.SourceX], h[TF.GroupX], h[TF.offset]) for h in s.header],
                    [(0, -300, -3), (0, -550, -6), (0, -800, -8), (0, -1050, -11)], "WEST geometry")

        # SEG-Y keeps whole microseconds: 15.625 us is refused, not rounded.
        fine = expect.qdw.Record(12, 16).samples_from(lambda ch, i: 1.0)
        fine.interval_us = 15.625
        src = expect.write(os.path.join(tmp, "FINE.QDW"), fine.encode())
        done = expect.run_tool(tool, "convert", "--to", "segy", src, "-o", out)
        f.equal(done.returncode, 65, "15.625 us refused for SEG-Y")
        f.check(not os.path.exists(os.path.join(out, "FINE.sgy")), "nothing written for FINE")
        f.equal([n for n in expect.files_in(out) if n.startswith(".")], [], "no temporary files left")
    expect.finish(f)


if __name__ == "__main__":
    expect.main(__doc__, selftest, compare)
