#include "ProjectExport.h"

#include "ProjectListing.h"
#include "RecordLog.h"
#include "app/Platform.h"
#include "params/ParamSet.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {
const QString kExportLabel = QStringLiteral("文件导出中...");
// A batch shares one flush. Bounded so that the progress bar keeps moving on
// a slow stick and the open temporary files stay few.
constexpr qint64 kMaxBatchBytes = qint64(64) << 20;
constexpr int kMaxBatchFiles = 128;
} // namespace

ProjectExport::ProjectExport(const ParamSet &params, const QString &project, ProjectTaskObserver &observer)
    : m_params(params)
    , m_project(project)
    , m_observer(observer)
{
}

ProjectTaskResult ProjectExport::Run()
{
    m_plan.clear();
    m_stick = CurrentPlatform().FindUsbStick();
    if (m_stick.isEmpty())
        return ProjectTaskResult::NoStick;
    if (!FindSource())
        return ProjectTaskResult::NoProject;

    m_target = m_stick + QLatin1Char('/') + m_project + QLatin1Char('.') + m_params.ProjectFolderExt;
    const QFileInfo target(m_target);
    if (target.isSymLink() || (target.exists() && !target.isDir())) {
        // Writing through a link could land anywhere; a file in the way cannot be merged into.
        qCWarning(lcRecords) << "export target" << m_target << "is not a plain folder";
        return ProjectTaskResult::Failed;
    }
    if (target.exists() && !m_observer.ConfirmOverwrite())
        return ProjectTaskResult::Declined;

    PlanProjectFiles();
    CutBatches();
    if (!HasRoom() || !MakeFolders())
        return ProjectTaskResult::Failed;

    m_observer.Started(kExportLabel, int(m_plan.size()));
    const bool written = WritePlan() && FlushStick();
    m_observer.Finished();
    return written ? ProjectTaskResult::Done : ProjectTaskResult::Failed;
}

bool ProjectExport::FindSource()
{
    m_source = ProjectFolderOf(m_params, m_project);
    return !m_source.isEmpty() && QFileInfo(m_source).isDir();
}

void ProjectExport::PlanProjectFiles()
{
    // The project's own files: regular files whose names have an extension.
    // Sub-folders are none of this program's making and are not copied.
    const QFileInfoList files = QDir(m_source).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &file : files) {
        if (!file.fileName().contains(QLatin1Char('.')))
            continue;
        PlannedCopy copy;
        copy.Source = file.filePath();
        copy.Folder = m_target;
        copy.Name = file.fileName();
        copy.Size = file.size();
        const QFileInfo old(m_target + QLatin1Char('/') + copy.Name);
        copy.Replaces = old.isFile() ? old.size() : 0;
        m_plan.push_back(copy);
    }
}

// Old files stay until their batch is renamed: a batch may hold at most as
// many bytes of files it replaces as the largest new file, so that the room
// the export needs stays within the sum of the new files less those replaced,
// plus the largest file.
void ProjectExport::CutBatches()
{
    qint64 largest = 0;
    for (const PlannedCopy &c : m_plan)
        largest = std::max(largest, c.Size);
    int files = 0;
    qint64 bytes = 0;
    qint64 replaced = 0;
    for (PlannedCopy &c : m_plan) {
        c.StartsBatch = files == 0 || files >= kMaxBatchFiles || bytes + c.Size > kMaxBatchBytes
            || replaced + c.Replaces > largest;
        if (c.StartsBatch) {
            files = 0;
            bytes = 0;
            replaced = 0;
        }
        ++files;
        bytes += c.Size;
        replaced += c.Replaces;
    }
}

qint64 ProjectExport::RoomNeeded() const
{
    // The rule above, and the true peak of the batches where files shrink.
    qint64 difference = 0;
    qint64 largest = 0;
    qint64 inUse = 0;
    qint64 peak = 0;
    qint64 batchReplaced = 0;
    for (const PlannedCopy &c : m_plan) {
        difference += c.Size - c.Replaces;
        largest = std::max(largest, c.Size);
        if (c.StartsBatch) {
            inUse -= batchReplaced;
            batchReplaced = 0;
        }
        inUse += c.Size;
        batchReplaced += c.Replaces;
        peak = std::max(peak, inUse);
    }
    return std::max(std::max<qint64>(difference, 0) + largest, peak);
}

bool ProjectExport::HasRoom() const
{
    const qint64 needed = RoomNeeded();
    const qint64 free = CurrentPlatform().FreeBytes(m_stick);
    if (free < 0) {
        qCWarning(lcRecords) << "free space of" << m_stick << "unknown; every write is checked instead";
        return true;
    }
    if (free < needed) {
        qCWarning(lcRecords) << "stick" << m_stick << "has" << free << "bytes free," << needed << "needed";
        return false;
    }
    return true;
}

bool ProjectExport::MakeFolders()
{
    QStringList folders{m_target};
    for (const PlannedCopy &c : m_plan)
        if (!folders.contains(c.Folder))
            folders << c.Folder;
    for (const QString &folder : std::as_const(folders)) {
        if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
            qCWarning(lcRecords) << "cannot create" << folder;
            return false;
        }
    }
    return true;
}

bool ProjectExport::WritePlan()
{
    SafeWriteBatch batch(OldFile::Replace, m_flushLimitMs);
    for (size_t i = 0; i < m_plan.size(); ++i) {
        const PlannedCopy &c = m_plan[i];
        if (c.StartsBatch && batch.Count() > 0 && !batch.Commit())
            return false;
        m_observer.Progress(int(i));
        if (!batch.AddCopy(c.Source, c.Folder, c.Name))
            return false;
    }
    if (!batch.Commit())
        return false;
    m_observer.Progress(int(m_plan.size()));
    return true;
}

bool ProjectExport::FlushStick()
{
    // The renames and folder entries are on the stick only after this.
    if (!CurrentPlatform().FlushVolume(m_stick, m_flushLimitMs)) {
        qCWarning(lcRecords) << "flushing the stick" << m_stick << "failed";
        return false;
    }
    return true;
}
