#pragma once

#include "ExchangeRecord.h"

#include <QByteArray>
#include <QString>

/// The SEG-2 layout (revision 1) as this program writes it: little-endian,
/// one trace descriptor block and data block per channel, samples as 32-bit
/// IEEE floats, strings ended by a zero byte, note lines by a line feed.
namespace Seg2Layout {
inline constexpr quint16 kFileBlockId = 0x3a55;
inline constexpr quint16 kTraceBlockId = 0x4422;
inline constexpr quint16 kRevision = 1;
/// Both descriptor blocks have 32 fixed bytes before their pointers or strings.
inline constexpr int kFixedSize = 32;
inline constexpr int kPointerSize = 4;
inline constexpr int kSampleSize = 4;
inline constexpr quint8 kFloat32Format = 4;
inline constexpr char kStringTerminator = '\0';
inline constexpr char kLineTerminator = '\n';
/// Blocks start on 4-byte boundaries; a block's size must fit its 16-bit field.
inline constexpr int kAlignment = 4;
inline constexpr int kMaxBlockSize = 65532;

// Positions in the file descriptor block.
inline constexpr int kFileIdPos = 0;
inline constexpr int kRevisionPos = 2;
inline constexpr int kPointerBlockSizePos = 4;
inline constexpr int kTraceCountPos = 6;
inline constexpr int kStringTermSizePos = 8;
inline constexpr int kStringTermPos = 9;
inline constexpr int kLineTermSizePos = 11;
inline constexpr int kLineTermPos = 12;

// Positions in a trace descriptor block.
inline constexpr int kTraceIdPos = 0;
inline constexpr int kBlockSizePos = 2;
inline constexpr int kDataSizePos = 4;
inline constexpr int kSampleCountPos = 8;
inline constexpr int kFormatPos = 12;
} // namespace Seg2Layout

/// File note lines saying that ACQUISITION_DATE (01/JAN/1970) or
/// ACQUISITION_TIME (00:00:00) stand in for what the record does not have.
inline constexpr char kDatePlaceholderNote[] = "ACQUISITION_DATE IS A PLACEHOLDER: THE RECORD HAS NO VALID DATE";
inline constexpr char kTimePlaceholderNote[] = "ACQUISITION_TIME IS A PLACEHOLDER: THE RECORD HAS NO VALID TIME";

/// The bytes of the record as a SEG-2 file, ready to be written. RecordOk, or
/// RecordNotConvertible (out empty) with the reason in problem.
int EncodeSeg2(const ExchangeRecord &record, QByteArray &out, QString *problem = nullptr);
