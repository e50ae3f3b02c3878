// Feeds arbitrary bytes to the SEG-2 reader. Besides the sanitizers it checks
// what the record tool relies on: a refusal carries no traces and a reason;
// an accepted file is one spread of 1 to 24 traces of the length and
// interval the header states, with a spacing that can be drawn.
#include "records/Seg2Reader.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "seg2 fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // No copy: the sanitizer then sees any read even one byte past the input.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                     static_cast<qsizetype>(size));
    const ParsedRecord record = ParseSeg2(bytes);
    if (record.Result != RecordOk) {
        check(record.Result == RecordUnrecognised || record.Result == RecordCorrupt
                  || record.Result == RecordNotPlaceable,
              "unknown result");
        check(record.Traces.empty(), "traces on a refused file");
        check(!record.Problem.isEmpty(), "a refusal without a reason");
        return 0;
    }
    const RecordHeader &h = record.Blocks.Header;
    check(h.ChannelCount >= 1 && h.ChannelCount <= kMaxChannels, "channel count outside 1..24");
    check(static_cast<int>(record.Traces.size()) == h.ChannelCount, "trace count differs from header");
    for (const QVector<float> &t : record.Traces)
        check(t.size() == h.SampleLength && t.size() >= 1, "trace length differs from header");
    check(h.SampleInterval > RecordLayout::kIntervalFloorLimit, "sample interval below the floor");
    check(std::isfinite(h.TraceSpacing) && h.TraceSpacing >= 0, "spacing not a distance");
    check(h.ChannelCount == 1 || h.TraceSpacing > 0, "receivers on one spot");
    check(std::isfinite(h.Offset) && std::isfinite(h.Delay), "offset or delay not a number");
    check(record.Layout.Format == QLatin1String("SEG-2"), "format not named");
    return 0;
}
