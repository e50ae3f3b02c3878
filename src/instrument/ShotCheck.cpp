#include "ShotCheck.h"

#include "InstrumentProtocol.h"
#include "model/TraceStore.h"

QcShot QcShotOf(const RecordHeader &header, const std::array<int, kMaxChannels> *gains,
                const QVector<float> *traces, int channelCount)
{
    QcShot shot;
    shot.IntervalUs = header.SampleInterval;
    shot.SpacingM = header.TraceSpacing;
    const int count = qBound(0, channelCount, kMaxChannels);
    for (int c = 0; c < count; ++c) {
        QcTrace t;
        t.Samples = traces[c];
        t.FullScaleMv = gains ? ConverterFullScaleMv((*gains)[c]) : 0.0;
        shot.Channels.push_back(t);
    }
    return shot;
}

QcReport CheckTracesOnScreen(const ParamSet &params)
{
    const TraceSet &traces = Store().Traces;
    return CheckShotQuality(QcShotOf(params.Header, &params.Gains, traces.data(), params.ChannelsInUse()));
}

QString QcSummary(const QcReport &report)
{
    const int faulty = report.FaultyCount();
    return faulty ? QStringLiteral("质检：%1道异常").arg(faulty) : QStringLiteral("质检：正常");
}

QStringList QcDetails(const QcReport &report)
{
    QStringList lines;
    for (size_t c = 0; c < report.Channels.size(); ++c) {
        if (report.Channels[c].Flags)
            lines << QStringLiteral("第%1道：%2").arg(c + 1).arg(QcFlagLabels(report.Channels[c].Flags));
    }
    return lines;
}
