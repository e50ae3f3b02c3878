// filter: a new record file whose traces went through the digital filter, as
// the analysis screen filters them.
#include "RecordTool.h"

#include "analysis/DigitalFilter.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cstdio>

namespace {

const char kFilterHelp[] =
    "zeb-record filter FILE [--low HZ] [--high HZ] -o OUT\n"
    "  Writes OUT with every trace low-passed at HZ (10000: off, the default)\n"
    "  and then high-passed at HZ (0: off, the default); a limit at or above half\n"
    "  the sampling rate is left out with a warning. OUT is never overwritten.\n";

int FilterUsage()
{
    std::fputs(kFilterHelp, stderr);
    return UsageError();
}

/// A limit in whole hertz, 0 to 10000 as the filter dialog takes it.
bool ReadLimit(const QCommandLineParser &parser, const QCommandLineOption &option, int &hz)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    hz = parser.value(option).toInt(&ok);
    return ok && hz >= 0 && hz <= kMaxFilterLimitHz;
}

} // namespace

int RunFilter(const ToolArgs &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("file"), QString());
    const QCommandLineOption lowOption(QStringLiteral("low"), QString(), QStringLiteral("HZ"));
    const QCommandLineOption highOption(QStringLiteral("high"), QString(), QStringLiteral("HZ"));
    const QCommandLineOption outOption(QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                       QStringLiteral("OUT"));
    parser.addOptions({lowOption, highOption, outOption});
    if (!parser.parse(QStringList(QStringLiteral("zeb-record")) + args) || parser.positionalArguments().size() != 1
        || !parser.isSet(outOption) || parser.value(outOption).isEmpty())
        return FilterUsage();
    FilterSettings settings;
    if (!ReadLimit(parser, lowOption, settings.LowPassHz) || !ReadLimit(parser, highOption, settings.HighPassHz))
        return FilterUsage();

    ParsedRecord record;
    if (const int refused = LoadRecordForTool(parser.positionalArguments().first(), record))
        return refused;
    const QString out = parser.value(outOption);
    if (const int taken = CheckOutputFree(out))
        return taken;

    settings.IntervalUs = record.Blocks.Header.SampleInterval;
    settings.SampleCount = record.Blocks.Header.SampleLength;
    TraceSet traces;
    const int channels = std::min(int(record.Traces.size()), kMaxChannels);
    for (int c = 0; c < channels; ++c)
        traces[std::size_t(c)] = record.Traces[std::size_t(c)];
    bool dropped = false;
    WithoutLimitsBeyondNyquist(settings, &dropped);
    if (dropped)
        std::fprintf(stderr, "%s\n", LimitBeyondNyquistText().toUtf8().constData());
    FilterTraces(traces.data(), channels, settings);

    return WriteToolOutput(out, EncodeRecord(record.Blocks, traces));
}
