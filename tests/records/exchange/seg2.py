"""A SEG-2 reader written from the standard (Pullan, 1990, revision 1) that
checks every structural rule on the way, so that a file the program writes
is proven readable by any program that follows the standard."""
import struct


class Seg2Error(Exception):
    pass


def need(condition, what):
    if not condition:
        raise Seg2Error(what)


def read_strings(raw, at, limit, terminator):
    """The strings of a block: each a 16-bit offset to the next one, the
    text and the string terminator; an offset of zero ends the list."""
    strings = []
    while True:
        need(at + 2 <= limit, "string list runs past its block")
        (step,) = struct.unpack_from("<H", raw, at)
        if step == 0:
            return strings, at + 2
        need(step > 2 + len(terminator), "string offset too small")
        need(at + step <= limit, "string runs past its block")
        body = raw[at + 2:at + step]
        need(body.endswith(terminator), "string not terminated")
        text = body[:-len(terminator)]
        need(terminator not in text, "terminator inside a string")
        keyword, _, value = text.partition(b" ")
        need(keyword and keyword == keyword.upper(), "keyword missing or not upper case")
        strings.append((keyword.decode("ascii"), value))
        at += step


class Trace:
    def __init__(self):
        self.pointer = 0
        self.block_size = 0
        self.data_size = 0
        self.sample_count = 0
        self.format = 0
        self.strings = []
        self.data = b""


class Seg2File:
    def __init__(self, raw):
        need(raw[0:2] == b"\x55\x3a", "file descriptor block id 0x3a55 (little-endian) missing")
        self.revision, self.pointer_block, self.trace_count = struct.unpack_from("<HHH", raw, 2)
        need(self.revision == 1, "revision is not 1")
        need(self.pointer_block % 4 == 0 and self.trace_count * 4 <= self.pointer_block,
             "trace pointer sub-block too small or not a multiple of 4")
        need(self.pointer_block <= 65532, "trace pointer sub-block too large")
        term_size, line_size = raw[8], raw[11]
        need(term_size in (1, 2) and line_size in (0, 1, 2), "terminator sizes")
        self.terminator = raw[9:9 + term_size]
        self.line_terminator = raw[12:12 + line_size]
        need(raw[14:32] == bytes(18), "reserved bytes of the file descriptor block are not zero")
        self.pointers = struct.unpack_from("<%dI" % self.trace_count, raw, 32)
        need(raw[32 + 4 * self.trace_count:32 + self.pointer_block] == bytes(
            self.pointer_block - 4 * self.trace_count), "unused trace pointers are not zero")
        first = min(self.pointers) if self.pointers else len(raw)
        self.strings, end = read_strings(raw, 32 + self.pointer_block, first, self.terminator)
        need(end <= first, "file strings overlap the first trace")
        self.traces = [self._trace(raw, p) for p in self.pointers]

    def _trace(self, raw, p):
        t = Trace()
        t.pointer = p
        need(p + 32 <= len(raw), "trace pointer beyond the file")
        (block_id, t.block_size, t.data_size, t.sample_count) = struct.unpack_from("<HHII", raw, p)
        t.format = raw[p + 12]
        need(block_id == 0x4422, "trace descriptor block id 0x4422 missing")
        need(t.block_size % 4 == 0 and 32 <= t.block_size <= 65532, "trace block size")
        need(raw[p + 13:p + 32] == bytes(19), "reserved bytes of a trace block are not zero")
        need(t.format == 4, "data format code is not 4 (32-bit IEEE float)")
        need(t.data_size == 4 * t.sample_count, "data block size disagrees with the sample count")
        t.strings, end = read_strings(raw, p + 32, p + t.block_size, self.terminator)
        need(end <= p + t.block_size, "trace strings run past the block")
        start = p + t.block_size
        need(start + t.data_size <= len(raw), "data block beyond the end of the file")
        t.data = raw[start:start + t.data_size]
        return t

    def keywords(self, strings):
        """The strings as a dictionary; a keyword must not repeat."""
        out = {}
        for k, v in strings:
            need(k not in out, "keyword %s repeated" % k)
            out[k] = v
        return out

    def note_lines(self, value):
        return value.split(self.line_terminator) if self.line_terminator else [value]
