"""Reads SEG-2 files the program wrote with a reader made from the standard
and checks every block id, size and pointer, every keyword string and every
sample against the record they came from.
  seg2_check.py selftest ZEB-RECORD   builds records, converts, checks
  seg2_check.py compare RECORD SG2    checks one conversion"""
import os
import tempfile

import expect
import seg2


def compare(rec, path, name, f):
    raw = expect.read(path)
    s = seg2.Seg2File(raw)
    f.equal(s.trace_count, rec.channels, "trace count")
    f.equal(s.terminator, b"\0", "string terminator")
    keys = [k for k, _ in s.strings]
    f.equal(keys, sorted(keys), "file keywords in alphabetical order")
    fk = s.keywords(s.strings)
    want = {
        "ACQUISITION_DATE": expect.acquisition_date(rec),
        "ACQUISITION_TIME": expect.acquisition_time(rec),
        "COMPANY": expect.ascii_safe(rec.texts[1]),
        "INSTRUMENT": "ZEB",
        "JOB_ID": expect.ascii_safe(rec.texts[0]),
        "LINE_ID": expect.ascii_safe(rec.texts[3]),
        "OBSERVER": expect.ascii_safe(rec.texts[2]),
        "TRACE_SORT": "AS_ACQUIRED",
        "UNITS": "METERS",
    }
    want = {k: v for k, v in want.items() if v}
    got = {k: v.decode("ascii") for k, v in fk.items() if k != "NOTE"}
    f.equal(got, want, "file keywords")
    note = [line.decode("utf-8") for line in s.note_lines(fk.get("NOTE", b""))]
    for line in ["RECORD " + name, "PROJECT " + rec.texts[0], "TEST_UNIT " + rec.texts[1],
                 "TESTER " + rec.texts[2], "PROFILE " + rec.texts[3]]:
        f.check(line in note, "file note lacks %r: %r" % (line, note))
    # A placeholder date or time is said to be one, and only then.
    for key, valid in (("ACQUISITION_DATE", expect.date_valid(rec)), ("ACQUISITION_TIME", expect.time_valid(rec))):
        said = [line for line in note if line.startswith(key + " IS A PLACEHOLDER")]
        f.equal(len(said), 0 if valid else 1, "note on a placeholder %s" % key)

    at = s.pointers[0] if s.pointers else len(raw)
    for ch, t in enumerate(s.traces, start=1):
        f.equal(t.pointer, at, "channel %d starts where the one before ends" % ch)
        f.equal(t.pointer % 4, 0, "channel %d block aligned" % ch)
        at = t.pointer + t.block_size + t.data_size
        f.equal(t.sample_count, rec.samples, "channel %d sample count" % ch)
        f.check(t.data == rec.data[ch - 1], "channel %d samples differ" % ch)
        keys = [k for k, _ in t.strings]
        f.equal(keys, sorted(keys), "channel %d keywords in alphabetical order" % ch)
        tk = {k: v.decode("ascii") for k, v in s.keywords(t.strings).items() if k != "NOTE"}
        exact = {"CHANNEL_NUMBER": str(ch), "DESCALING_FACTOR": "1", "SOURCE_LOCATION": "0", "STACK": "1"}
        if rec.with_gains:
            exact["FIXED_GAIN"] = str(rec.gains[ch - 1])
        if expect.high_cut(rec):
            exact["HIGH_CUT_FILTER"] = str(expect.high_cut(rec))
        numeric = {"DELAY": expect.typed(rec.delay_ms) / 1e3,
                   "SAMPLE_INTERVAL": expect.typed(rec.interval_us) / 1e6,
                   "RECEIVER_LOCATION": expect.receiver_x(rec, ch)}
        f.equal(set(tk), set(exact) | set(numeric), "channel %d keywords" % ch)
        for k, v in exact.items():
            f.equal(tk.get(k), v, "channel %d %s" % (ch, k))
        for k, v in numeric.items():
            f.check(abs(float(tk.get(k, "nan")) - v) <= 5e-5 * max(1e-7, abs(v)) + 1e-12,
                    "channel %d %s: %r, want %r" % (ch, k, tk.get(k), v))
        tnote = [line.decode("utf-8") for line in
                 s.note_lines(s.keywords(t.strings).get("NOTE", b""))]
        sensor = "SENSOR " + ("VELOCITY" if rec.sensor_type else "ACCELERATION")
        f.check(sensor in tnote, "channel %d note %r lacks %r" % (ch, tnote, sensor))
        # The sensitivity must read back to the very float of the record.
        given = [line.split() for line in tnote if line.startswith("SENSITIVITY ")]
        f.check(len(given) == 1 and given[0][2] == "mv/mm/s"
                and expect.np.float32(float(given[0][1])) == expect.np.float32(rec.sensitivity[ch - 1]),
                "channel %d sensitivity %r" % (ch, given))
    f.equal(at, len(raw), "the last data block ends the file")
    # Office tools take the spread from the positions: distinct receivers, all
    # on the side of the source the offset gives, in trace order.
    xs = [float(s.keywords(t.strings)["RECEIVER_LOCATION"]) for t in s.traces]
    f.equal(len(set(xs)), len(xs), "receivers at distinct positions")
    side = -1 if expect.typed(rec.offset) < 0 else 1
    f.check(all(side * x >= 0 for x in xs), "receivers on the offset's side: %r" % xs)
    nearest_first = [abs(x) for x in xs] == sorted(abs(x) for x in xs)
    f.equal(nearest_first, rec.trace_order == 1, "trace order from the positions")
    return s


def selftest(tool):
    f = expect.Failures()
    first, second = expect.field_records()
    first.texts[3] = "L-07"
    second.interval_us = 15.625  # too fine for SEG-Y, kept exactly here
    second.date, second.time = "2024-02-29", "23:59:59"
    with tempfile.TemporaryDirectory() as tmp:
        out = expect.convert_each(tool, "seg2", (("SHOT1", first), ("R2", second)), tmp, f, compare)

        # Known answers, worked out by hand.
        one = seg2.Seg2File(expect.read(os.path.join(out, "SHOT1.sg2")))
        k3 = one.keywords(one.traces[2].strings)
        f.equal((k3["RECEIVER_LOCATION"], k3["SAMPLE_INTERVAL"], k3["DELAY"], k3["FIXED_GAIN"],
                 k3["HIGH_CUT_FILTER"]),
                (b"6.25", b"0.00025", b"0.01", b"0", b"512"), "SHOT1 channel 3")
        f.equal(one.keywords(one.strings)["JOB_ID"], b"????", "Chinese project keeps only ASCII")
        two = seg2.Seg2File(expect.read(os.path.join(out, "R2.sg2")))
        k1, k12 = (two.keywords(two.traces[i].strings) for i in (0, 11))
        f.equal((k1["RECEIVER_LOCATION"], k12["RECEIVER_LOCATION"], k1["SAMPLE_INTERVAL"]),
                (b"27.1", b"4", b"0.000015625"), "R2 reverse order and fine interval")
        f.equal(two.keywords(two.strings)["ACQUISITION_DATE"], b"29/FEB/2024", "leap day")

        # No valid date, and a spread on the negative side of the source.
        third = expect.qdw.Record(6, 8).samples_from(lambda ch, i: ch - i * 0.5)
        third.date, third.time, third.offset, third.spacing = "", "25:61:00", -2.5, 0.5
        out = expect.convert_each(tool, "seg2", (("UNDATED", third),), tmp, f, compare)
        three = seg2.Seg2File(expect.read(os.path.join(out, "UNDATED.sg2")))
        fk = three.keywords(three.strings)
        f.equal((fk["ACQUISITION_DATE"], fk["ACQUISITION_TIME"]), (b"01/JAN/1970", b"00:00:00"), "placeholders")
        f.equal([three.keywords(t.strings)["RECEIVER_LOCATION"] for t in three.traces],
                [b"-2.5", b"-3", b"-3.5", b"-4", b"-4.5", b"-5"], "negative offset")
    expect.finish(f)


if __name__ == "__main__":
    expect.main(__doc__, selftest, compare)
