#include "RecordNaming.h"

#include "ProjectListing.h"
#include "RecordFile.h"
#include "params/ParamSet.h"

#include <QDirIterator>
#include <QFileInfo>

namespace {

const char kFirstName[] = "0001";
const char kFirstNumber[] = "1";

/// Record names (without extension) in the project folder of params, and the
/// newest of them: the latest modification, the highest name among equal
/// times (saves in quick succession share a time stamp of the file system).
QSet<QString> RecordNames(const ParamSet &params, QString *newest)
{
    QSet<QString> names;
    QString latestName;
    qint64 latest = 0;
    if (newest)
        newest->clear();
    const QString folder = ProjectFolderOf(params, params.Header.ProjectName);
    if (folder.isEmpty())
        return names;
    const QString suffix = QLatin1Char('.') + params.RecordFileExt;
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString file = info.fileName();
        if (file.size() <= suffix.size() || !file.endsWith(suffix, Qt::CaseSensitive))
            continue;
        const QString name = file.chopped(suffix.size());
        names.insert(name);
        const qint64 modified = info.lastModified().toMSecsSinceEpoch();
        if (latestName.isEmpty() || modified > latest || (modified == latest && name > latestName)) {
            latest = modified;
            latestName = name;
        }
    }
    if (newest)
        *newest = latestName;
    return names;
}

} // namespace

QString NextRecordName(const QString &last, const QSet<QString> &taken, int maxLength)
{
    if (last.isEmpty() && !taken.contains(QLatin1String(kFirstName)))
        return QLatin1String(kFirstName);
    QString stem = last;
    QString digits;
    if (last.isEmpty()) {
        digits = QLatin1String(kFirstName);
    } else {
        int start = last.size();
        while (start > 0 && last.at(start - 1).isDigit() && last.at(start - 1).unicode() < 128)
            --start;
        stem = last.left(start);
        digits = last.mid(start);
        if (digits.isEmpty()) {
            const QString candidate = stem + QLatin1String(kFirstNumber);
            if (candidate.size() > maxLength)
                return QString();
            if (!taken.contains(candidate))
                return candidate;
            digits = QLatin1String(kFirstNumber);
        }
    }
    const int width = int(digits.size());
    // Leading zeros are width, not value: a number of more digits than fit
    // the name limit can never come back within it.
    if (stem.size() + width > maxLength)
        return QString();
    qint64 number = digits.toLongLong();
    // Each taken name is stepped over once at most, so this ends.
    for (;;) {
        ++number;
        const QString candidate = stem + QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
        if (candidate.size() > maxLength)
            return QString();
        if (!taken.contains(candidate))
            return candidate;
    }
}

QString LastSavedRecordName(const ParamSet &params)
{
    QString newest;
    RecordNames(params, &newest);
    return newest;
}

QString SuggestedRecordName(const ParamSet &params)
{
    QString newest;
    const QSet<QString> taken = RecordNames(params, &newest);
    return NextRecordName(newest, taken, kMaxRecordNameLength);
}
