#include "ProjectExport.h"

#include "ProjectListing.h"
#include "RecordConvert.h"
#include "RecordLog.h"
#include "platform/Platform.h"
#include "params/ParamSet.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {
const QString kExportLabel = QStringLiteral("文件导出中...");
const QString kSeg2FolderExt = QStringLiteral("SG2");
// A batch shares one flush. Bounded so that the progress bar keeps moving on
// a slow stick and the open temporary files stay few.
constexpr qint64 kMaxBatchBytes = qint64(64) << 20;
constexpr int kMaxBatchFiles = 128;

// Writing through a link could land anywhere; a file in the way cannot be merged into.
bool isPlainFolderOrAbsent(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isDir())) {
        qCWarning(lcRecords) << "export target" << path << "is not a plain folder";
        return false;
    }
    return true;
}

qint64 sizeOnStick(const QString &path)
{
    const QFileInfo old(path);
    return old.isFile() ? old.size() : 0;
}
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
    m_unconverted.clear();
    m_noRoom = false;
    m_stick = CurrentPlatform().FindUsbStick();
    if (m_stick.isEmpty())
        return ProjectTaskResult::NoStick;
    if (!FindSource())
        return ProjectTaskResult::NoProject;

    m_target = m_stick + QLatin1Char('/') + m_project + QLatin1Char('.') + m_params.ProjectFolderExt;
    m_seg2Target = m_stick + QLatin1Char('/') + m_project + QLatin1Char('.') + kSeg2FolderExt;
    if (!isPlainFolderOrAbsent(m_target) || !isPlainFolderOrAbsent(m_seg2Target))
        return ProjectTaskResult::Failed;
    // SEG-2 files left from an earlier export are the project's too, even
    // where its record folder has gone since: they would be overwritten.
    const bool onStick = QFileInfo::exists(m_target) || QFileInfo::exists(m_seg2Target);
    if (onStick && !m_observer.ConfirmOverwrite())
        return ProjectTaskResult::Declined;

    PlanProjectFiles();
    PlanSeg2Files();
    m_observer.Started(kExportLabel, int(m_plan.size()));
    SizeSeg2Files();
    CutBatches();
    const bool written = HasRoom() && PrepareFolders() && WritePlan() && FlushStick();
    m_observer.Finished();
    if (written)
        return ProjectTaskResult::Done;
    return m_noRoom ? ProjectTaskResult::NoRoom : ProjectTaskResult::Failed;
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
        copy.Replaces = sizeOnStick(m_target + QLatin1Char('/') + copy.Name);
        m_plan.push_back(copy);
    }
}

void ProjectExport::PlanSeg2Files()
{
    // Records as the browser lists them: the extension in exactly that case.
    const size_t files = m_plan.size();
    for (size_t i = 0; i < files; ++i) {
        const QString source = m_plan[i].Source;
        const QString base = StripExtension(m_plan[i].Name, m_params.RecordFileExt);
        if (base == m_plan[i].Name || base.isEmpty())
            continue;
        PlannedCopy seg2;
        seg2.Source = source;
        seg2.Folder = m_seg2Target;
        seg2.Name = ExchangeFileName(source, ExchangeFormat::Seg2);
        seg2.Replaces = sizeOnStick(m_seg2Target + QLatin1Char('/') + seg2.Name);
        seg2.Converted = true;
        m_plan.push_back(seg2);
    }
}

// A SEG-2 file's size is known once it is built; building each one here and
// again when it is written keeps one record's bytes in memory, not a
// project's. A record that cannot be converted is only left without its
// SEG-2 file: its own file goes to the stick like every other, and the
// operator is told which records have no SEG-2 copy.
void ProjectExport::SizeSeg2Files()
{
    for (PlannedCopy &c : m_plan) {
        if (!c.Converted)
            continue;
        QByteArray seg2;
        QString problem;
        if (Seg2FromRecordFile(c.Source, seg2, &problem) != RecordOk)
            Unconvertible(c, problem);
        c.Size = seg2.size();
    }
}

void ProjectExport::Unconvertible(PlannedCopy &c, const QString &problem)
{
    qCWarning(lcRecords) << "exporting" << c.Source << "without its SEG-2 file:" << problem;
    c.Skipped = true;
    c.Size = 0;
    const QString name = QFileInfo(c.Source).fileName();
    if (!m_unconverted.contains(name))
        m_unconverted << name;
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
    bool converting = false;
    for (PlannedCopy &c : m_plan) {
        // The SEG-2 files start a batch of their own: the record files are
        // safely in place before the first of them is written.
        c.StartsBatch = files == 0 || files >= kMaxBatchFiles || bytes + c.Size > kMaxBatchBytes
            || replaced + c.Replaces > largest || c.Converted != converting;
        converting = c.Converted;
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

bool ProjectExport::HasRoom()
{
    const qint64 needed = RoomNeeded();
    const qint64 free = CurrentPlatform().FreeBytes(m_stick);
    if (free < 0) {
        qCWarning(lcRecords) << "free space of" << m_stick << "unknown; every write is checked instead";
        return true;
    }
    if (free < needed) {
        qCWarning(lcRecords) << "stick" << m_stick << "has" << free << "bytes free," << needed << "needed";
        m_noRoom = true;
        return false;
    }
    return true;
}

bool ProjectExport::PrepareFolders()
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
        // An export cut short left these; they only take up the stick.
        RemoveAbandonedTemporaries(folder);
    }
    return true;
}

bool ProjectExport::WritePlan()
{
    SafeWriteBatch batch(m_flushLimitMs);
    const auto committed = [this, &batch] {
        if (batch.Commit())
            return true;
        qCWarning(lcRecords) << "export failed:" << batch.Problem();
        m_noRoom = batch.DiskFull();
        return false;
    };
    for (size_t i = 0; i < m_plan.size(); ++i) {
        const PlannedCopy &c = m_plan[i];
        if (c.StartsBatch && batch.Count() > 0 && !committed())
            return false;
        m_observer.Progress(int(i));
        if (!AddToBatch(batch, m_plan[i]))
            return false;
    }
    if (!committed())
        return false;
    m_observer.Progress(int(m_plan.size()));
    return true;
}

bool ProjectExport::AddToBatch(SafeWriteBatch &batch, PlannedCopy &c)
{
    if (c.Skipped)
        return true;
    bool added = false;
    if (c.Converted) {
        QByteArray seg2;
        QString problem;
        if (Seg2FromRecordFile(c.Source, seg2, &problem) != RecordOk) {
            Unconvertible(c, problem);
            return true;
        }
        added = batch.AddBytes(seg2, c.Folder, c.Name);
    } else {
        added = batch.AddCopy(c.Source, c.Folder, c.Name);
    }
    if (!added) {
        qCWarning(lcRecords) << "export failed:" << batch.Problem();
        m_noRoom = batch.DiskFull();
    }
    return added;
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
