// Feeds arbitrary bytes to the record parser. Besides the sanitizers it
// checks what callers rely on: a refusal carries no traces, an accepted file
// has exactly the traces its header promises, inside the file, with the
// progress reported in order; and an accepted record written out again reads
// back to the same numbers and samples.
#include "records/RecordFormat.h"
#include "records/RecordProgress.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "record fuzz: %s\n", what);
        std::abort();
    }
}

class CheckingProgress : public RecordProgress
{
public:
    void Started(const QString &, int minimum, int maximum) override
    {
        check(!m_started, "started twice");
        check(minimum == 0 && maximum >= 0, "bad progress range");
        m_started = true;
        m_maximum = maximum;
        m_last = -1;
    }
    void SetValue(int value) override
    {
        check(m_started && !m_finished, "value outside the operation");
        check(value >= 0 && value <= m_maximum, "value outside the range");
        check(value == m_last + 1 || (value == 0 && m_last == 0), "values out of order");
        m_last = value;
    }
    void Finished() override
    {
        check(m_started && !m_finished, "finished without start");
        m_finished = true;
    }

    bool m_started = false;
    bool m_finished = false;
    int m_maximum = 0;
    int m_last = -1;
};

bool sameBits(const QVector<float> &a, const QVector<float> &b)
{
    return a.size() == b.size()
        && std::memcmp(a.constData(), b.constData(), sizeof(float) * static_cast<size_t>(a.size())) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // No copy: the sanitizer then sees any read even one byte past the input.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                     static_cast<qsizetype>(size));
    CheckingProgress progress;
    ParsedRecord record = ParseRecord(bytes, &progress);
    check(progress.m_started == progress.m_finished, "progress left open");

    if (record.Result != RecordOk) {
        check(record.Result == RecordUnrecognised || record.Result == RecordCorrupt
                  || record.Result == RecordNotSurfaceWave,
              "unknown result");
        check(record.Traces.empty(), "traces on a refused file");
        check(!progress.m_started, "progress shown for a refused file");
        return 0;
    }

    const RecordHeader &h = record.Blocks.Header;
    check(h.ChannelCount >= 1 && h.ChannelCount <= kMaxChannels, "channel count accepted outside 1..24");
    check(h.SampleLength >= 1, "sample length accepted below 1");
    check(static_cast<int>(record.Traces.size()) == h.ChannelCount, "trace count differs from header");
    for (const QVector<float> &t : record.Traces)
        check(t.size() == h.SampleLength, "trace length differs from header");
    check(record.Layout.DataOffset + record.Layout.DataBytes <= qint64(size), "data beyond the file");
    check(progress.m_last == progress.m_maximum, "progress did not reach its end");
    check(h.SampleInterval > RecordLayout::kIntervalFloorLimit, "sample interval below the floor");

    TraceSet traces;
    for (int ch = 0; ch < h.ChannelCount; ++ch)
        traces[ch] = record.Traces[static_cast<size_t>(ch)];
    const QByteArray again = EncodeRecord(record.Blocks, traces);
    const ParsedRecord back = ParseRecord(again);
    check(back.Result == RecordOk, "written record does not read back");
    const RecordHeader &b = back.Blocks.Header;
    check(b.ChannelCount == h.ChannelCount && b.SampleLength == h.SampleLength
              && b.SurveyMethod == h.SurveyMethod && b.TraceOrder == h.TraceOrder
              && b.TriggerMethod == h.TriggerMethod && b.TriggerLevel == h.TriggerLevel,
          "header numbers changed on the way back");
    check(std::memcmp(&b.SampleInterval, &h.SampleInterval, sizeof(float)) == 0, "sample interval changed");
    check(back.Blocks.HasGains, "written record lost its gains");
    check(back.Blocks.SensorType == record.Blocks.SensorType
              && back.Blocks.MeteringSignal == record.Blocks.MeteringSignal,
          "sensor values changed");
    if (record.Blocks.HasGains)
        check(back.Blocks.Gains == record.Blocks.Gains, "gains changed on the way back");
    for (int ch = 0; ch < h.ChannelCount; ++ch)
        check(sameBits(back.Traces[static_cast<size_t>(ch)], record.Traces[static_cast<size_t>(ch)]),
              "samples changed on the way back");
    return 0;
}
