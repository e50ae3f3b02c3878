#include "UploadReplies.h"

#include "NormalFrames.h"
#include "params/TextCodec.h"

#include <QtEndian>

using namespace WitnessLayout;

namespace {

quint8 byteAt(const QByteArray &f, int pos)
{
    return quint8(f.at(pos));
}

qint16 shortAt(const QByteArray &f, int pos)
{
    return qFromLittleEndian<qint16>(f.constData() + pos);
}

bool isHeader(const QByteArray &f)
{
    return f.size() >= kHeaderSize;
}

} // namespace

void WitnessFrameScanner::Append(const QByteArray &bytes)
{
    m_buffer += bytes;
}

bool WitnessFrameScanner::Next(QByteArray &frame)
{
    if (m_buffer.size() < kHeaderSize)
        return false;
    const int payload = shortAt(m_buffer, kPayloadLengthPos);
    if (payload < 0 || payload > kMaxPayload) {
        // Nothing after a header like this can be trusted to start a frame.
        m_buffer.clear();
        return false;
    }
    const int length = kHeaderSize + payload;
    if (m_buffer.size() < length)
        return false;
    frame = m_buffer.left(length);
    m_buffer.remove(0, length);
    return true;
}

bool IsTaskFrame(const QByteArray &frame)
{
    return isHeader(frame) && byteAt(frame, kCodePos) == kTaskCode;
}

bool ReadTaskFrame(const QByteArray &frame, WitnessTask &task)
{
    if (!IsTaskFrame(frame))
        return false;
    QByteArray raw = frame.mid(kMileagePos, kMileageSize);
    const int zero = raw.indexOf('\0');
    if (zero >= 0)
        raw.truncate(zero);
    const QString mileage = FromGb2312(raw).trimmed();
    if (mileage.isEmpty())
        return false;
    task.Number = qFromLittleEndian<qint32>(frame.constData() + kTaskPos);
    task.Mileage = mileage;
    return true;
}

bool IsUnsolicitedFrame(const QByteArray &frame)
{
    if (!isHeader(frame))
        return false;
    return IsTaskFrame(frame)
        || (byteAt(frame, kClassPos) == kHeartbeatClass && byteAt(frame, kCodePos) == kHeartbeatCode);
}

WitnessVerdict JudgeWitnessReply(WitnessKind sent, int sentChannel, int sentTag, const QByteArray &reply)
{
    WitnessVerdict v;
    if (!isHeader(reply))
        return v;
    const quint8 cls = byteAt(reply, kClassPos);
    const quint8 code = byteAt(reply, kCodePos);
    switch (sent) {
    case WitnessKind::Parameter:
    case WitnessKind::End:
        if (cls == kParameterClass && code == kAcceptedCode)
            v.Result = 1;
        else if (cls == kParameterClass && code == kAgainCode)
            v.Result = 0;
        break;
    case WitnessKind::Data:
        if (cls == kDataClass && code == kAcceptedCode) {
            if (byteAt(reply, kChannelPos) == quint8(sentChannel))
                v.Result = 1;
        } else if (cls == kDataClass && code == kAgainCode) {
            const int tag = shortAt(reply, kTagPos);
            if (tag >= 1 && tag <= sentTag) {
                v.Result = 0;
                v.ResendTag = tag;
            }
        }
        break;
    case WitnessKind::Heartbeat:
        break;
    }
    return v;
}

int JudgeNormalReply(const QByteArray &reply)
{
    using namespace NormalLayout;
    if (reply.size() < kReplyMinLength)
        return 0;
    const QByteArray code = reply.mid(kReplyCodePos, kReplyCodeLength);
    if (code == "VRKsok" || code == "VRKe09")
        return 1;
    if (code == "VRKe03")
        return -3;
    if (code == "VRKe04")
        return -4;
    return 0;
}
