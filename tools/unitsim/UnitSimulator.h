#pragma once

#include "ShotModel.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <array>
#include <map>

class QUdpSocket;

/// Plays the acquisition unit on 127.0.0.1: answers every command of the
/// unit's protocol, takes realistic surface-wave shots, and can be told to
/// misbehave at any step so that tests can watch the program cope.
class UnitSimulator : public QObject
{
    Q_OBJECT

public:
    /// Ways a reply to one command letter can go wrong.
    enum class Fault {
        NoReply,      ///< the command is swallowed
        WrongLetter,  ///< the reply carries another command's letter (param: that letter, 0 = the next one)
        LateReply,    ///< the reply leaves param milliseconds late
        WrongChannel, ///< a data request is answered with another channel (param: that channel, 0 = the next one)
        StaleFirst,   ///< a late copy of the previous reply arrives first, the right reply param ms after it (0: 50 ms)
    };
    Q_ENUM(Fault)

    explicit UnitSimulator(QObject *parent = nullptr);
    ~UnitSimulator() override;

    /// Binds 127.0.0.1 at port (0: an ephemeral one); false when the port is taken.
    bool Start(quint16 port = 0);
    /// Closes the socket: the unit is gone, the program's next command is refused.
    void Stop();
    bool IsRunning() const;
    quint16 Port() const { return m_port; }

    // --- the unit ---------------------------------------------------------
    void SetSeed(quint32 seed) { m_model.SetSeed(seed); }
    void SetVersionByte(quint8 v) { m_versionByte = v; }
    void SetBattery(int level) { m_battery = level; }
    /// Answer to the connection check 'a' (1 present; 0 makes the check fail).
    void SetConnectAnswer(int answer) { m_connectAnswer = answer; }
    /// External trigger: fires this long after start; negative waits for TriggerNow().
    void SetTriggerWaitMs(int ms) { m_triggerWaitMs = ms; }
    /// Fires the external trigger of the running acquisition at once.
    void TriggerNow() { m_triggerRequested = true; }
    /// Acquisition time as a share of the record's real length (0: finished at once).
    void SetTimeScale(double scale) { m_timeScale = scale; }
    /// Delay of every reply in milliseconds (0: on the next event-loop pass).
    void SetReplyDelayMs(int ms) { m_replyDelayMs = ms; }
    void SetGeometry(double offsetM, double spacingM) { m_model.SetGeometry(offsetM, spacingM); }
    /// Log every command and reply to the debug console.
    void SetVerbose(bool on) { m_verbose = on; }

    // --- faults -------------------------------------------------------------
    /// Applies fault to the replies to letter, times times (negative: until cleared);
    /// replaces an earlier fault of that letter.
    void SetFault(char letter, Fault fault, int param = 0, int times = -1);
    void ClearFaults();
    /// Answers the next times commands letter with datagram instead of the real reply.
    void SetReplyOverride(char letter, const QByteArray &datagram, int times = 1);
    /// Answers the next commands commands, then stays silent (negative: never silent).
    void SetSilentAfter(int commands);

    // --- self-check noise -----------------------------------------------------
    /// Shapes a 1-based channel's noise in self-check mode (a DC level, a dead
    /// channel, a downward swing); the other channels keep the model's noise.
    void SetSelfCheckNoise(int channel, const SelfCheckChannel &shape)
    {
        m_model.SetSelfCheckChannel(channel, shape);
    }
    void ClearSelfCheckNoise() { m_model.ClearSelfCheckChannels(); }

    // --- the site ---------------------------------------------------------------
    /// Traffic bursts, a noisy and a dead geophone in every record but the self-check's.
    void SetSiteNoise(const SiteNoise &site) { m_model.SetSiteNoise(site); }
    // --- faults of the geophones and cables in field shots ---------------------
    /// Gives a 1-based channel a fault (dead, clipped, reversed, hum, noisy or
    /// a combination); the other channels stay as they were.
    void SetSensorFault(int channel, const SensorFault &fault) { m_model.SetSensorFault(channel, fault); }
    /// Swaps the cables of two channels.
    void SwapChannels(int a, int b) { m_model.SwapChannels(a, b); }
    void ClearSensorFaults() { m_model.ClearSensorFaults(); }

    // --- faults of the acquisition sequence --------------------------------
    /// Applies fault to the data requests of one channel, times times
    /// (negative: until cleared); takes precedence over a fault of 'j'.
    void SetChannelFault(int channel, Fault fault, int times = -1);
    /// Sends the reply to letter twice, for the next times commands letter.
    void SetDuplicateReply(char letter, int times = 1);
    /// Every command received so far, in order: its letter, and for data
    /// requests the channel after it ("d", "e", "f", "j3").
    QStringList CommandLog() const { return m_commandLog; }

    // --- what the unit saw --------------------------------------------------
    int Received(char letter) const;
    int ReceivedTotal() const { return m_receivedTotal; }
    int RepliesSent() const { return m_repliesSent; }
    /// Channel numbers of the data requests, in order.
    QList<int> ChannelRequests() const { return m_channelRequests; }
    void ResetCounters();
    /// The last parameter frame, raw and decoded.
    QByteArray LastParaFrame() const { return m_lastParaFrame; }
    UnitParams Params() const { return m_params; }
    /// Shots prepared so far (one per data header request).
    int ShotCount() const { return m_shot; }
    /// The samples the unit sends for a channel of the current shot.
    QVector<qint16> ChannelSamples(int channel) const;
    const ShotModel &Model() const { return m_model; }

signals:
    void CommandReceived(char letter);
    void ReplySent(char letter);

private:
    struct FaultEntry
    {
        Fault fault;
        int param;
        int times;
    };

    void onReadyRead();
    void handle(const QByteArray &request, const QHostAddress &from, quint16 port);
    QByteArray replyFor(char letter, const QByteArray &request);
    QByteArray shortReply(char letter, int value) const;
    QByteArray dataReply(int channel) const;
    void queueReply(const QByteArray &reply, char letter, int delayMs, const QHostAddress &to,
                    quint16 port);
    /// The fault planned for letter, used up once; false when none.
    bool takeFault(char letter, FaultEntry &out);
    /// The fault planned for this request (its channel's first, then its letter's).
    bool takeRequestFault(char letter, int channel, FaultEntry &out);
    bool triggered();
    /// When the record being fetched began on the unit's clock, in seconds.
    double recordStartSeconds() const;

    QUdpSocket *m_socket = nullptr;
    quint16 m_port = 0;
    quint64 m_epoch = 0; // replies queued before a stop are never sent

    ShotModel m_model;
    UnitParams m_params;
    QByteArray m_lastParaFrame;
    quint8 m_versionByte = 0x9B;
    int m_battery = 8;
    int m_connectAnswer = 1;
    int m_triggerWaitMs = 1500;
    double m_timeScale = 1.0;
    int m_replyDelayMs = 0;
    bool m_verbose = false;

    bool m_armed = false;
    bool m_triggerRequested = false;
    bool m_isTriggered = false;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceTrigger;
    QElapsedTimer m_clock; ///< the unit's own time, for the site's traffic
    int m_shot = 0;

    std::map<char, FaultEntry> m_faults; // one fault per command letter
    std::map<int, FaultEntry> m_channelFaults; // per data channel
    std::map<char, int> m_duplicates;          // replies still to be sent twice
    QByteArray m_lastReply;                    // the reply queued last, for a stale copy
    char m_lastReplyLetter = 0;
    QStringList m_commandLog;
    std::map<char, std::pair<QByteArray, int>> m_overrides;
    int m_silentAfter = -1;

    std::array<int, 26> m_received{};
    int m_receivedTotal = 0;
    int m_repliesSent = 0;
    QList<int> m_channelRequests;
};
