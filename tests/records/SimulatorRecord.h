#pragma once

// Records with a realistic surface-wave shot in them, from the unit
// simulator's model, for tests that need a dispersion image to pick from.
#include "RecordTestUtil.h"

#include "ShotModel.h"
#include "instrument/InstrumentProtocol.h"

#include <QtEndian>
#include <QtTest>

// A shot of 24 channels as the unit sends it, filed through the program's own conversion.
inline void FileSimulatorShot(ParamSet &p, int samples = 2048)
{
    p.Header.ChannelCount = 24;
    p.Header.SampleLength = samples;
    p.Header.SampleInterval = 250.0f;
    p.Header.TraceSpacing = 1.5f;
    p.Header.Offset = 5.0f;
    UnitParams unit;
    if (!DecodeParaFrame(SetParaFrame(p, false), unit))
        QFAIL("the parameter frame does not decode");
    ShotModel model(7);
    model.SetGeometry(p.Header.Offset, p.Header.TraceSpacing);
    for (int ch = 1; ch <= p.Header.ChannelCount; ++ch) {
        const QVector<qint16> raw = model.Channel(unit, 1, ch);
        QByteArray le(raw.size() * 2, '\0');
        qToLittleEndian<qint16>(raw.constData(), raw.size(), le.data());
        QVector<float> amplitudes;
        const float offset = ConvertSamples(le.constData(), raw.size(), GainFactor(p.Gains[ch - 1]),
                                            p.Header.TriggerMethod == 1, amplitudes);
        Store().FileChannel(ch, amplitudes.constData(), amplitudes.size(), offset);
    }
}

