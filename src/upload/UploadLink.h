#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

class QTcpSocket;

/// The TCP client of both upload protocols. Created, used and deleted on the
/// thread of the worker that owns it; every wait runs that thread's events
/// and asks the owner's cancel check at least every 100 ms, so that a pause
/// or an abort ends any wait (connect, write, reply) at once.
class UploadLink : public QObject
{
    Q_OBJECT

public:
    /// True when the owner wants the current wait to end.
    using CancelCheck = std::function<bool()>;
    /// Given everything received and not yet taken, says whether a whole
    /// reply is there; it may take bytes out of pending.
    using ReplyTaker = std::function<bool(QByteArray &pending)>;

    static constexpr int kConnectWaitMs = 5000;
    static constexpr int kConnectAgainWaitMs = 10000;

    explicit UploadLink(CancelCheck cancelled, QObject *parent = nullptr);
    ~UploadLink() override;

    void SetServer(const QString &host, quint16 port);
    void SetKeepConnection(bool keep) { m_keepConnection = keep; }
    bool KeepConnection() const { return m_keepConnection; }
    /// Without keep connection: drops the socket and connects anew, waiting
    /// up to waitMs. With it and a socket: nothing.
    void Reconnect(int waitMs = kConnectWaitMs);
    /// Connects again when the socket is not connected and waits up to
    /// waitMs; true when connected.
    bool ConnectAgain(int waitMs = kConnectAgainWaitMs);
    bool IsConnected() const;
    /// Aborts and drops the socket.
    void Close();
    /// Reads and throws away whatever has arrived.
    void Drain();

    /// Writes frame and waits until it is written. 1 sent, 0 busy or not
    /// written, -1 not connected. Reads nothing: whatever arrives stays for
    /// Receive().
    int SendOnly(const char *frame, int length);
    /// Normal protocol: drops stale bytes, writes frame, then collects the
    /// reply until at least 28 bytes are there, bytes have stopped coming for
    /// a second with fewer in hand (a short reply, for the caller to judge),
    /// the 3 × timeUnitMs deadline passes, or the owner cancels. reply gets
    /// its first 100 bytes. 1 when a reply came (the connection is then
    /// kept), 0 when none, -1 not connected.
    int SendAndWait(const char *frame, int length, QByteArray &reply, int timeUnitMs);
    /// Witness protocol: writes frame, then hands what arrives to take until
    /// it has a reply, the 3 × timeUnitMs deadline passes or the owner
    /// cancels. 1 reply taken, 0 none, -1 not connected or connection lost.
    int SendAndReceive(const char *frame, int length, int timeUnitMs, const ReplyTaker &take);
    /// Hands what arrives within waitMs to take. 1 taken, 0 nothing whole
    /// yet (or cancelled), -1 the connection is gone.
    int Receive(int waitMs, const ReplyTaker &take);

signals:
    void connected();
    void disconnected();
    void errorOccurred(QAbstractSocket::SocketError error);

private:
    /// Connects when needed and takes the lock for one send: 1 ready to
    /// write (busy then holds the lock), 0 busy or not writable, -1 not connected.
    int BeginSend(std::unique_lock<QMutex> &busy);
    void CreateSocket();
    bool WaitForConnection(int waitMs);
    bool WriteFrame(const char *frame, int length, int waitMs);
    /// 1 taken, 0 time out or cancelled, -1 connection gone; with quietMs ≥ 0
    /// also kQuietAfterBytes once bytes came but none more for quietMs.
    int ReadUntil(int waitMs, const ReplyTaker &take, int quietMs = -1);
    static constexpr int kQuietAfterBytes = 2;
    bool Cancelled() const { return m_cancelled && m_cancelled(); }

    CancelCheck m_cancelled;
    std::unique_ptr<QTcpSocket> m_socket;
    QString m_host;
    quint16 m_port = 0;
    bool m_keepConnection = false;
    /// Held for one send; a second send meanwhile returns at once.
    QMutex m_lock;
    QByteArray m_pending;
};
