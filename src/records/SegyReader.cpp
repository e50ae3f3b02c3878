#include "SegyReader.h"

#include "SegyWriter.h"
#include "SpreadPlacement.h"

#include <QDate>
#include <QFile>
#include <QTime>
#include <QtEndian>

#include <segyio/segy.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

using namespace SegyLayout;

namespace {

// Positions in the binary header and in a trace header, from the file's start
// of each (the standard's byte numbers less one).
constexpr int kBinSamplesPos = kTextHeaderSize + 20;
constexpr int kBinFormatPos = kTextHeaderSize + 24;
constexpr int kTraceSamplesPos = 114;
constexpr int kSuSampleSize = 4;

struct SegyCloser
{
    void operator()(segy_file *fp) const { segy_close(fp); }
};

int field(const char *header, int which)
{
    int32_t v = 0;
    segy_get_field(header, which, &v);
    return v;
}

/// Coordinates times their scalar: a negative scalar divides, zero means one.
double scaled(int value, int scalar)
{
    if (scalar > 0)
        return double(value) * scalar;
    if (scalar < 0)
        return double(value) / -double(scalar);
    return value;
}

double ibmToDouble(quint32 bits)
{
    const int sign = (bits >> 31) ? -1 : 1;
    const int exponent = int((bits >> 24) & 0x7f) - 64;
    const double fraction = double(bits & 0x00ffffff) / double(1 << 24);
    return sign * fraction * std::pow(16.0, exponent);
}

/// One trace's bytes as segyio hands them over (big-endian whatever the file) as floats.
QVector<float> samplesOf(const std::vector<char> &raw, int format, int samples)
{
    QVector<float> out(samples);
    const char *p = raw.data();
    for (int i = 0; i < samples; ++i) {
        switch (format) {
        case SEGY_IBM_FLOAT_4_BYTE:
            out[i] = float(ibmToDouble(qFromBigEndian<quint32>(p + 4 * i)));
            break;
        case SEGY_SIGNED_INTEGER_4_BYTE:
            out[i] = float(qFromBigEndian<qint32>(p + 4 * i));
            break;
        case SEGY_SIGNED_SHORT_2_BYTE:
            out[i] = float(qFromBigEndian<qint16>(p + 2 * i));
            break;
        case SEGY_SIGNED_CHAR_1_BYTE:
            out[i] = float(qint8(p[i]));
            break;
        default:
            out[i] = qFromBigEndian<float>(p + 4 * i);
            break;
        }
    }
    return out;
}

bool readable(int format)
{
    return format == SEGY_IBM_FLOAT_4_BYTE || format == SEGY_SIGNED_INTEGER_4_BYTE
        || format == SEGY_SIGNED_SHORT_2_BYTE || format == SEGY_IEEE_FLOAT_4_BYTE
        || format == SEGY_SIGNED_CHAR_1_BYTE;
}

} // namespace

SegyKind SniffSegy(const QByteArray &head, qint64 fileSize)
{
    if (head.size() >= kFirstTraceAt) {
        const int samples = qFromBigEndian<qint16>(head.constData() + kBinSamplesPos);
        const int format = qFromBigEndian<qint16>(head.constData() + kBinFormatPos);
        if (samples > 0 && readable(format))
            return SegyKind::Segy;
    }
    if (head.size() >= kTraceHeaderSize) {
        const struct
        {
            SegyKind Kind;
            int Samples;
        } guesses[] = {{SegyKind::SuLittle, qFromLittleEndian<quint16>(head.constData() + kTraceSamplesPos)},
                       {SegyKind::SuBig, qFromBigEndian<quint16>(head.constData() + kTraceSamplesPos)}};
        for (const auto &g : guesses) {
            const qint64 trace = kTraceHeaderSize + qint64(kSuSampleSize) * g.Samples;
            if (g.Samples > 0 && fileSize % trace == 0)
                return g.Kind;
        }
    }
    return SegyKind::None;
}

ParsedRecord ReadSegyRecord(const QString &path, SegyKind kind)
{
    if (kind == SegyKind::None)
        return ParsedRecord::Refused(RecordUnrecognised, QStringLiteral("not a SEG-Y or SU file"));
    if (QFile(path).size() > RecordLayout::kMaxFileBytes)
        return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("far too large for a record"));
    std::unique_ptr<segy_file, SegyCloser> fp(segy_open(QFile::encodeName(path).constData(), "rb"));
    if (!fp)
        return ParsedRecord::Refused(RecordUnrecognised, QStringLiteral("cannot open the file"));

    const bool su = kind != SegyKind::Segy;
    int format = SEGY_IEEE_FLOAT_4_BYTE;
    int samples = 0;
    long trace0 = 0;
    double binaryIntervalUs = 0;
    std::vector<char> header(kTraceHeaderSize);
    if (su) {
        segy_set_format(fp.get(), SEGY_IEEE_FLOAT_4_BYTE | (kind == SegyKind::SuLittle ? SEGY_LSB : SEGY_MSB));
        if (segy_traceheader(fp.get(), 0, header.data(), 0, kTraceHeaderSize) != SEGY_OK)
            return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("cannot read the first trace header"));
        samples = field(header.data(), SEGY_TR_SAMPLE_COUNT);
    } else {
        std::vector<char> bin(static_cast<size_t>(segy_binheader_size()));
        if (segy_binheader(fp.get(), bin.data()) != SEGY_OK)
            return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("cannot read the binary header"));
        format = segy_format(bin.data());
        samples = segy_samples(bin.data());
        trace0 = segy_trace0(bin.data());
        int32_t interval = 0;
        segy_get_bfield(bin.data(), SEGY_BIN_INTERVAL, &interval);
        binaryIntervalUs = interval;
        segy_set_format(fp.get(), format);
    }
    if (!readable(format))
        return ParsedRecord::Refused(RecordUnrecognised, QStringLiteral("samples in format %1, which this program does not read").arg(format));
    if (samples < 1)
        return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("the traces hold no samples"));
    const int traceSize = segy_trsize(format, samples);
    int traces = 0;
    if (traceSize <= 0 || segy_traces(fp.get(), &traces, trace0, traceSize) != SEGY_OK)
        return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("the file does not hold whole traces of %1 samples").arg(samples));

    ParsedRecord record;
    record.Layout.Format = su ? QStringLiteral("SU") : QStringLiteral("SEG-Y");
    record.Layout.Identification = su ? QStringLiteral("Seismic Unix") : QStringLiteral("SEG-Y");
    record.Layout.FileSize = QFile(path).size();
    record.Layout.DataOffset = int(trace0);
    record.Layout.DataBytes = qint64(traces) * (traceSize + kTraceHeaderSize);

    struct Coordinates
    {
        double Source, Group, Offset;
    };
    std::vector<Coordinates> where;
    std::vector<TracePlace> places;
    std::vector<char> raw(static_cast<size_t>(traceSize));
    double resolution = 1.0;
    bool allGains = true;
    for (int i = 0; i < traces; ++i) {
        if (segy_traceheader(fp.get(), i, header.data(), trace0, traceSize) != SEGY_OK)
            return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("cannot read trace %1's header").arg(i + 1));
        const char *h = header.data();
        const int scalar = field(h, SEGY_TR_SOURCE_GROUP_SCALAR);
        where.push_back({scaled(field(h, SEGY_TR_SOURCE_X), scalar), scaled(field(h, SEGY_TR_GROUP_X), scalar),
                         double(field(h, SEGY_TR_OFFSET))});
        if (i == 0)
            resolution = scalar < 0 ? 1.0 / -double(scalar) : (scalar > 0 ? double(scalar) : 1.0);
        TracePlace place;
        const int own = field(h, SEGY_TR_SAMPLE_INTER);
        place.IntervalUs = own > 0 ? own : binaryIntervalUs;
        const int count = field(h, SEGY_TR_SAMPLE_COUNT);
        place.Samples = count > 0 ? count : samples;
        place.DelayMs = field(h, SEGY_TR_DELAY_REC_TIME);
        places.push_back(place);
        if (i < kMaxChannels) {
            const int gain = field(h, SEGY_TR_INSTR_GAIN_CONST);
            record.Blocks.Gains[size_t(i)] = gain;
            allGains = allGains && field(h, SEGY_TR_GAIN_TYPE) != 0;
        }
        if (i == 0) {
            RecordHeader &rh = record.Blocks.Header;
            rh.Filter = float(field(h, SEGY_TR_HIGH_CUT_FREQ));
            const QDate date = QDate(field(h, SEGY_TR_YEAR_DATA_REC), 1, 1).addDays(field(h, SEGY_TR_DAY_OF_YEAR) - 1);
            const QTime time(field(h, SEGY_TR_HOUR_OF_DAY), field(h, SEGY_TR_MIN_OF_HOUR), field(h, SEGY_TR_SEC_OF_MIN));
            const bool dated = field(h, SEGY_TR_DAY_OF_YEAR) >= 1 && date.isValid() && date.year() == field(h, SEGY_TR_YEAR_DATA_REC);
            rh.Date = dated ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
            rh.Time = dated && time.isValid() ? time.toString(QStringLiteral("hh:mm:ss")) : QString();
        }
        if (segy_readtrace(fp.get(), i, raw.data(), trace0, traceSize) != SEGY_OK)
            return ParsedRecord::Refused(RecordCorrupt, QStringLiteral("cannot read trace %1").arg(i + 1));
        record.Traces.push_back(samplesOf(raw, format, samples));
    }

    // Coordinates where they tell the receivers apart, the offsets otherwise.
    bool coordinates = false, offsets = false;
    for (const Coordinates &c : where) {
        coordinates = coordinates || c.Group != where.front().Group || c.Source != where.front().Source
            || (where.size() == 1 && c.Group != 0);
        offsets = offsets || c.Offset != where.front().Offset || (where.size() == 1 && c.Offset != 0);
    }
    if (!coordinates && !offsets)
        return ParsedRecord::Refused(RecordNotPlaceable, QStringLiteral("the traces state neither receiver coordinates nor offsets"));
    for (size_t i = 0; i < places.size(); ++i) {
        places[i].SourceX = coordinates ? where[i].Source : 0.0;
        places[i].ReceiverX = coordinates ? where[i].Group : where[i].Offset;
    }
    QString problem;
    if (PlaceSpread(places, coordinates ? resolution : 1.0, record.Blocks.Header, &problem) != RecordOk)
        return ParsedRecord::Refused(RecordNotPlaceable, problem);
    record.Blocks.Header.Delay = float(places.front().DelayMs);
    record.Blocks.HasGains = allGains;
    record.StoredSampleInterval = record.Blocks.Header.SampleInterval;
    record.Blocks.Header.SampleInterval = FlooredSampleInterval(record.StoredSampleInterval);
    record.Result = RecordOk;
    return record;
}
