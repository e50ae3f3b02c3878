#pragma once

#include "UploadServerBase.h"

#include <QString>
#include <QVector>
#include <vector>

/// Plays the witness server on 127.0.0.1: issues a task on every
/// connection, checks every frame the device sends (byte sums, codes, task
/// and mileage, tag order, channel, sample counts, the parameter text),
/// acknowledges it, keeps the traces, counts heartbeats before the task,
/// during the upload and after the end, and can be told to misbehave.
/// Frames other than heartbeats are numbered 1, 2, … as they arrive (the
/// parameter frame is 1; a frame sent again counts again).
class WitnessUploadServer : public UploadServerBase
{
    Q_OBJECT

public:
    enum class Fault {
        // Before the task (at and times do not matter)
        DelayTask,           ///< the task param ms after the connection
        SplitTask,           ///< the task in two pieces param ms apart
        HeartbeatBeforeTask, ///< a heartbeat frame right before the task, in one write
        EmptyMileageFirst,   ///< a task with an empty mileage first, the real one param ms later
        HostileBeforeTask,   ///< a header announcing param payload bytes, then the task 20 ms later
        NoTask,              ///< never issues a task
        CloseBeforeTask,     ///< closes param ms after the connection, before any task
        // Answers to frame at … at + times − 1
        AskAgain,            ///< parameter/end frame: "send again"
        ResendFrom,          ///< data frame: "resend from tag param" (any number, hostile ones too)
        AckOtherChannel,     ///< data frame: acknowledged for another channel
        HeartbeatBeforeAck,  ///< a server heartbeat and the task again before the answer, in one write
        HostilePayloadLength,///< a header announcing param payload bytes, then the answer 20 ms later
        Delay,               ///< the answer param ms late
        Silence,             ///< no answer; the frame is not taken
        CloseAfter,          ///< closes the connection after answering
    };
    Q_ENUM(Fault)

    /// One frame as it arrived.
    struct Frame
    {
        int Number = 0; ///< 0 for heartbeats
        int Connection = 0;
        int Class = 0;
        int Code = 0;
        int Tag = 0;
        int Channel = 0;
        int PayloadLength = 0;
        bool Taken = false;
    };

    static constexpr qint32 kDefaultTask = 4711;

    explicit WitnessUploadServer(QObject *parent = nullptr);

    /// The task issued on every connection; mileage is sent as it is (at most 16 bytes).
    void SetTask(qint32 number, const QByteArray &mileage);
    void SetFault(Fault fault, int at = 1, int times = 1, int param = 0);

    QList<Frame> Frames() const { return m_frames; }
    /// Frames other than heartbeats received so far.
    int Received() const { return m_numbered; }
    int HeartbeatsBeforeTask() const { return m_beatsBefore; }
    int HeartbeatsDuringUpload() const { return m_beatsDuring; }
    int HeartbeatsAfterEnd() const { return m_beatsAfter; }
    bool TaskIssued() const { return m_taskIssued; }
    bool Completed() const { return m_completed; }
    /// The parameter text of the last parameter frame taken, and of the end frame.
    QString ParameterText() const { return m_paramText; }
    QString EndText() const { return m_endText; }
    int ChannelCount() const { return m_channels; }
    int SampleLength() const { return m_samples; }
    QVector<float> Trace(int channel) const;

signals:
    void FrameReceived(int number);
    void UploadCompleted();

protected:
    void Connected(Connection &connection) override;
    void BytesArrived(Connection &connection) override;

private:
    QByteArray Header(int frameClass, int code, int channel, int tag, int payloadLength = 0) const;
    QByteArray TaskFrame(const QByteArray &mileage) const;
    void IssueTask(Connection &connection);
    void Handle(Connection &connection, const QByteArray &frame);
    void Heartbeat(Connection &connection, const Frame &e);
    QString CheckParameter(const QByteArray &payload);
    QString CheckData(const Frame &e) const;
    void Answer(Connection &connection, const Frame &e, QByteArray answer);

    qint32 m_task = kDefaultTask;
    QByteArray m_mileage = "K12+345";
    QList<Frame> m_frames;
    int m_numbered = 0;
    int m_beatsBefore = 0;
    int m_beatsDuring = 0;
    int m_beatsAfter = 0;
    bool m_taskIssued = false;
    bool m_completed = false;
    QString m_paramText;
    QString m_endText;
    int m_channels = 0;
    int m_samples = 0;
    int m_perChannel = 1;
    int m_nextTag = 0;
    int m_lastTag = 0;
    std::vector<QVector<float>> m_traces;
};
