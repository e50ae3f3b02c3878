#pragma once

// What the program must show for a channel the unit simulator sent, worked
// out apart from the code under test: the unit's gain factors, millivolts,
// and the pre-trigger mean taken off for external triggering.

#include "UnitSimulator.h"
#include "params/ParamSet.h"

#include <QVector>

/// The unit's amplification at a gain in dB.
inline double UnitGainOf(int dB)
{
    switch (dB) {
    case 12: return 4.0272;
    case 24: return 15.8992;
    case 36: return 62.496;
    case 48: return 249.3952;
    case 60: return 978.1248;
    case 72: return 3938.304;
    default: return 1.0148;
    }
}

/// The trace of a 1-based channel of the simulator's current shot, as filed
/// outside the self-check under the parameters p.
inline QVector<float> ExpectedTrace(const UnitSimulator &sim, int channel, const ParamSet &p)
{
    constexpr int kPreTrigger = 200;
    const QVector<qint16> raw = sim.ChannelSamples(channel);
    const double g = UnitGainOf(p.Gains[channel - 1]);
    QVector<double> mv;
    double preTrigger = 0;
    for (int i = 0; i < raw.size(); ++i) {
        mv << raw[i] * 5000.0 / 32768.0 / g;
        if (i < kPreTrigger)
            preTrigger += mv.last();
    }
    const double offset = p.Header.TriggerMethod == 1 ? preTrigger / kPreTrigger : 0.0;
    QVector<float> t;
    for (double v : mv)
        t << float(v - offset);
    return t;
}
