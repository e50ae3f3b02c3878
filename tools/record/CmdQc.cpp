// qc: the quality check the acquisition screen runs after every shot, on a
// record file: one CSV line per channel with its RMS and peak about its mean
// (mV at the amplifier input) and its flags.
#include "RecordTool.h"

#include "instrument/ShotCheck.h"

int RunQc(const ToolArgs &args)
{
    if (args.size() != 1)
        return UsageError();
    ParsedRecord record;
    if (const int refused = LoadRecordForTool(args.at(0), record))
        return refused;
    const RecordBlocks &b = record.Blocks;
    const int count = static_cast<int>(record.Traces.size());
    const QcReport report = CheckShotQuality(
        QcShotOf(b.Header, b.HasGains ? &b.Gains : nullptr, record.Traces.data(), count));
    QByteArray out = "channel,rms,peak,flags\n";
    for (int c = 0; c < count; ++c) {
        const QcChannel &r = report.Channels[c];
        out += QStringLiteral("%1,%2,%3,%4\n")
                   .arg(c + 1)
                   .arg(r.RmsMv, 0, 'g', 6)
                   .arg(r.PeakMv, 0, 'g', 6)
                   .arg(QcFlagNames(r.Flags))
                   .toUtf8();
    }
    return FinishOutput(put(out));
}
