#include "ProjectDeletion.h"

#include "ProjectListing.h"
#include "RecordFile.h"
#include "RecordLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kDeletionLabel = QStringLiteral("文件删除中...");

ProjectTaskResult removeLink(const QString &link, ProjectTaskObserver &observer)
{
    observer.Started(kDeletionLabel, 0);
    observer.Progress(0);
    const bool removed = QFile::remove(link); // the link, not what it points to
    observer.Finished();
    return removed ? ProjectTaskResult::Done : ProjectTaskResult::Failed;
}

bool isDirectChildOf(const QFileInfo &folder, const QString &root)
{
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    const QString canonical = folder.canonicalFilePath();
    return !canonicalRoot.isEmpty() && !canonical.isEmpty() && QFileInfo(canonical).path() == canonicalRoot;
}
} // namespace

ProjectTaskResult DeleteProject(const ParamSet &params, const QString &project, ProjectTaskObserver &observer)
{
    const QString folder = ProjectFolderOf(params, project);
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir())
        return ProjectTaskResult::NoProject;
    if (!observer.ConfirmDeletion())
        return ProjectTaskResult::Declined;
    if (info.isSymLink())
        return removeLink(folder, observer);
    if (!isDirectChildOf(info, DataRootPath(params))) {
        qCWarning(lcRecords) << "not deleting" << folder << ": not a folder of the data root";
        return ProjectTaskResult::Failed;
    }

    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name);
    observer.Started(kDeletionLabel, int(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        observer.Progress(i);
        observer.Pace(kDeletionPaceMs);
        const QString &name = entries.at(i);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        const QFileInfo entry(path);
        if (entry.isDir() && !entry.isSymLink())
            continue; // never recursive: the folder stays and the deletion fails
        if (!QFile::remove(path))
            qCWarning(lcRecords) << "cannot remove" << path;
    }
    observer.Progress(int(entries.size()));
    const bool removed = QDir().rmdir(folder);
    observer.Finished();
    if (!removed)
        qCWarning(lcRecords) << "cannot remove the project folder" << folder;
    return removed ? ProjectTaskResult::Done : ProjectTaskResult::Failed;
}
