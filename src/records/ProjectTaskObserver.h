#pragma once

#include <QString>
#include <QStringList>

/// How exporting or deleting a project ended.
enum class ProjectTaskResult {
    Done,
    NoStick,   ///< no USB stick to export to
    NoProject, ///< the project is not an existing folder of the data root
    Declined,  ///< the operator said no to the question
    Failed,    ///< something could not be written, flushed or removed
    NoRoom,    ///< the stick has no room for the export
};

/// The operator's message for the end of an export (exporting) or a
/// deletion; empty when there is nothing to say (declined).
QString ProjectTaskMessage(ProjectTaskResult result, bool exporting);
/// The second message of an export that left records without a SEG-2 file
/// (their file names); empty when there are none.
QString UnconvertedRecordsMessage(const QStringList &records);

/// What exporting and deleting a project need from the screen that runs
/// them: the questions, a progress display and a wait that keeps the screen
/// alive. The core knows nothing about windows.
class ProjectTaskObserver
{
public:
    virtual ~ProjectTaskObserver() = default;
    /// The project's folder exists on the stick already: true to overwrite its files.
    virtual bool ConfirmOverwrite() = 0;
    /// Last word before the project's files go: true to delete.
    virtual bool ConfirmDeletion() = 0;
    /// The work starts: its label and the largest value Progress will give.
    virtual void Started(const QString &label, int maximum) = 0;
    virtual void Progress(int value) = 0;
    /// Once after Started, however the work ends.
    virtual void Finished() = 0;
    /// Waits ms milliseconds between two removals, the event loop running.
    virtual void Pace(int ms) = 0;
};
