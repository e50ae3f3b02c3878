#include "SelfCheckRound.h"

#include "InstrumentLink.h"
#include "InstrumentLog.h"
#include "params/ParamSet.h"
#include "platform/Wait.h"

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

/// Pause between two state polls.
constexpr int kPollPauseMs = 100;
/// The monitor's records last a fifth of a second and must follow each other
/// four times a second: a 100 ms step would lose a tenth of a second a round.
constexpr int kFinePollPauseMs = 10;
/// Unanswered (or wrongly answered) polls in a row after which the unit counts as gone.
constexpr int kMaxPollTimeOuts = 3;
/// How much longer than the record itself a poll loop may take before it gives up.
constexpr qint64 kPollSlackMs = 30000;
/// Bound on the record time taken from the parameters (an absurd interval must not overflow).
constexpr double kMaxRecordMs = 24.0 * 3600.0 * 1000.0;

qint64 PollLimitMs()
{
    const ParamSet &p = CurrentParams();
    const double record = p.SampleLengthInUse() * static_cast<double>(p.Header.SampleInterval) / 1000.0;
    const double bounded = std::isfinite(record) ? std::clamp(record, 0.0, kMaxRecordMs) : 0.0;
    return kPollSlackMs + static_cast<qint64>(bounded);
}

} // namespace

QString SelfCheckRound::SetParaFailedText()
{
    return QStringLiteral("设置参数失败，网络可能已断开！");
}

QString SelfCheckRound::StartFailedText()
{
    return QStringLiteral("开始采样失败，网络可能已断开！");
}

QString SelfCheckRound::DataFailedText()
{
    return QStringLiteral("获取数据失败，网络可能已断开！");
}

QString SelfCheckRound::ChannelsFailedText(const QList<int> &channels)
{
    QStringList numbers;
    for (int c : channels)
        numbers << QString::number(c);
    return QStringLiteral("通道%1获取数据失败！").arg(numbers.join(QLatin1Char(',')));
}

SelfCheckRound::SelfCheckRound(InstrumentLink &link, RoundFrame frame)
    : m_link(link)
    , m_frame(frame)
    , m_pollPauseMs(frame == RoundFrame::Operator ? kFinePollPauseMs : kPollPauseMs)
    , m_noise(Store().PreviousTraces)
{
}

SelfCheckOutcome SelfCheckRound::Run()
{
    // A command of the owner waiting for its reply would refuse ours, and its
    // reply could end one of our waits with the wrong letter.
    if (m_running || m_closeRequested || m_link.IsWaiting() || !Store().SelfCheckRunning)
        return SelfCheckOutcome::Skipped;
    m_running = true;
    const SelfCheckOutcome outcome = acquire();
    m_running = false;
    if (outcome != SelfCheckOutcome::Complete)
        qCDebug(lcInstrument) << "self-check round ended early:" << static_cast<int>(outcome)
                              << m_stateText;
    return outcome;
}

SelfCheckOutcome SelfCheckRound::acquire()
{
    TraceStore &s = Store();
    if (s.LinkState != LinkUp) {
        m_link.onSockFailed();
        setStateText(s.LinkState == LinkLost ? InstrumentLink::ConnectionLostText()
                                             : InstrumentLink::ConnectFailedText());
        return SelfCheckOutcome::LinkDown;
    }
    if (s.AcqState == AcqStopRequested)
        return SelfCheckOutcome::Stopped;
    // A reconnection leaves LinkActive clear; without this every later round
    // would have its waits cut short at once.
    s.LinkActive = true;

    if (!sendParameters())
        return fail(SetParaFailedText());
    setStateText(QString());
    if (m_link.StartSample() < 1)
        return fail(StartFailedText());

    // The unit is acquiring: however the round ends, the acquisition is over
    // and PreviousTraces holds a complete picture again.
    const SelfCheckOutcome outcome = collect();
    if (outcome != SelfCheckOutcome::Complete)
        restore();
    s.AcqState = AcqSampled;
    return outcome;
}

SelfCheckOutcome SelfCheckRound::collect()
{
    switch (poll(&InstrumentLink::GetSampleStates)) {
    case PollEnd::Reached:
        break;
    case PollEnd::GaveUp:
        return fail(DataFailedText());
    case PollEnd::Interrupted:
        if (!m_closeRequested && Store().LinkState == LinkUp && Store().AcqState == AcqStopRequested) {
            m_link.SetStopSample();
            return SelfCheckOutcome::Stopped;
        }
        return interruption();
    }
    switch (poll(&InstrumentLink::GetSampleFinishStates)) {
    case PollEnd::Reached:
        break;
    case PollEnd::GaveUp:
        return fail(DataFailedText());
    case PollEnd::Interrupted:
        return interruption();
    }
    // The data header empties PreviousTraces; the replies refill them.
    if (m_link.GetSampleDataH() < 1)
        return fail(DataFailedText());
    const int channels = CurrentParams().ChannelsInUse();
    QList<int> failed;
    for (int ch = 1; ch <= channels; ++ch) {
        if (m_link.GetSampleData(ch) >= 1)
            continue;
        if (interrupted())
            return interruption();
        // One bad channel says something about that channel, not about the
        // others: they are shown, it is named.
        Store().PreviousTraces[ch - 1].clear();
        failed << ch;
    }
    if (!failed.isEmpty() && failed.size() == channels)
        return fail(DataFailedText());
    commit(failed);
    if (!failed.isEmpty())
        setStateText(ChannelsFailedText(failed));
    return SelfCheckOutcome::Complete;
}

bool SelfCheckRound::sendParameters()
{
    const bool selfCheck = m_frame == RoundFrame::SelfCheck;
    if (m_link.SetPara(selfCheck) >= 1)
        return true;
    // One more try, unless the round is already being ended.
    return !interrupted() && m_link.SetPara(selfCheck) >= 1;
}

SelfCheckRound::PollEnd SelfCheckRound::poll(int (InstrumentLink::*command)())
{
    const qint64 limit = PollLimitMs();
    QElapsedTimer since;
    since.start();
    int timeOuts = 0;
    for (;;) {
        const int r = (m_link.*command)();
        if (r == 1)
            return PollEnd::Reached;
        if (interrupted())
            return PollEnd::Interrupted;
        timeOuts = r < 0 ? timeOuts + 1 : 0;
        if (timeOuts >= kMaxPollTimeOuts || since.elapsed() >= limit) {
            qCDebug(lcInstrument) << "self-check poll gave up after" << timeOuts << "time-outs and"
                                  << since.elapsed() << "ms";
            return PollEnd::GaveUp;
        }
        if (WaitUntil([this] { return interrupted(); }, m_pollPauseMs))
            return PollEnd::Interrupted;
    }
}

bool SelfCheckRound::interrupted() const
{
    const TraceStore &s = Store();
    return m_closeRequested || !s.LinkActive || s.LinkState != LinkUp
           || s.AcqState == AcqStopRequested || !s.SelfCheckRunning;
}

SelfCheckOutcome SelfCheckRound::fail(const QString &text)
{
    if (interrupted())
        return interruption();
    setStateText(text);
    return SelfCheckOutcome::Failed;
}

SelfCheckOutcome SelfCheckRound::interruption()
{
    const TraceStore &s = Store();
    if (m_closeRequested)
        return SelfCheckOutcome::Closed;
    // The failure texts belong to an active link only; a lost link is
    // reported by the link itself and by the next round.
    setStateText(QString());
    if (s.LinkState != LinkUp)
        return SelfCheckOutcome::LinkDown;
    if (s.AcqState == AcqStopRequested)
        return SelfCheckOutcome::Stopped;
    return SelfCheckOutcome::Closed;
}

void SelfCheckRound::setStateText(const QString &text)
{
    if (text == m_stateText)
        return;
    m_stateText = text;
    if (m_listener)
        m_listener(m_stateText);
}

void SelfCheckRound::commit(const QList<int> &failed)
{
    m_failedChannels = failed;
    const TraceStore &s = Store();
    const int channels = CurrentParams().ChannelsInUse();
    for (int c = 0; c < channels; ++c)
        m_noise[c] = s.PreviousTraces[c];
}

void SelfCheckRound::restore()
{
    TraceStore &s = Store();
    const int channels = CurrentParams().ChannelsInUse();
    for (int c = 0; c < channels; ++c)
        s.PreviousTraces[c] = m_noise[c];
}
