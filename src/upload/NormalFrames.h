#pragma once

#include <QByteArray>
#include <QtGlobal>

struct RecordHeader;
struct UploadRecord;

/// The normal protocol's frames: fixed 500-byte frames (132 for the end)
/// beginning with "VRK", answered by the server with a six-letter code.
namespace NormalLayout {
inline constexpr int kFrameSize = 500;
inline constexpr int kEndFrameSize = 132;
inline constexpr int kHeadSize = 90;
inline constexpr int kSamplesPerPacket = 100;
/// Packet numbers travel as 16-bit signed numbers.
inline constexpr int kMaxPacketNumber = 32767;

inline constexpr quint8 kParameterKind = 11;
inline constexpr quint8 kDataKind = 12;
inline constexpr quint8 kEndKind = 14;

// Common head.
inline constexpr int kMagicPos = 0;
inline constexpr int kLengthPos = 3;
inline constexpr int kLengthAgainPos = 7;
inline constexpr int kVersionPos = 11;
inline constexpr int kKindPos = 14;
inline constexpr int kInstrumentPos = 15;
inline constexpr int kInstrumentWidth = 24;
inline constexpr int kSerialPos = 39;
inline constexpr int kSerialWidth = 24;
inline constexpr int kProfilePos = 63;
inline constexpr int kProfileWidth = 16;
inline constexpr int kMethodPos = 79;
inline constexpr int kMethodBias = 34;
inline constexpr int kFileNamePos = 80;
inline constexpr int kFileNameWidth = 10;

// Parameter frame.
inline constexpr int kLongitudePos = 90;
inline constexpr int kLatitudePos = 94;
inline constexpr int kProjectPos = 98;
inline constexpr int kProjectWidth = 24;
inline constexpr int kTestTimePos = 122;
inline constexpr int kTestUnitPos = 130;
inline constexpr int kTestUnitWidth = 24;
inline constexpr int kTesterPos = 154;
inline constexpr int kTesterWidth = 24;
inline constexpr int kChannelCountPos = 178;
inline constexpr int kIntervalPos = 182;
inline constexpr int kSampleLengthPos = 186;
inline constexpr int kTraceOrderPos = 190;
inline constexpr int kSpacingPos = 191;
inline constexpr int kOffsetPos = 195;
inline constexpr int kDelayPos = 199;
inline constexpr int kFilterPos = 203;
inline constexpr int kTriggerModePos = 207;
inline constexpr int kTriggerLevelPos = 208;
inline constexpr int kSensorTypePos = 209;
inline constexpr int kMeteringPos = 210;
inline constexpr int kSensitivityPos = 211;
inline constexpr int kGainsPos = 307;

// Data frame.
inline constexpr int kChannelPos = 90;
inline constexpr int kPacketPos = 91;
inline constexpr int kCountPos = 93;
inline constexpr int kSamplesPos = 98;

// Replies.
inline constexpr int kReplyMinLength = 28;
inline constexpr int kReplyKept = 100;
inline constexpr int kReplyCodePos = 15;
inline constexpr int kReplyCodeLength = 6;
} // namespace NormalLayout

/// The parameter frame (kind 11) into frame (at least 500 bytes); 500, or 0
/// without a record.
int BuildParamPacket(const UploadRecord *record, char *frame);
/// The data frame (kind 12) of channel (0-based) and packet (1-based) with at
/// most count samples, never more than 100 nor beyond the trace; 500, or 0
/// when the channel is not one of the record's or the packet lies beyond it.
int BuildDataPacket(const UploadRecord *record, char *frame, int channel, int packet, int count);
/// The end frame (kind 14) into frame; 132, or 0 without a record.
int BuildEndPacket(const UploadRecord *record, char *frame);

/// The record's date and time read as local time, in seconds since 1970;
/// all ones when the text does not parse or the moment lies outside 32 bits.
quint32 RecordTestTime(const RecordHeader &header);
