#pragma once

#include "ProjectTaskObserver.h"
#include "SafeWriteBatch.h"

#include <QString>
#include <QStringList>
#include <vector>

class ParamSet;

/// Copies one project folder to the USB stick, so that success is reported
/// only once every byte is on the stick: the stick and the source are
/// checked, the operator is asked before an existing copy is overwritten,
/// free space is checked before anything is written, the files go over in
/// SafeWriteBatch batches and the stick is flushed at the end. No shell is run.
///
/// Beside the project's folder, a folder of the same name with the extension
/// "SG2" receives a SEG-2 file of every record, for the processing programs
/// in the office. These are written only once the record files are safely on
/// the stick, and are part of the same export: the one question covers both
/// folders and the space check counts both. A record that cannot be
/// converted is exported without its SEG-2 file and named in
/// Unconverted(); only a file that cannot be written fails the export.
class ProjectExport
{
public:
    /// project: the project's name without its folder extension.
    ProjectExport(const ParamSet &params, const QString &project, ProjectTaskObserver &observer);

    /// Longest wait for the stick to take one file or the final flush.
    void SetFlushLimitMs(int ms) { m_flushLimitMs = ms; }

    ProjectTaskResult Run();

    /// One file the export writes onto the stick.
    struct PlannedCopy
    {
        QString Source; ///< file copied, or the record converted
        QString Folder; ///< folder on the stick it goes into
        QString Name;
        qint64 Size = 0;     ///< bytes it will take
        qint64 Replaces = 0; ///< bytes of the file of that name it replaces
        bool StartsBatch = false; ///< the files before it are flushed and renamed first
        bool Converted = false;   ///< the SEG-2 file of the record at Source, not a copy
        bool Skipped = false;     ///< a SEG-2 file the record cannot give
    };

    /// File names of the records exported without a SEG-2 file (they cannot
    /// be converted), in the order they were met.
    const QStringList &Unconverted() const { return m_unconverted; }

    /// Stick folder the project goes to (known once Run has found the stick).
    QString TargetFolder() const { return m_target; }

private:
    bool FindSource();
    void PlanProjectFiles();
    void PlanSeg2Files();
    void SizeSeg2Files();
    void CutBatches();
    qint64 RoomNeeded() const;
    bool HasRoom();
    void Unconvertible(PlannedCopy &c, const QString &problem);
    bool PrepareFolders();
    bool WritePlan();
    bool AddToBatch(SafeWriteBatch &batch, PlannedCopy &c);
    bool FlushStick();

    const ParamSet &m_params;
    QString m_project;
    ProjectTaskObserver &m_observer;
    int m_flushLimitMs = kFlushLimitMs;
    QString m_stick;
    QString m_source;
    QString m_target;
    QString m_seg2Target;
    std::vector<PlannedCopy> m_plan;
    QStringList m_unconverted;
    bool m_noRoom = false; ///< the export failed for lack of room on the stick
};
