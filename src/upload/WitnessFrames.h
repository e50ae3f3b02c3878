#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

struct UploadRecord;

/// The witness protocol's frames: a 31-byte header in both directions, then
/// a payload (the parameter text or up to 1024 samples).
namespace WitnessLayout {
inline constexpr int kHeaderSize = 31;
inline constexpr int kMaxFrame = 5000;
inline constexpr int kMaxPayload = kMaxFrame - kHeaderSize;
inline constexpr int kSamplesPerPacket = 1024;
/// Tag numbers travel as 16-bit signed numbers; the end frame's is N + 1.
inline constexpr int kMaxTag = 32767;

inline constexpr int kClassPos = 0;
inline constexpr int kCodePos = 1;
inline constexpr int kTaskPos = 2;
inline constexpr int kMileagePos = 6;
inline constexpr int kMileageSize = 16;
inline constexpr int kChannelPos = 22;
inline constexpr int kTagPos = 25;
inline constexpr int kPayloadLengthPos = 27;
inline constexpr int kHeaderSumPos = 29;
inline constexpr int kPayloadSumPos = 30;

inline constexpr quint8 kHeartbeatClass = 0;
inline constexpr quint8 kParameterClass = 1;
inline constexpr quint8 kDataClass = 2;

// Codes sent by the device.
inline constexpr quint8 kParameterCode = 6;
inline constexpr quint8 kEndCode = 7;
inline constexpr quint8 kDataCode = 2;
inline constexpr quint8 kLastDataCode = 6;
inline constexpr quint8 kHeartbeatCode = 8;

// Codes sent by the server.
inline constexpr quint8 kTaskCode = 1;
inline constexpr quint8 kAcceptedCode = 5;
inline constexpr quint8 kAgainCode = 3;
} // namespace WitnessLayout

enum class WitnessKind { Parameter, Data, End, Heartbeat };

/// Packets of 1024 samples per channel: 1 up to 1024 samples, else rounded up.
qint64 WitnessPacketsPerChannel(qint64 samples);

/// The parameter text of the parameter and end frames, in GB2312. Texts are
/// quoted with '"', '\\' and control characters escaped; numbers that a file
/// may hold as not-a-number or infinity are written as finite numbers. May
/// be longer than a frame can carry (the builder then refuses the frame).
QByteArray WitnessParamText(const UploadRecord &record);

/// Builds one frame into frame (5000 bytes) with the task number, mileage
/// number and tag number; data frames also take the channel (0-based) and
/// the packet index within it. Returns 31 plus the payload length, or 0 when
/// the channel or packet is not the record's or the text does not fit.
int BuildWitnessFrame(const UploadRecord *record, WitnessKind kind, qint32 task, const QString &mileage,
                      int tag, int channel, int packetIndex, char *frame);
