#include "RecordFormat.h"

#include "RecordProgress.h"
#include "params/DurableFile.h"
#include "params/TextCodec.h"

#include <QtEndian>
#include <cstring>
#include <limits>

using namespace RecordLayout;

namespace {

const char kProgressLabel[] = "文件打开中...";

qint32 intAt(const char *p)
{
    return qFromLittleEndian<qint32>(p);
}

float floatAt(const char *p)
{
    const quint32 bits = qFromLittleEndian<quint32>(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void putInt(char *p, qint32 value)
{
    qToLittleEndian<qint32>(value, p);
}

void putFloat(char *p, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<quint32>(bits, p);
}

void putBytes(char *p, const QByteArray &bytes)
{
    std::memcpy(p, bytes.constData(), static_cast<size_t>(bytes.size()));
}

// A text field as the writer left it: padded with spaces, or cut short by a
// zero from some other writer.
QString textAt(const char *p, int width)
{
    QByteArray raw(p, width);
    const int zero = raw.indexOf('\0');
    if (zero >= 0)
        raw.truncate(zero);
    return FromGb2312(raw.trimmed());
}

// Ends Started/Finished pairs however the conversion loop is left.
class ProgressScope
{
public:
    ProgressScope(RecordProgress *progress, int maximum)
        : m_progress(progress)
    {
        if (m_progress) {
            m_progress->Started(QString::fromUtf8(kProgressLabel), 0, maximum);
            m_progress->Step(0);
        }
    }
    ~ProgressScope()
    {
        if (m_progress)
            m_progress->Finished();
    }
    ProgressScope(const ProgressScope &) = delete;
    ProgressScope &operator=(const ProgressScope &) = delete;

private:
    RecordProgress *m_progress;
};

ParsedRecord refuse(ParsedRecord &&record, int result, const char *problem)
{
    record.Result = result;
    record.Problem = QString::fromLatin1(problem);
    record.Traces.clear();
    return std::move(record);
}

} // namespace

QString RecordResultMessage(int code)
{
    switch (code) {
    case RecordOk:
        return QString();
    case RecordUnrecognised:
        return QStringLiteral("打开文件失败，无法识别的文件格式！");
    case RecordCorrupt:
        return QStringLiteral("打开文件失败，文件已损坏！");
    case RecordNotSurfaceWave:
        return QStringLiteral("打开文件失败，此文件非面波文件！");
    case RecordExists:
        return QStringLiteral("保存文件失败，文件已存在！");
    case RecordNotConvertible:
        return QStringLiteral("转换文件失败，记录超出格式范围！");
    case RecordNotPlaceable:
        return QStringLiteral("打开文件失败，无法确定检波器排列！");
    case RecordDiskFull:
        return QStringLiteral("保存文件失败，%1！").arg(DiskFullText());
    case RecordWriteFailed:
    default:
        return QStringLiteral("保存文件失败，无法写入文件！");
    }
}

ParsedRecord ParseRecord(const QByteArray &bytes, RecordProgress *progress)
{
    ParsedRecord record;
    const char *d = bytes.constData();
    const qint64 size = bytes.size();
    RecordFileLayout &layout = record.Layout;
    layout.FileSize = size;

    QByteArray ident(d, static_cast<int>(qMin<qint64>(size, kIdentSize)));
    const int zero = ident.indexOf('\0');
    if (zero >= 0)
        ident.truncate(zero);
    while (ident.endsWith(' '))
        ident.chop(1);
    layout.Identification = QString::fromLatin1(ident);

    const QByteArray mark = ident.left(kMarkSize);
    if (mark == kOldMark)
        return refuse(std::move(record), RecordCorrupt, "marked as old");
    if (mark != kIdentMark && mark != kIdentMarkLower)
        return refuse(std::move(record), RecordUnrecognised, "identification not recognised");

    if (size < kRecordTypePos + kFieldSize)
        return refuse(std::move(record), RecordCorrupt, "file ends before the record type");
    layout.RecordType = intAt(d + kRecordTypePos);
    if (layout.RecordType != kSurfaceWaveType)
        return refuse(std::move(record), RecordNotSurfaceWave, "not a surface-wave record");

    if (size < kPreambleSize)
        return refuse(std::move(record), RecordCorrupt, "file ends before the block offsets");
    layout.HeaderOffset = intAt(d + kHeaderOffsetPos);
    layout.ChannelOffset = intAt(d + kChannelOffsetPos);
    layout.DataOffset = intAt(d + kDataOffsetPos);

    // 64-bit sums: hostile offsets near the int limits must not wrap.
    const qint64 headerAt = layout.HeaderOffset;
    const qint64 channelAt = layout.ChannelOffset;
    const qint64 dataAt = layout.DataOffset;
    if (headerAt < kPreambleSize || headerAt + kHeaderBlockSize > channelAt
        || channelAt + kChannelBlockWithoutGains > dataAt)
        return refuse(std::move(record), RecordCorrupt, "block offsets out of order");
    if (dataAt > size)
        return refuse(std::move(record), RecordCorrupt, "block offsets beyond the end of the file");

    RecordBlocks &blocks = record.Blocks;
    RecordHeader &h = blocks.Header;
    const char *hb = d + headerAt;
    h.ProjectName = textAt(hb + kProjectPos, kTextWidth);
    h.TestUnit = textAt(hb + kTestUnitPos, kTextWidth);
    h.Tester = textAt(hb + kTesterPos, kTextWidth);
    h.ProfileNumber = textAt(hb + kProfilePos, kTextWidth);
    h.SurveyMethod = intAt(hb + kSurveyMethodPos);
    h.ChannelCount = intAt(hb + kChannelCountPos);
    h.SampleInterval = floatAt(hb + kSampleIntervalPos);
    h.SampleLength = intAt(hb + kSampleLengthPos);
    h.TraceOrder = intAt(hb + kTraceOrderPos);
    h.TraceSpacing = floatAt(hb + kTraceSpacingPos);
    h.Offset = floatAt(hb + kOffsetPos);
    h.Delay = floatAt(hb + kDelayPos);
    h.Filter = floatAt(hb + kFilterPos);
    h.TriggerMethod = intAt(hb + kTriggerMethodPos);
    h.TriggerLevel = intAt(hb + kTriggerLevelPos);
    h.Date = textAt(hb + kDatePos, kDateWidth);
    h.Time = textAt(hb + kTimePos, kTimeWidth);
    record.StoredSampleInterval = h.SampleInterval;
    // Also catches NaN, which would otherwise reach every time axis.
    h.SampleInterval = FlooredSampleInterval(h.SampleInterval);

    const char *cb = d + channelAt;
    blocks.SensorType = intAt(cb + kSensorTypePos);
    blocks.MeteringSignal = intAt(cb + kMeteringSignalPos);
    for (int ch = 0; ch < kMaxChannels; ++ch)
        blocks.Sensitivity[ch] = floatAt(cb + kSensitivityPos + ch * kFieldSize);
    blocks.HasGains = channelAt + kGainsPos < dataAt;
    if (blocks.HasGains) {
        // A gap between 108 and 204 bytes puts the gains partly over the data
        // block; such files still read, with the bytes that stand there, as
        // long as the gains lie inside the file.
        if (channelAt + kChannelBlockSize > size)
            return refuse(std::move(record), RecordCorrupt, "file ends inside the gains");
        for (int ch = 0; ch < kMaxChannels; ++ch)
            blocks.Gains[ch] = intAt(cb + kGainsPos + ch * kFieldSize);
        for (int ch = 0; ch < kMaxChannels; ++ch)
            blocks.Gains[ch] = blocks.Gains[ch - ch % kGainGroupSize];
    }

    const qint64 channels = h.ChannelCount;
    const qint64 samples = h.SampleLength;
    if (channels < 1 || channels > kMaxChannels)
        return refuse(std::move(record), RecordCorrupt, "channel count outside 1 to 24");
    if (samples < 1)
        return refuse(std::move(record), RecordCorrupt, "sample length below 1");
    // Compared by division: the product of two hostile counts may not fit.
    if (samples > (size - dataAt) / kFieldSize / channels)
        return refuse(std::move(record), RecordCorrupt, "file ends inside the data block");
    if (channels * samples > std::numeric_limits<int>::max())
        return refuse(std::move(record), RecordCorrupt, "more samples than a record can hold");
    layout.DataBytes = channels * samples * kFieldSize;

    const int count = static_cast<int>(channels);
    const int length = static_cast<int>(samples);
    record.Traces.resize(static_cast<size_t>(count));
    {
        ProgressScope scope(progress, count * length - 1);
        const char *p = d + dataAt;
        for (int ch = 0; ch < count; ++ch) {
            QVector<float> &trace = record.Traces[static_cast<size_t>(ch)];
            trace.resize(length);
            float *out = trace.data();
            const int base = ch * length;
            for (int i = 0; i < length; ++i, p += kFieldSize) {
                out[i] = floatAt(p);
                if (progress)
                    progress->Step(base + i);
            }
        }
    }
    record.Result = RecordOk;
    return record;
}

QByteArray EncodeTextField(const QString &text, int width, char pad)
{
    QByteArray field;
    field.reserve(width);
    // Character by character, so that a long text is cut between characters.
    for (int i = 0; i < text.size();) {
        const int units = (text.at(i).isHighSurrogate() && i + 1 < text.size()
                           && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        const QByteArray encoded = ToGb2312(text.mid(i, units));
        if (field.size() + encoded.size() > width)
            break;
        field += encoded;
        i += units;
    }
    field.append(width - field.size(), pad);
    return field;
}

QByteArray EncodeRecord(const RecordBlocks &blocks, const TraceSet &traces)
{
    const RecordHeader &h = blocks.Header;
    const int channels = qBound(0, h.ChannelCount, kMaxChannels);
    const int samples = qMax(0, h.SampleLength);
    const qint64 total = kDataOffset + qint64(kFieldSize) * channels * samples;

    QByteArray out(static_cast<qsizetype>(total), '\0');
    char *d = out.data();

    QByteArray ident(kIdentText);
    ident.append(kIdentSize - ident.size(), ' ');
    putBytes(d, ident);
    putInt(d + kRecordTypePos, kSurfaceWaveType);
    putInt(d + kHeaderOffsetPos, kHeaderOffset);
    putInt(d + kChannelOffsetPos, kChannelOffset);
    putInt(d + kDataOffsetPos, kDataOffset);

    char *hb = d + kHeaderOffset;
    putBytes(hb + kProjectPos, EncodeTextField(h.ProjectName, kTextWidth));
    putBytes(hb + kTestUnitPos, EncodeTextField(h.TestUnit, kTextWidth));
    putBytes(hb + kTesterPos, EncodeTextField(h.Tester, kTextWidth));
    putBytes(hb + kProfilePos, EncodeTextField(h.ProfileNumber, kTextWidth));
    putInt(hb + kSurveyMethodPos, h.SurveyMethod);
    putInt(hb + kChannelCountPos, channels);
    putFloat(hb + kSampleIntervalPos, h.SampleInterval);
    putInt(hb + kSampleLengthPos, samples);
    putInt(hb + kTraceOrderPos, h.TraceOrder);
    putFloat(hb + kTraceSpacingPos, h.TraceSpacing);
    putFloat(hb + kOffsetPos, h.Offset);
    putFloat(hb + kDelayPos, h.Delay);
    putFloat(hb + kFilterPos, h.Filter);
    putInt(hb + kTriggerMethodPos, h.TriggerMethod);
    putInt(hb + kTriggerLevelPos, h.TriggerLevel);
    putBytes(hb + kDatePos, EncodeTextField(h.Date, kDateWidth));
    putBytes(hb + kTimePos, EncodeTextField(h.Time, kTimeWidth));
    putInt(hb + kHeaderReservedPos, 0);

    char *cb = d + kChannelOffset;
    putInt(cb + kSensorTypePos, blocks.SensorType);
    putInt(cb + kMeteringSignalPos, blocks.MeteringSignal);
    for (int ch = 0; ch < kMaxChannels; ++ch)
        putFloat(cb + kSensitivityPos + ch * kFieldSize, blocks.Sensitivity[ch]);
    putInt(cb + kChannelReservedPos, 0);
    for (int ch = 0; ch < kMaxChannels; ++ch)
        putInt(cb + kGainsPos + ch * kFieldSize, blocks.Gains[ch]);

    // The buffer starts as zeros, which is what a short trace is completed with.
    char *p = d + kDataOffset;
    for (int ch = 0; ch < channels; ++ch) {
        const QVector<float> &trace = traces[ch];
        const int have = static_cast<int>(qMin<qsizetype>(trace.size(), samples));
        for (int i = 0; i < have; ++i)
            putFloat(p + qint64(i) * kFieldSize, trace[i]);
        p += qint64(samples) * kFieldSize;
    }
    return out;
}
