#include "QUpLoadCtrl.h"

#include "GatewayLookup.h"
#include "UploadLink.h"
#include "UploadLog.h"
#include "params/ParamSet.h"

#include <QMutexLocker>
#include <QTimer>

#include <array>

using namespace WitnessLayout;

namespace {
/// Longest read for the task before the worker looks at its flags again.
constexpr int kTaskWatchMs = 100;
constexpr int kLoggedBytes = 32;
const char kNoServer[] = "0.0.0.0";
const char kTextTooLong[] = "参数过长，无法上传！";
constexpr int kPausedResult = -3;
} // namespace

QUpLoadCtrl::QUpLoadCtrl(QObject *parent)
    : QObject(parent)
    , m_timings(DefaultUploadTimings())
{
    m_heartbeatTimer = new QTimer(this);
    connect(m_heartbeatTimer, &QTimer::timeout, this, &QUpLoadCtrl::HeartTimeOut);
    m_heartbeatTimer->start(m_timings.HeartbeatMs);
}

QUpLoadCtrl::~QUpLoadCtrl() = default;

QString QUpLoadCtrl::DoneText()
{
    return QStringLiteral("数据完毕");
}

int QUpLoadCtrl::Init(const UploadRecord &record)
{
    m_record = record;
    m_channels = m_record.Channels();
    m_samples = m_record.Samples();
    m_perChannel = int(qMin<qint64>(WitnessPacketsPerChannel(m_samples), kMaxTag));
    m_dataFrames = m_channels * m_perChannel;
    m_channel = 0;
    m_index = 0;
    m_tag = 0;
    m_paramSent = false;
    m_endSent = false;
    return m_dataFrames + 2;
}

QString QUpLoadCtrl::Refusal(const UploadRecord &record)
{
    // The end frame's tag is N + 1 and must fit the 16-bit field.
    const QString refusal = UploadRefusal(record, kSamplesPerPacket, kMaxTag - 1, kMaxTag - 1);
    if (!refusal.isEmpty())
        return refusal;
    if (WitnessParamText(record).size() > kMaxPayload)
        return QString::fromUtf8(kTextTooLong);
    return QString();
}

void QUpLoadCtrl::SetServer(const QString &host, quint16 port)
{
    QMutexLocker lock(&m_serverLock);
    m_host = host;
    m_port = port;
}

bool QUpLoadCtrl::ConnectToServer()
{
    m_connected = false;
    DropLink();
    m_link = std::make_unique<UploadLink>([this] { return m_paused.load(); });
    connect(m_link.get(), &UploadLink::connected, this, &QUpLoadCtrl::onSockOK);
    connect(m_link.get(), &UploadLink::disconnected, this, &QUpLoadCtrl::onSockFailed);
    connect(m_link.get(), &UploadLink::errorOccurred, this, &QUpLoadCtrl::OnSockError);
    QString host;
    quint16 port = 0;
    {
        QMutexLocker lock(&m_serverLock);
        host = m_host;
        port = m_port;
    }
    qCDebug(lcUpload) << "gateway:" << host;
    if (host.isEmpty() || host == QLatin1String(kNoServer))
        return false;
    m_link->SetServer(host, port);
    m_link->SetKeepConnection(false);
    m_link->Reconnect();
    if (!m_link->IsConnected() && !m_link->ConnectAgain())
        return false;
    if (!m_listening && !m_taskHeld) {
        m_listening = true;
        m_scanner.Clear();
    }
    m_link->SetKeepConnection(true);
    m_connected = true;
    return true;
}

bool QUpLoadCtrl::IsLinkUp() const
{
    return m_link && m_link->IsConnected();
}

void QUpLoadCtrl::DropLink()
{
    m_connected = false;
    m_link.reset();
}

void QUpLoadCtrl::Pause(bool flag)
{
    // The link asks this flag during every wait, so a wait for a reply ends.
    m_paused = flag;
}

void QUpLoadCtrl::HeartTimeOut()
{
    if (m_connected)
        m_heartbeatDue = true;
}

void QUpLoadCtrl::OnSockError(QAbstractSocket::SocketError)
{
    emit signalWarning(QStringLiteral("Tcpsocket error!!!"));
}

void QUpLoadCtrl::onSockOK()
{
    emit signalWarning(QStringLiteral("Tcpsocket connected!!!"));
}

void QUpLoadCtrl::onSockFailed()
{
    emit signalWarning(QStringLiteral("Tcpsocket disconnected!!!"));
}

QString QUpLoadCtrl::StatusText(WitnessKind kind, int tag, int result)
{
    QString text;
    switch (kind) {
    case WitnessKind::Parameter:
    case WitnessKind::End:
        text = QStringLiteral("参数包0");
        break;
    case WitnessKind::Data:
        text = QStringLiteral("数据包%1").arg(tag);
        break;
    default:
        text = QStringLiteral("未知数据!!!");
        break;
    }
    return text + (result == 1 ? QStringLiteral("成功!") : result == 0 ? QStringLiteral("重传!")
                                                                       : QStringLiteral("通讯失败,请重传"));
}

bool QUpLoadCtrl::AcceptTask(const QByteArray &frame)
{
    WitnessTask task;
    if (!ReadTaskFrame(frame, task))
        return false;
    m_taskNumber = task.Number;
    m_mileage = task.Mileage;
    m_taskHeld = true;
    m_listening = false;
    emit signalIssuedTask(m_mileage, m_taskNumber);
    return true;
}

int QUpLoadCtrl::OnReadyRead(int waitMs)
{
    if (!m_link)
        return -1;
    // One reader, one buffer kept across reads: a task frame that arrives in
    // pieces, or behind other frames, is still found whole.
    const auto take = [this](QByteArray &pending) {
        m_scanner.Append(pending);
        pending.clear();
        QByteArray frame;
        while (m_scanner.Next(frame))
            if (AcceptTask(frame))
                return true;
        return false;
    };
    const int r = m_link->Receive(waitMs, take);
    if (m_taskHeld) {
        m_scanner.Clear(); // what came behind the task answers nothing we sent
        return 1;
    }
    return r < 0 ? -1 : 0;
}

void QUpLoadCtrl::SendHeartbeatIfDue()
{
    if (!m_heartbeatDue)
        return;
    SendFrame(WitnessKind::Heartbeat);
    m_heartbeatDue = false;
}

int QUpLoadCtrl::SendFrame(WitnessKind kind)
{
    if (m_paused) {
        emit signalWarning(QStringLiteral("上传暂停"));
        return kPausedResult;
    }
    std::array<char, kMaxFrame> frame{};
    const int length = BuildWitnessFrame(&m_record, kind, m_taskNumber, m_mileage, m_tag, m_channel, m_index,
                                         frame.data());
    if (length == 0)
        return -1;
    if (!m_link) {
        qCDebug(lcUpload) << "m_mySock is NULL";
        return -1;
    }
    if (!m_taskHeld) {
        // Before the task nothing answers a heartbeat that the device waits
        // for; whatever comes is read by the task watch.
        m_link->SendOnly(frame.data(), length);
        return 1;
    }
    return Exchange(kind, frame.data(), length);
}

int QUpLoadCtrl::Exchange(WitnessKind kind, const char *frame, int length)
{
    m_link->Drain();
    m_scanner.Clear();
    QByteArray reply;
    const auto take = [&](QByteArray &pending) {
        m_scanner.Append(pending);
        pending.clear();
        QByteArray f;
        while (m_scanner.Next(f)) {
            // The server's heartbeat or a repeated task answers nothing sent
            // here; the wait for the real answer goes on to the same deadline.
            if (kind != WitnessKind::Heartbeat && IsUnsolicitedFrame(f)) {
                qCDebug(lcUpload) << "skipped a frame of code" << int(quint8(f.at(kCodePos)));
                continue;
            }
            reply = f;
            return true;
        }
        return false;
    };
    const int r = m_link->SendAndReceive(frame, length, m_timings.WitnessReplyUnitMs, take);
    if (r < 0)
        return -1;
    if (r == 0)
        return -2;
    if (lcUpload().isDebugEnabled()) {
        qCDebug(lcUpload) << "recvdbuf lenght:" << reply.size() << reply.left(kLoggedBytes).toHex(' ');
        if (kind == WitnessKind::Data)
            qCDebug(lcUpload) << "Current Chnn" << m_channel + 1 << "Recv Chnn" << int(quint8(reply.at(kChannelPos)));
        if (IsUnsolicitedFrame(reply) && !IsTaskFrame(reply))
            qCDebug(lcUpload) << "Heart from server !!!";
    }
    const WitnessVerdict v = JudgeWitnessReply(kind, m_channel + 1, m_tag, reply);
    if (v.ResendTag > 0) {
        qCDebug(lcUpload) << "needTagNum:" << v.ResendTag;
        m_tag = v.ResendTag;
        m_channel = (v.ResendTag - 1) / m_perChannel;
        m_index = (v.ResendTag - 1) % m_perChannel;
    }
    return v.Result;
}

int QUpLoadCtrl::SendUntilAccepted(WitnessKind kind)
{
    for (;;) {
        SendHeartbeatIfDue();
        const int r = SendFrame(kind);
        // Held back by a pause, the frame has not failed: "上传暂停" stays
        // on the label instead of a call to send it again.
        if (r != kPausedResult)
            emit signalWarning(StatusText(kind, m_tag, r));
        if (r != 0)
            return r;
    }
}

int QUpLoadCtrl::RunUpload()
{
    if (!IsLinkUp())
        return -1;
    if (!m_taskHeld) {
        SendHeartbeatIfDue();
        const int r = OnReadyRead(kTaskWatchMs);
        if (r < 0)
            return -1;
        if (r == 0)
            return -4;
    }
    if (!m_paramSent) {
        emit signalWarning(QStringLiteral("正在发送参数包......"));
        if (const int r = SendUntilAccepted(WitnessKind::Parameter); r != 1)
            return r;
        ++m_tag;
        emit signalProgressTagNum(1);
        m_paramSent = true;
    }
    if (m_channel == 0)
        emit signalWarning(QStringLiteral("正在发送数据包......"));
    while (m_channel < m_channels) {
        // Sent again: the same frame, or the one the server asked to go back to.
        if (const int r = SendUntilAccepted(WitnessKind::Data); r != 1)
            return r;
        ++m_tag;
        emit signalProgressTagNum(m_tag);
        if (m_index == m_perChannel - 1) {
            ++m_channel;
            m_index = 0;
        } else {
            ++m_index;
        }
    }
    if (const int r = SendUntilAccepted(WitnessKind::End); r != 1)
        return r;
    emit signalProgressTagNum(m_dataFrames + 2);
    DropLink();
    m_endSent = true;
    return 1;
}

QString WitnessServerAddress()
{
    const QString given = CurrentParams().WitnessGateway;
    return given.isEmpty() ? FindGatewayAddress() : given;
}

quint16 WitnessServerPort()
{
    return quint16(CurrentParams().WitnessPort);
}
