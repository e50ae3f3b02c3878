#pragma once

#include "Channels.h"

#include <QVector>
#include <array>

/// Shots the stacking ring keeps; nine of them can be undone.
constexpr int kStackSlots = 10;

using TraceSet = std::array<QVector<float>, kMaxChannels>;

/// AcqState values.
enum AcqStateValue : int {
    AcqIdle = 0,
    AcqSampling = 1,
    AcqSampled = 2,
    AcqStopRequested = 3,
    AcqRecordLoaded = 4,
    AcqSelfCheckShown = 5,
};

/// LinkState values.
enum LinkStateValue : int {
    LinkDown = 0,
    LinkUp = 1,
    LinkLost = 2,
};

/// The process-wide traces and the acquisition state every screen reads:
/// the current record's traces on screen, the previous picture, the stacking
/// ring with its counters and locks, and the link and acquisition states.
struct TraceStore
{
    TraceSet Traces;         ///< traces on screen, index = channel − 1
    TraceSet PreviousTraces; ///< picture before the current shot; self-check data while it runs
    std::array<TraceSet, kStackSlots> StackRing;
    /// Per ring slot and channel: the length the trace on screen had before
    /// that slot's shot was averaged in, so that undo can cut an appended tail.
    std::array<std::array<int, kMaxChannels>, kStackSlots> StackPriorLength{};
    int StackHead = 0;
    int StackTail = 0;
    int StackCount = 0;
    bool StackingOn = false;
    std::array<bool, kMaxChannels> ChannelLocks{};
    bool SelfCheckRunning = false;
    bool SelfCheckShown = false;
    int AcqState = AcqIdle;
    int LinkState = LinkDown;
    bool LinkActive = false;

    /// Everything back to its initial value (construction, and between test cases).
    void Reset();
    /// Stacking flag, locks, counters and the self-check running flag to their initial values.
    void ResetStacking();

    /// Files one channel's converted amplitudes (channel 1-based, checked by the
    /// caller against the channel count): into the self-check slot, the stacking
    /// ring with averaging, or the trace on screen with the offset removed.
    void FileChannel(int channel, const float *amplitudes, int count, float offset);

    /// Starts a stack: counters to 0, and ring slot 0 holds the picture on
    /// screen of every unlocked channel below channelCount (the first shot).
    void StartStack(int channelCount);
    /// Counters to 0 and every ring slot emptied.
    void ClearStack();
    /// Makes room for the next stacked shot: one more shot counted, the head
    /// moves on (pushing the oldest shot out when the ring is full), and the
    /// new head slot is emptied so that a channel that is never fetched
    /// cannot be undone with an older shot's samples.
    void AdvanceStack();
    /// Takes the newest stacked shot back out of the picture for the unlocked
    /// channels below channelCount: the inverse of the averaging, and the
    /// trace cut back to its length before the shot. False when nothing is
    /// left to undo.
    bool UndoStackedShot(int channelCount);

    /// When a stop came before new data: puts PreviousTraces back on screen for
    /// the first channelCount channels (only without stacking, with channel 1
    /// empty on screen and present in PreviousTraces).
    void RestorePreviousIfEmpty(int channelCount);
};

/// The one trace store of the process.
TraceStore &Store();
