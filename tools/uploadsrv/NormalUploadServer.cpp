#include "NormalUploadServer.h"

#include <QtEndian>
#include <cstring>

namespace {

constexpr int kFrameSize = 500;
constexpr int kEndSize = 132;
constexpr int kLengthFieldsEnd = 11;
constexpr int kIdentityFrom = 15;
constexpr int kIdentityTo = 90;
constexpr int kShortReply = 27;
constexpr int kLongReply = 150;
constexpr int kDefaultSplitMs = 50;
constexpr int kMaxChannels = 24;
constexpr int kPacketSamples = 100;

qint32 intAt(const QByteArray &f, int pos)
{
    return qFromLittleEndian<qint32>(f.constData() + pos);
}

quint8 sumOf(const QByteArray &f, int count)
{
    quint32 s = 0;
    for (int i = 0; i < count; ++i)
        s += quint8(f.at(i));
    return quint8(s);
}

bool allZero(const QByteArray &f, int from, int to)
{
    for (int i = from; i < to; ++i)
        if (f.at(i) != 0)
            return false;
    return true;
}

QByteArray codeText(int param)
{
    switch (param) {
    case 3: return "VRKe03";
    case 4: return "VRKe04";
    case 9: return "VRKe09";
    default: return "VRKe99";
    }
}

} // namespace

NormalUploadServer::NormalUploadServer(QObject *parent)
    : UploadServerBase(parent)
{
}

void NormalUploadServer::SetFault(Fault fault, int at, int times, int param)
{
    AddFault(int(fault), at, times, param);
}

QVector<float> NormalUploadServer::Trace(int channel) const
{
    return channel >= 0 && size_t(channel) < m_traces.size() ? m_traces[size_t(channel)] : QVector<float>();
}

void NormalUploadServer::BytesArrived(Connection &c)
{
    while (c.Buffer.size() >= kLengthFieldsEnd) {
        if (!c.Buffer.startsWith("VRK")) {
            Problem(QStringLiteral("connection %1: bytes that do not begin a frame").arg(c.Id));
            Drop(c);
            return;
        }
        const qint32 length = intAt(c.Buffer, 3);
        if (length != intAt(c.Buffer, 7) || (length != kFrameSize && length != kEndSize)) {
            Problem(QStringLiteral("connection %1: frame length %2/%3").arg(c.Id).arg(length).arg(intAt(c.Buffer, 7)));
            Drop(c);
            return;
        }
        const int number = Received() + 1;
        if (FaultAt(int(Fault::CloseMidFrame), number)) {
            m_frames << Frame{number, c.Id, 0, -1, 0, 0, false};
            Log(QStringLiteral("#%1 dropped mid-frame").arg(number));
            emit FrameReceived(number);
            Drop(c);
            return;
        }
        if (c.Buffer.size() < length)
            return;
        const QByteArray frame = c.Buffer.left(length);
        c.Buffer.remove(0, length);
        Handle(c, frame);
        if (!c.Socket)
            return;
    }
}

QString NormalUploadServer::Check(const QByteArray &f, Frame &e) const
{
    const int length = int(f.size());
    if (f.mid(11, 3) != "006")
        return QStringLiteral("no \"006\"");
    if (f.at(length - 2) != 'F')
        return QStringLiteral("no \"F\" before the sum");
    if (quint8(f.at(length - 1)) != sumOf(f, length - 1))
        return QStringLiteral("byte sum %1, should be %2").arg(quint8(f.at(length - 1))).arg(sumOf(f, length - 1));
    e.Kind = quint8(f.at(14));
    if ((e.Kind == 14) != (length == kEndSize) || (e.Kind != 11 && e.Kind != 12 && e.Kind != 14))
        return QStringLiteral("kind %1 in a frame of %2 bytes").arg(e.Kind).arg(length);
    if (e.Kind == 11) {
        const int channels = intAt(f, 178);
        const int samples = intAt(f, 186);
        if (channels < 1 || channels > kMaxChannels || samples < 1)
            return QStringLiteral("parameters for %1 channels of %2 samples").arg(channels).arg(samples);
        if (!allZero(f, 126, 130) || !allZero(f, 403, 498))
            return QStringLiteral("parameter frame: reserved bytes not zero");
        return QString();
    }
    if (m_paramFrame.isEmpty())
        return QStringLiteral("kind %1 before any parameter frame").arg(e.Kind);
    if (f.mid(kIdentityFrom, kIdentityTo - kIdentityFrom) != m_paramFrame.mid(kIdentityFrom, kIdentityTo - kIdentityFrom))
        return QStringLiteral("kind %1 under another identity than the parameter frame").arg(e.Kind);
    if (e.Kind == 14) {
        if (!allZero(f, 90, 130))
            return QStringLiteral("end frame: bytes 90…129 not zero");
        if (m_nextChannel < m_channels)
            return QStringLiteral("end frame before channel %1 packet %2").arg(m_nextChannel).arg(m_nextPacket);
        return QString();
    }
    e.Channel = quint8(f.at(90));
    e.Packet = qFromLittleEndian<qint16>(f.constData() + 91);
    e.Count = intAt(f, 93);
    if (e.Channel >= m_channels || e.Packet < 1 || e.Packet > m_perChannel)
        return QStringLiteral("channel %1 packet %2 is not in the record").arg(e.Channel).arg(e.Packet);
    const bool repeat = e.Channel == m_lastChannel && e.Packet == m_lastPacket;
    if (!repeat && (e.Channel != m_nextChannel || e.Packet != m_nextPacket))
        return QStringLiteral("channel %1 packet %2, expected channel %3 packet %4")
            .arg(e.Channel).arg(e.Packet).arg(m_nextChannel).arg(m_nextPacket);
    const int expected = qMin(kPacketSamples, m_samples - (e.Packet - 1) * kPacketSamples);
    if (e.Count != expected)
        return QStringLiteral("channel %1 packet %2 carries %3 samples, expected %4")
            .arg(e.Channel).arg(e.Packet).arg(e.Count).arg(expected);
    if (f.at(97) != 0 || !allZero(f, 98 + 4 * e.Count, 498))
        return QStringLiteral("channel %1 packet %2: bytes beyond the samples not zero").arg(e.Channel).arg(e.Packet);
    return QString();
}

void NormalUploadServer::Take(const QByteArray &f, Frame &e)
{
    e.Taken = true;
    if (e.Kind == 11) {
        m_paramFrame = f;
        m_channels = intAt(f, 178);
        m_samples = intAt(f, 186);
        m_perChannel = (m_samples + kPacketSamples - 1) / kPacketSamples;
        m_traces.assign(size_t(m_channels), QVector<float>(m_samples, 0.0f));
        m_nextChannel = 0;
        m_nextPacket = 1;
        m_lastChannel = -1;
        m_lastPacket = 0;
        m_completed = false;
        return;
    }
    if (e.Kind == 14) {
        m_completed = true;
        return;
    }
    QVector<float> &t = m_traces[size_t(e.Channel)];
    std::memcpy(t.data() + (e.Packet - 1) * kPacketSamples, f.constData() + 98, size_t(4 * e.Count));
    if (e.Channel == m_lastChannel && e.Packet == m_lastPacket)
        return;
    m_lastChannel = e.Channel;
    m_lastPacket = e.Packet;
    if (e.Packet == m_perChannel) {
        ++m_nextChannel;
        m_nextPacket = 1;
    } else {
        ++m_nextPacket;
    }
}

void NormalUploadServer::Handle(Connection &c, const QByteArray &frame)
{
    Frame e;
    e.Number = Received() + 1;
    e.Connection = c.Id;
    const QString problem = Check(frame, e);
    if (!problem.isEmpty())
        Problem(QStringLiteral("#%1: %2").arg(e.Number).arg(problem));
    QByteArray code = problem.isEmpty() ? QByteArray("VRKsok") : QByteArray("VRKe99");
    if (const FaultEntry *f = FaultAt(int(Fault::ReplyCode), e.Number))
        code = codeText(f->Param);
    const bool silent = FaultAt(int(Fault::Silence), e.Number);
    if (problem.isEmpty() && !silent && (code == "VRKsok" || code == "VRKe09"))
        Take(frame, e);
    m_frames << e;
    Log(QStringLiteral("#%1 conn %2 kind %3 ch %4 packet %5 count %6 -> %7")
            .arg(e.Number).arg(e.Connection).arg(e.Kind).arg(e.Channel).arg(e.Packet).arg(e.Count)
            .arg(silent ? QStringLiteral("(silence)") : QString::fromLatin1(code)));
    emit FrameReceived(e.Number);
    if (!silent)
        Reply(c, e, code);
    if (FaultAt(int(Fault::CloseAfter), e.Number))
        CloseLater(c);
    if (m_completed && e.Kind == 14 && e.Taken)
        emit UploadCompleted();
}

void NormalUploadServer::Reply(Connection &c, const Frame &e, const QByteArray &code)
{
    QByteArray reply(kReplySize, '\0');
    std::memcpy(reply.data(), "VRK", 3);
    qToLittleEndian<qint32>(kReplySize, reply.data() + 3);
    qToLittleEndian<qint32>(kReplySize, reply.data() + 7);
    std::memcpy(reply.data() + 11, "006", 3);
    reply[14] = char(e.Kind);
    std::memcpy(reply.data() + 15, code.constData(), 6);
    if (FaultAt(int(Fault::ShortReply), e.Number))
        reply.truncate(kShortReply);
    if (FaultAt(int(Fault::LongReply), e.Number))
        reply.append(kLongReply - reply.size(), '\0');
    int delay = 0;
    if (const FaultEntry *f = FaultAt(int(Fault::Delay), e.Number))
        delay = f->Param;
    if (const FaultEntry *f = FaultAt(int(Fault::SplitReply), e.Number)) {
        const int half = int(reply.size()) / 2;
        SendTo(c, reply.left(half), delay);
        SendTo(c, reply.mid(half), delay + (f->Param > 0 ? f->Param : kDefaultSplitMs));
        return;
    }
    SendTo(c, reply, delay);
    if (const FaultEntry *f = FaultAt(int(Fault::DuplicateReply), e.Number))
        SendTo(c, reply, delay + f->Param);
}
