#pragma once

#include "ProjectTaskObserver.h"
#include "SafeWriteBatch.h"

#include <QString>
#include <vector>

class ParamSet;

/// Copies one project folder to the USB stick, so that success is reported
/// only once every byte is on the stick: the stick and the source are
/// checked, the operator is asked before an existing copy is overwritten,
/// free space is checked before anything is written, the files go over in
/// SafeWriteBatch batches and the stick is flushed at the end. No shell is run.
///
/// Run() is a sequence of steps over a plan of files; a later step (another
/// copy of the records in another format, for instance) adds its files to the
/// plan before the batches are cut and the space is checked, and they are
/// written by the same loop.
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
        QString Source; ///< file copied
        QString Folder; ///< folder on the stick it goes into
        QString Name;
        qint64 Size = 0;     ///< bytes it will take
        qint64 Replaces = 0; ///< bytes of the file of that name it replaces
        bool StartsBatch = false; ///< the files before it are flushed and renamed first
    };

    /// Stick folder the project goes to (known once Run has found the stick).
    QString TargetFolder() const { return m_target; }

private:
    bool FindSource();
    void PlanProjectFiles();
    void CutBatches();
    qint64 RoomNeeded() const;
    bool HasRoom() const;
    bool MakeFolders();
    bool WritePlan();
    bool FlushStick();

    const ParamSet &m_params;
    QString m_project;
    ProjectTaskObserver &m_observer;
    int m_flushLimitMs = kFlushLimitMs;
    QString m_stick;
    QString m_source;
    QString m_target;
    std::vector<PlannedCopy> m_plan;
};
