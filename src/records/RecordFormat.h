#pragma once

#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <array>
#include <vector>

class RecordProgress;

/// Outcomes of reading and writing a record file.
enum RecordResult : int {
    RecordOk = 1,
    RecordUnrecognised = -1,   ///< cannot be opened, or the identification is not ours
    RecordCorrupt = -2,        ///< marked "OLD", or its layout does not hold together
    RecordNotSurfaceWave = -3, ///< a record type other than 0
    RecordWriteFailed = -4,    ///< the file could not be created or written completely
    RecordExists = -5,         ///< saving under a name the project already has
    RecordNotConvertible = -6, ///< the record cannot be expressed in an exchange format
    RecordNotPlaceable = -7,   ///< a foreign record whose traces cannot be placed on one even spread
    RecordDiskFull = -8,       ///< the file could not be written: its disk has no room left
};

/// The operator's message for a result code; empty for RecordOk.
QString RecordResultMessage(int code);

namespace RecordLayout {
/// What a complete record file begins with, padded with spaces to kIdentSize.
/// Extension of record files (the parameter set's default).
inline constexpr char kFileExtension[] = "QDW";
inline constexpr char kIdentText[] = "VRK-ZEB-2.1.0-20130618";
inline constexpr char kIdentMark[] = "VRK";
inline constexpr char kIdentMarkLower[] = "vrk";
/// First bytes while the file is still being written.
inline constexpr char kWritingMark[] = "BAD";
/// First bytes of files this program no longer reads.
inline constexpr char kOldMark[] = "OLD";
inline constexpr int kMarkSize = 3;
inline constexpr int kIdentSize = 40;

inline constexpr int kRecordTypePos = 40;
inline constexpr int kHeaderOffsetPos = 44;
inline constexpr int kChannelOffsetPos = 48;
inline constexpr int kDataOffsetPos = 52;
inline constexpr int kPreambleSize = 56;
inline constexpr int kSurfaceWaveType = 0;

inline constexpr int kHeaderOffset = 56;
inline constexpr int kChannelOffset = 442;
inline constexpr int kDataOffset = 646;

// Header block, positions inside the block.
inline constexpr int kTextWidth = 80;
inline constexpr int kProjectPos = 0;
inline constexpr int kTestUnitPos = 80;
inline constexpr int kTesterPos = 160;
inline constexpr int kProfilePos = 240;
inline constexpr int kSurveyMethodPos = 320;
inline constexpr int kChannelCountPos = 324;
inline constexpr int kSampleIntervalPos = 328;
inline constexpr int kSampleLengthPos = 332;
inline constexpr int kTraceOrderPos = 336;
inline constexpr int kTraceSpacingPos = 340;
inline constexpr int kOffsetPos = 344;
inline constexpr int kDelayPos = 348;
inline constexpr int kFilterPos = 352;
inline constexpr int kTriggerMethodPos = 356;
inline constexpr int kTriggerLevelPos = 360;
inline constexpr int kDatePos = 364;
inline constexpr int kDateWidth = 10;
inline constexpr int kTimePos = 374;
inline constexpr int kTimeWidth = 8;
inline constexpr int kHeaderReservedPos = 382;
inline constexpr int kHeaderBlockSize = 386;

// Channel block, positions inside the block.
inline constexpr int kSensorTypePos = 0;
inline constexpr int kMeteringSignalPos = 4;
inline constexpr int kSensitivityPos = 8;
/// Sensor values only; files that end the block here carry no gains.
inline constexpr int kChannelBlockWithoutGains = 104;
inline constexpr int kChannelReservedPos = 104;
inline constexpr int kGainsPos = 108;
inline constexpr int kChannelBlockSize = 204;

inline constexpr int kFieldSize = 4;

/// Largest file taken as a record. The biggest record the unit can deliver
/// (24 channels of 65535 samples) is about 6 MB; anything far beyond that is
/// not read into memory at all.
inline constexpr qint64 kMaxFileBytes = qint64(64) * 1024 * 1024;

/// Minimum sample interval, microseconds; anything at or below kIntervalFloorLimit becomes this.
inline constexpr float kMinSampleInterval = 10.0f;
inline constexpr float kIntervalFloorLimit = 9.0f;
} // namespace RecordLayout

/// A sample interval as every reader takes it: at or below the floor limit,
/// and not-a-number, it becomes the minimum interval.
inline float FlooredSampleInterval(float intervalUs)
{
    return intervalUs > RecordLayout::kIntervalFloorLimit ? intervalUs : RecordLayout::kMinSampleInterval;
}

/// The record blocks of a file: header (with the date and time of saving),
/// sensor values and, when the file has them, the gains.
struct RecordBlocks
{
    RecordHeader Header;
    int SensorType = 1;
    int MeteringSignal = 1;
    std::array<float, kMaxChannels> Sensitivity{};
    bool HasGains = true;
    std::array<int, kMaxChannels> Gains{};
};

/// Where a file keeps its parts, as its preamble says.
struct RecordFileLayout
{
    QString Format = QStringLiteral("QDW"); ///< "QDW", "SEG-2", "SEG-Y" or "SU"
    QString Identification; ///< up to the first zero byte, trailing spaces removed
    int RecordType = 0;
    int HeaderOffset = 0;
    int ChannelOffset = 0;
    int DataOffset = 0;
    qint64 DataBytes = 0;  ///< bytes the samples take
    qint64 FileSize = 0;
};

/// A record file taken apart; Traces holds one vector per channel of the header.
struct ParsedRecord
{
    int Result = RecordUnrecognised;
    QString Problem; ///< why the file was refused (for the log and the record tool)
    RecordFileLayout Layout;
    RecordBlocks Blocks;
    /// The sample interval as the file stores it: Blocks has it floored for
    /// every time axis, a converter must see what it was to refuse nonsense.
    float StoredSampleInterval = 0.0f;
    std::vector<QVector<float>> Traces;

    /// A file refused, with the reason.
    static ParsedRecord Refused(int result, const QString &problem)
    {
        ParsedRecord r;
        r.Result = result;
        r.Problem = problem;
        return r;
    }
};

/// Takes a record file's bytes apart. Never reads outside bytes and never
/// allocates more than the bytes can hold. The samples are only converted
/// once everything before them has been checked; progress (optional) follows
/// every converted sample.
ParsedRecord ParseRecord(const QByteArray &bytes, RecordProgress *progress = nullptr);

/// Builds the bytes of a complete record file: blocks at 56, 442, 646, the
/// header's channel count and sample length (bounded to what can be stored)
/// worth of samples, short traces completed with 0.0.
QByteArray EncodeRecord(const RecordBlocks &blocks, const TraceSet &traces);

/// The first width bytes of text in GB2312, never ending in half a character,
/// padded with pad (spaces, as record files and most frames want).
QByteArray EncodeTextField(const QString &text, int width, char pad = ' ');
