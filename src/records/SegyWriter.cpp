#include "SegyWriter.h"

#include "SafeWriteBatch.h"

#include <QFile>

#include <segyio/segy.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

using namespace SegyLayout;
using ExchangeText::AsciiSafe;
using ExchangeText::Decimal;
using ExchangeText::FloatText;
using ExchangeText::TypedValue;

namespace {

const int kMetreDecimals = 4;
const double kCentimetresPerMetre = 100.0;
const int kCardLabelWidth = 4; // "C 1 " … "C40 "
const int kValuesPerCard = 8;
const int kGainsPerCard = 12;
const int kSeismicTrace = 1;
const int kProductionData = 1;
const int kLengthUnits = 1;
const int kMetres = 1;
const int kFixedGain = 1;
const int kLocalTime = 1;
const int kAsRecorded = 1;
const int kNoSum = 1;
const int kOneFold = 1;
const int kFixedLengthTraces = 1;

// Whole values for the integer fields: rounded, NaN as 0, and never wrapped.
int wholeWithin(double v, int lo, int hi)
{
    if (!std::isfinite(v))
        return std::isnan(v) ? 0 : (v > 0 ? hi : lo);
    return static_cast<int>(qBound<double>(lo, std::round(v), hi));
}

int whole16(double v)
{
    return wholeWithin(v, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max());
}

int whole32(double v)
{
    return wholeWithin(v, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
}

QByteArray metres(float v)
{
    return Decimal(TypedValue(v), kMetreDecimals);
}

class Cards
{
public:
    void Add(const QByteArray &text)
    {
        if (m_cards.size() < kCards - 2)
            m_cards << text;
    }
    bool Full() const { return m_cards.size() >= kCards - 2; }
    QByteArray Build() const
    {
        QList<QByteArray> all = m_cards;
        while (all.size() < kCards - 2)
            all << QByteArray();
        // The two closing cards revision 1 asks for.
        all << "SEG Y REV1" << "END TEXTUAL HEADER";
        QByteArray out;
        for (int i = 0; i < all.size(); ++i) {
            QByteArray card = QStringLiteral("C%1 ").arg(i + 1, 2).toLatin1() + all.at(i);
            card = card.left(kCardWidth);
            card.append(kCardWidth - card.size(), ' ');
            out += card;
        }
        return out;
    }

private:
    QList<QByteArray> m_cards;
};

void addValueCards(Cards &cards, const QByteArray &title, const QList<QByteArray> &values, int perCard)
{
    for (int first = 0; first < values.size(); first += perCard) {
        const int last = qMin<int>(first + perCard, values.size());
        QByteArray card = title + " CH " + QByteArray::number(first + 1) + "-" + QByteArray::number(last) + ":";
        for (int i = first; i < last; ++i)
            card += ' ' + values.at(i);
        cards.Add(card);
    }
}

int segyFailed(QString *problem, const char *step, int code)
{
    *problem = QStringLiteral("segyio could not %1 (error %2)").arg(QLatin1String(step)).arg(code);
    return false;
}

void setField(char *header, int field, int value)
{
    segy_set_field(header, field, value);
}

void setBinField(char *header, int field, int value)
{
    segy_set_bfield(header, field, value);
}

QByteArray binaryHeader(const ExchangeRecord &r)
{
    QByteArray bin(kBinaryHeaderSize, '\0');
    char *b = bin.data();
    bool numbered = false;
    const int line = r.Blocks.Header.ProfileNumber.trimmed().toInt(&numbered);
    setBinField(b, SEGY_BIN_JOB_ID, 1);
    setBinField(b, SEGY_BIN_LINE_NUMBER, numbered ? line : 0);
    setBinField(b, SEGY_BIN_REEL_NUMBER, 1);
    setBinField(b, SEGY_BIN_TRACES, r.Channels());
    setBinField(b, SEGY_BIN_AUX_TRACES, 0);
    setBinField(b, SEGY_BIN_INTERVAL, static_cast<int>(r.IntervalUs()));
    setBinField(b, SEGY_BIN_INTERVAL_ORIG, static_cast<int>(r.IntervalUs()));
    setBinField(b, SEGY_BIN_SAMPLES, r.Samples());
    setBinField(b, SEGY_BIN_SAMPLES_ORIG, r.Samples());
    setBinField(b, SEGY_BIN_FORMAT, SEGY_IEEE_FLOAT_4_BYTE);
    setBinField(b, SEGY_BIN_ENSEMBLE_FOLD, kOneFold);
    setBinField(b, SEGY_BIN_SORTING_CODE, kAsRecorded);
    setBinField(b, SEGY_BIN_VERTICAL_SUM, kNoSum);
    setBinField(b, SEGY_BIN_MEASUREMENT_SYSTEM, kMetres);
    setBinField(b, SEGY_BIN_SEGY_REVISION, kRevision1);
    setBinField(b, SEGY_BIN_TRACE_FLAG, kFixedLengthTraces);
    setBinField(b, SEGY_BIN_EXT_HEADERS, 0);
    return bin;
}

QByteArray traceHeader(const ExchangeRecord &r, int channel)
{
    QByteArray th(kTraceHeaderSize, '\0');
    char *t = th.data();
    const double receiverX = r.ReceiverX(channel);
    setField(t, SEGY_TR_SEQ_LINE, channel);
    setField(t, SEGY_TR_SEQ_FILE, channel);
    setField(t, SEGY_TR_FIELD_RECORD, 1);
    setField(t, SEGY_TR_NUMBER_ORIG_FIELD, channel);
    setField(t, SEGY_TR_TRACE_ID, kSeismicTrace);
    setField(t, SEGY_TR_SUMMED_TRACES, kNoSum);
    setField(t, SEGY_TR_STACKED_TRACES, kNoSum);
    setField(t, SEGY_TR_DATA_USE, kProductionData);
    // Whole metres: the field has no scalar; the exact distance is in GROUP_X.
    setField(t, SEGY_TR_OFFSET, whole32(receiverX));
    setField(t, SEGY_TR_SOURCE_GROUP_SCALAR, kCoordinateScalar);
    setField(t, SEGY_TR_SOURCE_X, 0);
    setField(t, SEGY_TR_GROUP_X, whole32(receiverX * kCentimetresPerMetre));
    setField(t, SEGY_TR_COORD_UNITS, kLengthUnits);
    setField(t, SEGY_TR_DELAY_REC_TIME, whole16(r.DelayMs()));
    setField(t, SEGY_TR_SAMPLE_COUNT, r.Samples());
    setField(t, SEGY_TR_SAMPLE_INTER, static_cast<int>(r.IntervalUs()));
    setField(t, SEGY_TR_GAIN_TYPE, kFixedGain);
    if (r.Blocks.HasGains)
        setField(t, SEGY_TR_INSTR_GAIN_CONST, whole16(r.Blocks.Gains[channel - 1]));
    if (const int highCut = r.HighCutHz())
        setField(t, SEGY_TR_HIGH_CUT_FREQ, highCut);
    const QDate date = r.Date();
    if (date.isValid()) {
        setField(t, SEGY_TR_YEAR_DATA_REC, whole16(date.year()));
        setField(t, SEGY_TR_DAY_OF_YEAR, date.dayOfYear());
    }
    const QTime time = r.Time();
    if (time.isValid()) {
        setField(t, SEGY_TR_HOUR_OF_DAY, time.hour());
        setField(t, SEGY_TR_MIN_OF_HOUR, time.minute());
        setField(t, SEGY_TR_SEC_OF_MIN, time.second());
    }
    setField(t, SEGY_TR_TIME_BASE_CODE, kLocalTime);
    return th;
}

struct SegyCloser
{
    void operator()(segy_file *fp) const { segy_close(fp); }
};

bool writeSegy(const ExchangeRecord &r, const QString &path, QString *problem)
{
    std::unique_ptr<segy_file, SegyCloser> fp(segy_open(QFile::encodeName(path).constData(), "r+b"));
    if (!fp)
        return segyFailed(problem, "open the file", SEGY_FOPEN_ERROR);
    const QByteArray text = SegyTextHeader(r);
    if (const int rc = segy_write_textheader(fp.get(), 0, text.constData()))
        return segyFailed(problem, "write the textual header", rc);
    const QByteArray bin = binaryHeader(r);
    if (const int rc = segy_write_binheader(fp.get(), bin.constData()))
        return segyFailed(problem, "write the binary header", rc);

    const long trace0 = segy_trace0(bin.constData());
    const int samples = r.Samples();
    const int traceSize = segy_trsize(SEGY_IEEE_FLOAT_4_BYTE, samples);
    std::vector<float> buffer(static_cast<size_t>(samples));
    for (int ch = 1; ch <= r.Channels(); ++ch) {
        const QByteArray th = traceHeader(r, ch);
        if (const int rc = segy_write_traceheader(fp.get(), ch - 1, th.constData(), trace0, traceSize))
            return segyFailed(problem, "write a trace header", rc);
        const QVector<float> &trace = r.Trace(ch);
        const size_t have = static_cast<size_t>(qMin<qsizetype>(trace.size(), samples));
        std::fill(buffer.begin(), buffer.end(), 0.0f);
        if (have > 0)
            std::memcpy(buffer.data(), trace.constData(), have * sizeof(float));
        if (const int rc = segy_from_native(SEGY_IEEE_FLOAT_4_BYTE, samples, buffer.data()))
            return segyFailed(problem, "convert samples", rc);
        if (const int rc = segy_writetrace(fp.get(), ch - 1, buffer.data(), trace0, traceSize))
            return segyFailed(problem, "write a trace", rc);
    }
    if (const int rc = segy_flush(fp.get(), false))
        return segyFailed(problem, "flush the file", rc);
    if (const int rc = segy_close(fp.release()))
        return segyFailed(problem, "close the file", rc);
    return true;
}

} // namespace

qint64 SegyFileSize(const ExchangeRecord &record)
{
    return kFirstTraceAt + qint64(record.Channels()) * (kTraceHeaderSize + qint64(kSampleSize) * record.Samples());
}

int CheckSegyRecord(const ExchangeRecord &record, QString *problem)
{
    if (const int refused = CheckExchangeRecord(record, problem); refused != RecordOk)
        return refused;
    const double us = record.IntervalUs();
    QString why;
    if (record.Samples() > kMaxSamples)
        why = QStringLiteral("SEG-Y holds at most %1 samples per trace, the record has %2")
                  .arg(kMaxSamples)
                  .arg(record.Samples());
    else if (us != std::floor(us) || us > kMaxIntervalUs)
        why = QStringLiteral("SEG-Y holds the sample interval in whole microseconds up to %1; "
                             "%2 us would be written wrong (SEG-2 keeps it)")
                  .arg(kMaxIntervalUs)
                  .arg(QString::fromLatin1(Decimal(us, kMetreDecimals)));
    if (why.isEmpty())
        return RecordOk;
    if (problem)
        *problem = why;
    return RecordNotConvertible;
}

QByteArray SegyTextHeader(const ExchangeRecord &r)
{
    const RecordHeader &h = r.Blocks.Header;
    const RecordBlocks &b = r.Blocks;
    Cards cards;
    cards.Add("SURFACE-WAVE RECORD " + AsciiSafe(r.Name) + " WRITTEN BY ZEB");
    cards.Add("PROJECT " + AsciiSafe(h.ProjectName));
    cards.Add("TEST UNIT " + AsciiSafe(h.TestUnit));
    cards.Add("TESTER " + AsciiSafe(h.Tester) + "  PROFILE " + AsciiSafe(h.ProfileNumber));
    cards.Add("SAVED " + AsciiSafe(h.Date) + ' ' + AsciiSafe(h.Time) + " LOCAL TIME");
    cards.Add("CHANNELS " + QByteArray::number(r.Channels()) + "  SAMPLES PER TRACE "
              + QByteArray::number(r.Samples()) + "  SAMPLE INTERVAL "
              + Decimal(r.IntervalUs(), kMetreDecimals) + " US");
    cards.Add("SOURCE AT X 0 M  OFFSET " + metres(h.Offset) + " M  SPACING " + metres(h.TraceSpacing)
              + " M  TRACE ORDER " + (r.ForwardOrder() ? "FORWARD" : "REVERSE"));
    cards.Add("DELAY " + Decimal(r.DelayMs(), kMetreDecimals) + " MS  " + r.FilterText());
    cards.Add(r.TriggerText() + "  SURVEY METHOD " + QByteArray::number(h.SurveyMethod));
    cards.Add(QByteArray("SENSOR ") + (b.SensorType ? "VELOCITY" : "ACCELERATION") + "  METERING SIGNAL "
              + (b.MeteringSignal ? "VELOCITY" : "SIGNAL SOURCE"));
    cards.Add("SAMPLES 4-BYTE IEEE FLOAT, MILLIVOLTS AT THE AMPLIFIER INPUT");
    cards.Add("RECEIVER X IN CM (SCALAR -100), OFFSET IN WHOLE METRES");
    QList<QByteArray> gains, sensitivities;
    for (int ch = 1; ch <= r.Channels(); ++ch) {
        gains << QByteArray::number(b.Gains[ch - 1]);
        sensitivities << FloatText(b.Sensitivity[ch - 1]);
    }
    if (b.HasGains)
        addValueCards(cards, "GAIN DB", gains, kGainsPerCard);
    addValueCards(cards, "SENSITIVITY MV/MM/S", sensitivities, kValuesPerCard);
    for (int ch = 1; ch <= r.Channels() && !cards.Full(); ++ch) {
        if (const QByteArray padding = r.PaddingText(ch); !padding.isEmpty())
            cards.Add("CH " + QByteArray::number(ch) + ' ' + padding);
    }
    return cards.Build();
}

int WriteSegyFile(const ExchangeRecord &record, const QString &path, QString *problem)
{
    if (const int refused = CheckSegyRecord(record, problem); refused != RecordOk)
        return refused;
    const FileFiller fill = [&record](const QString &tempPath, QString *why) {
        return writeSegy(record, tempPath, why);
    };
    return WriteNewFile(path, SegyFileSize(record), fill, problem);
}
