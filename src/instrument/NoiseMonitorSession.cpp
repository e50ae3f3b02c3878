#include "NoiseMonitorSession.h"

#include "InstrumentLink.h"
#include "InstrumentLog.h"

namespace {

/// The current set becomes the operator's with the monitor's record; the
/// previous picture is emptied so that the first round starts from nothing.
/// Runs before the round is built, which takes PreviousTraces as its last round.
InstrumentLink &prepare(InstrumentLink &link)
{
    ParamSet &p = CurrentParams();
    ParamSet::CopyAcquisition(p, BackupParams());
    monitor::ApplyMonitorSettings(p);
    TraceStore &s = Store();
    for (QVector<float> &t : s.PreviousTraces)
        t.clear();
    s.SelfCheckRunning = true;
    return link;
}

} // namespace

NoiseMonitorSession::NoiseMonitorSession(InstrumentLink &link)
    : m_link(link)
    , m_shownParams(CurrentParams())
    , m_shownState(Store().AcqState)
    , m_shownPrevious(Store().PreviousTraces)
    , m_round(prepare(link), RoundFrame::Operator)
{
    const ParamSet &p = CurrentParams();
    m_unit = monitor::ChooseUnit(p);
    m_intervalUs = p.Header.SampleInterval;
}

NoiseMonitorSession::~NoiseMonitorSession()
{
    Finish();
    if (!m_finished) {
        // Destroyed from inside its own round's wait: nobody will come back
        // to finish, so the parameters are restored now and the frame goes
        // out without waiting for its reply.
        m_round.RequestClose();
        restore();
    }
}

SelfCheckOutcome NoiseMonitorSession::RunRound()
{
    if (m_finishRequested)
        return SelfCheckOutcome::Skipped;
    const SelfCheckOutcome outcome = m_round.Run();
    if (outcome == SelfCheckOutcome::Complete)
        m_meter.Measure(m_round.Noise(), CurrentParams().ChannelsInUse(), m_unit);
    // A finish asked for inside the round's waits is carried out now that it has returned.
    if (m_finishRequested && !m_finished)
        Finish();
    return outcome;
}

void NoiseMonitorSession::Finish()
{
    if (m_finished)
        return;
    m_finishRequested = true;
    m_round.RequestClose();
    if (m_round.IsRunning()) {
        // Clearing LinkActive cuts the round's wait short; its reply could not
        // be waited for from here anyway (a second wait is refused).
        Store().LinkActive = false;
        return;
    }
    restore();
}

void NoiseMonitorSession::restore()
{
    m_finished = true;
    TraceStore &s = Store();
    ParamSet &p = CurrentParams();
    // As after a self-check that was not kept: the unit gets the operator's
    // frame, the current set the parameters of the picture on screen.
    ParamSet::CopyAcquisition(p, BackupParams());
    s.SelfCheckRunning = false;
    s.PreviousTraces = m_shownPrevious;
    s.AcqState = m_shownState;
    if (s.LinkState == LinkUp) {
        s.LinkActive = true;
        if (m_link.SetPara(false) < 1)
            qCWarning(lcInstrument) << "the operator's parameters were sent back after the noise "
                                       "monitor without a reply";
    }
    s.LinkActive = false;
    m_link.SetWaiting(false);
    ParamSet::CopyAcquisition(p, m_shownParams);
}
