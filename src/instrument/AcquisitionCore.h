#pragma once

#include "params/ParamSet.h"

#include <QElapsedTimer>
#include <QString>
#include <array>
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

/// The command states for acqState, where channel 1's trace on screen has
/// data or not; nothing for a state outside the table (the buttons then stay as they are).
std::optional<CommandStates> CommandStatesFor(int acqState, bool channel1HasData);

/// Why the unit cannot be given p's acquisition parameters (a channel count it
/// does not take, a sample length or delay the parameter frame cannot carry),
/// naming the setting for the operator; empty when they can be sent.
QString UnsendableSettingText(const ParamSet &p);

/// The acquisition screen's logic without widgets: the shot sequence with its
/// stop and give-up rules, stacking and undo, Clear, saving and reading
/// records, the self-check's parameter juggling, applying new settings and
/// the clock tick's polls. It drives the instrument link and the process-wide
/// trace store, and tells its owner what to show.
class AcquisitionCore
{
public:
    AcquisitionCore(InstrumentLink &link, AcquisitionOwner &owner);

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
    /// Reads the record file of project and file into the screen (state 4 on
    /// success). A result of RecordResult.
    int Read(const QString &project, const QString &file);

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

private:
    void runSequence();
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
};
