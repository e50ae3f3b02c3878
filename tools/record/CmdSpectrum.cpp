// spectrum: one channel's amplitude spectrum and main frequency, computed as
// the spectrum dialog computes it.
#include "RecordTool.h"

#include "analysis/SpectrumAnalysis.h"

#include <QCommandLineParser>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

const char kSpectrumHelp[] =
    "zeb-record spectrum FILE --channel N [--from MS --to MS] [--refine K]\n"
    "  CSV of frequency (Hz) and amplitude of channel N over the samples from MS\n"
    "  to MS (default: the whole record), then the main frequency.\n"
    "  --refine K (1, 2, 4, 8 or 16) keeps every K-th sample for a K times finer\n"
    "  resolution over a K times narrower band. There is no anti-alias filter:\n"
    "  energy above the narrower band folds back into it as false peaks.\n";

int SpectrumUsage()
{
    std::fputs(kSpectrumHelp, stderr);
    return UsageError();
}

bool ReadTime(const QCommandLineParser &parser, const QString &name, double &ms)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    ms = parser.value(name).toDouble(&ok);
    return ok && std::isfinite(ms) && ms >= 0.0;
}

/// The shortest text that reads back to value.
template <typename T>
void Append(QByteArray &out, T value)
{
    char text[32];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr - text);
}

bool PrintSpectrum(const ChannelSpectrum &spectrum)
{
    QByteArray out("frequency_hz,amplitude\n");
    for (int k = 0; k < spectrum.Bins(); ++k) {
        Append(out, spectrum.BinHz(k));
        out += ',';
        Append(out, spectrum.Values[std::size_t(k)]);
        out += '\n';
    }
    out += "main_frequency_hz,";
    Append(out, spectrum.MainHz());
    out += '\n';
    return put(out);
}

} // namespace

int RunSpectrum(const ToolArgs &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("file"), QString());
    const QCommandLineOption channelOption(QStringLiteral("channel"), QString(), QStringLiteral("N"));
    const QCommandLineOption fromOption(QStringLiteral("from"), QString(), QStringLiteral("MS"));
    const QCommandLineOption toOption(QStringLiteral("to"), QString(), QStringLiteral("MS"));
    const QCommandLineOption refineOption(QStringLiteral("refine"), QString(), QStringLiteral("K"));
    parser.addOptions({channelOption, fromOption, toOption, refineOption});
    if (!parser.parse(QStringList(QStringLiteral("zeb-record")) + args) || parser.positionalArguments().size() != 1
        || !parser.isSet(channelOption))
        return SpectrumUsage();

    bool ok = false;
    const int channel = parser.value(channelOption).toInt(&ok);
    if (!ok || channel < 1)
        return SpectrumUsage();
    int refinement = 1;
    if (parser.isSet(refineOption)) {
        refinement = parser.value(refineOption).toInt(&ok);
        if (!ok || !IsRefinement(refinement))
            return SpectrumUsage();
    }
    double fromMs = 0.0;
    double toMs = std::numeric_limits<double>::infinity();
    if (!ReadTime(parser, fromOption.names().first(), fromMs) || !ReadTime(parser, toOption.names().first(), toMs)
        || !(fromMs < toMs))
        return SpectrumUsage();

    ParsedRecord record;
    if (const int refused = LoadRecordForTool(parser.positionalArguments().first(), record))
        return refused;
    const RecordHeader &h = record.Blocks.Header;
    if (channel > int(record.Traces.size())) {
        std::fprintf(stderr, "zeb-record: the record has %d channels\n", int(record.Traces.size()));
        return kExitUsage;
    }

    SpectrumRequest request;
    request.IntervalUs = h.SampleInterval;
    request.SampleCount = h.SampleLength;
    request.RangeStart = SampleAtMs(fromMs, h.SampleInterval);
    request.RangeEnd = std::isfinite(toMs) ? SampleAtMs(toMs, h.SampleInterval) : h.SampleLength;
    request.Refinement = refinement;
    const ChannelSpectrum spectrum = ComputeSpectrum(record.Traces[std::size_t(channel - 1)], request);
    return FinishOutput(PrintSpectrum(spectrum));
}
