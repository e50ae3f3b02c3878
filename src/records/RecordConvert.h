#pragma once

#include "RecordFormat.h"

#include <QByteArray>
#include <QString>

/// The exchange formats a record converts to.
enum class ExchangeFormat { Seg2, Segy };

/// "sg2" or "sgy".
QString ExchangeSuffix(ExchangeFormat format);
/// The name a record file converts to: its own name less the extension, plus
/// the format's. Taken from the file name alone, so it never leads elsewhere.
QString ExchangeFileName(const QString &recordPath, ExchangeFormat format);

/// Reads and parses the record file at path: RecordOk, or the reader's refusal
/// (RecordUnrecognised, RecordCorrupt, RecordNotSurfaceWave) with the reason in
/// record.Problem.
int LoadParsedRecord(const QString &path, ParsedRecord &record);

/// The SEG-2 file of the record file at recordPath, as bytes for the caller to
/// write (the USB export writes them through its own safe write). RecordOk; the
/// reader's refusal; or RecordNotConvertible. problem says why.
int Seg2FromRecordFile(const QString &recordPath, QByteArray &seg2, QString *problem = nullptr);

/// Converts the record file at recordPath into outDir (created when missing)
/// under ExchangeFileName, never replacing a file. RecordOk; the reader's
/// refusal; RecordNotConvertible; RecordExists; RecordWriteFailed. outPath gets
/// the output's path, problem the reason of a failure.
int ConvertRecordFile(const QString &recordPath, const QString &outDir, ExchangeFormat format,
                      QString *outPath = nullptr, QString *problem = nullptr);
