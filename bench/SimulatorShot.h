#pragma once

// A full shot of the unit simulator as the program holds it, for the
// benchmarks of the analyses: their figures are those of a real record.

#include "ShotModel.h"
#include "instrument/InstrumentProtocol.h"
#include "model/TraceStore.h"

namespace bench {

/// channels x samples of the simulator's shot seed at intervalUs, every
/// group at 36 dB, converted to amplitudes as the acquisition converts them.
inline TraceSet SimulatorShot(quint32 seed, int channels, int samples, double intervalUs)
{
    UnitParams unit;
    unit.Channels = channels;
    unit.IntervalUs = intervalUs;
    unit.SampleLength = samples;
    unit.GroupGainDb = {36, 36, 36, 36};
    ShotModel model(seed);
    TraceSet traces;
    for (int ch = 1; ch <= channels; ++ch) {
        const double factor = GainFactor(unit.ChannelGainDb(ch));
        for (qint16 raw : model.Channel(unit, 1, ch))
            traces[size_t(ch - 1)].append(SampleAmplitude(raw, factor));
    }
    return traces;
}

} // namespace bench
