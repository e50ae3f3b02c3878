"""Record files (QDW) built and read from their published layout alone, so
that the exchange files are checked against the record, not against the
program's own reader or writers."""
import struct

HEADER_AT, CHANNELS_AT = 56, 442
IDENT = b"VRK-ZEB-2.1.0-20130618"


class Record:
    """The fields of a record file, with the defaults of a typical shot."""

    def __init__(self, channels=24, samples=64):
        self.texts = ["PROJ", "UNIT", "TESTER", "007"]
        self.survey_method = 1
        self.channels = channels
        self.interval_us = 250.0
        self.samples = samples
        self.trace_order = 1
        self.spacing = 1.5
        self.offset = 3.25
        self.delay_ms = 10.0
        self.filter_hz = 512.0
        self.trigger_method = 0
        self.trigger_level = 2
        self.date = "2023-11-02"
        self.time = "08:09:10"
        self.sensor_type = 0
        self.metering_signal = 1
        self.sensitivity = [0.5 + i for i in range(24)]
        self.gains = [(0, 24, 48, 60)[i // 6] for i in range(24)]
        self.with_gains = True
        # Channel by channel, little-endian float32 bytes; filled by samples_from.
        self.data = [b""] * channels

    def samples_from(self, value_of):
        self.data = [struct.pack("<%df" % self.samples,
                                 *[value_of(ch, i) for i in range(self.samples)])
                     for ch in range(self.channels)]
        return self

    def encode(self):
        data_at = CHANNELS_AT + (204 if self.with_gains else 104)
        out = bytearray(data_at)
        out[0:40] = IDENT.ljust(40, b" ")
        struct.pack_into("<iiii", out, 40, 0, HEADER_AT, CHANNELS_AT, data_at)
        h = HEADER_AT
        for k, t in enumerate(self.texts):
            raw = t.encode("gb2312")[:80]
            out[h + 80 * k:h + 80 * k + 80] = raw.ljust(80, b" ")
        struct.pack_into("<iifiiffffii", out, h + 320, self.survey_method, self.channels,
                         self.interval_us, self.samples, self.trace_order, self.spacing,
                         self.offset, self.delay_ms, self.filter_hz, self.trigger_method,
                         self.trigger_level)
        out[h + 364:h + 374] = self.date.encode().ljust(10, b" ")
        out[h + 374:h + 382] = self.time.encode().ljust(8, b" ")
        c = CHANNELS_AT
        struct.pack_into("<ii24f", out, c, self.sensor_type, self.metering_signal, *self.sensitivity)
        if self.with_gains:
            struct.pack_into("<24i", out, c + 108, *self.gains)
        return bytes(out) + b"".join(self.data)


def parse(raw):
    """The fields of a record file written by the program (or by encode)."""
    r = Record(0, 0)
    assert raw[0:3] in (b"VRK", b"vrk"), "not a record file"
    _, h, c, d = struct.unpack_from("<iiii", raw, 40)
    r.texts = [raw[h + 80 * k:h + 80 * k + 80].split(b"\0")[0].strip().decode("gb2312")
               for k in range(4)]
    (r.survey_method, r.channels, r.interval_us, r.samples, r.trace_order, r.spacing, r.offset,
     r.delay_ms, r.filter_hz, r.trigger_method, r.trigger_level) = struct.unpack_from(
        "<iifiiffffii", raw, h + 320)
    r.date = raw[h + 364:h + 374].decode().strip()
    r.time = raw[h + 374:h + 382].decode().strip()
    r.sensor_type, r.metering_signal = struct.unpack_from("<ii", raw, c)
    r.sensitivity = list(struct.unpack_from("<24f", raw, c + 8))
    r.with_gains = c + 108 < d
    r.gains = list(struct.unpack_from("<24i", raw, c + 108)) if r.with_gains else [0] * 24
    size = 4 * r.samples
    r.data = [raw[d + ch * size:d + (ch + 1) * size] for ch in range(r.channels)]
    return r
