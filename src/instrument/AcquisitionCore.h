#pragma once

#include "params/ParamSet.h"
#include "records/ShotJournal.h"

#include <QElapsedTimer>
#include <QString>
#include <array>
#include <memory>
#include <optional>

class AcquisitionOwner;
class InstrumentLink;

/// Which of the acquisition screen's ten commands are open in a state.
struct CommandStates
{
    bool Set = false;
    bool Read = false;
    bool Analysis = false;
    bool AutoCheck = false;
    bool Sample = false;
    bool Add = false;
    bool Clear = false;
    bool Save = false;
    bool Exit = false;
    bool UpLoad = false;
    /// The sample command stops the running shot ("停止(S)").
    bool SampleStops = false;
};

/// Battery level at and below which the battery shows red.
constexpr int kBatteryRedLevel = 4;

/// The command states for acqState, where channel 1's trace on screen has
/// data or not and that picture is saved already (automatic saving) or not;
/// nothing for a state outside the table (the buttons then stay as they are).
std::optional<CommandStates> CommandStatesFor(int acqState, bool channel1HasData, bool pictureSaved = false);

/// The acquisition screen's logic without widgets: the shot sequence with its
/// stop and give-up rules, stacking and undo, Clear, saving and reading
/// records, the self-check's parameter juggling, applying new settings and
/// the clock tick's polls. It drives the instrument link and the process-wide
/// trace store, and tells its owner what to show.
class AcquisitionCore
{
public:
    AcquisitionCore(InstrumentLink &link, AcquisitionOwner &owner);
    /// Waits for the journal entries still being written.
    ~AcquisitionCore();

    /// The sample command: takes a whole shot, or turns a trigger wait into a stop.
    void Sample();
    /// A shot sequence is under way (from sending the parameters to its end).
    bool SequenceRunning() const { return m_sequenceRunning; }
    /// A shot sequence runs or a command waits for its reply.
    bool Busy() const;

    /// Empties the screen and the stack and returns to the idle state.
    void Clear();
    /// The operator's clear: Clear, and the operator's parameters back in the current set.
    void ClearScreen();
    /// Whether a stacked shot can be taken back.
    bool CanUndo() const;
    /// Takes the newest stacked shot back out; false when there is none.
    bool UndoShot();

    /// Turns stacking on with these channel locks; stays off (and the stack is
    /// cleared) when every channel in use is locked.
    void StartStacking(const std::array<bool, kMaxChannels> &locks);
    /// Turns stacking off and forgets the stacked shots.
    void StopStacking();

    /// Saves the record on screen under name in the project's folder; clears
    /// the screen on success, keeps everything on failure. A result of RecordResult.
    int Save(const QString &name);
    /// The name the save prompt offers: the next free numbered name of the
    /// project (empty when none fits the name limit).
    QString SuggestedName() const;
    /// Reads the record file of project and file into the screen (state 4 on
    /// success); a pick in the journal's project (JournalProjectName()) comes
    /// back as after a shot instead, ready to save. A result of RecordResult.
    int Read(const QString &project, const QString &file);

    /// The newest journal entry when its picture was never saved (and the
    /// operator has not turned it down in this run); nothing otherwise.
    std::optional<JournalEntry> UnsavedJournalEntry() const;
    /// The operator does not want entry back now: it stays in the journal,
    /// and this run does not offer it again.
    void DeclineRecovery(const JournalEntry &entry);
    /// Puts the picture of a journal entry back on screen as after a shot,
    /// ready to save. A result of RecordResult; a damaged entry is refused
    /// with its message and the screen stays as it was.
    int RestoreFromJournal(const JournalEntry &entry);
    /// The picture on screen after a shot is saved already (automatic
    /// saving): the screen is then open as after a save.
    bool PictureSaved() const { return m_pictureSaved; }
    /// The journal of the pictures on screen.
    ShotJournal &Journal() const { return *m_journal; }

    /// The self-check command: forces the self-check parameters, runs the
    /// owner's dialog and keeps or drops its data.
    void SelfCheck();
    /// After the settings screen: the new parameters become the operator's
    /// (saved to the settings file and sent to the unit) unless a record or
    /// self-check data is on screen. True when they were applied.
    bool ApplySettings();

    /// The link work of one clock tick: the battery poll (first tick, then
    /// every 61 ticks) and the version request while no version is known.
    /// Returns the battery level to show, or −1.
    int PollTick();

    /// Refusal while a command waits for its reply.
    static QString BusyText();

    /// How long past the record's duration and delay the finish wait lasts
    /// before the shot counts as lost (30 s unless changed).
    void SetFinishGraceMs(double ms) { m_finishGraceMs = ms; }

    /// The operator's message when the journal cannot keep a picture.
    static QString JournalFailedText();
    /// The operator's message when an automatic save failed.
    static QString AutoSaveFailedText();
    /// The operator's message when the battery turns red.
    static QString BatteryLowText();

private:
    void runSequence();
    /// The picture on screen changed and is not saved: into the journal.
    void keepInJournal();
    /// Saves the picture on screen under the next numbered name and leaves it there.
    void autoSave();
    /// What every successful save does afterwards, manual or automatic.
    void afterSaved();
    void journalFailed(bool diskFull);
    /// Tells the operator about a journal failure held back while a shot ran.
    void tellPendingJournalFailure();
    void tellJournalFailure();
    /// Polls the trigger state; false when the sequence is to end at once (a stop).
    bool waitForTrigger();
    /// Polls the finish state; false when the sequence is to end without data.
    bool waitForFinish();
    void fetchChannels(bool &newData);
    /// Tells the unit to stop and takes its reply.
    void stopUnit();
    /// Waits (bounded) for the reply to letter of a command whose wait a stop cut short.
    void awaitReply(char letter);
    /// The operator's parameter frame, with the link held active for its reply
    /// whatever the caller's state.
    int sendParameters();
    bool mayPoll() const;

    InstrumentLink &m_link;
    AcquisitionOwner &m_owner;
    bool m_sequenceRunning = false;
    bool m_triggered = false;
    QElapsedTimer m_sequenceClock;
    qint64 m_triggerMs = 0;    ///< sequence clock at the trigger (or at the finish wait)
    int m_batteryCounter = -1; ///< ticks since the last battery request
    double m_finishGraceMs;
    std::unique_ptr<ShotJournal> m_journal;
    quint64 m_pictureEntry = 0;       ///< journal entry of the picture on screen; 0 none
    bool m_journalFailureTold = false; ///< until an entry is written again
    bool m_journalFailurePending = false;
    bool m_journalFailureDiskFull = false;
    bool m_pictureSaved = false;
    bool m_batteryLowTold = false; ///< until the battery is above red again
};
