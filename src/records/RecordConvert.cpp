#include "RecordConvert.h"

#include "ExchangeRecord.h"
#include "RecordFile.h"
#include "SafeWriteBatch.h"
#include "Seg2Writer.h"
#include "SegyWriter.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString recordName(const QString &recordPath)
{
    const QFileInfo info(recordPath);
    const QString base = info.completeBaseName();
    return base.isEmpty() ? info.fileName() : base;
}

void setProblem(QString *problem, const QString &why)
{
    if (problem)
        *problem = why;
}

} // namespace

QString ExchangeSuffix(ExchangeFormat format)
{
    return format == ExchangeFormat::Seg2 ? QStringLiteral("sg2") : QStringLiteral("sgy");
}

QString ExchangeFileName(const QString &recordPath, ExchangeFormat format)
{
    return recordName(recordPath) + QLatin1Char('.') + ExchangeSuffix(format);
}

int LoadParsedRecord(const QString &path, ParsedRecord &record)
{
    QByteArray bytes;
    const int loaded = LoadRecordBytes(path, bytes);
    if (loaded != RecordOk) {
        record = ParsedRecord();
        record.Result = loaded;
        record.Problem = loaded == RecordUnrecognised ? QStringLiteral("cannot open the file")
                                                      : QStringLiteral("cannot read the file, or far too large");
        return loaded;
    }
    record = ParseRecord(bytes);
    return record.Result;
}

int Seg2FromRecordFile(const QString &recordPath, QByteArray &seg2, QString *problem)
{
    seg2.clear();
    ParsedRecord record;
    if (const int loaded = LoadParsedRecord(recordPath, record); loaded != RecordOk) {
        setProblem(problem, record.Problem);
        return loaded;
    }
    return EncodeSeg2(ExchangeFromParsed(record, recordName(recordPath)), seg2, problem);
}

int ConvertRecordFile(const QString &recordPath, const QString &outDir, ExchangeFormat format,
                      QString *outPath, QString *problem)
{
    const QString target = QDir(outDir).filePath(ExchangeFileName(recordPath, format));
    if (outPath)
        *outPath = target;
    ParsedRecord record;
    if (const int loaded = LoadParsedRecord(recordPath, record); loaded != RecordOk) {
        setProblem(problem, record.Problem);
        return loaded;
    }
    if (!QDir().mkpath(outDir)) {
        setProblem(problem, QStringLiteral("cannot create the folder %1").arg(outDir));
        return RecordWriteFailed;
    }
    const ExchangeRecord exchange = ExchangeFromParsed(record, recordName(recordPath));
    if (format == ExchangeFormat::Segy)
        return WriteSegyFile(exchange, target, problem);
    QByteArray bytes;
    if (const int encoded = EncodeSeg2(exchange, bytes, problem); encoded != RecordOk)
        return encoded;
    return WriteNewFile(target, bytes, problem);
}
