// curve: the combined dispersion curve of several records of one spread,
// with Vs30 and its site classes, as the dispersion screen builds it.
#include "RecordTool.h"

#include "analysis/DispersionImage.h"
#include "records/RecordFile.h"
#include "records/SafeWriteBatch.h"
#include "surfacewave/CombinedCurve.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

struct Options
{
    QStringList Inputs;
    QString Output;
    DispersionGrid Grid;
};

/// The record files named: a folder gives its records in name order.
QStringList RecordPaths(const QStringList &inputs)
{
    QStringList paths;
    for (const QString &input : inputs) {
        if (!QFileInfo(input).isDir()) {
            paths << input;
            continue;
        }
        const QFileInfoList entries = QDir(input).entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo &e : entries)
            if (e.suffix().compare(QLatin1String(RecordLayout::kFileExtension), Qt::CaseInsensitive) == 0)
                paths << e.filePath();
    }
    return paths;
}

QByteArray CurveCsv(const CombinedCurve &curve, const Vs30Estimate &vs30)
{
    QByteArray out = "wavelength_m,frequency_hz,velocity_m_s,sd_m_s,count\n";
    char line[160];
    for (const CurveBin &b : curve.Bins) {
        std::snprintf(line, sizeof line, "%.3f,%.4f,%.2f,%.2f,%d\n", b.Wavelength, b.Frequency, b.Velocity, b.Sd,
                      b.Count);
        out += line;
    }
    if (vs30.Ok()) {
        std::snprintf(line, sizeof line, "vs30_m_s,%.1f,nehrp,%s,ec8,%s\n", vs30.Vs30, qPrintable(vs30.Nehrp),
                      qPrintable(vs30.Ec8));
        out += line;
    } else {
        out += "vs30_m_s,none," + vs30.Reason.toUtf8() + "\n";
    }
    return out;
}

} // namespace

int RunCurve(const ToolArgs &args)
{
    Options o;
    if (!ParseGridCommand(args, o.Output, o.Grid, o.Inputs))
        return UsageError();
    if (!o.Output.isEmpty()) {
        if (const int taken = CheckOutputFree(o.Output))
            return taken;
    }
    const QStringList paths = RecordPaths(o.Inputs);
    std::vector<RecordPicks> records;
    int firstRefusal = 0;
    for (const QString &path : paths) {
        ParsedRecord record;
        if (const int refused = LoadRecordForTool(path, record)) {
            firstRefusal = firstRefusal ? firstRefusal : refused;
            continue;
        }
        const DispersionImage image = ComputeDispersionImage(record.Traces.data(), int(record.Traces.size()),
                                                             GeometryFromHeader(record.Blocks.Header), o.Grid);
        if (!image.Ok()) {
            std::fprintf(stderr, "%s\n%s: %s\n", DispersionResultMessage(image.Result).toUtf8().constData(),
                         QFile::encodeName(path).constData(), image.Problem.toUtf8().constData());
            if (image.Result == DispersionBadGrid)
                return kExitUsage;
            firstRefusal = firstRefusal ? firstRefusal : kExitNotConvertible;
            continue;
        }
        std::fprintf(stderr, "%s: %d picks\n", QFile::encodeName(path).constData(), int(image.Curve.size()));
        records.push_back(PicksOfImage(QFileInfo(path).fileName(), image));
    }
    if (records.empty()) {
        std::fprintf(stderr, "zeb-record: no record gave a dispersion curve\n");
        return firstRefusal ? firstRefusal : kExitNotConvertible;
    }
    const CombinedCurve curve = CombineRecords(records);
    const QByteArray csv = CurveCsv(curve, EstimateVs30(curve));
    std::fprintf(stderr, "combined: %d records, %d wavelength bins, %d picks dropped as outliers\n",
                 curve.RecordCount, int(curve.Bins.size()), curve.Dropped);
    if (o.Output.isEmpty()) {
        const int written = FinishOutput(put(csv));
        return written ? written : firstRefusal;
    }
    if (const int failed = WriteToolOutput(o.Output, csv))
        return failed;
    return firstRefusal;
}
