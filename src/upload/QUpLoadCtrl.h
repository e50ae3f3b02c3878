#pragma once

#include "UploadRecord.h"
#include "UploadReplies.h"
#include "UploadTimings.h"
#include "WitnessFrames.h"

#include <QAbstractSocket>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QTimer;
class UploadLink;

/// The witness protocol's controller: connects to the witness server, waits
/// for the task it issues, then sends the parameter frame, the data frames
/// and the end frame under that task, each acknowledged, with a heartbeat
/// every 2 s. Built on the interface thread (its heartbeat timer runs
/// there); its worker (QUpLoadThread) calls ConnectToServer() and
/// RunUpload() on its own thread, where the link lives and dies.
class QUpLoadCtrl : public QObject
{
    Q_OBJECT

public:
    explicit QUpLoadCtrl(QObject *parent = nullptr);
    ~QUpLoadCtrl() override;

    /// Takes the record to send and starts from its first frame; returns
    /// N + 2, the number of progress steps. Only while no worker runs.
    int Init(const UploadRecord &record);
    /// Why this record cannot go out by this protocol; empty when it can.
    static QString Refusal(const UploadRecord &record);

    /// Where ConnectToServer() goes next ("0.0.0.0": nowhere, it fails).
    void SetServer(const QString &host, quint16 port);
    /// Drops any link and connects to the server. Worker thread.
    bool ConnectToServer();
    /// Runs the upload from where it stands: 1 when the end frame has been
    /// accepted; -4 no task yet; -3 paused; -2 no valid reply; -1 no link
    /// (the connection is gone). Worker thread.
    int RunUpload();
    /// Sends one frame of kind: 1 accepted, 0 send again, -1 no frame or no
    /// link, -2 no valid reply, -3 paused. Worker thread.
    int SendFrame(WitnessKind kind);
    void SendHeartbeatIfDue();
    /// Reads what arrives within waitMs and takes the task from it when one
    /// is there: 1 task held, 0 not yet, -1 the connection is gone. Worker thread.
    int OnReadyRead(int waitMs);
    /// Sets or clears paused; a wait for a reply ends at once.
    void Pause(bool flag);
    /// True while the link to the server is up. Worker thread.
    bool IsLinkUp() const;
    /// Closes and drops the link; the worker calls it before it ends.
    void DropLink();

    bool TaskHeld() const { return m_taskHeld; }
    bool EndSent() const { return m_endSent; }

    /// "参数包0"/"数据包n"/"未知数据!!!" followed by the verdict on result.
    static QString StatusText(WitnessKind kind, int tag, int result);
    static QString DoneText();

signals:
    void signalIssuedTask(QString mileage, int task);
    void signalWarning(QString text);
    void signalProgressTagNum(int value);

public slots:
    void HeartTimeOut();
    void OnSockError(QAbstractSocket::SocketError error);
    void onSockOK();
    void onSockFailed();

private:
    bool AcceptTask(const QByteArray &frame);
    /// Sends kind again as long as the server asks for it; the first other result.
    int SendUntilAccepted(WitnessKind kind);
    int Exchange(WitnessKind kind, const char *frame, int length);

    UploadRecord m_record;
    const UploadTimings m_timings;
    QTimer *m_heartbeatTimer = nullptr;
    QMutex m_serverLock;
    QString m_host;
    quint16 m_port = 0;
    std::unique_ptr<UploadLink> m_link; ///< worker thread only
    WitnessFrameScanner m_scanner;      ///< worker thread only

    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_heartbeatDue{false};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_taskHeld{false};
    std::atomic<bool> m_endSent{false};

    // Worker thread only, once it runs.
    qint32 m_taskNumber = 0;
    QString m_mileage;
    bool m_paramSent = false;
    bool m_listening = false;
    int m_channel = 0;
    int m_index = 0;
    int m_channels = 0;
    int m_samples = 0;
    int m_perChannel = 1;
    int m_dataFrames = 0;
    int m_tag = 0;
};

/// Where the witness server is: the gateway given on the command line for
/// this run, or the default gateway of the interface that carries the local
/// address; "0.0.0.0" when there is none. Interface thread.
QString WitnessServerAddress();
/// The witness server's port (5555 unless the command line says otherwise).
quint16 WitnessServerPort();
