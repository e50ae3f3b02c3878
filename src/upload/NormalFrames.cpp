#include "NormalFrames.h"

#include "UploadRecord.h"
#include "params/ParamSet.h"
#include "records/RecordFormat.h"

#include <QDateTime>
#include <QtEndian>
#include <cstring>

using namespace NormalLayout;

namespace {

const char kMagic[] = "VRK";
const char kVersion[] = "006";
const char kTail = 'F';
const char kTestTimeFormat[] = "yyyy-MM-dd hh:mm:ss";
constexpr quint32 kUnknownTime = 0xFFFFFFFFu;

void putFloat(char *p, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<quint32>(bits, p);
}

void putText(char *p, const QString &text, int width)
{
    const QByteArray field = EncodeTextField(text, width);
    std::memcpy(p, field.constData(), size_t(width));
}

// A low byte of a number that a file may hold at any size.
char lowByte(int value)
{
    return char(quint8(quint32(value)));
}

// Fills the 90 bytes every frame begins with; the caller has cleared the frame.
void putHead(const UploadRecord &r, char *f, quint8 kind, int length)
{
    std::memcpy(f + kMagicPos, kMagic, 3);
    qToLittleEndian<qint32>(length, f + kLengthPos);
    qToLittleEndian<qint32>(length, f + kLengthAgainPos);
    std::memcpy(f + kVersionPos, kVersion, 3);
    f[kKindPos] = char(kind);
    putText(f + kInstrumentPos, r.Fields.InstrumentNumber, kInstrumentWidth);
    putText(f + kSerialPos, r.Fields.SerialNumber, kSerialWidth);
    putText(f + kProfilePos, r.Fields.ProfileNumber, kProfileWidth);
    f[kMethodPos] = lowByte(int(quint32(r.Header.SurveyMethod) + kMethodBias));
    putText(f + kFileNamePos, r.FileName, kFileNameWidth);
}

// The tail letter and the byte sum over everything before the sum.
int finish(char *f, int length)
{
    f[length - 2] = kTail;
    f[length - 1] = char(quint8(ByteSum(f, 0, length - 1)));
    return length;
}

bool usable(const UploadRecord *record)
{
    return record && !record->Traces.empty();
}

} // namespace

quint32 RecordTestTime(const RecordHeader &header)
{
    const QDateTime t = QDateTime::fromString(header.Date + QLatin1Char(' ') + header.Time,
                                              QString::fromLatin1(kTestTimeFormat));
    if (!t.isValid())
        return kUnknownTime;
    const qint64 seconds = t.toSecsSinceEpoch();
    if (seconds < 0 || seconds > qint64(kUnknownTime))
        return kUnknownTime;
    return quint32(seconds);
}

int BuildParamPacket(const UploadRecord *record, char *frame)
{
    if (!usable(record))
        return 0;
    const UploadRecord &r = *record;
    const RecordHeader &h = r.Header;
    char *f = frame;
    std::memset(f, 0, kFrameSize);
    putHead(r, f, kParameterKind, kFrameSize);
    putFloat(f + kLongitudePos, r.Fields.Longitude);
    putFloat(f + kLatitudePos, r.Fields.Latitude);
    putText(f + kProjectPos, h.ProjectName, kProjectWidth);
    qToLittleEndian<quint32>(RecordTestTime(h), f + kTestTimePos);
    putText(f + kTestUnitPos, h.TestUnit, kTestUnitWidth);
    putText(f + kTesterPos, h.Tester, kTesterWidth);
    qToLittleEndian<qint32>(h.ChannelCount, f + kChannelCountPos);
    qToLittleEndian<qint32>(SaturatedInt(h.SampleInterval), f + kIntervalPos);
    qToLittleEndian<qint32>(h.SampleLength, f + kSampleLengthPos);
    f[kTraceOrderPos] = lowByte(h.TraceOrder);
    putFloat(f + kSpacingPos, h.TraceSpacing);
    putFloat(f + kOffsetPos, h.Offset);
    putFloat(f + kDelayPos, h.Delay);
    putFloat(f + kFilterPos, h.Filter);
    f[kTriggerModePos] = lowByte(h.TriggerMethod);
    f[kTriggerLevelPos] = lowByte(h.TriggerLevel);
    f[kSensorTypePos] = lowByte(r.Sensor.SensorType);
    f[kMeteringPos] = lowByte(r.Sensor.MeteringSignal);
    for (int ch = 0; ch < kMaxChannels; ++ch) {
        putFloat(f + kSensitivityPos + 4 * ch, r.Sensor.Sensitivity[ch]);
        qToLittleEndian<qint32>(r.Gains[ch], f + kGainsPos + 4 * ch);
    }
    return finish(f, kFrameSize);
}

int BuildDataPacket(const UploadRecord *record, char *frame, int channel, int packet, int count)
{
    if (!usable(record) || channel < 0 || channel >= record->Channels()
        || size_t(channel) >= record->Traces.size() || packet < 1 || packet > kMaxPacketNumber)
        return 0;
    const qint64 start = qint64(packet - 1) * kSamplesPerPacket;
    const qint64 left = record->Samples() - start;
    const int carried = int(qMin<qint64>(qMin(count, kSamplesPerPacket), left));
    if (carried < 1)
        return 0;
    char *f = frame;
    std::memset(f, 0, kFrameSize);
    putHead(*record, f, kDataKind, kFrameSize);
    f[kChannelPos] = char(channel);
    qToLittleEndian<qint16>(qint16(packet), f + kPacketPos);
    qToLittleEndian<qint32>(carried, f + kCountPos);
    for (int i = 0; i < carried; ++i)
        putFloat(f + kSamplesPos + 4 * i, record->Sample(channel, start + i));
    return finish(f, kFrameSize);
}

int BuildEndPacket(const UploadRecord *record, char *frame)
{
    if (!usable(record))
        return 0;
    std::memset(frame, 0, kEndFrameSize);
    putHead(*record, frame, kEndKind, kEndFrameSize);
    return finish(frame, kEndFrameSize);
}
