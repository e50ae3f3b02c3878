#include "WitnessUploadServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QTimer>
#include <QtEndian>
#include <cstring>

namespace {

constexpr int kHeader = 31;
constexpr int kMaxPayload = 4969;
constexpr int kPacketSamples = 1024;
constexpr int kMileageBytes = 16;
constexpr int kSplitAt = 10;
constexpr int kDefaultSplitMs = 50;
constexpr int kHostileGapMs = 20;
constexpr int kArrayLength = 48;
constexpr int kMaxChannels = 24;

// The members of the parameter text, in the order they must come.
const char *const kKeys[] = {
    "厂家编号", "设备编号", "测试日期", "流水号", "勘测方式", "文件名", "经度", "纬度",
    "工程名称", "检测单位", "检测人员", "通道数量", "采样间隔", "采样长度", "道序", "道间距",
    "偏移距", "延迟", "滤波", "触发方式", "触发水平", "传感器类型", "传感器计量信号",
    "传感器灵敏度系数", "传感器增益",
};

quint8 sumOf(const char *p, int count)
{
    quint32 s = 0;
    for (int i = 0; i < count; ++i)
        s += quint8(p[i]);
    return quint8(s);
}

qint16 shortAt(const QByteArray &f, int pos)
{
    return qFromLittleEndian<qint16>(f.constData() + pos);
}

QByteArray seal(QByteArray frame)
{
    frame[29] = char(sumOf(frame.constData(), 29));
    frame[30] = char(sumOf(frame.constData() + kHeader, int(frame.size()) - kHeader));
    return frame;
}

} // namespace

WitnessUploadServer::WitnessUploadServer(QObject *parent)
    : UploadServerBase(parent)
{
}

void WitnessUploadServer::SetTask(qint32 number, const QByteArray &mileage)
{
    m_task = number;
    m_mileage = mileage.left(kMileageBytes);
}

void WitnessUploadServer::SetFault(Fault fault, int at, int times, int param)
{
    AddFault(int(fault), at, times, param);
}

QVector<float> WitnessUploadServer::Trace(int channel) const
{
    return channel >= 0 && size_t(channel) < m_traces.size() ? m_traces[size_t(channel)] : QVector<float>();
}

QByteArray WitnessUploadServer::Header(int frameClass, int code, int channel, int tag, int payloadLength) const
{
    QByteArray f(kHeader, '\0');
    f[0] = char(frameClass);
    f[1] = char(code);
    qToLittleEndian<qint32>(m_task, f.data() + 2);
    std::memcpy(f.data() + 6, m_mileage.constData(), size_t(m_mileage.size()));
    f[22] = char(channel);
    qToLittleEndian<qint16>(qint16(tag), f.data() + 25);
    qToLittleEndian<qint16>(qint16(payloadLength), f.data() + 27);
    return seal(f);
}

QByteArray WitnessUploadServer::TaskFrame(const QByteArray &mileage) const
{
    QByteArray f = Header(1, 1, 0, 0);
    std::memset(f.data() + 6, 0, kMileageBytes);
    std::memcpy(f.data() + 6, mileage.constData(), size_t(mileage.size()));
    return seal(f);
}

void WitnessUploadServer::Connected(Connection &c)
{
    if (const FaultEntry *f = FaultAt(int(Fault::CloseBeforeTask), 0)) {
        CloseLater(c, f->Param);
        return;
    }
    if (FaultAt(int(Fault::NoTask), 0))
        return;
    IssueTask(c);
}

void WitnessUploadServer::IssueTask(Connection &c)
{
    int delay = 0;
    if (const FaultEntry *f = FaultAt(int(Fault::DelayTask), 0))
        delay = f->Param;
    QByteArray task = TaskFrame(m_mileage);
    if (FaultAt(int(Fault::HeartbeatBeforeTask), 0))
        task.prepend(Header(0, 8, 0, 0));
    if (const FaultEntry *f = FaultAt(int(Fault::EmptyMileageFirst), 0)) {
        SendTo(c, TaskFrame(QByteArray()), delay);
        delay += f->Param;
    }
    if (const FaultEntry *f = FaultAt(int(Fault::HostileBeforeTask), 0)) {
        SendTo(c, Header(0, 8, 0, 0, f->Param), delay);
        delay += kHostileGapMs;
    }
    if (const FaultEntry *f = FaultAt(int(Fault::SplitTask), 0)) {
        SendTo(c, task.left(kSplitAt), delay);
        delay += f->Param > 0 ? f->Param : kDefaultSplitMs;
        task = task.mid(kSplitAt);
    }
    SendTo(c, task, delay);
    // Counted as issued from the moment the whole frame leaves.
    if (delay <= 0)
        m_taskIssued = true;
    else
        QTimer::singleShot(delay, this, [this] { m_taskIssued = true; });
}

void WitnessUploadServer::BytesArrived(Connection &c)
{
    while (c.Buffer.size() >= kHeader) {
        const int payload = shortAt(c.Buffer, 27);
        if (payload < 0 || payload > kMaxPayload) {
            Problem(QStringLiteral("connection %1: header announcing %2 payload bytes").arg(c.Id).arg(payload));
            Drop(c);
            return;
        }
        if (c.Buffer.size() < kHeader + payload)
            return;
        const QByteArray frame = c.Buffer.left(kHeader + payload);
        c.Buffer.remove(0, kHeader + payload);
        Handle(c, frame);
        if (!c.Socket)
            return;
    }
}

void WitnessUploadServer::Handle(Connection &c, const QByteArray &f)
{
    Frame e;
    e.Connection = c.Id;
    e.Class = quint8(f.at(0));
    e.Code = quint8(f.at(1));
    e.Channel = quint8(f.at(22));
    e.Tag = shortAt(f, 25);
    e.PayloadLength = int(f.size()) - kHeader;
    QStringList problems;
    if (quint8(f.at(29)) != sumOf(f.constData(), 29))
        problems << QStringLiteral("header byte sum");
    if (quint8(f.at(30)) != sumOf(f.constData() + kHeader, e.PayloadLength))
        problems << QStringLiteral("payload byte sum");
    if (f.at(23) != 0 || f.at(24) != 0)
        problems << QStringLiteral("bytes 23 and 24 not zero");
    const bool heartbeat = e.Class == 0 && e.Code == 8;
    // Before the task the device knows no task: it sends zeros there.
    const QByteArray issued = Header(0, 0, 0, 0).mid(2, 20);
    const QByteArray carried = f.mid(2, 20);
    const bool unknownTask = carried == QByteArray(20, '\0');
    // A heartbeat may still go out without the task while the task is on its way.
    if (carried != issued && !(unknownTask && (!m_taskIssued || (e.Class == 0 && e.Code == 8))))
        problems << QStringLiteral("task number or mileage number not the issued ones");
    if (heartbeat) {
        if (e.Channel != 0 || e.Tag != 0 || e.PayloadLength != 0 || f.at(30) != 0)
            problems << QStringLiteral("heartbeat with channel, tag or payload");
        for (const QString &p : std::as_const(problems))
            Problem(QStringLiteral("heartbeat: ") + p);
        Heartbeat(c, e);
        return;
    }
    e.Number = ++m_numbered;
    if (!m_taskIssued)
        problems << QStringLiteral("frame before the task");

    QByteArray answer;
    const bool parameter = e.Class == 1 && e.Code == 6;
    const bool end = e.Class == 1 && e.Code == 7;
    const bool data = e.Class == 2 && (e.Code == 2 || e.Code == 6);
    const QString text = QStringDecoder("GB2312").decode(f.mid(kHeader));
    if (parameter) {
        if (e.Tag != 0 || e.Channel != 0)
            problems << QStringLiteral("parameter frame with tag %1 channel %2").arg(e.Tag).arg(e.Channel);
        const QString p = CheckParameter(f.mid(kHeader));
        if (!p.isEmpty())
            problems << p;
        answer = Header(1, FaultAt(int(Fault::AskAgain), e.Number) ? 3 : 5, 0, e.Tag);
    } else if (end) {
        if (m_nextTag != m_channels * m_perChannel + 1 || e.Tag != m_nextTag)
            problems << QStringLiteral("end frame with tag %1, expected %2").arg(e.Tag).arg(m_nextTag);
        if (text != m_paramText)
            problems << QStringLiteral("end frame text differs from the parameter frame's");
        answer = Header(1, FaultAt(int(Fault::AskAgain), e.Number) ? 3 : 5, 0, e.Tag);
    } else if (data) {
        const QString p = CheckData(e);
        if (!p.isEmpty())
            problems << p;
        int channel = e.Channel;
        if (FaultAt(int(Fault::AckOtherChannel), e.Number))
            channel = channel % kMaxChannels + 1;
        answer = Header(2, 5, channel, e.Tag);
        if (const FaultEntry *r = FaultAt(int(Fault::ResendFrom), e.Number)) {
            answer = Header(2, 3, e.Channel, r->Param);
            // Only a tag the device has sent can be sent again.
            if (r->Param >= 1 && r->Param <= e.Tag)
                m_nextTag = r->Param;
        }
    } else {
        problems << QStringLiteral("class %1 code %2 is no frame of the device").arg(e.Class).arg(e.Code);
    }
    for (const QString &p : std::as_const(problems))
        Problem(QStringLiteral("#%1: %2").arg(e.Number).arg(p));

    const bool silent = FaultAt(int(Fault::Silence), e.Number);
    const bool accepted = !silent && problems.isEmpty() && quint8(answer.at(1)) == 5
        && (!data || quint8(answer.at(22)) == e.Channel);
    if (accepted) {
        e.Taken = true;
        if (parameter) {
            m_nextTag = 1;
            m_lastTag = 0;
            m_completed = false;
        } else if (end) {
            m_endText = text;
            m_completed = true;
        } else {
            const int k = (e.Tag - 1) % m_perChannel;
            QVector<float> &t = m_traces[size_t((e.Tag - 1) / m_perChannel)];
            std::memcpy(t.data() + k * kPacketSamples, f.constData() + kHeader, size_t(e.PayloadLength));
            m_lastTag = e.Tag;
            m_nextTag = e.Tag + 1;
        }
    }
    m_frames << e;
    Log(QStringLiteral("#%1 conn %2 class %3 code %4 tag %5 ch %6 len %7 -> %8")
            .arg(e.Number).arg(c.Id).arg(e.Class).arg(e.Code).arg(e.Tag).arg(e.Channel).arg(e.PayloadLength)
            .arg(silent ? QStringLiteral("(silence)") : QStringLiteral("%1/%2").arg(int(answer.at(0))).arg(int(answer.at(1)))));
    emit FrameReceived(e.Number);
    if (!silent)
        Answer(c, e, answer);
    if (FaultAt(int(Fault::CloseAfter), e.Number))
        CloseLater(c);
    if (accepted && end)
        emit UploadCompleted();
}

void WitnessUploadServer::Heartbeat(Connection &c, const Frame &e)
{
    m_frames << e;
    if (!m_taskIssued) {
        ++m_beatsBefore;
    } else if (!m_completed) {
        ++m_beatsDuring;
        // The device waits for an answer once it holds the task.
        SendTo(c, Header(0, 8, 0, 0));
    } else {
        ++m_beatsAfter;
    }
    Log(QStringLiteral("heartbeat (conn %1)").arg(c.Id));
}

QString WitnessUploadServer::CheckParameter(const QByteArray &payload)
{
    const QString text = QStringDecoder("GB2312").decode(payload);
    if (!text.startsWith(QStringLiteral(" {")))
        return QStringLiteral("parameter text does not begin with \" {\"");
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (!doc.isObject())
        return QStringLiteral("parameter text does not parse: %1").arg(error.errorString());
    const QJsonObject o = doc.object();
    qsizetype at = 0;
    for (const char *key : kKeys) {
        const QString quotedKey = QLatin1Char('"') + QString::fromUtf8(key) + QStringLiteral("\":");
        const qsizetype found = text.indexOf(quotedKey, at);
        if (!o.contains(QString::fromUtf8(key)) || found < 0)
            return QStringLiteral("parameter text lacks %1 or has it out of order").arg(QString::fromUtf8(key));
        at = found;
    }
    if (o.size() != qsizetype(std::size(kKeys)))
        return QStringLiteral("parameter text has %1 members").arg(o.size());
    if (o.value(QStringLiteral("传感器灵敏度系数")).toArray().size() != kArrayLength
        || o.value(QStringLiteral("传感器增益")).toArray().size() != kArrayLength)
        return QStringLiteral("parameter arrays are not 48 long");
    const int channels = o.value(QStringLiteral("通道数量")).toInt();
    const int samples = o.value(QStringLiteral("采样长度")).toInt();
    if (channels < 1 || channels > kMaxChannels || samples < 1)
        return QStringLiteral("parameters for %1 channels of %2 samples").arg(channels).arg(samples);
    m_paramText = text;
    m_channels = channels;
    m_samples = samples;
    m_perChannel = samples <= kPacketSamples ? 1 : (samples + kPacketSamples - 1) / kPacketSamples;
    m_traces.assign(size_t(channels), QVector<float>(samples, 0.0f));
    return QString();
}

QString WitnessUploadServer::CheckData(const Frame &e) const
{
    if (m_channels == 0)
        return QStringLiteral("data before any parameter frame");
    const int frames = m_channels * m_perChannel;
    if (e.Tag < 1 || e.Tag > frames)
        return QStringLiteral("data tag %1 outside 1…%2").arg(e.Tag).arg(frames);
    if (e.Tag != m_nextTag && e.Tag != m_lastTag)
        return QStringLiteral("data tag %1, expected %2").arg(e.Tag).arg(m_nextTag);
    const int channel = (e.Tag - 1) / m_perChannel;
    const int k = (e.Tag - 1) % m_perChannel;
    if (e.Channel != channel + 1)
        return QStringLiteral("tag %1 on channel %2, expected %3").arg(e.Tag).arg(e.Channel).arg(channel + 1);
    if ((e.Code == 6) != (k == m_perChannel - 1))
        return QStringLiteral("tag %1 with code %2").arg(e.Tag).arg(e.Code);
    const int count = qMin(kPacketSamples, m_samples - k * kPacketSamples);
    if (e.PayloadLength != 4 * count)
        return QStringLiteral("tag %1 carries %2 bytes, expected %3").arg(e.Tag).arg(e.PayloadLength).arg(4 * count);
    return QString();
}

void WitnessUploadServer::Answer(Connection &c, const Frame &e, QByteArray answer)
{
    int delay = 0;
    if (const FaultEntry *f = FaultAt(int(Fault::Delay), e.Number))
        delay = f->Param;
    if (FaultAt(int(Fault::HeartbeatBeforeAck), e.Number))
        answer.prepend(Header(0, 8, 0, 0) + TaskFrame(m_mileage));
    if (const FaultEntry *f = FaultAt(int(Fault::HostilePayloadLength), e.Number)) {
        SendTo(c, Header(0, 8, 0, 0, f->Param), delay);
        delay += kHostileGapMs;
    }
    SendTo(c, answer, delay);
}
