#include "ProjectListing.h"

#include "RecordFile.h"
#include "params/ParamSet.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace {
const char kDateFormat[] = "yyyy/MM/dd";

struct Entry
{
    QString Name;
    qint64 Modified = 0; ///< ms since the epoch; read only when sorting by time
};
} // namespace

QStringList ListEntries(const QString &folder, const QString &extension, EntryKind kind, bool byName)
{
    if (folder.isEmpty())
        return {};
    // Qt's name filters ignore case: "*.PRO" would take "abc.pro" too.
    const QString suffix = QLatin1Char('.') + extension;
    const QDir::Filters filters = (kind == EntryKind::Folders ? QDir::Dirs : QDir::Files) | QDir::NoDotAndDotDot;
    std::vector<Entry> entries;
    QDirIterator it(folder, filters);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        QString name = info.fileName();
        if (name.size() <= suffix.size() || !name.endsWith(suffix, Qt::CaseSensitive))
            continue;
        const qint64 modified = byName ? 0 : info.lastModified().toMSecsSinceEpoch();
        entries.push_back({std::move(name), modified});
    }
    const auto nameOrder = [](const Entry &a, const Entry &b) { return a.Name < b.Name; };
    if (byName)
        std::sort(entries.begin(), entries.end(), nameOrder);
    else
        std::sort(entries.begin(), entries.end(), [&](const Entry &a, const Entry &b) {
            return a.Modified != b.Modified ? a.Modified > b.Modified : nameOrder(a, b);
        });
    QStringList names;
    names.reserve(int(entries.size()));
    for (Entry &e : entries)
        names.append(std::move(e.Name));
    return names;
}

QString StripExtension(const QString &name, const QString &extension)
{
    const QString suffix = QLatin1Char('.') + extension;
    return name.endsWith(suffix, Qt::CaseSensitive) ? name.chopped(suffix.size()) : name;
}

QString EntryDateText(const QString &path)
{
    const QFileInfo info(path);
    QDateTime created = info.birthTime();
    if (!created.isValid())
        created = info.metadataChangeTime();
    return created.isValid() ? created.toString(QLatin1String(kDateFormat)) : QString();
}

QString ProjectFolderOf(const ParamSet &params, const QString &project)
{
    if (!IsPlainName(project))
        return QString();
    return DataRootPath(params) + QLatin1Char('/') + project + QLatin1Char('.') + params.ProjectFolderExt;
}
