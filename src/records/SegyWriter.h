#pragma once

#include "ExchangeRecord.h"

#include <QByteArray>
#include <QString>

/// SEG-Y revision 1 as this program writes it: big-endian, a textual header
/// of 40 card images, the binary header, one trace per channel with its
/// 240-byte header, samples as 4-byte IEEE floats (format 5).
namespace SegyLayout {
inline constexpr int kTextHeaderSize = 3200;
inline constexpr int kCardWidth = 80;
inline constexpr int kCards = 40;
inline constexpr int kBinaryHeaderSize = 400;
inline constexpr int kTraceHeaderSize = 240;
inline constexpr int kSampleSize = 4;
inline constexpr int kFirstTraceAt = kTextHeaderSize + kBinaryHeaderSize;
/// The binary header keeps samples and the interval in signed 16-bit fields.
inline constexpr int kMaxSamples = 32767;
inline constexpr int kMaxIntervalUs = 32767;
/// Receiver and source x are stored in centimetres (scalar −100).
inline constexpr int kCoordinateScalar = -100;
inline constexpr int kRevision1 = 0x0100;
} // namespace SegyLayout

/// Size in bytes of the SEG-Y file of the record.
qint64 SegyFileSize(const ExchangeRecord &record);
/// What SEG-Y cannot hold: more than 32767 samples, or an interval that is no
/// whole number of microseconds up to 32767. RecordOk or RecordNotConvertible.
int CheckSegyRecord(const ExchangeRecord &record, QString *problem = nullptr);
/// The 40 card images of the textual header in ASCII (the file gets them in EBCDIC).
QByteArray SegyTextHeader(const ExchangeRecord &record);

/// Writes the record as a SEG-Y file at path with segyio, through a temporary
/// name (WriteNewFile): RecordOk, RecordExists, RecordNotConvertible or
/// RecordWriteFailed, with the reason in problem.
int WriteSegyFile(const ExchangeRecord &record, const QString &path, QString *problem = nullptr);
