#pragma once

// Everything that reads bytes a server sent. The bytes are other parties'
// and may be anything: nothing here reads outside them or keeps more than
// one frame's worth.
#include "WitnessFrames.h"

#include <QByteArray>
#include <QString>

/// Cuts the witness server's byte stream into whole frames. Bytes are
/// appended as they arrive; a frame is handed out once its 31-byte header and
/// the payload it announces are all there. A header announcing a payload
/// outside 0…4969 bytes cannot be a frame: everything buffered is dropped.
class WitnessFrameScanner
{
public:
    void Append(const QByteArray &bytes);
    /// The next whole frame (header and payload) into frame; false when none is complete yet.
    bool Next(QByteArray &frame);
    void Clear() { m_buffer.clear(); }
    /// Bytes of an incomplete frame waiting for the rest (always below 5000 after Next() said false).
    int Buffered() const { return int(m_buffer.size()); }

private:
    QByteArray m_buffer;
};

/// A task issued by the witness server.
struct WitnessTask
{
    qint32 Number = 0;
    QString Mileage;
};

/// True when frame (at least 31 bytes) carries the task code.
bool IsTaskFrame(const QByteArray &frame);
/// Reads a task frame: the number from bytes 2…5, the mileage number from
/// bytes 6…21 up to the first zero, white space trimmed. False when frame is
/// not a task frame or its mileage number is empty (the task is not taken).
bool ReadTaskFrame(const QByteArray &frame, WitnessTask &task);

/// A frame the server may send at any moment and that answers nothing the
/// device sent: its heartbeat, or the task frame again.
bool IsUnsolicitedFrame(const QByteArray &frame);

/// What a witness reply means for the frame just sent.
struct WitnessVerdict
{
    int Result = -2;    ///< 1 accepted, 0 send again (ResendTag says from where), -2 no valid reply
    int ResendTag = 0;  ///< for a resend request: the tag to go back to (1…the tag just sent), else 0
};

/// Judges reply (a whole frame) to the frame of kind sent with channel byte
/// sentChannel (data frames: channel + 1) and tag sentTag. A resend request
/// is honoured only for a tag from 1 to sentTag: others were never sent.
WitnessVerdict JudgeWitnessReply(WitnessKind sent, int sentChannel, int sentTag, const QByteArray &reply);

/// A normal server's reply: 1 accepted ("VRKsok", and "VRKe09"), -3 "VRKe03"
/// (no such device), -4 "VRKe04" (no such serial number), 0 anything else,
/// including a reply shorter than 28 bytes.
int JudgeNormalReply(const QByteArray &reply);
