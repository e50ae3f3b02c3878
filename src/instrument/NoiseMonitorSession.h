#pragma once

#include "instrument/NoiseMeter.h"
#include "instrument/SelfCheckRound.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <memory>

class InstrumentLink;

/// One visit to the site-noise monitor, without widgets: while it runs the
/// unit takes short automatically triggered records under the operator's
/// gains, filter and interval, and every complete round is measured. When it
/// finishes, however the visit went, the unit has the operator's parameter
/// frame again and the acquisition screen finds its picture, its parameters
/// and its state as they were, as after a self-check that was not kept.
///
/// The rounds take the self-check's road through the trace store (data into
/// PreviousTraces, no trigger offset removed), so SelfCheckRunning is set
/// for the visit; PreviousTraces is put back afterwards.
class NoiseMonitorSession
{
public:
    /// Puts the monitor's parameters in the current set; link is the
    /// acquisition screen's, up and not waiting (the caller checks).
    explicit NoiseMonitorSession(InstrumentLink &link);
    /// Finishes, if nobody has.
    ~NoiseMonitorSession();
    NoiseMonitorSession(const NoiseMonitorSession &) = delete;
    NoiseMonitorSession &operator=(const NoiseMonitorSession &) = delete;

    /// One acquisition, measured when it is complete. Skipped once finishing began.
    SelfCheckOutcome RunRound();
    /// A round is under way (this is called from inside one of its waits).
    bool RoundRunning() const { return m_round.IsRunning(); }

    /// Ends the visit: a running round is cut short and the rest happens
    /// when it has returned; otherwise at once. Called again, does nothing.
    void Finish();
    bool Finished() const { return m_finished; }

    const monitor::NoiseMeter &Meter() const { return m_meter; }
    monitor::NoiseMeter &Meter() { return m_meter; }
    const monitor::UnitChoice &Unit() const { return m_unit; }
    /// The last complete round's traces in mV at the amplifier input.
    const TraceSet &Traces() const { return m_round.Noise(); }
    /// Sample interval of the records, µs.
    double IntervalUs() const { return m_intervalUs; }
    const SelfCheckRound &Round() const { return m_round; }
    SelfCheckRound &Round() { return m_round; }

private:
    void restore();

    InstrumentLink &m_link;
    const ParamSet m_shownParams; ///< the current set as the screen had it
    const int m_shownState;
    const TraceSet m_shownPrevious;
    monitor::UnitChoice m_unit;
    monitor::NoiseMeter m_meter;
    double m_intervalUs = 0.0;
    SelfCheckRound m_round;
    bool m_finishRequested = false;
    bool m_finished = false;
};
