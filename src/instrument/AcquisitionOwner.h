#pragma once

#include "LinkOwner.h"

class InstrumentLink;
class RecordProgress;

/// What the acquisition logic needs from the screen that shows it (the
/// acquisition screen, or a recording stand-in in tests). Everything here is
/// about showing; every decision is taken by AcquisitionCore.
class AcquisitionOwner : public LinkOwner
{
public:
    /// Shows text in a message box and returns once the operator confirmed it.
    virtual void ShowMessage(const QString &text) = 0;
    /// Banner over the trace view: 0 hidden, 1 waiting for the trigger, 2 acquiring.
    virtual void ShowTitle(int state) = 0;
    /// Draws the picture again from the traces on screen.
    virtual void RebuildView() = 0;
    /// Back to the whole record, unscaled, with fresh statistics.
    virtual void ResetView() = 0;
    /// Status fields from the parameter set, the stack count and the last record name.
    virtual void RefreshStatus() = 0;
    /// The unit triggered: from now on the sample command cannot stop the shot.
    virtual void TriggerSeen() = 0;
    /// A shot sequence has ended: keyboard back to the screen, focus on saving.
    virtual void SequenceEnded() = 0;
    /// Clear has emptied the screen: cursor readouts blank, view and buttons anew.
    virtual void Cleared() = 0;
    /// Runs the self-check dialog over link; true when its data is to be kept.
    virtual bool RunSelfCheck(InstrumentLink &link) = 0;
    /// The self-check dialog is gone; settingsLocked: its data stays on screen
    /// and the settings command is closed until it is saved or cleared.
    virtual void SelfCheckEnded(bool settingsLocked) = 0;
    /// Where a record read reports its progress; null for none.
    virtual RecordProgress *ReadProgress() = 0;
    /// A new picture is in the traces on screen (a shot, a restored one, a
    /// record read), just before the view is rebuilt: time to check it.
    virtual void NewPicture() {}
    /// Says text on the status line for a few seconds, without stopping anything.
    virtual void ShowStatusNote(const QString &text) { Q_UNUSED(text); }
};
