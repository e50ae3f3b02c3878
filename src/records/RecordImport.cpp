#include "RecordImport.h"

#include "RecordConvert.h"
#include "RecordFile.h"
#include "Seg2Reader.h"
#include "SegyReader.h"
#include "SegyWriter.h"

#include <QFile>

namespace {

bool looksLikeQdw(const QByteArray &head)
{
    using namespace RecordLayout;
    const QByteArray mark = head.left(kMarkSize);
    return mark == kIdentMark || mark == kIdentMarkLower || mark == kWritingMark || mark == kOldMark;
}

} // namespace

int LoadAnyRecord(const QString &path, ParsedRecord &record)
{
    QFile file(path);
    // What cannot be opened gets the QDW reader's refusal, as it always has.
    if (!file.open(QIODevice::ReadOnly))
        return LoadParsedRecord(path, record);
    const QByteArray head = file.read(SegyLayout::kFirstTraceAt);
    const qint64 size = file.size();
    file.close();

    if (looksLikeQdw(head))
        return LoadParsedRecord(path, record);
    if (LooksLikeSeg2(head)) {
        QByteArray bytes;
        if (const int loaded = LoadRecordBytes(path, bytes); loaded != RecordOk)
            return LoadParsedRecord(path, record);
        record = ParseSeg2(bytes);
        return record.Result;
    }
    if (const SegyKind kind = SniffSegy(head, size); kind != SegyKind::None) {
        record = ReadSegyRecord(path, kind);
        return record.Result;
    }
    record = ParsedRecord();
    record.Result = RecordUnrecognised;
    record.Problem = QStringLiteral("neither a QDW record nor a SEG-2, SEG-Y or SU file");
    return record.Result;
}
