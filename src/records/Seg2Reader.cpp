#include "Seg2Reader.h"

#include "Seg2Writer.h"
#include "SpreadPlacement.h"

#include <QDate>
#include <QHash>
#include <QTime>
#include <QtEndian>

#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

using namespace Seg2Layout;

namespace {

// Format codes of the standard's trace descriptor.
constexpr quint8 kInt16Format = 1;
constexpr quint8 kInt32Format = 2;
constexpr quint8 kPacked20Format = 3;
constexpr quint8 kFloat64Format = 5;
constexpr int kStringOffsetSize = 2;
constexpr int kMaxTerminatorSize = 2;
// Positions are written to a tenth of a millimetre by this program and
// rarely finer than a millimetre by others.
constexpr double kPositionResolutionM = 1e-3;
constexpr double kUsPerSecond = 1e6;
constexpr double kMsPerSecond = 1e3;
const char *const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                               "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

using Keywords = QHash<QByteArray, QByteArray>;

class Reader
{
public:
    explicit Reader(const QByteArray &bytes)
        : m_d(bytes.constData())
        , m_size(bytes.size())
        , m_big(bytes.size() >= 2 && quint8(bytes[0]) == (kFileBlockId >> 8))
    {
    }

    bool Has(qint64 at, qint64 count) const { return at >= 0 && count >= 0 && at <= m_size && count <= m_size - at; }
    quint16 U16(qint64 at) const
    {
        return m_big ? qFromBigEndian<quint16>(m_d + at) : qFromLittleEndian<quint16>(m_d + at);
    }
    quint32 U32(qint64 at) const
    {
        return m_big ? qFromBigEndian<quint32>(m_d + at) : qFromLittleEndian<quint32>(m_d + at);
    }
    const char *At(qint64 at) const { return m_d + at; }
    qint64 Size() const { return m_size; }

    /// The strings from at up to limit, as the standard lays them out; false
    /// when one runs past the limit. Some writers end the list with their
    /// block instead of a zero offset; that is taken as its end too.
    bool Strings(qint64 at, qint64 limit, const QByteArray &terminator, Keywords &keys) const
    {
        limit = qMin(limit, m_size);
        for (;;) {
            if (at + kStringOffsetSize > limit)
                return at <= limit;
            const quint16 step = U16(at);
            if (step == 0)
                return true;
            if (step <= kStringOffsetSize || at + step > limit)
                return false;
            QByteArray text(m_d + at + kStringOffsetSize, step - kStringOffsetSize);
            const int end = terminator.isEmpty() ? -1 : int(text.indexOf(terminator));
            if (end >= 0)
                text.truncate(end);
            text = text.trimmed();
            int space = 0;
            while (space < text.size() && !std::isspace(static_cast<unsigned char>(text[space])))
                ++space;
            const QByteArray keyword = text.left(space).toUpper();
            if (!keyword.isEmpty() && !keys.contains(keyword))
                keys.insert(keyword, text.mid(space).trimmed());
            at += step;
        }
    }

private:
    const char *m_d;
    qint64 m_size;
    bool m_big;
};

/// The first number of a value ("3.25 0 0" gives 3.25); NaN when there is none.
double number(const Keywords &keys, const char *key)
{
    const QByteArray value = keys.value(key).simplified();
    bool ok = false;
    const double v = value.left(value.indexOf(' ') < 0 ? value.size() : value.indexOf(' ')).toDouble(&ok);
    return ok ? v : std::nan("");
}

double numberOr(const Keywords &keys, const char *key, double fallback)
{
    const double v = number(keys, key);
    return std::isfinite(v) ? v : fallback;
}

/// A NOTE's lines, each split at its first space into a word and the rest.
QHash<QByteArray, QString> noteLines(const QByteArray &note, const QByteArray &lineTerminator)
{
    QHash<QByteArray, QString> out;
    const QList<QByteArray> lines = lineTerminator.isEmpty() ? QList<QByteArray>{note} : note.split(lineTerminator[0]);
    for (const QByteArray &line : lines) {
        const int space = int(line.indexOf(' '));
        const QByteArray word = space < 0 ? line : line.left(space);
        if (!word.isEmpty() && !out.contains(word))
            out.insert(word, QString::fromUtf8(space < 0 ? QByteArray() : line.mid(space + 1)));
    }
    return out;
}

QString dateOf(const QByteArray &text)
{
    // "29/FEB/2024" as the standard writes it; "29/02/2024" as some instruments do.
    const QList<QByteArray> parts = text.trimmed().split('/');
    if (parts.size() != 3)
        return QString();
    int month = parts[1].toInt();
    for (int m = 0; m < 12; ++m)
        if (parts[1].toUpper() == kMonths[m])
            month = m + 1;
    const QDate date(parts[2].toInt(), month, parts[0].toInt());
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QString timeOf(const QByteArray &text)
{
    const QTime time = QTime::fromString(QString::fromLatin1(text.trimmed()), QStringLiteral("H:mm:ss"));
    return time.isValid() ? time.toString(QStringLiteral("hh:mm:ss")) : QString();
}

// The survey texts: this program's note keeps them whole, the keywords only in ASCII.
void fileTexts(const Keywords &keys, const QByteArray &lineTerminator, RecordBlocks &b)
{
    RecordHeader &h = b.Header;
    const QHash<QByteArray, QString> note = noteLines(keys.value("NOTE"), lineTerminator);
    const auto text = [&](const char *line, const char *keyword) {
        return note.contains(line) ? note.value(line) : QString::fromLatin1(keys.value(keyword));
    };
    h.ProjectName = text("PROJECT", "JOB_ID");
    h.TestUnit = text("TEST_UNIT", "COMPANY");
    h.Tester = text("TESTER", "OBSERVER");
    h.ProfileNumber = text("PROFILE", "LINE_ID");
    bool ok = false;
    const int method = note.value("SURVEY_METHOD").toInt(&ok);
    if (ok)
        h.SurveyMethod = method;
    if (note.contains("METERING_SIGNAL"))
        b.MeteringSignal = note.value("METERING_SIGNAL") == QLatin1String("VELOCITY") ? 1 : 0;
    const auto placeholder = [&](const char *line) { return keys.value("NOTE").contains(line); };
    h.Date = placeholder(kDatePlaceholderNote) ? QString() : dateOf(keys.value("ACQUISITION_DATE"));
    h.Time = placeholder(kTimePlaceholderNote) ? QString() : timeOf(keys.value("ACQUISITION_TIME"));
}

int sampleSize(quint8 format)
{
    switch (format) {
    case kInt16Format:
        return 2;
    case kInt32Format:
    case kFloat32Format:
        return 4;
    case kFloat64Format:
        return 8;
    default:
        return 0;
    }
}

QVector<float> samplesOf(const Reader &r, qint64 at, qint64 count, quint8 format, double scale, bool big)
{
    QVector<float> out(count);
    const int size = sampleSize(format);
    for (qint64 i = 0; i < count; ++i) {
        const char *p = r.At(at + i * size);
        double v = 0.0;
        switch (format) {
        case kInt16Format:
            v = big ? qFromBigEndian<qint16>(p) : qFromLittleEndian<qint16>(p);
            break;
        case kInt32Format:
            v = big ? qFromBigEndian<qint32>(p) : qFromLittleEndian<qint32>(p);
            break;
        case kFloat32Format:
            v = big ? qFromBigEndian<float>(p) : qFromLittleEndian<float>(p);
            break;
        default:
            v = big ? qFromBigEndian<double>(p) : qFromLittleEndian<double>(p);
            break;
        }
        // A scale of 1 keeps every float bit for bit, NaN payloads included.
        out[i] = scale == 1.0 && format == kFloat32Format ? float(v) : float(v * scale);
    }
    return out;
}

} // namespace

bool LooksLikeSeg2(const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return false;
    const quint16 le = qFromLittleEndian<quint16>(bytes.constData());
    const quint16 be = qFromBigEndian<quint16>(bytes.constData());
    return le == kFileBlockId || be == kFileBlockId;
}

ParsedRecord ParseSeg2(const QByteArray &bytes)
{
    if (!LooksLikeSeg2(bytes))
        return ParsedRecord::Refused(RecordUnrecognised, QStringLiteral("not a SEG-2 file"));
    const Reader r(bytes);
    const bool big = quint8(bytes[0]) == (kFileBlockId >> 8);
    if (!r.Has(0, kFixedSize))
        return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("the file descriptor block is cut short"));
    const int pointerBlock = r.U16(kPointerBlockSizePos);
    const int traceCount = r.U16(kTraceCountPos);
    const int termSize = quint8(*r.At(kStringTermSizePos));
    const int lineSize = quint8(*r.At(kLineTermSizePos));
    if (termSize < 1 || termSize > kMaxTerminatorSize || lineSize > kMaxTerminatorSize)
        return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("the string terminators are not 1 or 2 bytes"));
    const QByteArray terminator(r.At(kStringTermPos), termSize);
    const QByteArray lineTerminator(r.At(kLineTermPos), lineSize);
    if (qint64(traceCount) * kPointerSize > pointerBlock || !r.Has(kFixedSize, pointerBlock))
        return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("the trace pointers do not fit the file"));

    ParsedRecord record;
    record.Layout.Format = QStringLiteral("SEG-2");
    record.Layout.Identification = QStringLiteral("SEG-2 revision %1").arg(r.U16(kRevisionPos));
    record.Layout.FileSize = r.Size();
    std::vector<TracePlace> places;
    std::vector<QVector<float>> traces;
    qint64 firstBlock = r.Size();
    for (int i = 0; i < traceCount; ++i)
        firstBlock = qMin<qint64>(firstBlock, r.U32(kFixedSize + i * kPointerSize));
    Keywords fileKeys;
    if (!r.Strings(kFixedSize + pointerBlock, firstBlock, terminator, fileKeys))
        return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("the file descriptor strings run past their block"));

    bool allGains = traceCount > 0;
    for (int i = 0; i < traceCount; ++i) {
        const int k = i + 1;
        const qint64 at = r.U32(kFixedSize + i * kPointerSize);
        if (!r.Has(at, kFixedSize) || r.U16(at + kTraceIdPos) != kTraceBlockId)
            return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("trace %1's descriptor block is missing").arg(k));
        const qint64 blockSize = r.U16(at + kBlockSizePos);
        const qint64 dataSize = r.U32(at + kDataSizePos);
        const qint64 samples = r.U32(at + kSampleCountPos);
        const quint8 format = quint8(*r.At(at + kFormatPos));
        if (blockSize < kFixedSize || !r.Has(at, blockSize) || !r.Has(at + blockSize, dataSize))
            return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("trace %1's blocks run past the end of the file").arg(k));
        if (format == kPacked20Format || sampleSize(format) == 0)
            return ParsedRecord::Refused(RecordUnrecognised, QStringLiteral("trace %1 holds samples in format %2, which this "
                                                             "program does not read").arg(k).arg(format));
        if (samples > dataSize / sampleSize(format))
            return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("trace %1 claims more samples than its data block holds").arg(k));
        Keywords keys;
        if (!r.Strings(at + kFixedSize, at + blockSize, terminator, keys))
            return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("trace %1's strings run past their block").arg(k));

        TracePlace place;
        // A source stated once for the file holds for every trace.
        place.SourceX = keys.contains("SOURCE_LOCATION") ? number(keys, "SOURCE_LOCATION")
                                                         : number(fileKeys, "SOURCE_LOCATION");
        place.ReceiverX = number(keys, "RECEIVER_LOCATION");
        place.IntervalUs = number(keys, "SAMPLE_INTERVAL") * kUsPerSecond;
        place.DelayMs = numberOr(keys, "DELAY", 0.0) * kMsPerSecond;
        place.Samples = samples;
        places.push_back(place);
        const double scale = numberOr(keys, "DESCALING_FACTOR", 1.0);
        traces.push_back(samplesOf(r, at + blockSize, samples, format, scale == 0.0 ? 1.0 : scale, big));
        record.Layout.DataOffset = k == 1 ? int(qMin<qint64>(at + blockSize, std::numeric_limits<int>::max()))
                                          : record.Layout.DataOffset;
        record.Layout.DataBytes += samples * sampleSize(format);

        if (i < kMaxChannels) {
            RecordBlocks &b = record.Blocks;
            const double gain = number(keys, "FIXED_GAIN");
            allGains = allGains && std::isfinite(gain);
            b.Gains[size_t(i)] = std::isfinite(gain) ? int(qBound(-1e9, gain, 1e9)) : 0;
            const QHash<QByteArray, QString> note = noteLines(keys.value("NOTE"), lineTerminator);
            const QStringList sensitivity = note.value("SENSITIVITY").split(QLatin1Char(' '));
            b.Sensitivity[size_t(i)] = sensitivity.first().toFloat();
            if (note.contains("SENSOR"))
                b.SensorType = note.value("SENSOR") == QLatin1String("VELOCITY") ? 1 : 0;
            const double highCut = number(keys, "HIGH_CUT_FILTER");
            if (k == 1)
                b.Header.Filter = std::isfinite(highCut) ? float(highCut) : 0.0f;
        }
    }
    // Placed first: a file the record cannot hold gets the reason, not a half-read record.
    QString problem;
    if (PlaceSpread(places, kPositionResolutionM, record.Blocks.Header, &problem) != RecordOk)
        return ParsedRecord::Refused(RecordNotPlaceable, problem);
    record.Blocks.HasGains = allGains;
    fileTexts(fileKeys, lineTerminator, record.Blocks);
    record.StoredSampleInterval = record.Blocks.Header.SampleInterval;
    record.Blocks.Header.SampleInterval = FlooredSampleInterval(record.StoredSampleInterval);
    record.Traces = std::move(traces);
    record.Result = RecordOk;
    return record;
}
