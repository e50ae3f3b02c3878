#include "WitnessFrames.h"

#include "UploadRecord.h"
#include "params/ParamSet.h"
#include "params/TextCodec.h"
#include "records/RecordFormat.h"

#include <QtEndian>
#include <cstring>

using namespace WitnessLayout;

namespace {

const char kMaker[] = "VRK";
const char kDevice[] = "00000005";
constexpr int kUnicodeEscapeWidth = 4;
constexpr int kHex = 16;

// JSON's escaping: the server's parser must never see a text end early or
// a member appear that the device did not write.
QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            out += QLatin1Char('\\');
            out += c;
        } else if (c.unicode() < 0x20) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), kUnicodeEscapeWidth, kHex, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + escaped(text) + QLatin1Char('"');
}

QString real(float value)
{
    return GeneralNumberText(double(FiniteFloat(value)));
}

class TextBuilder
{
public:
    void Member(const char *key, const QString &value)
    {
        m_text += m_first ? QString() : QStringLiteral(",");
        m_first = false;
        m_text += QLatin1Char('"') + QString::fromUtf8(key) + QStringLiteral("\":") + value;
    }
    QString Finish() { return QStringLiteral(" {") + m_text + QLatin1Char('}'); }

private:
    QString m_text;
    bool m_first = true;
};

// 24 values of the record, then 24 zeros for the channels the unit lacks.
template <typename T, typename Format>
QString paddedArray(const std::array<T, kMaxChannels> &values, Format format)
{
    QStringList items;
    for (const T &v : values)
        items << format(v);
    for (int i = 0; i < kMaxChannels; ++i)
        items << QStringLiteral("0");
    return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
}

void putHeader(char *f, quint8 frameClass, quint8 code, qint32 task, const QString &mileage)
{
    std::memset(f, 0, kHeaderSize);
    f[kClassPos] = char(frameClass);
    f[kCodePos] = char(code);
    qToLittleEndian<qint32>(task, f + kTaskPos);
    const QByteArray m = EncodeTextField(mileage, kMileageSize, '\0');
    std::memcpy(f + kMileagePos, m.constData(), kMileageSize);
}

int finish(char *f, const char *payload, int length)
{
    if (length > 0)
        std::memmove(f + kHeaderSize, payload, size_t(length));
    qToLittleEndian<qint16>(qint16(length), f + kPayloadLengthPos);
    f[kHeaderSumPos] = char(quint8(ByteSum(f, 0, kHeaderSumPos)));
    f[kPayloadSumPos] = char(quint8(ByteSum(f, kHeaderSize, length)));
    return kHeaderSize + length;
}

} // namespace

qint64 WitnessPacketsPerChannel(qint64 samples)
{
    return samples <= kSamplesPerPacket ? 1 : PacketsFor(samples, kSamplesPerPacket);
}

QByteArray WitnessParamText(const UploadRecord &r)
{
    const RecordHeader &h = r.Header;
    const auto integer = [](qint64 v) { return QString::number(v); };
    TextBuilder t;
    t.Member("厂家编号", quoted(QString::fromLatin1(kMaker)));
    t.Member("设备编号", quoted(QString::fromLatin1(kDevice)));
    t.Member("测试日期", quoted(h.Date + QLatin1Char(' ') + h.Time));
    t.Member("流水号", quoted(r.Fields.SerialNumber));
    t.Member("勘测方式", integer(h.SurveyMethod));
    t.Member("文件名", quoted(r.FileName));
    t.Member("经度", real(r.Fields.Longitude));
    t.Member("纬度", real(r.Fields.Latitude));
    t.Member("工程名称", quoted(h.ProjectName));
    t.Member("检测单位", quoted(h.TestUnit));
    t.Member("检测人员", quoted(h.Tester));
    t.Member("通道数量", integer(h.ChannelCount));
    t.Member("采样间隔", real(h.SampleInterval));
    t.Member("采样长度", integer(h.SampleLength));
    t.Member("道序", integer(h.TraceOrder));
    t.Member("道间距", integer(SaturatedInt(h.TraceSpacing)));
    t.Member("偏移距", integer(SaturatedInt(h.Offset)));
    t.Member("延迟", integer(SaturatedInt(h.Delay)));
    t.Member("滤波", integer(SaturatedInt(h.Filter)));
    t.Member("触发方式", integer(h.TriggerMethod));
    t.Member("触发水平", integer(h.TriggerLevel));
    t.Member("传感器类型", integer(r.Sensor.SensorType));
    t.Member("传感器计量信号", integer(r.Sensor.MeteringSignal));
    t.Member("传感器灵敏度系数", paddedArray(r.Sensor.Sensitivity, real));
    t.Member("传感器增益", paddedArray(r.Gains, integer));
    return ToGb2312(t.Finish());
}

int BuildWitnessFrame(const UploadRecord *record, WitnessKind kind, qint32 task, const QString &mileage,
                      int tag, int channel, int packetIndex, char *frame)
{
    if (!record || tag < 0 || tag > kMaxTag)
        return 0;
    switch (kind) {
    case WitnessKind::Heartbeat:
        putHeader(frame, kHeartbeatClass, kHeartbeatCode, task, mileage);
        return finish(frame, nullptr, 0);
    case WitnessKind::Parameter:
    case WitnessKind::End: {
        const QByteArray text = WitnessParamText(*record);
        if (text.size() > kMaxPayload)
            return 0;
        putHeader(frame, kParameterClass, kind == WitnessKind::End ? kEndCode : kParameterCode, task, mileage);
        qToLittleEndian<qint16>(qint16(tag), frame + kTagPos);
        return finish(frame, text.constData(), int(text.size()));
    }
    case WitnessKind::Data:
        break;
    }
    const qint64 samples = record->Samples();
    const qint64 start = qint64(packetIndex) * kSamplesPerPacket;
    if (channel < 0 || channel >= record->Channels() || packetIndex < 0 || start >= samples)
        return 0;
    const int count = int(qMin<qint64>(kSamplesPerPacket, samples - start));
    const bool last = packetIndex == WitnessPacketsPerChannel(samples) - 1;
    putHeader(frame, kDataClass, last ? kLastDataCode : kDataCode, task, mileage);
    frame[kChannelPos] = char(channel + 1);
    qToLittleEndian<qint16>(qint16(tag), frame + kTagPos);
    char *payload = frame + kHeaderSize;
    for (int i = 0; i < count; ++i) {
        const float value = record->Sample(channel, start + i);
        quint32 bits;
        std::memcpy(&bits, &value, sizeof bits);
        qToLittleEndian<quint32>(bits, payload + 4 * i);
    }
    return finish(frame, payload, 4 * count);
}
