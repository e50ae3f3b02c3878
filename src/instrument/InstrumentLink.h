#pragma once

#include "LinkOwner.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QVector>

/// Result of a command that timed out, was refused or got the wrong reply.
constexpr int kLinkFailed = -1;
/// Wait for a plain command's reply.
constexpr int kCommandWaitMs = 5000;
/// Wait for one channel's samples.
constexpr int kDataWaitMs = 30000;

/// The client side of the unit's command protocol: one command at a time over
/// the process-wide instrument socket, each waiting for its reply while the
/// event loop keeps the screens alive. Replies are filed into the trace store.
class InstrumentLink : public QObject, public LinkDialogOwner
{
    Q_OBJECT

public:
    /// owner is told about button refreshes, closing and link failures; may be null.
    explicit InstrumentLink(LinkOwner *owner, QObject *parent = nullptr);
    ~InstrumentLink() override;

    /// Makes sure the instrument socket exists and routes its four signals here.
    void AttachSocket();
    /// Stops routing the socket's signals here (the link is handed over or closing).
    void DetachSocket();

    int GetConnectStates();
    /// Asks for the version byte; the reply also sets the hardware version text.
    int GetVersion();
    int GetBattery();
    /// Sends the parameter frame; bAutoCheck puts the unit in self-check mode.
    /// Settings the frame cannot carry (UnsendableSettingText) are not sent: −1.
    int SetPara(bool bAutoCheck = false);
    int StartSample();
    /// 1 once the unit has triggered.
    int GetSampleStates();
    /// 1 once the unit has finished acquiring.
    int GetSampleFinishStates();
    int GetSampleDataH();
    /// Stops the unit; a stop before new data puts the previous picture back.
    int SetStopSample();
    /// Fetches and files one channel (1-based); 1 on success, −1 otherwise.
    int GetSampleData(int ch);
    /// Waits up to timeMS for the reply to the command just sent; −1 when a
    /// wait is already running, on time-out, link failure or stop request.
    int GetSockAnswer(int timeMS = kCommandWaitMs);

    /// Starts a new connection attempt to the instrument address of the current parameters.
    void Connect() override;
    bool IsWaiting() const override { return m_waiting; }
    /// The owning screen ends a wait by force (its Clear and the self-check's end do).
    void SetWaiting(bool waiting) { m_waiting = waiting; }
    /// The owning screen is closing: socket events then only finish the close.
    void SetClosing(bool closing) { m_closing = closing; }
    bool IsClosing() const { return m_closing; }

    /// Value of the last recognised reply; −1 while a reply is pending.
    int Answer() const { return m_answer; }
    /// Letter of the last recognised reply, as received.
    char ReplyLetter() const { return m_replyLetter; }
    /// A reply has arrived since the last command was sent.
    bool Replied() const { return m_replied; }

    /// Shortens the waits (tests of a unit that answers wrongly or not at all).
    void SetWaitLimits(int commandMs, int dataMs)
    {
        m_commandWaitMs = commandMs;
        m_dataWaitMs = dataMs;
    }

    /// Connection texts the connection dialog shows.
    static QString ConnectFailedText();
    static QString ConnectionLostText();

signals:
    /// A reply that is not the one the waiting command expects was dropped
    /// (letter as received; channel of a data reply, 0 for a short one).
    void ReplyDropped(char letter, int channel);

public slots:
    void onSockRead();
    void OnSockError(QAbstractSocket::SocketError e);
    void onSockOK();
    void onSockFailed();

private:
    /// Sends frame and waits; −1 unless the reply carries expectedLetter.
    int command(const QByteArray &frame, char expectedLetter, int waitMs);
    /// Sends frame; unless a wait is already running (its own wait will be
    /// refused), the pending answer is reset and expectedLetter awaited.
    void send(const QByteArray &frame, char expectedLetter);
    /// The wait is over: replies no longer need to match a command.
    void endExpectation();
    /// Drops a reply that does not answer the command awaited.
    bool dropUnexpected(char letter, int channel);
    void handleDataReply(int received);
    bool waitCutShort() const;
    QObject *socketParent();

    LinkOwner *m_owner = nullptr;
    int m_answer = kLinkFailed;
    char m_replyLetter = 0;
    bool m_replied = false;        // a reply to the last command arrived
    int m_expectedChannel = 0;     // channel of the data request outstanding, 0 for none
    char m_expectedLetter = 0;     // letter the running wait accepts, 0 outside a command
    int m_commandWaitMs = kCommandWaitMs;
    int m_dataWaitMs = kDataWaitMs;
    bool m_waiting = false;
    bool m_closing = false;
    QByteArray m_buffer;           // one received datagram
    QVector<float> m_amplitudes;   // one channel, converted
};
