#pragma once

#include "UploadServerBase.h"

#include <QVector>
#include <vector>

/// Plays the data server of the normal upload on 127.0.0.1: checks every
/// frame (lengths, "006", kind, "F", byte sum, order, identity), answers
/// with a result code, keeps the traces it was sent, and can be told to
/// misbehave at any frame. Frames are numbered 1, 2, … in the order they
/// arrive, over all connections (a frame sent again counts again).
class NormalUploadServer : public UploadServerBase
{
    Q_OBJECT

public:
    enum class Fault {
        ReplyCode,      ///< answers with code param: 3 "VRKe03", 4 "VRKe04", 9 "VRKe09", else "VRKe99"
        ShortReply,     ///< a 27-byte reply holding "VRKsok"
        SplitReply,     ///< the reply in two pieces param ms apart
        LongReply,      ///< a 150-byte reply
        DuplicateReply, ///< the reply twice, the second param ms later
        Delay,          ///< the reply param ms late
        Silence,        ///< no reply; the frame is not taken
        CloseAfter,     ///< closes the connection after answering
        CloseMidFrame,  ///< drops the connection as the frame arrives, unanswered
    };
    Q_ENUM(Fault)

    /// One frame as it arrived.
    struct Frame
    {
        int Number = 0;
        int Connection = 0;
        int Kind = 0;
        int Channel = -1;
        int Packet = 0;
        int Count = 0;
        bool Taken = false; ///< accepted and stored
    };

    static constexpr int kReplySize = 28;

    explicit NormalUploadServer(QObject *parent = nullptr);

    /// Applies fault to frames at … at + times − 1 (times < 0: all later ones).
    void SetFault(Fault fault, int at, int times = 1, int param = 0);

    QList<Frame> Frames() const { return m_frames; }
    int Received() const { return int(m_frames.size()); }
    /// True once the end frame was taken after every data frame.
    bool Completed() const { return m_completed; }
    int ChannelCount() const { return m_channels; }
    int SampleLength() const { return m_samples; }
    /// The last parameter frame taken, all 500 bytes.
    QByteArray ParameterFrame() const { return m_paramFrame; }
    /// The samples of channel (0-based) as they arrived.
    QVector<float> Trace(int channel) const;

signals:
    void FrameReceived(int number);
    void UploadCompleted();

protected:
    void BytesArrived(Connection &connection) override;

private:
    void Handle(Connection &connection, const QByteArray &frame);
    QString Check(const QByteArray &frame, Frame &entry) const;
    void Take(const QByteArray &frame, Frame &entry);
    void Reply(Connection &connection, const Frame &entry, const QByteArray &code);

    QList<Frame> m_frames;
    QByteArray m_paramFrame;
    int m_channels = 0;
    int m_samples = 0;
    int m_perChannel = 0;
    int m_nextChannel = 0;
    int m_nextPacket = 1;
    int m_lastChannel = -1;
    int m_lastPacket = 0;
    bool m_completed = false;
    std::vector<QVector<float>> m_traces;
};
