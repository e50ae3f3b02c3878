#pragma once

#include "model/TraceStore.h"

#include <QList>
#include <QString>
#include <functional>

class InstrumentLink;

/// How one self-check round ended.
enum class SelfCheckOutcome {
    Skipped,  ///< not run: a round or another command was already running, or no self-check is on
    LinkDown, ///< the link was not up; the link's owner has been told
    Stopped,  ///< a stop request (AcqState 3) ended it
    Failed,   ///< a command failed, or the unit never triggered or finished
    Closed,   ///< the dialog closed, or the link stopped being active, while it ran
    Complete, ///< a new noise picture is in place
};

/// Which parameter frame a round sends.
enum class RoundFrame {
    SelfCheck, ///< the self-check's (trigger byte 3), polled at the self-check's pace
    Operator,  ///< the current set as it is (the site-noise monitor's short records), polled finely
};

/// One self-check acquisition per call, driven through the acquisition
/// screen's link: self-check parameters, start, trigger and finish polls, data
/// header and every channel. The data replies land in PreviousTraces. A round
/// counts when it ran to its end and at least one channel arrived (the missing
/// ones are named); otherwise the last complete round is what PreviousTraces
/// holds afterwards and what Noise() shows, so a failed or interrupted round
/// never blanks the picture the operator keeps.
class SelfCheckRound
{
public:
    /// Failure texts of the status line.
    static QString SetParaFailedText();
    static QString StartFailedText();
    static QString DataFailedText();
    /// "通道%1获取数据失败！" with the 1-based channels, comma-separated.
    static QString ChannelsFailedText(const QList<int> &channels);

    /// Takes PreviousTraces as the last complete round.
    explicit SelfCheckRound(InstrumentLink &link, RoundFrame frame = RoundFrame::SelfCheck);

    /// Runs one round; returns at once when one is already running (the
    /// timer fires again while a round waits), while the link waits for
    /// another command's reply, or once a close was requested.
    SelfCheckOutcome Run();

    /// The dialog is closing: a running round ends at its next check, with
    /// the last complete round left in PreviousTraces; no round runs after.
    void RequestClose() { m_closeRequested = true; }
    bool IsRunning() const { return m_running; }

    /// The last complete round (every channel that answered; a failed channel's trace is empty).
    const TraceSet &Noise() const { return m_noise; }
    /// Channels (1-based) whose data did not arrive in the round Noise() holds.
    const QList<int> &FailedChannels() const { return m_failedChannels; }
    /// The status line text (a failure, or empty).
    const QString &StateText() const { return m_stateText; }
    /// Called whenever the status line text changes.
    void SetStateTextListener(std::function<void(const QString &)> listener)
    {
        m_listener = std::move(listener);
    }

private:
    enum class PollEnd { Reached, Interrupted, GaveUp };

    SelfCheckOutcome acquire();
    /// Polls, data header and channels of a started acquisition.
    SelfCheckOutcome collect();
    bool sendParameters();
    PollEnd poll(int (InstrumentLink::*command)());
    /// Something outside the round wants it ended: a close, a stop, the link.
    bool interrupted() const;
    /// Outcome of a step that did not succeed; shows text when the link is still active.
    SelfCheckOutcome fail(const QString &text);
    /// Outcome of an interruption.
    SelfCheckOutcome interruption();
    void setStateText(const QString &text);
    void commit(const QList<int> &failed);
    void restore();

    InstrumentLink &m_link;
    RoundFrame m_frame;
    int m_pollPauseMs;
    TraceSet m_noise;
    QList<int> m_failedChannels;
    QString m_stateText;
    std::function<void(const QString &)> m_listener;
    bool m_running = false;
    bool m_closeRequested = false;
};
