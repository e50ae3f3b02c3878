#pragma once

#include "ShotModel.h"
#include "instrument/InstrumentProtocol.h"
#include "surfacewave/ShotQuality.h"

#include <QtEndian>
#include <algorithm>
#include <vector>

// Shots of the shot model as the program holds them after a shot: each
// channel converted at its gain, the pre-trigger mean taken off when the
// trigger is external, as the acquisition files them.
// railed (optional) tells which channels the converter really clipped: three
// raw readings in a row at either end of its range.
inline QcShot QcShotOfModel(const ShotModel &model, const UnitParams &params, int shot,
                            double spacingM, std::vector<bool> *railed = nullptr)
{
    QcShot out;
    out.IntervalUs = params.IntervalUs;
    out.SpacingM = spacingM;
    for (int c = 1; c <= params.Channels; ++c) {
        const QVector<qint16> raw = model.Channel(params, shot, c);
        if (railed) {
            int run = 0, longest = 0;
            for (qint16 r : raw) {
                run = (r == 32767 || r == -32768) ? run + 1 : 0;
                longest = std::max(longest, run);
            }
            railed->push_back(longest >= 3);
        }
        const int gainDb = params.ChannelGainDb(c);
        QVector<char> bytes(2 * raw.size());
        qToLittleEndian<qint16>(raw.constData(), raw.size(), bytes.data());
        QcTrace trace;
        const float offset = ConvertSamples(bytes.constData(), raw.size(), GainFactor(gainDb),
                                            params.TriggerMethod == 1, trace.Samples);
        for (float &s : trace.Samples)
            s -= offset;
        trace.FullScaleMv = ConverterFullScaleMv(gainDb);
        out.Channels.push_back(trace);
    }
    return out;
}
