#include "UploadLink.h"

#include "NormalFrames.h"
#include "UploadLog.h"
#include "platform/Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <mutex>

namespace {
constexpr int kWriteWaitMs = 3000;
constexpr int kWitnessWriteWaitMs = 300;
/// Most bytes held from the server at a time; a flood waits in the kernel.
constexpr qint64 kReadBufferBytes = 64 * 1024;
constexpr int kReplyWindows = 3;
/// A normal reply that stops short stays short: judged after this much silence.
constexpr int kReplyQuietMs = 1000;
constexpr int kLoggedReplyBytes = 100;
constexpr int kLoggedFrameBytes = 32;

void logReply(const QByteArray &reply)
{
    if (!lcUpload().isDebugEnabled())
        return;
    for (int i = 0; i < qMin<qsizetype>(reply.size(), kLoggedReplyBytes); ++i) {
        const auto b = quint8(reply.at(i));
        qCDebug(lcUpload, "%d:%02X,%c", i, b, b >= 0x20 && b < 0x7F ? char(b) : '.');
    }
}
} // namespace

UploadLink::UploadLink(CancelCheck cancelled, QObject *parent)
    : QObject(parent)
    , m_cancelled(std::move(cancelled))
{
}

UploadLink::~UploadLink()
{
    Close();
}

void UploadLink::SetServer(const QString &host, quint16 port)
{
    m_host = host;
    m_port = port;
    qCDebug(lcUpload) << "IP:" << host << "port:" << port;
}

void UploadLink::CreateSocket()
{
    m_socket = std::make_unique<QTcpSocket>();
    m_socket->setReadBufferSize(kReadBufferBytes);
    connect(m_socket.get(), &QTcpSocket::connected, this, &UploadLink::connected);
    connect(m_socket.get(), &QTcpSocket::disconnected, this, &UploadLink::disconnected);
    connect(m_socket.get(), &QTcpSocket::errorOccurred, this, &UploadLink::errorOccurred);
}

bool UploadLink::WaitForConnection(int waitMs)
{
    const auto settled = [this] {
        const auto s = m_socket->state();
        return s == QAbstractSocket::ConnectedState || s == QAbstractSocket::UnconnectedState || Cancelled();
    };
    WaitUntil(settled, waitMs);
    return IsConnected();
}

void UploadLink::Reconnect(int waitMs)
{
    if (m_keepConnection && m_socket)
        return;
    Close();
    CreateSocket();
    m_pending.clear();
    m_socket->connectToHost(m_host, m_port, QIODevice::ReadWrite);
    WaitForConnection(waitMs);
    qCDebug(lcUpload) << "connectToHost!!!!!!!!!!";
}

bool UploadLink::ConnectAgain(int waitMs)
{
    if (IsConnected())
        return true;
    if (!m_socket)
        CreateSocket();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        m_socket->connectToHost(m_host, m_port, QIODevice::ReadWrite);
    return WaitForConnection(waitMs);
}

bool UploadLink::IsConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

void UploadLink::Close()
{
    if (!m_socket)
        return;
    m_socket->abort();
    m_socket.reset();
    m_pending.clear();
}

void UploadLink::Drain()
{
    m_pending.clear();
    if (!m_socket)
        return;
    // One pass of this thread's events moves what the kernel holds into the socket.
    QCoreApplication::processEvents();
    m_socket->readAll();
}

bool UploadLink::WriteFrame(const char *frame, int length, int waitMs)
{
    if (m_socket->write(frame, length) != length)
        return false;
    m_socket->flush();
    WaitUntil([this] { return m_socket->bytesToWrite() == 0 || !IsConnected() || Cancelled(); }, waitMs);
    return m_socket->bytesToWrite() == 0 && IsConnected();
}

int UploadLink::ReadUntil(int waitMs, const ReplyTaker &take, int quietMs)
{
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sinceBytes; // started by the first bytes
    for (;;) {
        // Bytes that came before a close are still read and judged.
        if (m_socket->bytesAvailable() > 0) {
            m_pending += m_socket->read(kReadBufferBytes);
            sinceBytes.start();
            if (take(m_pending))
                return 1;
            continue;
        }
        if (Cancelled())
            return 0;
        if (!IsConnected())
            return -1;
        const qint64 left = waitMs - clock.elapsed();
        if (left <= 0)
            return 0;
        qint64 wait = left;
        if (quietMs >= 0 && sinceBytes.isValid()) {
            const qint64 quietLeft = quietMs - sinceBytes.elapsed();
            if (quietLeft <= 0)
                return kQuietAfterBytes;
            wait = qMin(wait, quietLeft);
        }
        WaitUntil([this] { return m_socket->bytesAvailable() > 0 || !IsConnected() || Cancelled(); },
                  int(wait));
        if (m_socket->bytesAvailable() == 0 && IsConnected() && !Cancelled())
            qCDebug(lcUpload) << " No Reading:";
    }
}

int UploadLink::BeginSend(std::unique_lock<QMutex> &busy)
{
    if (!m_socket)
        Reconnect();
    busy = std::unique_lock<QMutex>(m_lock, std::try_to_lock);
    if (!busy.owns_lock()) {
        qCDebug(lcUpload) << "Waiting";
        return 0;
    }
    Reconnect();
    qCDebug(lcUpload, "State:%d", m_socket ? int(m_socket->state()) : -1);
    if (!IsConnected()) {
        qCDebug(lcUpload) << "N0 ConnectedState";
        // A socket that is not connected is not worth keeping for the next send.
        m_keepConnection = false;
        return -1;
    }
    if (!m_socket->isWritable()) {
        qCDebug(lcUpload) << "N0 Writable";
        return 0;
    }
    return 1;
}

int UploadLink::SendOnly(const char *frame, int length)
{
    std::unique_lock<QMutex> busy;
    if (const int ready = BeginSend(busy); ready != 1)
        return ready;
    return WriteFrame(frame, length, kWriteWaitMs) ? 1 : 0;
}

int UploadLink::SendAndWait(const char *frame, int length, QByteArray &reply, int timeUnitMs)
{
    reply.clear();
    std::unique_lock<QMutex> busy;
    qCDebug(lcUpload, "Send:%d", length);
    if (const int ready = BeginSend(busy); ready != 1)
        return ready;
    // A late reply to an earlier frame must not pass for this frame's.
    Drain();
    const auto whole = [](QByteArray &pending) { return pending.size() >= NormalLayout::kReplyMinLength; };
    // Split replies are framed, but a reply that stops short is a short reply,
    // not a reason to wait out the whole deadline three times.
    if (WriteFrame(frame, length, kWriteWaitMs)
        && ReadUntil(kReplyWindows * timeUnitMs, whole, kReplyQuietMs) >= 1) {
        reply = m_pending.left(NormalLayout::kReplyKept);
        logReply(reply);
        qCDebug(lcUpload, "OK Len:%d", int(m_pending.size()));
        m_pending.clear();
        m_keepConnection = true;
        return 1;
    }
    qCDebug(lcUpload, "Faild Len:%d", int(m_pending.size()));
    return 0;
}

int UploadLink::SendAndReceive(const char *frame, int length, int timeUnitMs, const ReplyTaker &take)
{
    std::unique_lock<QMutex> busy;
    if (const int ready = BeginSend(busy); ready != 1)
        return ready;
    if (lcUpload().isDebugEnabled())
        qCDebug(lcUpload) << "sendbuf lenght:" << length
                          << QByteArray(frame, qMin(length, kLoggedFrameBytes)).toHex(' ');
    if (!WriteFrame(frame, length, kWitnessWriteWaitMs))
        return IsConnected() ? 0 : -1;
    return ReadUntil(kReplyWindows * timeUnitMs, take);
}

int UploadLink::Receive(int waitMs, const ReplyTaker &take)
{
    if (!m_socket)
        return -1;
    return ReadUntil(waitMs, take);
}
