#include "CDataUpLoadThread.h"

#include "NormalFrames.h"
#include "UploadLink.h"
#include "UploadLog.h"
#include "UploadReplies.h"
#include "platform/Wait.h"

#include <QAbstractEventDispatcher>
#include <QMutexLocker>

#include <array>
#include <climits>

using namespace NormalLayout;

namespace {
constexpr int kAttempts = 3;
constexpr int kIdlePassMs = 500;
constexpr int kLoopPauseMs = 100;
constexpr int kAbortedCode = 255;
constexpr int kParameterTag = 0;
constexpr int kDataTag = 1;
constexpr int kEndTag = 2;
} // namespace

CDataUpLoadThread::CDataUpLoadThread(const UploadRecord &record, QObject *parent)
    : QThread(parent)
    , m_record(record)
    , m_timings(DefaultUploadTimings())
{
    m_channels = m_record.Channels();
    m_samples = m_record.Samples();
    m_perChannel = int(qMin<qint64>(PacketsFor(m_samples, kSamplesPerPacket), kMaxPacketNumber));
}

CDataUpLoadThread::~CDataUpLoadThread()
{
    DoHandleAbortUpLoad();
    wait();
}

QString CDataUpLoadThread::DoneText()
{
    return QStringLiteral("数据完毕");
}

QString CDataUpLoadThread::FailureText(int tagType, int iException)
{
    if (tagType == -1)
        return QStringLiteral("服务器连接失败!");
    if (iException == -3)
        return QStringLiteral("设备不存在!");
    if (iException == -4)
        return QStringLiteral("流水号不存在!");
    if (iException == kAbortedCode)
        return QStringLiteral("强制取消");
    return QStringLiteral("未知异常!");
}

QString CDataUpLoadThread::Refusal(const UploadRecord &record)
{
    // Packet numbers are 16-bit; the progress steps, C × T + 2, an int.
    return UploadRefusal(record, kSamplesPerPacket, kMaxPacketNumber, INT_MAX - 2);
}

int CDataUpLoadThread::TagCount() const
{
    return m_channels * m_perChannel + 2;
}

void CDataUpLoadThread::Wake()
{
    if (QAbstractEventDispatcher *d = eventDispatcher())
        d->wakeUp();
}

void CDataUpLoadThread::StartOrResume(const UploadFields &fields)
{
    if (m_runState == Idle && !isRunning()) {
        m_record.Fields = fields;
        m_paused = false;
        m_abort = false;
        m_connected = false;
        start();
        return;
    }
    // Whatever the thread is doing, a pause is never left standing: the
    // thread may still be on its way into the pause when the owner resumes.
    if (!m_paused)
        return;
    {
        QMutexLocker lock(&m_fieldsLock);
        m_newFields = fields;
        m_newFieldsWaiting = true;
    }
    m_connected = false;
    m_paused = false;
    Wake();
}

void CDataUpLoadThread::DoHandleAbortUpLoad()
{
    m_paused = false;
    m_abort = true;
    Wake();
}

void CDataUpLoadThread::SleepWhile(const std::function<bool()> &keepSleeping, int ms)
{
    WaitUntil([&] { return !keepSleeping(); }, ms);
}

void CDataUpLoadThread::run()
{
    while (!m_abort) {
        while (m_paused && !m_abort) {
            m_runState = Paused;
            SleepWhile([this] { return m_paused && !m_abort; }, kIdlePassMs);
        }
        if (m_abort)
            break;
        m_runState = Running;
        TakeNewFields();
        if (!m_connected)
            ConnectToServer();
        if (m_abort)
            break;
        if (m_connected) {
            if (SendAll() == 1)
                break;
            m_paused = true;
        }
        SleepWhile([this] { return !m_abort && m_paused; }, kLoopPauseMs);
    }
    m_link.reset();
    m_runState = Idle;
    emit signalProcessFinished();
}

void CDataUpLoadThread::TakeNewFields()
{
    QMutexLocker lock(&m_fieldsLock);
    if (!m_newFieldsWaiting)
        return;
    m_newFieldsWaiting = false;
    if (m_newFields == m_record.Fields)
        return;
    // Data frames carry the identity too: a server that got the parameter
    // frame under other fields, or another server, has to get it again.
    m_record.Fields = m_newFields;
    m_paramSent = false;
    m_channel = 0;
    m_index = 0;
    qCDebug(lcUpload) << "upload fields changed: starting again from the parameter frame";
}

void CDataUpLoadThread::ConnectToServer()
{
    if (!m_link)
        m_link = std::make_unique<UploadLink>([this] { return m_abort.load(); });
    const QString host = m_record.Fields.ServerHost();
    qCDebug(lcUpload) << host;
    const int port = m_record.Fields.ServerPort;
    m_link->SetServer(host, quint16(port));
    m_link->SetKeepConnection(false);
    m_link->Reconnect();
    const bool ok = port > 0 && port <= 0xFFFF && (m_link->IsConnected() || m_link->ConnectAgain());
    if (ok) {
        // The first frame goes on this connection, not on yet another one.
        m_link->SetKeepConnection(true);
        m_connected = true;
        emit signalSetWarning(QStringLiteral("连接成功"));
        emit signalTagCount(TagCount());
    } else if (!m_abort) {
        m_paused = true;
        emit signalTranslateException(-1, -1, -1, -1);
    }
}

int CDataUpLoadThread::Fail(int tagType, int result)
{
    emit signalTranslateException(tagType, -1, -1, m_abort ? kAbortedCode : result);
    return m_abort ? 0 : result;
}

int CDataUpLoadThread::SendAll()
{
    if (!m_link)
        return -1;
    emit signalSetWarning(QStringLiteral("正在发送参数......"));
    if (!m_paramSent) {
        const int r = SendPacket(Frame::Parameter);
        if (r != 1)
            return Fail(kParameterTag, r);
        emit signalOneTagProcessed(1);
        m_paramSent = true;
    }
    emit signalSetWarning(QStringLiteral("正在发送数据......"));
    while (m_channel < m_channels) {
        const int r = SendPacket(Frame::Data);
        if (r != 1)
            return Fail(kDataTag, r);
        emit signalOneTagProcessed(m_index + m_perChannel * m_channel + 2);
        if (m_index == m_perChannel - 1) {
            ++m_channel;
            m_index = 0;
        } else {
            ++m_index;
        }
    }
    emit signalSetWarning(QStringLiteral("正在发送结束包......"));
    const int r = SendPacket(Frame::End);
    if (r != 1)
        return Fail(kEndTag, r);
    emit signalSetWarning(DoneText());
    return 1;
}

int CDataUpLoadThread::SendPacket(Frame kind)
{
    // Nothing is sent once the owner has given up: an abort never passes
    // for an accepted frame.
    if (m_abort)
        return 0;
    std::array<char, kFrameSize> frame{};
    int length = 0;
    switch (kind) {
    case Frame::Parameter:
        length = BuildParamPacket(&m_record, frame.data());
        break;
    case Frame::Data:
        length = BuildDataPacket(&m_record, frame.data(), m_channel, m_index + 1,
                                 qMin(m_samples - kSamplesPerPacket * m_index, kSamplesPerPacket));
        break;
    case Frame::End:
        length = BuildEndPacket(&m_record, frame.data());
        break;
    }
    if (length == 0)
        return 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        QByteArray reply;
        if (m_link->SendAndWait(frame.data(), length, reply, m_timings.NormalReplyUnitMs) == 1)
            return JudgeNormalReply(reply);
        if (m_abort)
            break;
        SleepWhile([this] { return !m_abort; }, m_timings.RetryPauseMs);
        if (m_abort)
            break;
        // A reply still on its way to the old connection must not be read
        // as the answer to the next attempt.
        m_link->SetKeepConnection(false);
    }
    return 0;
}
