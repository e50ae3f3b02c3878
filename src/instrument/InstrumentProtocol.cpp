#include "InstrumentProtocol.h"

#include "params/ParamSet.h"

#include <QtEndian>
#include <cmath>

namespace {

constexpr char kPrefix[3] = {'V', 'R', 'K'};

// Raw samples are 16-bit two's complement over the converter's ±5000 mV range.
constexpr long double kFullScaleCounts = 32768.0L;
constexpr long double kFullScaleMv = 5000.0L;

struct IntervalCode
{
    int low;
    int high;
    quint16 code;
};

// Intervals in whole microseconds (with a tolerance of one either side) and
// their codes in half-microseconds; 31.25 and 62.5 µs go as 62 and 125.
constexpr IntervalCode kIntervalCodes[] = {
    {9, 11, 20},          {14, 16, 30},         {30, 32, 62},         {61, 63, 125},
    {249, 251, 500},      {499, 501, 1000},     {999, 1001, 2000},    {1999, 2001, 4000},
    {3999, 4001, 8000},   {7999, 8001, 16000},  {15999, 16001, 32000},
};
constexpr quint16 kDefaultIntervalCode = 250;

constexpr int kGainStepDb = 12;
constexpr int kMaxGainDb = 72;
constexpr quint8 kDefaultGainCode = 0x44;

struct GainEntry
{
    int dB;
    double factor;
};
constexpr GainEntry kGainFactors[] = {
    {12, 4.0272}, {24, 15.8992}, {36, 62.496}, {48, 249.3952}, {60, 978.1248}, {72, 3938.304},
};
constexpr double kDefaultGainFactor = 1.0148;

enum FrameOffset {
    OffChannels = 4,
    OffInterval = 5,
    OffLength = 7,
    OffTriggerMethod = 9,
    OffTriggerLevel = 10,
    OffDelay = 15,
    OffGains = 17,
    OffFilters = 21,
};
constexpr int kGainGroups = 4;
constexpr int kFilterBytes = 4;

// What the unit takes and the parameter frame carries.
constexpr int kSmallSpread = 12;
constexpr int kMaxFrameSampleLength = 0xFFFF; // 16 bits
constexpr float kFrameDelayLimitMs = 32768.0f; // negated into 16 signed bits

void putLe16(QByteArray &frame, int offset, quint16 v)
{
    qToLittleEndian(v, frame.data() + offset);
}

} // namespace

QString UnsendableSettingText(const ParamSet &p)
{
    // The frame would carry a wrapped or defaulted value: the unit would then
    // record something else than the screen expects, and the shot would wait
    // for data that never comes or fetch nothing at all.
    const RecordHeader &h = p.Header;
    const auto refusal = [](const QString &setting, const QString &value) {
        return QStringLiteral("%1为%2，仪器无法接受，请重新设置！").arg(setting, value);
    };
    if (h.ChannelCount != kSmallSpread && h.ChannelCount != kMaxChannels)
        return refusal(QStringLiteral("通道数量"), QString::number(h.ChannelCount));
    if (h.SampleLength < 1 || h.SampleLength > kMaxFrameSampleLength)
        return refusal(QStringLiteral("采样长度"), QString::number(h.SampleLength));
    if (!(std::fabs(h.Delay) < kFrameDelayLimitMs))
        return refusal(QStringLiteral("延迟"), QString::number(double(h.Delay)) + QStringLiteral("ms"));
    return {};
}

QByteArray CommandFrame(char letter)
{
    QByteArray frame(kPrefix, sizeof kPrefix);
    frame.append(letter);
    return frame;
}

QByteArray SampleDataFrame(int channel)
{
    QByteArray frame = CommandFrame(Cmd::Data);
    frame.append(static_cast<char>(channel));
    return frame;
}

quint16 SampleIntervalCode(float intervalUs)
{
    // A NaN or huge float would make the conversion undefined; those fall to the default.
    if (!(std::fabs(intervalUs) < 1.0e9f))
        return kDefaultIntervalCode;
    const int t = static_cast<int>(intervalUs);
    for (const IntervalCode &e : kIntervalCodes) {
        if (t >= e.low && t <= e.high)
            return e.code;
    }
    return kDefaultIntervalCode;
}

quint8 GainCode(int dB)
{
    if (dB < 0 || dB > kMaxGainDb || dB % kGainStepDb != 0)
        return kDefaultGainCode;
    const int step = dB / kGainStepDb + 1;
    return static_cast<quint8>(step << 4 | step);
}

quint8 FilterCode(float hz)
{
    switch (AppliedFilterHz(hz)) {
    case 512:
        return 3;
    case 1024:
        return 2;
    case 2048:
        return 1;
    default:
        return 0;
    }
}

quint8 TriggerMethodCode(int method, bool autoCheck)
{
    if (autoCheck)
        return kSelfCheckTriggerCode;
    return (method >= 0 && method <= 2) ? static_cast<quint8>(method) : 1;
}

quint8 TriggerLevelCode(int level)
{
    switch (level) {
    case 0:
        return 1;
    case 2:
        return 5;
    default:
        return 3;
    }
}

qint16 DelayCode(float delayMs)
{
    const float negated = -delayMs;
    if (!(std::fabs(negated) < 1.0e9f))
        return 0;
    // The frame keeps the low 16 bits of the truncated value.
    return static_cast<qint16>(static_cast<quint16>(static_cast<int>(negated)));
}

QByteArray SetParaFrame(const ParamSet &params, bool autoCheck)
{
    const RecordHeader &h = params.Header;
    QByteArray frame(kSetParaFrameSize, '\0');
    std::copy(std::begin(kPrefix), std::end(kPrefix), frame.begin());
    frame[kReplyLetterIndex] = Cmd::SetPara;
    frame[OffChannels] = static_cast<char>(h.ChannelCount == kMaxChannels ? 2 : 1);
    putLe16(frame, OffInterval, SampleIntervalCode(h.SampleInterval));
    putLe16(frame, OffLength, static_cast<quint16>(h.SampleLength));
    frame[OffTriggerMethod] = static_cast<char>(TriggerMethodCode(h.TriggerMethod, autoCheck));
    frame[OffTriggerLevel] = static_cast<char>(TriggerLevelCode(h.TriggerLevel));
    putLe16(frame, OffDelay, static_cast<quint16>(DelayCode(h.Delay)));
    for (int g = 0; g < kGainGroups; ++g)
        frame[OffGains + g] = static_cast<char>(GainCode(params.Gains[g * kGainGroupSize]));
    const char filter = static_cast<char>(FilterCode(h.Filter));
    for (int i = 0; i < kFilterBytes; ++i)
        frame[OffFilters + i] = filter;
    return frame;
}

double GainFactor(int dB)
{
    for (const GainEntry &e : kGainFactors) {
        if (e.dB == dB)
            return e.factor;
    }
    return kDefaultGainFactor;
}

double ConverterFullScaleMv(int dB)
{
    return static_cast<double>(kFullScaleMv / GainFactor(dB));
}

QString HardwareVersionText(quint8 versionByte)
{
    return QStringLiteral("硬件版本: D%1.%2 H%3.%4")
        .arg(versionByte >> 6 & 3)
        .arg(versionByte >> 4 & 3)
        .arg(versionByte >> 2 & 3)
        .arg(versionByte & 3);
}

bool IsReplyLetter(char letter, char command)
{
    return letter == command || letter == static_cast<char>(command - 'a' + 'A');
}

ReplyKind ClassifyReply(const char *buf)
{
    const char letter = buf[kReplyLetterIndex];
    if (IsReplyLetter(letter, Cmd::Version))
        return ReplyKind::Version;
    for (char c = Cmd::ConnectState; c <= Cmd::Stop; ++c) {
        if (IsReplyLetter(letter, c))
            return ReplyKind::Short;
    }
    if (IsReplyLetter(buf[kDataLetterIndex], Cmd::Data))
        return ReplyKind::Data;
    return ReplyKind::Ignored;
}

namespace {
// Extended precision, in this order, so that every amplitude rounds to the same
// float whichever path converted it.
inline long double amplitude(qint16 raw, long double gainFactor)
{
    return raw * (1.0L / kFullScaleCounts) * kFullScaleMv / gainFactor;
}
} // namespace

float SampleAmplitude(qint16 raw, double gainFactor)
{
    return static_cast<float>(amplitude(raw, gainFactor));
}

float ConvertSamples(const char *samples, int count, double gainFactor, bool removeOffset,
                     QVector<float> &out)
{
    out.resize(qMax(0, count));
    long double sum = 0.0L;
    for (int i = 0; i < out.size(); ++i) {
        const qint16 raw = qFromLittleEndian<qint16>(samples + 2 * i);
        const long double a = amplitude(raw, gainFactor);
        out[i] = static_cast<float>(a);
        if (i < kOffsetSamples)
            sum += a;
    }
    // The divisor stays 200 for shorter traces too; records taken so far were levelled that way.
    return removeOffset ? static_cast<float>(sum / kOffsetSamples) : 0.0f;
}
