#include "Seg2Writer.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

using namespace Seg2Layout;
using ExchangeText::AsciiSafe;
using ExchangeText::Decimal;
using ExchangeText::FloatText;
using ExchangeText::NoteText;

namespace {

using Keyword = std::pair<QByteArray, QByteArray>;

// Positions to a tenth of a millimetre, times to a picosecond: far finer than
// anything the unit records, coarse enough that 2.1 m stays "2.1".
const int kMetreDecimals = 4;
const int kSecondDecimals = 12;
const double kUsPerSecond = 1e6;
const double kMsPerSecond = 1e3;
const char kInstrument[] = "ZEB";
const char kUnitsMetres[] = "METERS";
const char kSortAsAcquired[] = "AS_ACQUIRED";
const char kSourceAtOrigin[] = "0";
const char kDescalingToMillivolts[] = "1";
const char *const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                               "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const int kLengthFieldSize = 2;
const char kStackUnknown[] = "1";
const int kPlaceholderYear = 1970;

int aligned(int size)
{
    return (size + kAlignment - 1) / kAlignment * kAlignment;
}

void addText(std::vector<Keyword> &keys, const char *key, const QString &text)
{
    // A keyword without a value would read as a broken string.
    const QByteArray value = AsciiSafe(text);
    if (!value.isEmpty())
        keys.emplace_back(key, value);
}

QByteArray noteOf(const QList<QByteArray> &lines)
{
    QByteArray note;
    for (const QByteArray &line : lines) {
        if (!note.isEmpty())
            note += kLineTerminator;
        note += line;
    }
    return note;
}

// The strings of a block in the standard's form, keywords in alphabetical
// order: a 16-bit offset to the next string, "KEYWORD value", the
// terminator; a zero offset ends them. Padded so the next block stays aligned.
QByteArray stringBlock(std::vector<Keyword> keys)
{
    std::sort(keys.begin(), keys.end(),
              [](const Keyword &a, const Keyword &b) { return a.first < b.first; });
    QByteArray out;
    for (const Keyword &k : keys) {
        const QByteArray text = k.first + ' ' + k.second;
        char length[kLengthFieldSize];
        qToLittleEndian<quint16>(static_cast<quint16>(kLengthFieldSize + text.size() + 1), length);
        out.append(length, kLengthFieldSize);
        out += text;
        out += kStringTerminator;
    }
    out.append(kLengthFieldSize, '\0');
    out.append(aligned(static_cast<int>(out.size())) - static_cast<int>(out.size()), '\0');
    return out;
}

std::vector<Keyword> fileKeywords(const ExchangeRecord &r)
{
    const RecordHeader &h = r.Blocks.Header;
    std::vector<Keyword> keys;
    // Office programs stop at a file without these: a record without a valid
    // date gets a placeholder, and the note says so.
    const QDate date = r.Date().isValid() ? r.Date() : QDate(kPlaceholderYear, 1, 1);
    keys.emplace_back("ACQUISITION_DATE", QStringLiteral("%1/%2/%3")
                                              .arg(date.day(), 2, 10, QLatin1Char('0'))
                                              .arg(QLatin1String(kMonths[date.month() - 1]))
                                              .arg(date.year(), 4, 10, QLatin1Char('0'))
                                              .toLatin1());
    const QTime time = r.Time().isValid() ? r.Time() : QTime(0, 0);
    keys.emplace_back("ACQUISITION_TIME", time.toString(QStringLiteral("hh:mm:ss")).toLatin1());
    addText(keys, "COMPANY", h.TestUnit);
    keys.emplace_back("INSTRUMENT", kInstrument);
    addText(keys, "JOB_ID", h.ProjectName);
    addText(keys, "LINE_ID", h.ProfileNumber);
    addText(keys, "OBSERVER", h.Tester);
    keys.emplace_back("TRACE_SORT", kSortAsAcquired);
    keys.emplace_back("UNITS", kUnitsMetres);

    // The survey texts in full: the keywords above can only keep their ASCII.
    QList<QByteArray> note{
        "RECORD " + NoteText(r.Name),
        "PROJECT " + NoteText(h.ProjectName),
        "TEST_UNIT " + NoteText(h.TestUnit),
        "TESTER " + NoteText(h.Tester),
        "PROFILE " + NoteText(h.ProfileNumber),
        "SURVEY_METHOD " + QByteArray::number(h.SurveyMethod),
        r.TriggerText(),
        QByteArray("TRACE_ORDER ") + (r.ForwardOrder() ? "FORWARD" : "REVERSE"),
        QByteArray("METERING_SIGNAL ") + (r.Blocks.MeteringSignal ? "VELOCITY" : "SIGNAL_SOURCE"),
        r.FilterText(),
        "SAMPLE_UNITS MILLIVOLTS AT THE AMPLIFIER INPUT",
    };
    if (!r.Date().isValid())
        note << kDatePlaceholderNote;
    if (!r.Time().isValid())
        note << kTimePlaceholderNote;
    keys.emplace_back("NOTE", noteOf(note));
    return keys;
}

std::vector<Keyword> traceKeywords(const ExchangeRecord &r, int channel)
{
    const RecordBlocks &b = r.Blocks;
    std::vector<Keyword> keys;
    keys.emplace_back("CHANNEL_NUMBER", QByteArray::number(channel));
    keys.emplace_back("DELAY", Decimal(r.DelayMs() / kMsPerSecond, kSecondDecimals));
    keys.emplace_back("DESCALING_FACTOR", kDescalingToMillivolts);
    if (b.HasGains)
        keys.emplace_back("FIXED_GAIN", QByteArray::number(b.Gains[channel - 1]));
    if (const int highCut = r.HighCutHz())
        keys.emplace_back("HIGH_CUT_FILTER", QByteArray::number(highCut));
    keys.emplace_back("RECEIVER_LOCATION", Decimal(r.ReceiverX(channel), kMetreDecimals));
    keys.emplace_back("SAMPLE_INTERVAL", Decimal(r.IntervalUs() / kUsPerSecond, kSecondDecimals));
    keys.emplace_back("SOURCE_LOCATION", kSourceAtOrigin);
    // A record is one stack whose count it does not keep.
    keys.emplace_back("STACK", kStackUnknown);

    QList<QByteArray> note{
        QByteArray("SENSOR ") + (b.SensorType ? "VELOCITY" : "ACCELERATION"),
        "SENSITIVITY " + FloatText(b.Sensitivity[channel - 1]) + " mv/mm/s",
    };
    if (const QByteArray padding = r.PaddingText(channel); !padding.isEmpty())
        note << padding;
    keys.emplace_back("NOTE", noteOf(note));
    return keys;
}

void put16(char *p, quint16 v)
{
    qToLittleEndian<quint16>(v, p);
}

void put32(char *p, quint32 v)
{
    qToLittleEndian<quint32>(v, p);
}

} // namespace

int EncodeSeg2(const ExchangeRecord &record, QByteArray &out, QString *problem)
{
    out.clear();
    if (const int refused = CheckExchangeRecord(record, problem); refused != RecordOk)
        return refused;
    const int channels = record.Channels();
    const int samples = record.Samples();
    const qint64 dataSize = qint64(samples) * kSampleSize;

    const int pointerBlock = channels * kPointerSize;
    const QByteArray fileStrings = stringBlock(fileKeywords(record));
    std::vector<QByteArray> traceStrings;
    qint64 total = kFixedSize + pointerBlock + fileStrings.size();
    for (int ch = 1; ch <= channels; ++ch) {
        traceStrings.push_back(stringBlock(traceKeywords(record, ch)));
        const qint64 blockSize = kFixedSize + traceStrings.back().size();
        if (blockSize > kMaxBlockSize) {
            if (problem)
                *problem = QStringLiteral("the texts of channel %1 do not fit a trace block").arg(ch);
            return RecordNotConvertible;
        }
        total += blockSize + dataSize;
    }

    out = QByteArray(static_cast<qsizetype>(total), '\0');
    char *d = out.data();
    put16(d + kFileIdPos, kFileBlockId);
    put16(d + kRevisionPos, kRevision);
    put16(d + kPointerBlockSizePos, static_cast<quint16>(pointerBlock));
    put16(d + kTraceCountPos, static_cast<quint16>(channels));
    d[kStringTermSizePos] = 1;
    d[kStringTermPos] = kStringTerminator;
    d[kLineTermSizePos] = 1;
    d[kLineTermPos] = kLineTerminator;
    qint64 at = kFixedSize + pointerBlock;
    std::memcpy(d + at, fileStrings.constData(), static_cast<size_t>(fileStrings.size()));
    at += fileStrings.size();

    for (int ch = 1; ch <= channels; ++ch) {
        const QByteArray &strings = traceStrings[static_cast<size_t>(ch - 1)];
        const int blockSize = kFixedSize + static_cast<int>(strings.size());
        put32(d + kFixedSize + (ch - 1) * kPointerSize, static_cast<quint32>(at));
        char *block = d + at;
        put16(block + kTraceIdPos, kTraceBlockId);
        put16(block + kBlockSizePos, static_cast<quint16>(blockSize));
        put32(block + kDataSizePos, static_cast<quint32>(dataSize));
        put32(block + kSampleCountPos, static_cast<quint32>(samples));
        block[kFormatPos] = static_cast<char>(kFloat32Format);
        std::memcpy(block + kFixedSize, strings.constData(), static_cast<size_t>(strings.size()));
        at += blockSize;

        // The buffer is zeros already: a short trace is padded by leaving them.
        const QVector<float> &trace = record.Trace(ch);
        const qsizetype have = qMin<qsizetype>(trace.size(), samples);
        if (have > 0)
            qToLittleEndian<float>(trace.constData(), have, d + at);
        at += dataSize;
    }
    return RecordOk;
}
