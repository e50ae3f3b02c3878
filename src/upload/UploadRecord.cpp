#include "UploadRecord.h"

#include "model/TraceStore.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {
const char kInvalidRecordText[] = "记录参数无效，无法上传！";
const char kNoDataText[] = "无数据可上传，请先采样数据！";
const char kTooLongText[] = "数据过长，无法上传！";
constexpr int kGeneralDigits = 6;
/// Room for the longest %g text of a double: sign, six digits, point, "e-308".
constexpr int kGeneralTextRoom = 32;
} // namespace

bool UploadFields::operator==(const UploadFields &o) const
{
    return InstrumentNumber == o.InstrumentNumber && SerialNumber == o.SerialNumber
        && ProfileNumber == o.ProfileNumber && Longitude == o.Longitude && Latitude == o.Latitude
        && ServerAddress == o.ServerAddress && ServerPort == o.ServerPort;
}

QString UploadFields::ServerHost() const
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(quint8(ServerAddress[0]))
        .arg(quint8(ServerAddress[1]))
        .arg(quint8(ServerAddress[2]))
        .arg(quint8(ServerAddress[3]));
}

int UploadRecord::Channels() const
{
    return qBound(0, Header.ChannelCount, kMaxChannels);
}

int UploadRecord::Samples() const
{
    return qMax(0, Header.SampleLength);
}

float UploadRecord::Sample(int channel, qint64 index) const
{
    if (channel < 0 || size_t(channel) >= Traces.size() || index < 0)
        return 0.0f;
    const QVector<float> &t = Traces[size_t(channel)];
    return index < t.size() ? t[qsizetype(index)] : 0.0f;
}

UploadFields CurrentUploadFields()
{
    const ParamSet &p = CurrentParams();
    UploadFields f;
    f.InstrumentNumber = p.InstrumentNumber;
    f.SerialNumber = p.SerialNumber;
    f.ProfileNumber = p.UploadProfileNumber;
    f.Longitude = p.Longitude;
    f.Latitude = p.Latitude;
    f.ServerAddress = p.UploadServerAddress();
    f.ServerPort = p.UploadServerPort();
    return f;
}

UploadRecord SnapshotCurrentRecord()
{
    const ParamSet &p = CurrentParams();
    UploadRecord r;
    r.Header = p.Header;
    r.Gains = p.Gains;
    r.Sensor = p.Sensor;
    r.FileName = p.RecordTitle();
    r.Fields = CurrentUploadFields();
    const int channels = r.Channels();
    const int samples = r.Samples();
    r.Traces.reserve(size_t(channels));
    for (int ch = 0; ch < channels; ++ch) {
        const QVector<float> &t = Store().Traces[ch];
        // A deep copy: the worker must not share storage with the live trace.
        r.Traces.emplace_back(t.constData(), t.constData() + qMin<qsizetype>(t.size(), samples));
    }
    return r;
}

qint64 PacketsFor(qint64 samples, int packetSamples)
{
    if (samples <= 0 || packetSamples <= 0)
        return 0;
    return (samples + packetSamples - 1) / packetSamples;
}

QString UploadRefusal(const UploadRecord &record, int packetSamples, qint64 maxPerChannel,
                      qint64 maxDataFrames)
{
    const int declared = record.Header.ChannelCount;
    if (declared < 1 || declared > kMaxChannels || record.Header.SampleLength < 1)
        return QString::fromUtf8(kInvalidRecordText);
    if (record.Traces.empty() || record.Traces.front().isEmpty())
        return QString::fromUtf8(kNoDataText);
    const qint64 perChannel = PacketsFor(record.Samples(), packetSamples);
    if (perChannel > maxPerChannel || qint64(record.Channels()) * perChannel > maxDataFrames)
        return QString::fromUtf8(kTooLongText);
    return QString();
}

qint32 SaturatedInt(float value)
{
    if (std::isnan(value))
        return 0;
    // 2^31 is exact as a float; every float below it truncates into range.
    constexpr float kLimit = 2147483648.0f;
    if (value >= kLimit)
        return std::numeric_limits<qint32>::max();
    if (value <= -kLimit)
        return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(value);
}

float FiniteFloat(float value)
{
    if (std::isnan(value))
        return 0.0f;
    if (std::isinf(value))
        return value > 0 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max();
    return value;
}

QString GeneralNumberText(double value)
{
    // Not QString::number: it rounds an exact tie such as 2678.125 up, where
    // the format's %g rounds it to even.
    char text[kGeneralTextRoom];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, kGeneralDigits);
    return QString::fromLatin1(text, int(end.ptr - text));
}
