#include "ExchangeRecord.h"

#include "RecordFile.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

using namespace RecordLayout;

namespace {

const char kDateFormat[] = "yyyy-MM-dd";
const char kTimeFormat[] = "hh:mm:ss";
const int kForwardOrder = 1;
const int kExternalTrigger = 1;
const int kAutomaticTrigger = 0;
const int kMediumLevel = 1;
const int kHighLevel = 2;
const char kUnprintable = '?';
const char kFirstPrintable = ' ';
const char kLastPrintable = '~';

double finiteOr0(double v)
{
    return std::isfinite(v) ? v : 0.0;
}

const QVector<float> &noSamples()
{
    static const QVector<float> empty;
    return empty;
}

} // namespace

int ExchangeRecord::Channels() const
{
    return qBound(0, Blocks.Header.ChannelCount, kMaxChannels);
}

int ExchangeRecord::Samples() const
{
    return qMax(0, Blocks.Header.SampleLength);
}

const QVector<float> &ExchangeRecord::Trace(int channel) const
{
    if (!Traces || channel < 1 || channel > TraceCount)
        return noSamples();
    return Traces[channel - 1];
}

QList<int> ExchangeRecord::PaddedChannels() const
{
    QList<int> padded;
    for (int ch = 1; ch <= Channels(); ++ch) {
        if (Trace(ch).size() < Samples())
            padded.append(ch);
    }
    return padded;
}

double ExchangeRecord::IntervalUs() const
{
    const float us = Blocks.Header.SampleInterval;
    // The same floor as the reader's: the record may come from memory, not a file.
    if (!(us > kIntervalFloorLimit) || !std::isfinite(us))
        return ExchangeText::TypedValue(kMinSampleInterval);
    return ExchangeText::TypedValue(us);
}

bool ExchangeRecord::ForwardOrder() const
{
    return Blocks.Header.TraceOrder == kForwardOrder;
}

double ExchangeRecord::ReceiverX(int channel) const
{
    const RecordHeader &h = Blocks.Header;
    const int position = ForwardOrder() ? channel - 1 : Channels() - channel;
    const double offset = finiteOr0(ExchangeText::TypedValue(h.Offset));
    // A negative offset puts the spread on the other side of the source; it
    // still runs away from the source, never back across it.
    const double side = offset < 0 ? -1.0 : 1.0;
    return side * (std::abs(offset) + position * finiteOr0(ExchangeText::TypedValue(h.TraceSpacing)));
}

double ExchangeRecord::DelayMs() const
{
    return finiteOr0(ExchangeText::TypedValue(Blocks.Header.Delay));
}

int ExchangeRecord::HighCutHz() const
{
    // Exactly the settings the unit applies; every other value reaches it as all-pass.
    return AppliedFilterHz(Blocks.Header.Filter);
}

QByteArray ExchangeRecord::TriggerText() const
{
    const RecordHeader &h = Blocks.Header;
    const QByteArray method = h.TriggerMethod == kExternalTrigger    ? QByteArrayLiteral("EXTERNAL")
                              : h.TriggerMethod == kAutomaticTrigger ? QByteArrayLiteral("AUTOMATIC")
                                                                     : QByteArray::number(h.TriggerMethod);
    // The settings screen shows every level other than medium and high as low.
    const QByteArray level = h.TriggerLevel == kMediumLevel ? QByteArrayLiteral("MEDIUM")
                             : h.TriggerLevel == kHighLevel ? QByteArrayLiteral("HIGH")
                                                            : QByteArrayLiteral("LOW");
    return "TRIGGER " + method + " LEVEL " + level;
}

QByteArray ExchangeRecord::FilterText() const
{
    const int highCut = HighCutHz();
    return highCut ? "HARDWARE_FILTER LOW-PASS " + QByteArray::number(highCut) + " HZ"
                   : QByteArrayLiteral("HARDWARE_FILTER ALL-PASS");
}

QByteArray ExchangeRecord::PaddingText(int channel) const
{
    const qsizetype have = Trace(channel).size();
    if (have >= Samples())
        return QByteArray();
    return "ONLY " + QByteArray::number(have) + " OF " + QByteArray::number(Samples())
        + " SAMPLES RECORDED, THE REST ARE ZEROS";
}

QDate ExchangeRecord::Date() const
{
    return QDate::fromString(Blocks.Header.Date.trimmed(), QLatin1String(kDateFormat));
}

QTime ExchangeRecord::Time() const
{
    return QTime::fromString(Blocks.Header.Time.trimmed(), QLatin1String(kTimeFormat));
}

ExchangeRecord ExchangeFromParsed(const ParsedRecord &record, const QString &name)
{
    ExchangeRecord r;
    r.Blocks = record.Blocks;
    // The stored interval where the reader only floored it, so that a
    // converter sees a NaN or a negative interval instead of the floor.
    if (FlooredSampleInterval(record.StoredSampleInterval) == record.Blocks.Header.SampleInterval)
        r.Blocks.Header.SampleInterval = record.StoredSampleInterval;
    r.Traces = record.Traces.data();
    r.TraceCount = static_cast<int>(record.Traces.size());
    r.Name = name;
    return r;
}

ExchangeRecord ExchangeFromCurrent(const ParamSet &params)
{
    ExchangeRecord r;
    r.Blocks = BlocksFromParams(params);
    r.Traces = Store().Traces.data();
    r.TraceCount = kMaxChannels;
    r.Name = params.RecordTitle();
    return r;
}

int CheckExchangeRecord(const ExchangeRecord &record, QString *problem)
{
    const qint64 channels = record.Channels();
    const qint64 samples = record.Samples();
    const RecordHeader &h = record.Blocks.Header;
    const auto number = [](float v) { return QString::fromLatin1(ExchangeText::FloatText(v)); };
    QString why;
    // Every exchange file states times and positions; a made-up one would
    // pass for a measurement, so impossible numbers are refused by name.
    if (channels < 1 || samples < 1)
        why = QStringLiteral("the record has no channels or no samples");
    else if (samples > kMaxFileBytes / kFieldSize / channels)
        why = QStringLiteral("the record holds more samples than any record can");
    else if (!std::isfinite(h.SampleInterval) || h.SampleInterval < 0)
        why = QStringLiteral("the sample interval is %1 us").arg(number(h.SampleInterval));
    else if (!std::isfinite(h.Offset))
        why = QStringLiteral("the offset is %1 m").arg(number(h.Offset));
    else if (channels > 1 && !(std::isfinite(h.TraceSpacing) && h.TraceSpacing > 0))
        why = QStringLiteral("the trace spacing is %1 m: the receivers would not stand apart")
                  .arg(number(h.TraceSpacing));
    if (why.isEmpty())
        return RecordOk;
    if (problem)
        *problem = why;
    return RecordNotConvertible;
}

namespace ExchangeText {

QByteArray AsciiSafe(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A surrogate pair is one character and becomes one mark.
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        const ushort u = c.unicode();
        out += (u >= kFirstPrintable && u <= kLastPrintable) ? static_cast<char>(u) : kUnprintable;
    }
    return out.trimmed();
}

QByteArray NoteText(const QString &text)
{
    QByteArray out = text.toUtf8();
    for (char &c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < static_cast<unsigned char>(kFirstPrintable) || u == 0x7F)
            c = ' ';
    }
    return out.trimmed();
}

QByteArray FloatText(float value)
{
    if (std::isnan(value))
        return QByteArrayLiteral("nan");
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return QByteArray(text, static_cast<int>(end - text));
}

QByteArray Decimal(double value, int decimals)
{
    if (!std::isfinite(value))
        return FloatText(static_cast<float>(value));
    QByteArray out = QByteArray::number(value, 'f', decimals);
    if (out.contains('.')) {
        while (out.endsWith('0'))
            out.chop(1);
        if (out.endsWith('.'))
            out.chop(1);
    }
    if (out == "-0")
        out = "0";
    return out;
}

double TypedValue(float value)
{
    if (!std::isfinite(value))
        return value;
    const QByteArray text = FloatText(value);
    return std::strtod(text.constData(), nullptr);
}

} // namespace ExchangeText
